#include "Word1.h"

#include "MessageBoxes.h"
#include "PrintSequence.h"
#include "WordAutomation.h"

Word1::Word1(automation::WordProcessor &wordProcessor, MessageBoxes &messages,
             PrinterText printerText, Wait waitSeconds, Yield yield)
    : m_word(wordProcessor), m_messages(messages), m_printerText(std::move(printerText)),
      m_wait(std::move(waitSeconds)), m_yield(std::move(yield))
{
}

void Word1::PrintDocument(const QString &path, bool anotherFollows)
{
    // Text crosses into the word processor's layer as UTF-8 (UTF-16 on to
    // Word), never through a narrow code page.
    const automation::PrintSteps steps{
        [this] { return m_printerText().toStdString(); }, m_wait, m_yield, {}};
    if (automation::printDocument(m_word, path.toStdString(), steps, anotherFollows))
        m_messages.show(QStringLiteral("Could not print ") + path, MessageBoxes::Buttons::Ok,
                        MessageBoxes::Icon::None, ApplicationTitle);
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
