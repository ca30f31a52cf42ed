#include "DocumentPrinter.h"

#include "MessageBoxes.h"
#include "PrintSequence.h"
#include "WordAutomation.h"

DocumentPrinter::DocumentPrinter(automation::WordProcessor &wordProcessor, MessageBoxes &messages,
                                 PrinterText printerText, Wait waitSeconds, Yield yield)
    : m_word(wordProcessor), m_messages(messages), m_printerText(std::move(printerText)),
      m_wait(std::move(waitSeconds)), m_yield(std::move(yield))
{
}

void DocumentPrinter::print(const QString &path, bool anotherFollows)
{
    // Text crosses into the word processor's layer as UTF-8 (UTF-16 on to
    // Word), never through a narrow code page.
    const automation::PrintSteps steps{
        [this] { return m_printerText().toStdString(); }, m_wait, m_yield, {}, {}};
    if (automation::printDocument(m_word, path.toStdString(), steps, anotherFollows))
        m_messages.show(QStringLiteral("Could not print ") + path, MessageBoxes::Buttons::Ok,
                        MessageBoxes::Icon::None, ApplicationTitle);
}

void DocumentPrinter::endSpare()
{
    m_word.dropSpare();
}

QString DocumentPrinter::wordOpenWarning()
{
    return QStringLiteral("Word may be open. It is recommended that you close Word first. Use "
                          "Ctrl+Alt+Del > Task Manager > WINWORD.EXE if necessary.") +
           QLatin1String("\r\n\r\n") + QStringLiteral("Would you like to proceed anyway?");
}

bool DocumentPrinter::stopForRunningWordProcessor()
{
    if (!isWordProcessorRunning())
        return false;
    return m_messages.show(wordOpenWarning(), MessageBoxes::Buttons::YesNo,
                           MessageBoxes::Icon::None, ApplicationTitle) != MessageBoxes::Answer::Yes;
}

bool DocumentPrinter::isWordProcessorRunning()
{
    try {
        const std::unique_ptr<automation::Application> running = m_word.attachToRunning();
        return running->Name() == m_word.expectedName();
    } catch (const std::exception &) {
        return false;
    }
}
