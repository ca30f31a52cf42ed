#pragma once

#include <QPointer>
#include <QString>

#include <functional>

class DocumentSource;
class MessageBoxes;
class PrintOptions;
class QProgressBar;
class QWidget;
class DocumentPrinter;

// The print run: every document of the list, in list order, each followed by
// the chosen pause, with progress, a report of each failure, and "Done.".
class PrintRun
{
public:
    using Wait = std::function<void(int seconds)>;
    using Yield = std::function<void()>;

    PrintRun(DocumentSource &documents, PrintOptions &options, DocumentPrinter &word,
             MessageBoxes &messages, QProgressBar *progressBar, QWidget *window, Wait waitSeconds,
             Yield yield);

    void start();
    [[nodiscard]] bool running() const { return m_running; }
    // The progress value last set, before rounding for the bar.
    [[nodiscard]] double progress() const { return m_progress; }

private:
    template <typename Step> bool step(int line, Step &&body);
    void setProgress(double value);
    void setBusy(bool busy);

    DocumentSource &m_documents;
    PrintOptions &m_options;
    DocumentPrinter &m_word;
    MessageBoxes &m_messages;
    QPointer<QProgressBar> m_progressBar;
    QPointer<QWidget> m_window;
    Wait m_wait;
    Yield m_yield;
    bool m_running = false;
    double m_progress = 0;
};
