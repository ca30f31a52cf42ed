#include "DocumentAdder.h"

#include "AddFolder.h"
#include "DesktopShell.h"
#include "DirectoryListing.h"
#include "DocumentPaths.h"
#include "FileDialogs.h"
#include "ListView1.h"
#include "MessageBoxes.h"

#include <QPointer>
#include <QWidget>

const QString DocumentAdder::DocumentPattern = QStringLiteral("*.do*");

DocumentAdder::DocumentAdder(ListView1 &list, FileDialogs &dialogs, MessageBoxes &messages,
                             DesktopShell &shell, QString programFolder, QWidget *window,
                             Yield yield)
    : m_list(list), m_dialogs(dialogs), m_messages(messages), m_shell(shell),
      m_programFolder(std::move(programFolder)), m_window(window), m_yield(std::move(yield))
{
}

void DocumentAdder::AddFiles()
{
    const QString fileName = m_dialogs.openFileNames(
        m_window, QStringLiteral("Add File(s) - Hold Ctrl to select multiple files"),
        QStringLiteral("Word Documents (*.do*)|*.do*|All Files (*.*)|*.*"));
    for (const QString &path : pathsFromDialogResult(fileName))
        m_list.append(path);
}

void DocumentAdder::AddFolder()
{
    const QString folder = PickFolder(m_dialogs, m_window, QStringLiteral("Please select folder:"));
    if (folder.isEmpty())
        return;
    if (m_window)
        m_window->setCursor(Qt::WaitCursor);
    // The list may go away while the search yields (the window closing).
    QPointer<ListView1> list(&m_list);
    addFolderTree(
        folder, DocumentPattern, true,
        [list](const QString &path) {
            if (list)
                list->append(path);
        },
        m_yield);
    if (m_window)
        m_window->unsetCursor();
}

void DocumentAdder::LoadSamples()
{
    const QString samples = m_programFolder + QStringLiteral("/Samples");
    for (const QString &name : ListFiles(samples, QStringLiteral("*.*")))
        m_list.append(samples + u'/' + name);
    const auto answer = m_messages.show(
        QStringLiteral("Would you like this software to open the folder where these sample files "
                       "are stored (so that you can view them before working with them)?"),
        MessageBoxes::Buttons::YesNo, MessageBoxes::Icon::None, ApplicationTitle);
    if (answer == MessageBoxes::Answer::Yes)
        m_shell.open(u'"' + samples + QStringLiteral("/\""));
}

void DocumentAdder::Drop(const QStringList &paths)
{
    // The list may go away while a folder search yields (the window closing).
    QPointer<ListView1> list(&m_list);
    expandDroppedPaths(
        paths,
        [list](const QString &path) {
            if (list)
                list->append(path);
        },
        m_yield);
}
