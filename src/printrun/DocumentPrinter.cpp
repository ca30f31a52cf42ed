#include "DocumentPrinter.h"

#include "FileNames.h"
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
    // Word), never through a narrow code page; a path as the system's bytes.
    // The printer is read when it is set (the user may change it until then).
    QString printer;
    QString warning;
    const automation::PrintSteps steps{
        [this, &printer] {
            printer = m_printerText();
            return printer.toStdString();
        },
        m_wait,
        m_yield,
        {},
        {},
        {},
        [&warning](const std::string &text) { warning = QString::fromStdString(text); }};
    const auto record = [&](const QString &failure) {
        // A document that failed before its printer was set: the one chosen.
        if (m_recorder)
            m_recorder(path, printer.isEmpty() ? m_printerText() : printer, failure, warning);
    };
    std::optional<std::string> failure;
    try {
        failure = automation::printDocument(m_word, nativePath(path).toStdString(), steps,
                                            anotherFollows);
    } catch (const std::exception &e) {
        record(QString::fromUtf8(e.what()));
        throw;
    }
    record(failure ? QString::fromStdString(*failure) : QString());
    if (failure)
        m_messages.show(QStringLiteral("Could not print ") + shownPath(path),
                        MessageBoxes::Buttons::Ok, MessageBoxes::Icon::None, ApplicationTitle);
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
