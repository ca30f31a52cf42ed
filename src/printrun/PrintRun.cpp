#include "PrintRun.h"

#include "DocumentPrinter.h"
#include "DocumentSource.h"
#include "MessageBoxes.h"
#include "PrintOptions.h"
#include "RunErrorReport.h"

#include <QProgressBar>
#include <QWidget>

#include <cmath>
#include <stdexcept>

PrintRun::PrintRun(DocumentSource &documents, PrintOptions &options, DocumentPrinter &word,
                   MessageBoxes &messages, QProgressBar *progressBar, QWidget *window,
                   Wait waitSeconds, Yield yield)
    : m_documents(documents), m_options(options), m_word(word), m_messages(messages),
      m_progressBar(progressBar), m_window(window), m_wait(std::move(waitSeconds)),
      m_yield(std::move(yield))
{
}

// Runs one line of the run; a failure is reported with that line's number
// and the run resumes with the next line.
template <typename Step> bool PrintRun::step(int line, Step &&body)
{
    try {
        body();
        return true;
    } catch (const std::exception &e) {
        m_messages.show(runErrorReport(QString::fromUtf8(e.what()), line),
                        MessageBoxes::Buttons::Ok, MessageBoxes::Icon::Warning,
                        QStringLiteral("Application Error"));
        return false;
    }
}

void PrintRun::setProgress(double value)
{
    m_progress = value;
    if (m_progressBar)
        m_progressBar->setValue(int(std::lround(value)));
}

void PrintRun::setBusy(bool busy)
{
    if (!m_window)
        return;
    if (busy)
        m_window->setCursor(Qt::WaitCursor);
    else
        m_window->unsetCursor();
}

void PrintRun::start()
{
    // The run yields to the window while it works; a second start meanwhile
    // would print the list twice over, interleaved.
    if (m_running)
        return;
    m_running = true;
    struct Reset
    {
        bool &flag;
        ~Reset() { flag = false; }
    } reset{m_running};

    step(100, [&] { setBusy(true); });
    bool empty = false;
    step(102, [&] { empty = m_documents.count() == 0; });
    if (empty) {
        step(128, [&] {
            m_messages.show(QStringLiteral("No files added."), MessageBoxes::Buttons::Ok,
                            MessageBoxes::Icon::None, ApplicationTitle);
        });
    } else {
        bool declined = false;
        step(104, [&] { declined = m_word.stopForRunningWordProcessor(); });
        if (!declined) {
            int last = 0;
            step(106, [&] { last = m_documents.count(); });
            for (int i = 1; i <= last; ++i) {
                step(108, [&] { m_yield(); });
                step(110, [&] {
                    const int n = m_documents.count();
                    if (n == 0)
                        throw std::runtime_error("Division by zero");
                    setProgress(double(i) / double(n) * 100.0);
                });
                step(112, [&] { setBusy(true); });
                QString path;
                const bool havePath = step(114, [&] { path = m_documents.pathAt(i); });
                step(116, [&] { setBusy(true); });
                // A position that vanished during the run has no path to print.
                if (havePath)
                    step(118, [&] { m_word.print(path, i < last && i < m_documents.count()); });
                step(120, [&] { setBusy(true); });
                step(122, [&] {
                    const QString pause = m_options.pauseText();
                    if (pause.isEmpty() || !pause.front().isDigit())
                        throw std::runtime_error("Type mismatch");
                    m_wait(pause.front().digitValue() + 1);
                });
            }
            // Started ahead for a document that is no longer there.
            m_word.endSpare();
            step(126, [&] {
                m_messages.show(QStringLiteral("Done."), MessageBoxes::Buttons::Ok,
                                MessageBoxes::Icon::None, ApplicationTitle);
            });
        }
    }
    step(130, [&] { setProgress(0); });
    step(132, [&] { setBusy(false); });
}
