#include "CallingConsole.h"
#include "CommandLine.h"
#include "CommandLinePrint.h"
#include "InstanceChannel.h"
#include "MainWindow.h"
#include "PathList.h"
#include "PrintLog.h"
#include "PrintLogFile.h"

#include "DocumentListView.h"
#include "EventLoop.h"
#include "FolderWatcher.h"
#include "PlatformPrinterList.h"
#include "ProgramFolder.h"
#include "QtDesktopShell.h"
#include "QtFileDialogs.h"
#include "QtMessageBoxes.h"
#include "QtSettingsStore.h"
#include "WordProcessorFactory.h"
#include "YieldingWait.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QThread>
#include <QTime>

#include <csignal>
#include <cstdio>
#include <cstdlib>

namespace {

volatile std::sig_atomic_t interruptedBy = 0;
volatile std::sig_atomic_t interruptions = 0;

// The office profile prepared when the program was built, so that the first
// start need not set one up.
QString preparedOfficeProfile()
{
    return QDir(programFolder()).filePath(QStringLiteral("office-profile"));
}

void writeLine(std::FILE *stream, const QString &line)
{
    writeToConsole(stream, (CommandLinePrint::withoutControls(line) + u'\n').toStdString());
}

// --history: the last entries of the user's record, as lines a person
// reads or as a list file.
int showHistory(const CommandLine &line)
{
    const QList<QJsonObject> entries = PrintLog::lastEntries(printLogFile(), line.historyCount);
    if (!line.historyPaths) {
        for (const QJsonObject &entry : entries)
            writeLine(stdout, PrintLog::readableLine(entry));
        return 0;
    }
    QStringList paths, leftOut;
    for (const QJsonObject &entry : entries)
        paths << entry.value(QLatin1String("path")).toString();
    const QByteArray list = pathListText(paths, line.nullSeparated, &leftOut);
    std::fwrite(list.constData(), 1, size_t(list.size()), stdout);
    std::fflush(stdout);
    for (const QString &path : std::as_const(leftOut))
        writeLine(stderr, QStringLiteral("marrowlake: %1 holds a line break and is left out; "
                                         "--null lists it")
                              .arg(CommandLinePrint::lineSafe(path)));
    return 0;
}

// Printing without a window: marrowlake --print, --list-printers, --help,
// --version.
int runWithoutWindow(int argc, char *argv[])
{
    useCallingConsole();
    QCoreApplication app(argc, argv);
    const CommandLine line = parseCommandLine(programArguments(argc, argv));
    auto out = [](const QString &text) { writeLine(stdout, text); };
    auto err = [](const QString &text) { writeLine(stderr, text); };
    switch (line.mode) {
    case CommandLine::Mode::Help:
        writeToConsole(stdout, commandLineHelp().toStdString());
        return 0;
    case CommandLine::Mode::Version:
        out(QStringLiteral("marrowlake " MARROWLAKE_VERSION));
        return 0;
    case CommandLine::Mode::UsageError:
        err(QStringLiteral("marrowlake: ") + line.error);
        err(QStringLiteral("Try 'marrowlake --help' for more information."));
        return 2;
    case CommandLine::Mode::History:
        return showHistory(line);
    default:
        break;
    }

    // Paths read from a list come first, then those of the command line.
    QStringList given = line.paths;
    if (!line.fromFile.isEmpty()) {
        QString why;
        const std::optional<QStringList> listed =
            readPathListFile(line.fromFile, line.nullSeparated, &why);
        if (!listed) {
            err(QStringLiteral("marrowlake: the list %1 cannot be read (%2)")
                    .arg(line.fromFile, why));
            return 2;
        }
        given = *listed + line.paths;
    }

    QtSettingsStore settings; // read only: nothing is stored from here
    PlatformPrinterList printers;
    std::unique_ptr<automation::WordProcessor> office;
    std::unique_ptr<CommandLinePrint> run;
    // Ctrl+C and kill: a document whose job is on its way to the printer is
    // let arrive, and the run ends after it; a second Ctrl+C abandons it.
    // Otherwise the office instance is ended at once. What was printed is
    // said, and the program ends with 128 + the signal's number. A watch
    // instead finishes the document in hand and ends as usual, unless its
    // console closes: the system then ends the program within seconds.
    const bool watching = line.mode == CommandLine::Mode::Watch;
    auto checkInterrupt = [&office, &run, watching] {
        const int signal = interruptedBy;
        if (!signal || (watching && signal != ConsoleClosed))
            return;
        if (run && !run->interruptionEndsNow(interruptions))
            return;
        if (!run && office)
            office->endAllInstances();
        if (run)
            writeLine(stdout, QStringLiteral("interrupted: ") + run->summary());
        std::_Exit(128 + signal);
    };
    onInterruptRequests([](int signal) {
        interruptedBy = signal;
        interruptions = interruptions + 1;
    });
    auto yield = [checkInterrupt] {
        checkInterrupt();
        yieldToEventLoop(5);
    };
    // While a call into the word processor is under way: an instance that
    // may be in the user's hands (Word) is ended in order once the call is
    // back; a second interruption, or a console closing for more than a
    // moment, ends it at once.
    QElapsedTimer closing;
    auto duringCall = [&office, &closing, checkInterrupt] {
        if (!interruptedBy)
            return;
        if (interruptedBy == ConsoleClosed && !closing.isValid())
            closing.start();
        const bool closed = closing.isValid() && closing.elapsed() > 3000;
        if (!office || office->endsSafelyMidCall() || interruptions >= 2 || closed) {
            if (closed)
                interruptions = 2;
            checkInterrupt();
        }
    };
    auto wait = [checkInterrupt](int seconds) {
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < qint64(seconds) * 1000 && !interruptedBy) {
            checkInterrupt();
            QThread::msleep(std::min<qint64>(20, qint64(seconds) * 1000 - clock.elapsed() + 1));
        }
    };
    const int ahead = CommandLinePrint::officesAhead(line);
    office =
        automation::makeWordProcessor({yield, duringCall, preparedOfficeProfile().toStdString(),
                                       ahead, true, CommandLinePrint::DocumentsPerOffice});
    run = std::make_unique<CommandLinePrint>(*office, printers, settings, wait, yield, out, err);
    run->setStopRequested([] { return interruptedBy != 0; });
    run->setRecordFile(printLogFile());
    run->setOfficesAhead(ahead);
    run->setPollYield([checkInterrupt] {
        checkInterrupt();
        yieldToEventLoop(0);
    });
    CommandLine printing = line;
    const auto warn = [&err](const QString &warning) {
        err(QStringLiteral("marrowlake: ") + warning);
    };
    printing.paths = commandLinePaths(given, false, warn);
    int status = 0;
    if (line.mode == CommandLine::Mode::ListPrinters) {
        status = run->listPrinters();
    } else if (watching) {
        const std::unique_ptr<FolderWatcher> watcher = makeFolderWatcher();
        status = run->watch(printing, watcher.get(), [] { return interruptedBy != 0; });
    } else {
        status = run->print(printing);
    }
    checkInterrupt();
    office->endAllInstances();
    return status;
}

} // namespace

int main(int argc, char *argv[])
{
    QStringList raw;
    for (int i = 1; i < argc; ++i)
        raw << QString::fromLocal8Bit(argv[i]);
    if (wantsNoWindow(raw))
        return runWithoutWindow(argc, argv);

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Marrowlake"));
    QApplication::setOrganizationName(QStringLiteral("Harrowick"));
    const CommandLine line = parseCommandLine(programArguments(argc, argv));
    if (line.mode == CommandLine::Mode::UsageError) {
        writeLine(stderr, QStringLiteral("marrowlake: ") + line.error);
        writeLine(stderr, QStringLiteral("Try 'marrowlake --help' for more information."));
        return 2;
    }
    const bool pathsGiven = !line.paths.isEmpty();
    const auto warn = [](const QString &warning) {
        writeLine(stderr, QStringLiteral("marrowlake: ") + warning);
    };
    const QStringList paths = commandLinePaths(line.paths, true, warn);
    // One window per user: a running one takes these paths and comes to the
    // front. A start without paths opens a window of its own. Decided before
    // anything slow, so that starts made at the same moment (Open with on
    // several files) settle on one window; what reaches this one before its
    // window is ready waits, in order, behind its own paths.
    MainWindow *window = nullptr;
    QList<QStringList> waiting{paths};
    InstanceChannel channel;
    if (channel.startOrHandOver(
            paths, pathsGiven,
            [&window, &waiting](const QStringList &handed) {
                if (window)
                    window->openPaths(handed);
                else
                    waiting << handed;
            },
            [&window] { return window ? window->listView()->count() : 0; }))
        return 0;
    // From here on the window is the program's answer: the console it was
    // started from has its prompt back.
    releaseCallingConsole();

    QtSettingsStore settings;
    PlatformPrinterList printers;
    QtMessageBoxes messages;
    QtDesktopShell shell;
    QtFileDialogs dialogs;

    // Short waits: the office answers within milliseconds once it runs.
    // While one call into it is under way the window is kept painted; user
    // input waits for the next yield.
    const auto office = automation::makeWordProcessor(
        {[] { yieldToEventLoop(5); },
         [] { QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents); },
         preparedOfficeProfile().toStdString()});

    MainWindow form({settings, printers, messages, shell, dialogs, *office, programFolder(),
                     [] {
                         // Seeded from the seconds since midnight, one draw per start.
                         QRandomGenerator generator(
                             quint32(QTime::currentTime().msecsSinceStartOfDay() / 1000));
                         return int(generator.bounded(100)) + 1;
                     },
                     [&settings] {
                         settings.flush();
                         // At once: a call into the office may still be waiting on
                         // a thread of its own, and nothing of the run may go on.
                         std::_Exit(0);
                     },
                     yieldingWait, printLogFile()});
    messages.setParent(&form);
    form.startUp();
    form.show();
    window = &form;
    for (const QStringList &early : std::as_const(waiting))
        if (!early.isEmpty())
            form.openPaths(early);
    return app.exec();
}
