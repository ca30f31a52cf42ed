#pragma once

#include "CommandLine.h"
#include "WordAutomation.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace automation {
struct PrintSteps;
} // namespace automation
class FolderWatcher;
class PrintLog;
class PrinterList;
class SettingsStore;
class StationFolder;

// Printing from the command line, without a window: the word processor's
// steps per document as in the window's run, but without its waits (a
// document is done once the scheduler holds its job; N seconds of pause
// between documents), the offices for the next documents started while one
// prints. One line per document on the output.
class CommandLinePrint
{
public:
    // Offices opening the next documents while one prints: one per core,
    // unless --jobs says how many documents are worked on at once.
    [[nodiscard]] static int officesAhead(const CommandLine &line);
    // How many documents one office prints, one after another, before a
    // fresh one takes its place; one that fails a document is replaced at
    // once.
    static constexpr int DocumentsPerOffice = 100;
    // How soon a watch tries again a document held by a failure of its own
    // (the interval doubles up to the longest).
    static constexpr int PrinterCheckMs = 3000;
    static constexpr int LongestRetryMs = 60000;

    using Output = std::function<void(const QString &line)>;
    using Wait = std::function<void(int seconds)>;
    using Yield = std::function<void()>;

    CommandLinePrint(automation::WordProcessor &wordProcessor, PrinterList &printers,
                     const SettingsStore &settings, Wait waitSeconds, Yield yield, Output out,
                     Output err);
    ~CommandLinePrint();

    // Returns the exit status: 0 all printed, 1 any failed, 2 nothing to do
    // (unknown printer, no documents, no word processor installed).
    [[nodiscard]] int print(const CommandLine &line);
    // Prints what arrives in the line's folder until stopRequested says so
    // (checked between documents and while waiting); 2 when the folder
    // cannot be watched, else 0.
    [[nodiscard]] int watch(const CommandLine &line, FolderWatcher *watcher,
                            const std::function<bool()> &stopRequested);
    [[nodiscard]] int listPrinters();
    // The closing line: what was printed so far.
    [[nodiscard]] QString summary() const;
    // A path as the output lines write it: on one line, with C's escapes
    // for control characters (and, where it is no separator, the backslash).
    [[nodiscard]] static QString lineSafe(const QString &path);
    // A line of output as it is written: control characters with C's escapes.
    [[nodiscard]] static QString withoutControls(const QString &line);

    // Whether the program must end now for an interruption (the count of
    // them so far). A document whose job is on its way to the scheduler is
    // let arrive, and the run ends after it; a second interruption then
    // abandons it (the job cancelled, the document not printed). Otherwise
    // the word processor's instances are ended at once.
    [[nodiscard]] bool interruptionEndsNow(int interruptions);
    // Checked between documents: a run that was interrupted goes no further.
    void setStopRequested(std::function<bool()> stopRequested)
    {
        m_stopRequested = std::move(stopRequested);
    }
    // The user's record of every document printed (besides a --log file);
    // none when empty.
    void setRecordFile(QString file) { m_recordFile = std::move(file); }
    void setOfficesAhead(int offices) { m_officesAhead = offices; }
    // How a document's print is polled: the word processor waits for its
    // job itself, so this need not wait (the yield, when not given).
    void setPollYield(Yield poll) { m_poll = std::move(poll); }

private:
    // The printer named or stored; empty (and said why) when there is none.
    [[nodiscard]] QString choosePrinter(const CommandLine &line);
    [[nodiscard]] int pauseFor(const CommandLine &line) const;
    void printOne(const QString &path, const automation::PrintSteps &steps);
    // Says that the word processor is not installed; the exit status.
    [[nodiscard]] int notInstalled();
    // Prints the document; its failure's description, if any, unsaid.
    [[nodiscard]] std::optional<std::string> attempt(const QString &path,
                                                     const automation::PrintSteps &steps);
    // A folder of the station's own for --done or --failed; none, said,
    // when it is unfit.
    [[nodiscard]] std::unique_ptr<StationFolder>
    stationFolder(const QString &option, const QString &given, const QString &watched);
    // Keeps what went wrong after a job was sent, for report().
    [[nodiscard]] std::function<void(const std::string &)> warningHook()
    {
        return [this](const std::string &text) { m_warning = QString::fromStdString(text); };
    }
    // Says what became of a document, and counts it.
    void report(const QString &path, const std::optional<std::string> &failure);

    automation::WordProcessor &m_word;
    PrinterList &m_printers;
    const SettingsStore &m_settings;
    Wait m_wait;
    Yield m_yield;
    Output m_out;
    Output m_err;
    // Starts the records of this run: the user's, and the line's --log.
    void startLog(const CommandLine &line, const QString &printer, int pause);
    // The copies and pages the line asks for.
    [[nodiscard]] static automation::PrintRange rangeOf(const CommandLine &line);

    std::function<bool()> m_stopRequested;
    QString m_recordFile;
    struct Record
    {
        std::unique_ptr<PrintLog> log;
        bool failed = false; // said once until it works again
    };
    std::vector<Record> m_logs;
    QString m_logPrinter;
    int m_logPause = 0;
    automation::PrintRange m_range;
    QString m_sending; // the document whose job is on its way, if any
    QString m_warning; // of the last attempt: printed, but something failed after
    // The last attempt failed for the word processor or the system, not for
    // its document.
    bool m_systemFailure = false;
    // The word processor is not installed: said once, and nothing goes on.
    std::optional<QString> m_notInstalled;
    int m_printed = 0;
    int m_failed = 0;
    int m_officesAhead = 2;
    Yield m_poll;
};
