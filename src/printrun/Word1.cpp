#include "Word1.h"

#include "MessageBoxes.h"
#include "WordAutomation.h"

#include <QFile>

namespace {

// Paths travel to the word processor as the file system's own bytes.
std::string nativePath(const QString &path)
{
    return QFile::encodeName(path).toStdString();
}

} // namespace

Word1::Word1(automation::WordProcessor &wordProcessor, MessageBoxes &messages,
             PrinterText printerText, Wait waitSeconds, Yield yield)
    : m_word(wordProcessor), m_messages(messages), m_printerText(std::move(printerText)),
      m_wait(std::move(waitSeconds)), m_yield(std::move(yield))
{
}

void Word1::PrintDocument(const QString &path, bool anotherFollows)
{
    // Steps up to the open document are not handled here: their failure is
    // the caller's to report.
    m_lastPrintFailure.clear();
    const std::unique_ptr<automation::Application> word = m_word.CreateInstance();
    const std::unique_ptr<automation::Document> document =
        word->GetDocuments().Open(nativePath(path));
    try {
        word->SetActivePrinter(m_printerText().toStdString());
        word->PrintOut(true, false, nativePath(path));
        do {
            m_yield();
        } while (word->GetApplication().BackgroundPrintingStatus() != 0);
        // Unseen by the user: the next document's word processor starts
        // while this one waits its second.
        if (anotherFollows)
            m_word.PrepareSpare(path.toStdString());
        m_wait(1);
        word->Quit(false);
    } catch (const std::exception &e) {
        m_word.DropSpare();
        m_lastPrintFailure = QString::fromUtf8(e.what());
        m_messages.show(QStringLiteral("Could not print ") + path, MessageBoxes::Buttons::Ok,
                        MessageBoxes::Icon::None, ApplicationTitle);
    }
}

void Word1::endSpare()
{
    m_word.DropSpare();
}

QString Word1::wordOpenWarning()
{
    return QStringLiteral("Word may be open. It is recommended that you close Word first. Use "
                          "Ctrl+Alt+Del > Task Manager > WINWORD.EXE if necessary.") +
           QLatin1String("\r\n\r\n") + QStringLiteral("Would you like to proceed anyway?");
}

bool Word1::WarnIfWordOpen()
{
    if (!IsWordRunning())
        return false;
    return m_messages.show(wordOpenWarning(), MessageBoxes::Buttons::YesNo,
                           MessageBoxes::Icon::None, ApplicationTitle) != MessageBoxes::Answer::Yes;
}

bool Word1::IsWordRunning()
{
    try {
        const std::unique_ptr<automation::Application> running = m_word.AttachToRunning();
        return running->Name() == m_word.ExpectedName();
    } catch (const std::exception &) {
        return false;
    }
}
