// A print station's folder, which strangers write into: each drop printed
// once, from the file that was checked, the record kept whatever happens to
// the folder, and documents moved only into folders of the station's own.

#include "CommandLine.h"
#include "CommandLinePrint.h"
#include "DropFolder.h"
#include "FakeFolderWatcher.h"
#include "ScriptRun.h"
#include "WatchedFolder.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <memory>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace {

using Change = FolderWatcher::Change;

bool write(const QString &path, const QByteArray &content)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

QByteArray read(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A station on a folder of a temporary directory, its watcher the test's.
struct Station
{
    QTemporaryDir dir;
    QString folder = dir.filePath("in");
    QString state = dir.filePath("state.json");
    FakeFolderWatcher watcher;
    QStringList problems;
    std::unique_ptr<WatchedFolder> watched;

    Station() { QDir().mkpath(folder); }
    bool open()
    {
        watched = std::make_unique<WatchedFolder>(watcher, folder, state);
        QObject::connect(watched.get(), &WatchedFolder::problem,
                         [this](const QString &text) { problems << text; });
        QString why;
        if (watched->claim(&why))
            return watched->start();
        problems << why;
        return false;
    }
    QString path(const QString &name) const { return folder + u'/' + name; }
    void drop(const QString &name, const QByteArray &content)
    {
        QVERIFY(write(path(name), content));
        watcher.tell(path(name), Change::Created);
        watcher.tell(path(name), Change::Closed);
    }
    void move(const QString &from, const QString &to)
    {
        QDir().mkpath(QFileInfo(path(to)).absolutePath());
        QVERIFY(QFile::rename(path(from), path(to)));
        watcher.move(path(from), path(to));
    }
    // Everything that settles, printed as a run would print it: "NAME=CONTENT"
    // of each copy taken (NAME relative to the folder), in order.
    QStringList print()
    {
        QStringList printed;
        if (!QTest::qWaitFor([this] { return watched->settling() == 0; }, 30000))
            return {QStringLiteral("(still settling)")};
        for (QString arrived; !(arrived = watched->takeArrived()).isEmpty();) {
            const WatchedFolder::Taken taken = watched->take(arrived);
            if (taken.copy.isEmpty())
                continue;
            printed << QDir(folder).relativeFilePath(arrived) + u'=' + read(taken.copy);
            watched->release(taken);
            watched->markDone(taken);
        }
        return printed;
    }
};

} // namespace

class TestStation : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); } // not the user's record

    // A drop is a file made, moved in or written anew with another content;
    // a rename or move inside the folder (a folder's too) is the same drop,
    // and a rescan never queues what is queued or done.
    void everyDropPrintsOnce()
    {
        Station s;
        QVERIFY(write(s.path("there.docx"), "before")); // left alone
        QVERIFY(s.open());
        s.drop("a.docx", "form");
        QCOMPARE(s.print(), QStringList{"a.docx=form"});
        s.move("a.docx", "sub/a.docx");
        s.move("sub", "deeper/sub2");
        s.watcher.overflow();
        QCOMPARE(s.print(), QStringList());
        // A move between folders told as a removal and an arrival (as
        // Windows tells it): the same file, no request.
        QVERIFY(QFile::rename(s.path("deeper/sub2/a.docx"), s.path("deeper/a.docx")));
        s.watcher.tell(s.path("deeper/sub2/a.docx"), Change::Removed);
        s.watcher.tell(s.path("deeper/a.docx"), Change::Created);
        s.watcher.tell(s.path("deeper/a.docx"), Change::Closed);
        QCOMPARE(s.print(), QStringList());
        // The same form dropped again, by another name and by the same one
        // once the first went: each is a request.
        s.drop("b.docx", "form");
        s.watcher.overflow(); // while b waits: not queued twice
        QCOMPARE(s.print(), QStringList{"b.docx=form"});
        QVERIFY(QFile::remove(s.path("b.docx")));
        s.watcher.tell(s.path("b.docx"), Change::Removed);
        s.drop("b.docx", "form");
        QCOMPARE(s.print(), QStringList{"b.docx=form"});
        // Touched or written with the same content: no request; another
        // content: one.
        QVERIFY(write(s.path("b.docx"), "form"));
        s.watcher.tell(s.path("b.docx"), Change::Closed);
        QCOMPARE(s.print(), QStringList());
        QVERIFY(write(s.path("b.docx"), "form, second edition"));
        s.watcher.tell(s.path("b.docx"), Change::Closed);
        QCOMPARE(s.print(), QStringList{"b.docx=form, second edition"});
        // A hard link made in the folder: whole at once, nobody closes it.
        QCOMPARE(::link(qPrintable(s.path("deeper/a.docx")), qPrintable(s.path("c.docx"))), 0);
        s.watcher.tell(s.path("c.docx"), Change::Created);
        QCOMPARE(s.print(), QStringList{"c.docx=form"});
        // An upload renamed to its name once whole.
        QVERIFY(write(s.path("up.docx.part"), "upload"));
        s.move("up.docx.part", "up.docx");
        QCOMPARE(s.print(), QStringList{"up.docx=upload"});
        // Moved into a new folder before the folder's own walk: still the
        // same file.
        QVERIFY(QDir().mkpath(s.path("new")) &&
                QFile::rename(s.path("up.docx"), s.path("new/up.docx")));
        s.watcher.addFolder(s.path("new"));
        s.watcher.move(s.path("up.docx"), s.path("new/up.docx"));
        QCOMPARE(s.print(), QStringList());
        QVERIFY(QFile::rename(s.path("new/up.docx"), s.path("up.docx")));
        s.watcher.move(s.path("new/up.docx"), s.path("up.docx"));

        // A restart prints nothing again, wherever the documents went, and
        // a start on an empty folder (a share not mounted) forgets nothing.
        s.watched.reset();
        QVERIFY(s.open());
        QCOMPARE(s.print(), QStringList());
        s.watched.reset();
        QVERIFY(QDir().rename(s.folder, s.folder + ".share"));
        QVERIFY(QDir().mkpath(s.folder));
        QVERIFY(s.open());
        QCOMPARE(s.print(), QStringList());
        s.watched.reset();
        QVERIFY(QDir(s.folder).removeRecursively() && QDir().rename(s.folder + ".share", s.folder));
        // Moved while nobody watched: the same file elsewhere.
        QVERIFY(QFile::rename(s.path("up.docx"), s.path("deeper/up.docx")));
        QVERIFY(s.open());
        QCOMPARE(s.print(), QStringList());
    }

    // What is printed is the content that was seen, copied through a
    // descriptor that never followed a link, or nothing.
    void printsTheFileSeenOrNothing()
    {
        Station s;
        const QString secret = s.dir.filePath("private/secret.docx");
        QVERIFY(write(secret, "the owner's own"));
        QVERIFY(s.open());
        // Swapped for a link after it was seen.
        s.watched->setBeforeTake([&](const QString &path) {
            QFile::remove(path);
            QFile::link(secret, path);
        });
        s.drop("x.docx", "harmless");
        QCOMPARE(s.print(), QStringList());
        QVERIFY(s.problems.join('\n').contains("x.docx is a link"));
        // Its folder swapped for a link to a private one.
        s.watched->setBeforeTake([&](const QString &) {
            QDir().rename(s.path("sub"), s.path("sub.old"));
            QFile::link(QFileInfo(secret).absolutePath(), s.path("sub"));
        });
        s.drop("sub/secret.docx", "harmless");
        QCOMPARE(s.print(), QStringList());
        // Written anew after it was seen: that content, once it holds still.
        bool rewritten = false;
        s.watched->setBeforeTake([&](const QString &path) {
            if (!std::exchange(rewritten, true))
                write(path, "changed");
        });
        s.drop("y.docx", "first");
        QCOMPARE(s.print(), QStringList());
        QCOMPARE(s.print(), QStringList{"y.docx=changed"});
        // A link, or a folder reached through one, is never read by a rescan.
        QVERIFY(QFile::link(QFileInfo(secret).absolutePath(), s.path("linked")));
        QVERIFY(QFile::link(secret, s.path("z.docx")));
        s.watcher.overflow();
        s.watcher.overflow();
        // (The document dropped into the folder that was moved aside is
        // still one drop, and prints as what was dropped.)
        QCOMPARE(s.print(), QStringList{"sub.old/secret.docx=harmless"});
        QCOMPARE(s.problems.filter("z.docx is a link").size(), 1);
    }

    // The record: what is done survives a damaged line, a record that
    // cannot be read is kept aside (the folder then left alone), one that
    // cannot be written is said, and one station a folder.
    void recordSurvivesAndIsTheStationsAlone()
    {
        Station s;
        QVERIFY(s.open());
        QVERIFY(write(s.path("missed.docx"), "lost event"));
        s.watcher.overflow();
        QCOMPARE(s.print(), QStringList{"missed.docx=lost event"});
        Station second;
        second.folder = s.folder;
        second.state = s.state;
        QVERIFY(!second.open());
        QVERIFY(second.problems.value(0).contains(QStringLiteral("watched already, by process %1")
                                                      .arg(QCoreApplication::applicationPid())));
        s.watched.reset();

        {
            QFile record(s.state);
            QVERIFY(record.open(QIODevice::Append));
            record.write("{damaged\n");
        }
        QVERIFY(s.open());
        QCOMPARE(s.print(), QStringList());
        QVERIFY(s.problems.join('\n').contains("1 line(s) of the record"));
        s.watched.reset();

        QVERIFY(write(s.state, "{not json"));
        QVERIFY(write(s.path("new.docx"), "arrived meanwhile"));
        QVERIFY(s.open());
        QVERIFY(QFile::exists(s.state + ".bad"));
        QCOMPARE(s.print(), QStringList());
        s.watched.reset();

        // The folder gone and back: watched again, what came is printed.
        QVERIFY(s.open());
        s.watcher.gone();
        QVERIFY(QDir(s.folder).removeRecursively());
        QVERIFY(write(s.path("after.docx"), "back"));
        QTRY_VERIFY_WITH_TIMEOUT(s.problems.last().contains("is back"), 30000);
        QCOMPARE(s.print(), QStringList{"after.docx=back"});
        s.watched.reset();

        // A record that can be neither locked nor written: no station.
        s.state = s.dir.filePath("state.json.bad/state.json");
        QVERIFY(!s.open());
        QVERIFY(s.problems.last().contains("cannot be locked"));
    }

    // Documents are moved only into a folder of the station's own, never
    // over a name or through a link that is there, with the reason beside
    // each failed one under its own name.
    void movesOnlyIntoItsOwnFolders()
    {
        Station s;
        const QString open = s.dir.filePath("open");
        QVERIFY(QDir().mkpath(open));
        QVERIFY(::chmod(qPrintable(open), 0777) == 0);
        QVERIFY(StationFolder(open).problem().contains("other users"));
        if (::geteuid() == 0) {
            const QString foreign = s.dir.filePath("foreign");
            QVERIFY(QDir().mkpath(foreign) && ::chown(qPrintable(foreign), 65534, 65534) == 0);
            QVERIFY(StationFolder(foreign).problem().contains("another user"));
        }

        const QString failedPath = s.dir.filePath("failed");
        StationFolder failed(failedPath);
        QVERIFY(failed.problem().isEmpty());
        QVERIFY(!(QFileInfo(failedPath).permissions() & QFileDevice::ReadOther));
        const QString target = s.dir.filePath("owner-file");
        QVERIFY(QFile::link(target, failedPath + "/c.docx.txt")); // planted
        const DropTree tree(s.folder);
        for (const char *name : {"report.doc", "report.docx", "a.docx", "a.docx", "c.docx"}) {
            const QString path = s.path(QString::fromLatin1(name));
            QVERIFY(write(path, name));
            QVERIFY(!failed.moveIn(tree, path, tree.status(path), QString::fromLatin1(name)));
        }
        QCOMPARE(read(failedPath + "/report.doc.txt"), "report.doc\n");
        QCOMPARE(read(failedPath + "/report.docx.txt"), "report.docx\n");
        QVERIFY(QFile::exists(failedPath + "/a (2).docx") &&
                QFile::exists(failedPath + "/c (2).docx"));
        QVERIFY(!QFile::exists(target));
        // No longer the file that was printed: left where it is.
        QVERIFY(write(s.path("d.docx"), "printed"));
        const DroppedFile printed = tree.status(s.path("d.docx"));
        QVERIFY(QFile::remove(s.path("d.docx")) && write(s.path("d.docx"), "another one"));
        QVERIFY(failed.moveIn(tree, s.path("d.docx"), printed).has_value());
        QCOMPARE(read(s.path("d.docx")), "another one");
    }

    // The run of a station: a failure of its own (no office) holds the
    // document, said once, until it prints; a document's own failure is
    // said of the dropped document, never of its copy, and moved aside.
    void stationFailuresHoldTheDocument()
    {
        Station s;
        ScriptRun script;
        FakeWordProcessor &word = script.word;
        QStringList &out = script.out, &err = script.err;
        CommandLinePrint &run = script.run;
        word.failures["CreateInstance"] = "The word processor could not be started.";
        word.unopenable["bad.docx"] = "This file is damaged: ";
        QTimer::singleShot(0, [&] {
            s.drop("held.docx", "document");
            s.drop("bad.docx", "document");
        });
        bool mended = false;
        const QString failed = s.dir.filePath("failed");
        const int status =
            run.watch(parseCommandLine({"--watch", "--printer", "P", "--failed", failed, s.folder}),
                      &s.watcher, [&] {
                          if (!mended && err.filter("waits").size() == 1) {
                              mended = true;
                              word.failures.clear();
                          }
                          return out.size() >= 2;
                      });
        QCOMPARE(status, 0);
        QCOMPARE(out, (QStringList{"printed " + s.path("held.docx"),
                                   "failed " + s.path("bad.docx") +
                                       ": This file is damaged: " + s.path("bad.docx"),
                                   "1 printed, 1 not printed"}));
        QCOMPARE(err.filter("waits").size(), 1);
        QCOMPARE(read(failed + "/bad.docx.txt"),
                 "This file is damaged: " + s.path("bad.docx").toUtf8() + "\n");

        // Without a word processor: one sentence, status 2.
        word.notInstalled = true;
        err.clear();
        QTimer::singleShot(0, [&] { s.drop("later.docx", "document"); });
        QCOMPARE(run.watch(parseCommandLine({"--watch", "--printer", "P", s.folder}), &s.watcher,
                           [] { return false; }),
                 2);
        QCOMPARE(err.filter("not installed").size(), 1);

        // A done folder that is the watched one, or holds it, is refused.
        for (const QString &done : {s.folder, s.dir.path()})
            QCOMPARE(
                run.watch(parseCommandLine({"--watch", "--printer", "P", "--done", done, s.folder}),
                          &s.watcher, [] { return true; }),
                2);
    }

    // A document that fails because the printer takes no jobs waits for it
    // and prints once it does, said once and counted once; a document that
    // fails for itself is reported and not tried again.
    void watchWaitsForAPrinterThatTakesNoJobs()
    {
        Station s;
        ScriptRun script;
        script.word.failures["PrintOut"] = "The printer is not accepting jobs.";
        script.word.unopenable["bad.docx"] = "This file is damaged: ";
        int asked = 0;
        script.printers.accepting = [&](const QString &) {
            if (asked++ == 0)
                return false; // right after the first failure
            script.word.failures.clear();
            return true;
        };
        QTimer::singleShot(0, [&] {
            for (const char *name : {"held.docx", "bad.docx"}) {
                QVERIFY(write(s.path(QString::fromLatin1(name)), "document"));
                s.watcher.tell(s.path(QString::fromLatin1(name)), Change::Closed);
            }
        });
        QElapsedTimer limit;
        limit.start();
        const int status = script.run.watch(
            parseCommandLine({"--watch", "--printer", "P", "--pause", "0", s.folder}), &s.watcher,
            [&] { return script.out.size() >= 2 || limit.elapsed() > 30000; });
        QCOMPARE(status, 0);
        QCOMPARE(script.out, (QStringList{"printed " + s.path("held.docx"),
                                          "failed " + s.path("bad.docx") +
                                              ": This file is damaged: " + s.path("bad.docx"),
                                          "1 printed, 1 not printed"}));
        QCOMPARE(script.err.filter("waits").size(), 1);
    }
};

QTEST_GUILESS_MAIN(TestStation)
#include "tst_station.moc"
