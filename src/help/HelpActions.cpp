#include "HelpActions.h"

#include "DesktopShell.h"
#include "DirectoryListing.h"
#include "MessageBoxes.h"

const QString HelpActions::SupportAddress = QStringLiteral("support@harrowick.example");
const QString HelpActions::MainPageAddress = QStringLiteral("https://www.harrowick.example/");
const QString HelpActions::FaqPageAddress =
    QStringLiteral("https://www.harrowick.example/question/");

namespace {

QString quoted(const QString &target)
{
    return u'"' + target + u'"';
}

} // namespace

QString firstPlainFile(const QString &folder)
{
    for (const DirectoryEntry &entry : listDirectory(folder))
        if (entry.isFile && !entry.isHidden && entry.nameValid)
            return entry.name;
    return {};
}

HelpActions::HelpActions(MessageBoxes &messages, DesktopShell &shell, QString programFolder)
    : m_messages(messages), m_shell(shell), m_programFolder(std::move(programFolder))
{
}

void HelpActions::showHelp()
{
    m_messages.show(QStringLiteral("Please email ") + SupportAddress +
                        QStringLiteral(" if you have any problems."),
                    MessageBoxes::Buttons::Ok, MessageBoxes::Icon::None, ApplicationTitle);
}

void HelpActions::watchDemoVideo()
{
    const QString videoFolder = m_programFolder + QStringLiteral("/Video/");
    m_shell.open(quoted(videoFolder + firstPlainFile(videoFolder)));
}

void HelpActions::openFaqPage()
{
    m_shell.open(quoted(FaqPageAddress));
}

void HelpActions::visitMainPage()
{
    m_shell.open(quoted(MainPageAddress));
}
