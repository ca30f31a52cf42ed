// The command line: what it asks for, the paths it takes, the waits of
// --print, and the names a watched folder takes.

#include "CommandLine.h"
#include "CommandLinePrint.h"
#include "FakePrinterList.h"
#include "FakeSettingsStore.h"
#include "FakeWordProcessor.h"
#include "FileNames.h"
#include "PathList.h"
#include "PrintLog.h"
#include "ScriptRun.h"
#include "WatchedFolder.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

class TestCommandLine : public QObject
{
    Q_OBJECT

private slots:
    // --pause 0 waits nowhere; --pause N waits N seconds between two
    // documents, not after the last.
    void printWaitsOnlyThePauseBetweenDocuments()
    {
        QTemporaryDir dir;
        QStringList documents;
        for (const char *name : {"a.docx", "b.odt", "c.rtf"}) {
            documents << dir.filePath(QString::fromLatin1(name));
            QFile(documents.last()).open(QIODevice::WriteOnly);
        }
        for (const int pause : {0, 3}) {
            FakeWordProcessor word;
            FakePrinterList printers;
            printers.names = {"P"};
            printers.defaultName = "P";
            FakeSettingsStore settings;
            QList<int> waits;
            QStringList out;
            CommandLinePrint run(
                word, printers, settings, [&waits](int seconds) { waits << seconds; }, [] {},
                [&out](const QString &line) { out << line; }, [](const QString &) {});
            const CommandLine line = parseCommandLine(
                QStringList{"--print", "--pause", QString::number(pause)} + documents);
            QCOMPARE(run.print(line), 0);
            std::vector<std::string> expected;
            for (const QString &d : documents)
                expected.push_back(d.toStdString());
            QCOMPARE(word.printed(), expected);
            QCOMPARE(waits, pause ? (QList<int>{3, 3}) : QList<int>());
            QCOMPARE(out.last(), "3 printed, 0 not printed");
        }
    }

    // A script never prints on another printer than the one meant: a stored
    // printer that is gone ends the run with status 2 (the window would take
    // the printer now at its position); names match without regard to case
    // and are used as the system spells them.
    void scriptsNeverPrintOnAnotherPrinterSilently()
    {
        QTemporaryDir dir;
        const QString document = dir.filePath("a.docx");
        QFile(document).open(QIODevice::WriteOnly);
        struct Case
        {
            QStringList options;
            QString storedName;
            int status;
            std::string printer; // where it printed; empty: nothing printed
        };
        const QList<Case> cases{
            {{}, "second", 2, ""},       // removed since the window chose it
            {{}, "OFFICE", 0, "Office"}, // stored in another case
            {{"--printer", "office"}, "second", 0, "Office"},
            {{"--printer", "gone"}, "", 2, ""},
            {{}, "", 0, "Third"}, // older settings: position 1
        };
        for (const Case &c : cases) {
            FakeWordProcessor word;
            std::string usedPrinter;
            word.onPrint = [&usedPrinter](const std::string &, const std::string &printer) {
                usedPrinter = printer;
            };
            FakePrinterList printers;
            printers.names = {"Office", "Third"};
            printers.defaultName = "Office";
            FakeSettingsStore settings;
            settings.values = {{"Combo1", "1"}};
            if (!c.storedName.isEmpty())
                settings.values["PrinterName"] = c.storedName;
            QStringList errors;
            CommandLinePrint run(
                word, printers, settings, [](int) {}, [] {}, [](const QString &) {},
                [&errors](const QString &line) { errors << line; });
            const int status = run.print(
                parseCommandLine(QStringList{"--print"} + c.options + QStringList{document}));
            QCOMPARE(status, c.status);
            QCOMPARE(usedPrinter, c.printer);
            if (c.status == 2)
                QVERIFY(errors.join('\n').contains(c.options.isEmpty() ? c.storedName : "gone"));
        }
    }

    // Interrupted while a document's job is on its way to the printer: it
    // arrives and is counted as printed, and nothing after it is printed; a
    // second interruption abandons it (its job cancelled) as not printed.
    void interruptionTellsWhatWasPrinted()
    {
        struct Interrupted
        {
        };
        QTemporaryDir dir;
        const QString a = dir.filePath("a.docx"), b = dir.filePath("b.docx");
        for (const QString &path : {a, b})
            QFile(path).open(QIODevice::WriteOnly);
        for (const int count : {1, 2}) {
            FakeWordProcessor word;
            word.pendingReadings = 3;
            int interruptions = 0;
            word.onPrint = [&](const std::string &, const std::string &) { interruptions = count; };
            FakePrinterList printers;
            printers.names = {"P"};
            FakeSettingsStore settings;
            QStringList out;
            CommandLinePrint *running = nullptr;
            CommandLinePrint run(
                word, printers, settings, [](int) {},
                [&] {
                    if (interruptions && running->interruptionEndsNow(interruptions))
                        throw Interrupted{};
                },
                [&out](const QString &line) { out << line; }, [](const QString &) {});
            running = &run;
            run.setStopRequested([&] { return interruptions > 0; });
            bool ended = false;
            try {
                (void)run.print(parseCommandLine({"--print", "--printer", "P", a, b}));
            } catch (const Interrupted &) {
                ended = true;
            }
            QCOMPARE(ended, count == 2);
            QCOMPARE(word.printed(), std::vector<std::string>{a.toStdString()}); // b never
            if (count == 1) {
                QCOMPARE(out, QStringList{"printed " + a});
                QCOMPARE(run.summary(), "1 printed, 0 not printed");
            } else {
                QCOMPARE(out, QStringList{"failed " + a +
                                          ": interrupted while it was sent to the printer"});
                QCOMPARE(run.summary(), "0 printed, 1 not printed");
                QCOMPARE(word.endAllCalls, 1); // abandoned at once
            }
        }
    }

    // Every document is one line of the output, whatever its name holds.
    void outputLinesEscapeControlCharacters()
    {
        QCOMPARE(CommandLinePrint::lineSafe("/tmp/two\nlines\t.docx"), "/tmp/two\\nlines\\t.docx");
        QCOMPARE(CommandLinePrint::lineSafe("/tmp/bell\a-back\\slash"),
                 "/tmp/bell\\x07-back\\\\slash");
        QCOMPARE(CommandLinePrint::lineSafe("/tmp/Café.docx"), "/tmp/Café.docx");
        QCOMPARE(CommandLinePrint::lineSafe(pathFromNative("/tmp/caf\xe9.docx")),
                 "/tmp/caf\\xe9.docx");
    }

    // A folder given to --print prints its documents only; a file named on
    // the command line is taken as it is.
    void printTakesDocumentsFromAFolder()
    {
        QTemporaryDir dir;
        QDir(dir.path()).mkpath("sub");
        const QStringList names{"a.docx",    "B.RTF",        "Thumbs.db",   "desktop.ini",
                                "notes.txt", ".hidden.docx", "~$lock.docx", "up.docx.part",
                                "sub/c.ODT", "sub/d.dotm"};
        for (const QString &name : names)
            QFile(dir.filePath(name)).open(QIODevice::WriteOnly);
        FakeWordProcessor word;
        FakePrinterList printers;
        printers.names = {"P"};
        printers.defaultName = "P";
        FakeSettingsStore settings;
        CommandLinePrint run(
            word, printers, settings, [](int) {}, [] {}, [](const QString &) {},
            [](const QString &) {});
        QCOMPARE(run.print(parseCommandLine(
                     {"--print", "--printer", "P", dir.path(), dir.filePath("notes.txt")})),
                 0);
        std::vector<std::string> expected;
        for (const char *name : {"a.docx", "B.RTF", "sub/c.ODT", "sub/d.dotm", "notes.txt"})
            expected.push_back(dir.filePath(QString::fromLatin1(name)).toStdString());
        QCOMPARE(word.printed(), expected);
    }

    // Without a word processor, a script gets one sentence and the usage
    // status, not a failure for every document.
    void noWordProcessorIsOneSentence()
    {
        QTemporaryDir dir;
        QStringList documents;
        for (const char *name : {"a.docx", "b.docx", "c.docx"}) {
            documents << dir.filePath(QString::fromLatin1(name));
            QFile(documents.last()).open(QIODevice::WriteOnly);
        }
        ScriptRun script;
        script.word.notInstalled = true;
        QCOMPARE(script.run.print(
                     parseCommandLine(QStringList{"--print", "--printer", "P"} + documents)),
                 2);
        QCOMPARE(script.out, QStringList());
        QCOMPARE(script.err, QStringList{"marrowlake: Word is not installed on this computer."});
    }

    // A Quit that fails after the job was sent: printed, the warning said
    // and recorded, the run's status untouched.
    void aFailureAfterTheJobIsSentIsAWarning()
    {
        QTemporaryDir dir;
        const QString document = dir.filePath("a.docx");
        QFile(document).open(QIODevice::WriteOnly);
        ScriptRun script;
        script.word.failures["Quit"] = "Word did not quit.";
        script.run.setRecordFile(dir.filePath("record.jsonl"));
        QCOMPARE(script.run.print(parseCommandLine({"--print", "--printer", "P", document})), 0);
        QCOMPARE(script.out, (QStringList{"printed " + document, "1 printed, 0 not printed"}));
        QCOMPARE(script.err, QStringList{"marrowlake: warning: " + document +
                                         " printed, but: Word did not quit."});
        const QJsonObject entry = PrintLog::lastEntries(dir.filePath("record.jsonl"), 1).value(0);
        QCOMPARE(entry.value("result").toString(), "printed");
        QVERIFY(PrintLog::readableLine(entry).endsWith(": warning: Word did not quit."));
    }

    void watchTakesOneFolderAndDocumentNamesOnly()
    {
        const CommandLine watch = parseCommandLine({"--watch", "--printer", "P", "/in"});
        QCOMPARE(watch.mode, CommandLine::Mode::Watch);
        QCOMPARE(watch.paths, QStringList{"/in"});
        QCOMPARE(*watch.printer, "P");
        for (const QStringList &wrong :
             {QStringList{"--watch", "/a", "/b"}, QStringList{"--watch", "--print", "/a"},
              QStringList{"--pause", "2", "/a"}})
            QCOMPARE(parseCommandLine(wrong).mode, CommandLine::Mode::UsageError);

        for (const char *name : {"a.docx", "B.DOC", "c.dotm", "d.RTF", "e.odt"})
            QVERIFY2(WatchedFolder::takesName(QString::fromLatin1(name)), name);
        // Office lock files, temporary upload names and other files.
        for (const char *name :
             {"~$a.docx", ".~lock.a.docx#", ".a.docx.Xy12", "notes.txt", "d.docx.part", "e.done"})
            QVERIFY2(!WatchedFolder::takesName(QString::fromLatin1(name)), name);
    }

    // --log keeps a JSON line per document, printed or not; past its limit
    // the record is kept as FILE.1 and a new one begun.
    void logRecordsEachDocumentAndRotates()
    {
        QTemporaryDir dir;
        const QString good = dir.filePath("good.docx"), bad = dir.filePath("bad.docx");
        QFile(good).open(QIODevice::WriteOnly);
        QFile(bad).open(QIODevice::WriteOnly);
        FakeWordProcessor word;
        word.unopenable[bad.toStdString()] = "This file is damaged.";
        FakePrinterList printers;
        printers.names = {"P"};
        FakeSettingsStore settings;
        CommandLinePrint run(
            word, printers, settings, [](int) {}, [] {}, [](const QString &) {},
            [](const QString &) {});
        const QString log = dir.filePath("records/print-log.jsonl");
        run.setRecordFile(dir.filePath("state/print-log.jsonl"));
        QCOMPARE(
            run.print(parseCommandLine({"--print", "--printer", "P", "--pause", "0", "--copies",
                                        "2", "--pages", "1-3, 5", "--log", log, good, bad})),
            1);
        // The user's record and the --log file hold the same entries.
        QCOMPARE(PrintLog::lastEntries(dir.filePath("state/print-log.jsonl"), 5).size(), 2);
        QFile file(log);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = file.readAll().trimmed().split('\n');
        QCOMPARE(lines.size(), 2);
        const QJsonObject first = QJsonDocument::fromJson(lines[0]).object();
        const QJsonObject second = QJsonDocument::fromJson(lines[1]).object();
        QCOMPARE(first.value("path").toString(), good);
        QCOMPARE(first.value("printer").toString(), "P");
        QCOMPARE(first.value("result").toString(), "printed");
        QVERIFY(QDateTime::fromString(first.value("time").toString(), Qt::ISODateWithMs).isValid());
        QCOMPARE(second.value("result").toString(), "not printed");
        QCOMPARE(second.value("reason").toString(), "This file is damaged.");
        QVERIFY(PrintLog::readableLine(second).endsWith(
            "  not printed  P  " + bad + " (2 copies, pages 1-3,5): This file is damaged."));

        PrintLog small(dir.filePath("small.jsonl"), 400);
        for (int i = 0; i < 6; ++i)
            QVERIFY(small.append(
                {QStringLiteral("/d/%1.docx").arg(i), "P", 0, {}, std::nullopt, 1, {}, {}}));
        QVERIFY(QFileInfo(dir.filePath("small.jsonl")).size() <= 400);
        QVERIFY(QFile::exists(dir.filePath("small.jsonl.1")));
        QFile latest(dir.filePath("small.jsonl"));
        QVERIFY(latest.open(QIODevice::ReadOnly));
        QVERIFY(latest.readAll().contains("/d/5.docx"));
        // The last entries span the old file and the new one, in order.
        const QList<QJsonObject> last = PrintLog::lastEntries(dir.filePath("small.jsonl"), 3);
        QCOMPARE(last.size(), 3);
        for (int i = 0; i < 3; ++i)
            QCOMPARE(last[i].value("path").toString(), QStringLiteral("/d/%1.docx").arg(i + 3));
    }

    // A list file: one path a line (CRLF, a byte-order mark, blank lines and
    // comments allowed) or NUL-separated; read back as it was written, any
    // name included. Paths on the command line follow those of the list.
    void listFilesHoldAnyName()
    {
        const QByteArray text = "\xEF\xBB\xBF# this week\r\n/d/one.docx\r\n\r\n"
                                "/d/caf\xe9 #2.docx\n  \n/d/Caf\xc3\xa9.docx";
        const QStringList paths{"/d/one.docx", pathFromNative("/d/caf\xe9 #2.docx"),
                                QString::fromUtf8("/d/Caf\xc3\xa9.docx")};
        QCOMPARE(readPathList(text, false), paths);
        QCOMPARE(readPathList(pathListText(paths, false), false), paths);
        const QStringList odd{"/d/two\nlines.docx", "/d/#hash", "/d/ blank "};
        QCOMPARE(readPathList(pathListText(odd, true), true), odd);
        QStringList leftOut;
        QCOMPARE(readPathList(pathListText(odd, false, &leftOut), false), odd.mid(1));
        QCOMPARE(leftOut, odd.mid(0, 1));

        const CommandLine line = parseCommandLine({"--print", "--null", "--from", "-", "/d/x"});
        QCOMPARE(line.mode, CommandLine::Mode::Print);
        QVERIFY(line.nullSeparated && line.fromFile == "-" && line.paths == QStringList{"/d/x"});
        const CommandLine history = parseCommandLine({"--history", "5", "--paths"});
        QVERIFY(history.mode == CommandLine::Mode::History && history.historyCount == 5 &&
                history.historyPaths);
        QCOMPARE(parseCommandLine({"--history"}).historyCount, 20);
        for (const QStringList &wrong :
             {QStringList{"--print", "--pages", "", "/a"},
              QStringList{"--print", "--pages", "3-1", "/a"},
              QStringList{"--print", "--pages", "0", "/a"},
              QStringList{"--print", "--copies", "0", "/a"},
              QStringList{"--print", "--copies", "1000", "/a"}, QStringList{"--copies", "2", "/a"},
              QStringList{"--from", "list"}, QStringList{"--print", "--null", "/a"},
              QStringList{"--history", "--print", "/a"}, QStringList{"--history", "--printer", "P"},
              QStringList{"--history", "--copies", "2"}, QStringList{"--history", "--done", "/d"},
              QStringList{"--history", "--log", "f"}})
            QVERIFY2(parseCommandLine(wrong).mode == CommandLine::Mode::UsageError,
                     qPrintable(wrong.join(' ')));
    }

    // On Windows: "/?" asks for the help, a quote left after a drive's root
    // by the argument rules goes, and the help tells only of that build.
    void windowsCommandLine()
    {
        const auto windows = PathStyle::Windows;
        QCOMPARE(parseCommandLine({"/?"}, windows).mode, CommandLine::Mode::Help);
        QVERIFY(wantsNoWindow({"/?"}, windows));
        QCOMPARE(parseCommandLine({"/?"}, PathStyle::Posix).mode, CommandLine::Mode::Window);
        QCOMPARE(commandLinePaths(
                     {"/d/\""}, false, [](const QString &) {}, windows),
                 QStringList{"/d"});
        const QString windowsHelp = commandLineHelp(windows);
        QVERIFY(windowsHelp.contains("Microsoft Word") && windowsHelp.contains("/?"));
        QVERIFY(!windowsHelp.contains("print0")); // no Unix tools named on Windows
        QVERIFY(!windowsHelp.contains("LibreOffice") && windowsHelp.contains("--watch") &&
                !windowsHelp.contains("comes to the front"));
        const QString linuxHelp = commandLineHelp(PathStyle::Posix);
        QVERIFY(linuxHelp.contains("LibreOffice") && linuxHelp.contains("--watch"));
        QVERIFY(!linuxHelp.contains("Word") && !linuxHelp.contains("/?"));
    }

    void commandLinePathsAreCleanAbsoluteAndThere()
    {
        QTemporaryDir dir;
        QDir().mkpath(dir.filePath("sub"));
        const QString before = QDir::currentPath();
        QDir::setCurrent(dir.path());
        QStringList warnings;
        auto warn = [&warnings](const QString &warning) { warnings << warning; };
        const QString root = QDir::current().absolutePath();
        QCOMPARE(commandLinePaths({"", ".", "sub/", "./sub/../missing.docx"}, false, warn),
                 (QStringList{root, root + "/sub", root + "/missing.docx"}));
        QCOMPARE(warnings, QStringList{"an empty path is left out"});
        warnings.clear();
        QCOMPARE(commandLinePaths({"sub", "missing.docx"}, true, warn), QStringList{root + "/sub"});
        QCOMPARE(warnings, QStringList{"there is no file or folder " + root + "/missing.docx"});
        QDir::setCurrent(before);
    }
};

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_command_line.moc"
