#include "CommandLinePrint.h"

#include "DirectoryListing.h"
#include "DropFolder.h"
#include "FileNames.h"
#include "FolderSearch.h"
#include "FolderWatcher.h"
#include "PrintLog.h"
#include "PrintOptions.h"
#include "PrintSequence.h"
#include "PrinterList.h"
#include "SettingsStore.h"
#include "WatchedFolder.h"
#include "WordAutomation.h"

#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QThread>
#include <QTimer>

#include <utility>

namespace {

int storedPosition(const SettingsStore &settings, const QString &key, int count)
{
    bool ok = false;
    const int position = settings.read(key, QString()).trimmed().toInt(&ok);
    return ok && position >= 0 && position < count ? position : -1;
}

// A control character as C writes it; empty for any other.
QString controlEscape(QChar c)
{
    switch (c.unicode()) {
    case '\n':
        return QStringLiteral("\\n");
    case '\r':
        return QStringLiteral("\\r");
    case '\t':
        return QStringLiteral("\\t");
    default:
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            return QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QChar(u'0'));
        // The C1 controls some terminals obey as escapes.
        if (c.unicode() >= 0x80 && c.unicode() < 0xa0)
            return QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QChar(u'0'));
        return {};
    }
}

} // namespace

QString CommandLinePrint::lineSafe(const QString &path)
{
    // One document, one line: control characters are written as C writes
    // them, and so is the backslash that introduces an escape where it is
    // not the separator (Windows names hold no control characters). A byte
    // of the name that is not UTF-8 is written \xNN, so the line names that
    // file and no other.
    const bool escapeBackslash = QDir::separator() != u'\\';
    QString safe;
    for (const QChar c : path) {
        if (const QString escaped = controlEscape(c); !escaped.isEmpty())
            safe += escaped;
        else if (c == u'\\')
            safe += escapeBackslash ? QStringLiteral("\\\\") : QStringLiteral("\\");
        else if (holdsForeignBytes(c))
            safe += QStringLiteral("\\x%1").arg(int(nativePath(c).at(0)) & 0xff, 2, 16);
        else
            safe += c;
    }
    return safe;
}

QString CommandLinePrint::withoutControls(const QString &line)
{
    // A name in a message (a stranger's, in a watched folder) never moves
    // the terminal's cursor, rings its bell or starts a line of its own.
    QString safe;
    safe.reserve(line.size());
    for (const QChar c : line) {
        const QString escaped = controlEscape(c);
        safe += escaped.isEmpty() ? QString(c) : escaped;
    }
    return safe;
}

CommandLinePrint::CommandLinePrint(automation::WordProcessor &wordProcessor, PrinterList &printers,
                                   const SettingsStore &settings, Wait waitSeconds, Yield yield,
                                   Output out, Output err)
    : m_word(wordProcessor), m_printers(printers), m_settings(settings),
      m_wait(std::move(waitSeconds)), m_yield(std::move(yield)), m_out(std::move(out)),
      m_err(std::move(err))
{
}

CommandLinePrint::~CommandLinePrint() = default;

void CommandLinePrint::startLog(const CommandLine &line, const QString &printer, int pause)
{
    m_logs.clear();
    for (const QString &file : {m_recordFile, line.logFile})
        if (!file.isEmpty())
            m_logs.push_back({std::make_unique<PrintLog>(QFileInfo(file).absoluteFilePath())});
    m_logPrinter = printer;
    m_logPause = pause;
    m_range = rangeOf(line);
}

automation::PrintRange CommandLinePrint::rangeOf(const CommandLine &line)
{
    return {line.copies, line.pages.toStdString()};
}

int CommandLinePrint::officesAhead(const CommandLine &line)
{
    // One document printing and, on each other core, one opening ahead.
    return line.jobs > 0 ? line.jobs - 1 : std::max(1, QThread::idealThreadCount() - 1);
}

int CommandLinePrint::listPrinters()
{
    const QString defaultName = m_printers.defaultPrinterName();
    for (const QString &name : m_printers.printerNames())
        m_out(name == defaultName ? name + QStringLiteral(" (default)") : name);
    return 0;
}

QString CommandLinePrint::summary() const
{
    return QStringLiteral("%1 printed, %2 not printed").arg(m_printed).arg(m_failed);
}

QString CommandLinePrint::choosePrinter(const CommandLine &line)
{
    // The printer is settled before anything prints, and never silently
    // another one: an unknown name, or a stored printer that is gone, ends
    // the run before it starts. Names match as CUPS and Windows match them,
    // without regard to case, and are used as the system spells them.
    const QStringList printers = m_printers.printerNames();
    auto systemName = [&printers](const QString &name) {
        for (const QString &printer : printers)
            if (printer.compare(name, Qt::CaseInsensitive) == 0)
                return printer;
        return QString();
    };
    if (line.printer) {
        const QString printer = systemName(*line.printer);
        if (printer.isEmpty())
            m_err(QStringLiteral("marrowlake: there is no printer named \"%1\" (see "
                                 "--list-printers)")
                      .arg(*line.printer));
        return printer;
    }
    // The window goes by position when its printer is gone; a script has
    // nobody looking at the Options tab.
    if (const QString stored = PrintOptions::storedPrinterName(m_settings); !stored.isEmpty()) {
        const QString printer = systemName(stored);
        if (printer.isEmpty())
            m_err(QStringLiteral("marrowlake: the printer chosen in the window, \"%1\", is no "
                                 "longer there; name one with --printer")
                      .arg(stored));
        return printer;
    }
    bool ok = false;
    const int stored =
        PrintOptions::storedPrinterPosition(m_settings, printers, QString()).toInt(&ok);
    const QString printer = ok && stored >= 0 && stored < printers.size()
                                ? printers[stored]
                                : m_printers.defaultPrinterName();
    if (printer.isEmpty())
        m_err(QStringLiteral("marrowlake: no printer chosen and no default printer; name one "
                             "with --printer"));
    return printer;
}

int CommandLinePrint::pauseFor(const CommandLine &line) const
{
    return line.pause ? *line.pause
                      : std::max(0, storedPosition(m_settings, QStringLiteral("Combo2"), 10));
}

bool CommandLinePrint::interruptionEndsNow(int interruptions)
{
    if (m_sending.isEmpty()) {
        m_word.endAllInstances();
        return true;
    }
    if (interruptions < 2)
        return false;
    m_word.abandonAllInstances();
    ++m_failed;
    m_out(QStringLiteral("failed ") + lineSafe(std::exchange(m_sending, QString())) +
          QStringLiteral(": interrupted while it was sent to the printer"));
    return true;
}

std::optional<std::string> CommandLinePrint::attempt(const QString &path,
                                                     const automation::PrintSteps &steps)
{
    std::optional<std::string> failure;
    m_systemFailure = false;
    m_warning.clear();
    try {
        failure = automation::printDocument(m_word, nativePath(path).toStdString(), steps);
    } catch (const automation::NotInstalled &e) {
        failure = e.what();
        m_systemFailure = true;
        m_notInstalled = QString::fromStdString(*failure);
    } catch (const automation::SystemFailure &e) {
        failure = e.what();
        m_systemFailure = true;
    } catch (const std::exception &e) {
        failure = e.what();
    }
    m_sending.clear();
    return failure;
}

void CommandLinePrint::printOne(const QString &path, const automation::PrintSteps &steps)
{
    const auto failure = attempt(path, steps);
    // Without a word processor nothing is a document's failure: said once,
    // by the caller.
    if (!m_notInstalled)
        report(path, failure);
}

int CommandLinePrint::notInstalled()
{
    m_word.dropSpare();
    m_err(QStringLiteral("marrowlake: ") + *m_notInstalled);
    return 2;
}

void CommandLinePrint::report(const QString &path, const std::optional<std::string> &failure)
{
    for (Record &record : m_logs) {
        QString why;
        const bool logged = record.log->append(
            {path, m_logPrinter, m_logPause, failure ? QString::fromStdString(*failure) : QString(),
             std::nullopt, m_range.copies, QString::fromStdString(m_range.pages), m_warning},
            &why);
        if (!logged && !record.failed)
            m_err(QStringLiteral("marrowlake: the record cannot be written to %1 (%2)")
                      .arg(record.log->file(), why));
        record.failed = !logged;
    }
    if (failure) {
        ++m_failed;
        m_out(QStringLiteral("failed ") + lineSafe(path) + QStringLiteral(": ") +
              lineSafe(QString::fromStdString(*failure)));
    } else {
        ++m_printed;
        m_out(QStringLiteral("printed ") + lineSafe(path));
        // Its job is with the scheduler: printing it again would print it
        // twice.
        if (!m_warning.isEmpty())
            m_err(QStringLiteral("marrowlake: warning: %1 printed, but: %2")
                      .arg(lineSafe(path), lineSafe(m_warning)));
    }
}

int CommandLinePrint::print(const CommandLine &line)
{
    const QString printer = choosePrinter(line);
    if (printer.isEmpty())
        return 2;
    const int pause = pauseFor(line);
    startLog(line, printer, pause);
    QStringList documents;
    // Each document as the system writes paths (backslashes on Windows):
    // that is what the lines show and what the word processor is given. From
    // a folder only documents: nobody sees the rows before they print.
    expandDroppedPaths(
        line.paths,
        [&documents](const QString &path) { documents << QDir::toNativeSeparators(path); }, m_yield,
        isPrintableDocument);
    if (documents.isEmpty()) {
        m_err(QStringLiteral("marrowlake: no documents found"));
        return 2;
    }

    // The same steps as the window's run, the failures said instead of shown,
    // without its waits: a document is done once the scheduler has its job,
    // and the offices for the next ones start while it prints.
    qsizetype current = 0, startedUpTo = 0; // the last document with an office
    const Yield poll = m_poll ? m_poll : m_yield;
    const automation::PrintSteps steps{
        [&printer] { return printer.toStdString(); },
        [poll](int) { poll(); },
        poll,
        [&] {
            while (startedUpTo < std::min(documents.size() - 1, current + m_officesAhead))
                m_word.prepareSpare(nativePath(documents[++startedUpTo]).toStdString());
        },
        [&] { m_sending = documents[current]; },
        m_range,
        warningHook()};
    for (; current < documents.size(); ++current) {
        // Interrupted: the caller says what was printed.
        if (m_stopRequested && m_stopRequested())
            return m_failed == 0 ? 0 : 1;
        if (current > 0 && pause > 0)
            m_wait(pause);
        printOne(documents[current], steps);
        if (m_notInstalled)
            return notInstalled();
    }
    m_word.dropSpare();
    m_out(summary());
    return m_failed == 0 ? 0 : 1;
}

std::unique_ptr<StationFolder>
CommandLinePrint::stationFolder(const QString &option, const QString &given, const QString &watched)
{
    if (given.isEmpty())
        return {};
    const QString path = QFileInfo(given).absoluteFilePath();
    // The watched folder itself, or one holding it, would have the station
    // print what it moved there.
    const QString canonical = QFileInfo(path).canonicalFilePath();
    const QString canonicalWatched = QFileInfo(watched).canonicalFilePath();
    if (!canonical.isEmpty() &&
        (canonical == canonicalWatched || canonicalWatched.startsWith(canonical + u'/') ||
         canonical == QStringLiteral("/"))) {
        m_err(QStringLiteral("marrowlake: %1 %2 is the watched folder or holds it; name a folder "
                             "beside it or inside it")
                  .arg(option, lineSafe(path)));
        return {};
    }
    auto folder = std::make_unique<StationFolder>(path);
    if (!folder->problem().isEmpty()) {
        m_err(QStringLiteral("marrowlake: %1: %2").arg(option, folder->problem()));
        return {};
    }
    return folder;
}

int CommandLinePrint::watch(const CommandLine &line, FolderWatcher *watcher,
                            const std::function<bool()> &stopRequested)
{
    const QString printer = choosePrinter(line);
    if (printer.isEmpty())
        return 2;
    const QString folder = line.paths.value(0);
    if (!watcher) {
        m_err(QStringLiteral("marrowlake: watching a folder is not possible on this system"));
        return 2;
    }
    if (!namesFolder(folder)) {
        m_err(QStringLiteral("marrowlake: there is no folder %1").arg(lineSafe(folder)));
        return 2;
    }
    // Where printed and failed documents go: folders of the station's own,
    // checked before anything is taken.
    const std::unique_ptr<StationFolder> doneFolder =
        stationFolder(QStringLiteral("--done"), line.doneFolder, folder);
    if (!line.doneFolder.isEmpty() && !doneFolder)
        return 2;
    const std::unique_ptr<StationFolder> failedFolder =
        stationFolder(QStringLiteral("--failed"), line.failedFolder, folder);
    if (!line.failedFolder.isEmpty() && !failedFolder)
        return 2;
    WatchedFolder watched(*watcher, folder, WatchedFolder::stateFileFor(folder));
    watched.leaveOut({doneFolder ? doneFolder->path() : QString(),
                      failedFolder ? failedFolder->path() : QString()});
    QObject::connect(&watched, &WatchedFolder::problem, &watched,
                     [this](const QString &text) { m_err(QStringLiteral("marrowlake: ") + text); });
    QString claimed;
    if (!watched.claim(&claimed)) {
        m_err(QStringLiteral("marrowlake: ") + claimed);
        return 2;
    }
    if (!watched.start()) {
        m_err(QStringLiteral("marrowlake: the folder %1 cannot be watched").arg(lineSafe(folder)));
        return 2;
    }
    m_err(QStringLiteral("marrowlake: watching %1 for documents to print on %2")
              .arg(lineSafe(QDir::toNativeSeparators(folder)), printer));

    const int pause = pauseFor(line);
    startLog(line, printer, pause);
    const automation::PrintSteps steps{[&printer] { return printer.toStdString(); },
                                       [this](int) { m_yield(); },
                                       m_yield,
                                       {},
                                       {},
                                       m_range,
                                       warningHook()};
    QEventLoop loop;
    bool printing = false, printedOne = false;
    // Documents held by a failure that is the station's own (no office, no
    // room for the copy, a printer or scheduler that takes no jobs): tried
    // again, in order and before anything that came after them, at growing
    // intervals; said once until one prints.
    QStringList held;
    int retryMs = 0;
    QTimer retry;
    retry.setSingleShot(true);
    auto hold = [&](const QString &path, const QString &why) {
        if (!held.contains(path))
            held.prepend(path);
        if (retryMs == 0)
            m_err(QStringLiteral("marrowlake: %1 waits: %2; it is tried again until it prints")
                      .arg(lineSafe(QDir::toNativeSeparators(path)), why));
        retryMs = retryMs == 0 ? PrinterCheckMs : std::min(2 * retryMs, LongestRetryMs);
        retry.start(retryMs);
    };
    auto printArrived = [&] {
        if (printing || retry.isActive())
            return;
        printing = true;
        while (!stopRequested()) {
            const QString path =
                !held.isEmpty() ? watched.currentPath(held.first()) : watched.takeArrived();
            if (path.isEmpty())
                break;
            if (printedOne && pause > 0)
                m_wait(pause);
            if (stopRequested()) {
                if (!held.contains(path))
                    held.prepend(path);
                break;
            }
            // A held document is tried again only once the printer takes
            // jobs; others find out by printing (no question to the
            // scheduler per document).
            if (held.contains(path) && !m_printers.acceptsJobs(printer)) {
                hold(path, QStringLiteral("%1 does not take jobs now").arg(printer));
                break;
            }
            const WatchedFolder::Taken taken = watched.take(path);
            if (!taken.stationProblem.isEmpty()) {
                hold(path, taken.stationProblem);
                break;
            }
            held.removeAll(path);
            if (taken.copy.isEmpty())
                continue; // not the document that arrived: nothing to print
            // As the system writes paths (backslashes on Windows), as --print
            // gives them.
            const QString copy = QDir::toNativeSeparators(taken.copy);
            auto failure = attempt(copy, steps);
            watched.release(taken);
            printedOne = true;
            if (m_notInstalled) {
                loop.exit(2);
                break;
            }
            if (failure && (m_systemFailure || !m_printers.acceptsJobs(printer))) {
                hold(path, lineSafe(QString::fromStdString(*failure)));
                break;
            }
            retryMs = 0;
            // Said of the dropped document, never of the private copy.
            const QString now = watched.currentPath(path);
            const QString shown = QDir::toNativeSeparators(now);
            if (failure)
                failure = QString::fromStdString(*failure)
                              .replace(QString::fromUtf8(nativePath(copy)), shown)
                              .toStdString();
            report(shown, failure);
            watched.markDone(taken);
            // Moved once the scheduler holds its job; a document that cannot
            // be moved stays, said, and is not printed again.
            StationFolder *aside = failure ? failedFolder.get() : doneFolder.get();
            if (!aside)
                continue;
            if (const auto problem =
                    aside->moveIn(watched.tree(), now, taken.file,
                                  failure ? lineSafe(QString::fromStdString(*failure)) : QString()))
                m_err(QStringLiteral("marrowlake: ") + lineSafe(*problem));
            else
                watched.movedAway(now);
        }
        printing = false;
        if (stopRequested() && !m_notInstalled)
            loop.quit();
    };
    QObject::connect(&retry, &QTimer::timeout, &loop, printArrived);
    QObject::connect(&watched, &WatchedFolder::arrived, &loop, printArrived);
    // Arrivals need no polling; a stop request (a signal) does not wake the
    // loop by itself.
    QTimer stopCheck;
    QObject::connect(&stopCheck, &QTimer::timeout, &loop, [&] {
        if (stopRequested() && !printing)
            loop.quit();
    });
    stopCheck.start(250);
    if (loop.exec() == 2 || m_notInstalled)
        return notInstalled();
    m_out(summary());
    return 0;
}
