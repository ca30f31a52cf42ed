#pragma once

#include <QString>

#include <functional>

namespace automation {
class WordProcessor;
}
class MessageBoxes;

// The program's one contact with the word processor: printing one document
// with an instance of its own, and the warning about a running instance.
class DocumentPrinter
{
public:
    using PrinterText = std::function<QString()>;
    using Wait = std::function<void(int seconds)>;
    using Yield = std::function<void()>;
    // Told of each document tried: its path, the printer, what went wrong
    // (empty when it printed), and what went wrong after its job was sent
    // (it printed all the same).
    using Recorder = std::function<void(const QString &path, const QString &printer,
                                        const QString &failure, const QString &warning)>;

    DocumentPrinter(automation::WordProcessor &wordProcessor, MessageBoxes &messages,
                    PrinterText printerText, Wait waitSeconds, Yield yield);

    // Prints one document on the chosen printer. A failure to start the word
    // processor or to open the document is thrown (AutomationError) to the
    // caller; a failure of the printing itself is reported here. When another
    // document follows, its word processor starts during this one's wait.
    void print(const QString &path, bool anotherFollows = false);
    // No other document follows after all: the early start is ended.
    void endSpare();
    // True when the run must not go ahead: an instance is running and the
    // user declined to proceed.
    [[nodiscard]] bool stopForRunningWordProcessor();
    [[nodiscard]] bool isWordProcessorRunning();

    [[nodiscard]] static QString wordOpenWarning();

    void setRecorder(Recorder recorder) { m_recorder = std::move(recorder); }

private:
    automation::WordProcessor &m_word;
    MessageBoxes &m_messages;
    PrinterText m_printerText;
    Wait m_wait;
    Yield m_yield;
    Recorder m_recorder;
};
