// Platform pieces that have logic of their own: the program folder lookup,
// the office process (group kill, watchdog), wildcard matching and the
// listing order.

#include "BackgroundStarter.h"
#include "DirectoryListing.h"
#include "FileNames.h"
#include "InstanceChannel.h"
#include "OfficeProcess.h"
#include "ProcessClaim.h"
#include "ProgramFolder.h"
#include "WarmStart.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <chrono>
#include <csignal>
#include <cstring>
#include <future>
#include <thread>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

// Processes of a process group that still run (zombies have ended).
static int liveMembersOfGroup(pid_t group)
{
    int live = 0;
    for (const QString &pid : QDir("/proc").entryList(QDir::Dirs)) {
        QFile stat("/proc/" + pid + "/stat");
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        const QString line = QString::fromUtf8(stat.readAll());
        const QStringList fields = line.mid(line.lastIndexOf(u')') + 2).split(u' ');
        if (fields.size() > 2 && fields[2].toInt() == group && fields[0] != "Z")
            ++live;
    }
    return live;
}

class TestPlatform : public QObject
{
    Q_OBJECT

private slots:
    void programFolderOfABuildAndOfAnInstall()
    {
        QTemporaryDir root;
        const QString build = root.filePath("build");
        QDir().mkpath(build + "/Samples");
        QCOMPARE(programFolderFor(build, "/nonexistent"), build);

        const QString bin = root.filePath("prefix/bin");
        QDir().mkpath(bin);
        QDir().mkpath(root.filePath("prefix/share/marrowlake"));
        QCOMPARE(programFolderFor(bin, "/nonexistent"), root.filePath("prefix/share/marrowlake"));

        const QString elsewhere = root.filePath("elsewhere");
        QDir().mkpath(elsewhere);
        QCOMPARE(programFolderFor(elsewhere, root.filePath("prefix/share/marrowlake")),
                 root.filePath("prefix/share/marrowlake"));
        QCOMPARE(programFolderFor(elsewhere, "/nonexistent"), elsewhere);
    }

    void killEndsTheWholeProcessGroup()
    {
        QTemporaryDir dir;
        const std::string marker = dir.filePath("grandchild").toStdString();
        // A child that ignores TERM and starts a grandchild of its own.
        automation::OfficeProcess process(
            "/bin/sh", {"-c", "trap '' TERM; (sleep 30; touch " + marker + ") & sleep 30"});
        QVERIFY(process.running());
        QVERIFY(!process.waitForExit(std::chrono::milliseconds(100)));
        process.kill();
        QCOMPARE(process.exitStatus(), std::optional<int>(-1));
        QTest::qWait(200);
        QCOMPARE(liveMembersOfGroup(process.pid()), 0);
    }

    void watchdogStopsAHungProcess()
    {
        automation::OfficeProcess process("/bin/sleep", {"30"});
        QElapsedTimer clock;
        clock.start();
        process.armWatchdog(std::chrono::milliseconds(200));
        QVERIFY(process.waitForExit(std::chrono::seconds(5)));
        QVERIFY(process.killedByWatchdog());

        automation::OfficeProcess quick("/bin/sleep", {"0.2"});
        quick.armWatchdog(std::chrono::seconds(5));
        QVERIFY(quick.waitForExit(std::chrono::seconds(5)));
        quick.disarmWatchdog();
        QVERIFY(!quick.killedByWatchdog());
        QCOMPARE(quick.exitStatus(), std::optional<int>(0));
    }

    void wildcardsMatchAsTheWindowsListingDoes()
    {
        for (const char *name : {"a.doc", "B.DOCX", "c.dotm", "d.do", "x.do.bak", ".hidden.doc"})
            QVERIFY2(matchesWildcard(name, "*.do*"), name);
        for (const char *name : {"letter.txt", "nodot", "doc", "a.odt"})
            QVERIFY2(!matchesWildcard(name, "*.do*"), name);
        QVERIFY(matchesWildcard("nodot", "*.*"));
        QVERIFY(matchesWildcard("ünï.DOC", "*.do*"));
    }

    // A name is its bytes: whatever they are, the path the program holds
    // comes back to them, is listed, reaches its own file, arrives whole
    // from a dropped URL or a dialog that could only show it, and shows a
    // replacement character where a byte is not UTF-8.
    void everyFileNameReachesItsOwnFile()
    {
        const QList<QByteArray> names{"plain.docx",
                                      "Caf\xc3\xa9.docx",
                                      "caf\xe9.docx",
                                      "caf\xef\xbf\xbd.docx",
                                      "\xee\xbe\x80held.docx",
                                      "half\xc3",
                                      "\xf0\x9f\x93\x84.docx",
                                      "\xed\xa0\x80surrogate",
                                      "over\xc0\xaflong"};
        QTemporaryDir dir;
        const QString folder = dir.path() + u'/';
        for (const QByteArray &name : names) {
            std::FILE *file = std::fopen((QFile::encodeName(folder) + name).constData(), "w");
            QVERIFY(file);
            std::fputs(name.constData(), file);
            std::fclose(file);
            QCOMPARE(nativePath(pathFromNative(name)), name);
            QFile opened;
            QVERIFY(openNamedFile(opened, folder + pathFromNative(name), QIODevice::ReadOnly));
            QCOMPARE(opened.readAll(), name);
        }
        QCOMPARE(listMatchingFiles(dir.path(), "*.*").size(), names.size());
        QCOMPARE(shownPath(pathFromNative("caf\xe9.docx")), QStringLiteral("caf\uFFFD.docx"));
        QCOMPARE(pathFromUrl(QUrl(QStringLiteral("file://%1caf%E9.docx").arg(folder))),
                 folder + pathFromNative("caf\xe9.docx"));
        QCOMPARE(pathFromDialog(folder + QStringLiteral("half\uFFFD")),
                 folder + pathFromNative("half\xc3"));
        // Both show so; the one that has this very name is the one chosen.
        QCOMPARE(pathFromDialog(folder + QStringLiteral("caf\uFFFD.docx")),
                 folder + QStringLiteral("caf\uFFFD.docx"));
        QVERIFY(fileStatus(folder + pathFromNative("caf\xe9.docx")).isFile);
        QVERIFY(!fileStatus(folder + QStringLiteral("half\uFFFD")).exists);
        for (const QByteArray &name : names) // beyond QTemporaryDir's reach
            QVERIFY(removeNamedFile(folder + pathFromNative(name)));
    }

    void listingOrderIgnoresCaseLikeWindows()
    {
        QVERIFY(listsBefore("apple", "Banana"));
        QVERIFY(listsBefore("B", "c"));
        QVERIFY(listsBefore("Z", "_")); // upper-cased code points: '_' after letters
        QVERIFY(listsBefore("report", "~report"));
        QTemporaryDir dir;
        for (const char *n : {"b.doc", "A.doc", "c.doc", "a2.doc"})
            QFile(dir.filePath(n)).open(QIODevice::WriteOnly);
        QStringList names;
        for (const auto &e : listDirectory(dir.path()))
            names << e.name;
        QCOMPARE(names, (QStringList{"A.doc", "a2.doc", "b.doc", "c.doc"}));
    }

    // One window per user: whole requests, applied once, never to a start
    // that gave up, and a running window's channel is never taken over.
    void oneWindowChannelHandsOverWholeRequestsOnce()
    {
        QTemporaryDir runtime;
        qputenv("XDG_RUNTIME_DIR", runtime.path().toUtf8());
        QList<QStringList> received;
        auto first = std::make_unique<InstanceChannel>();
        QVERIFY(
            first->listen([&](const QStringList &paths) { received << paths; }, [] { return 7; }));
        InstanceChannel second; // a start without paths opens its own window
        QVERIFY(!second.listen({}, {}));

        auto handOverAside = [](QStringList paths, int timeoutMs) {
            return std::async(std::launch::async, [paths, timeoutMs] {
                return InstanceChannel::handOver(paths, timeoutMs);
            });
        };
        const QStringList crafted{"/docs/a\n/home/user", "/docs/b.docx"};
        auto handed = handOverAside(crafted, 5000);
        QTRY_VERIFY(handed.wait_for(std::chrono::seconds(0)) == std::future_status::ready);
        QVERIFY(handed.get());
        QTRY_COMPARE(received, QList<QStringList>{crafted});

        // The window is busy (this thread answers nothing) past the start's
        // limit: the start gives up, and its paths never arrive later.
        QVERIFY(!handOverAside({"/late.docx"}, 300).get());
        handed = handOverAside({"/next.docx"}, 5000);
        QTRY_VERIFY(handed.wait_for(std::chrono::seconds(0)) == std::future_status::ready);
        QVERIFY(handed.get());
        QTRY_COMPARE(received.size(), 2);
        QCOMPARE(received.last(), QStringList{"/next.docx"});

        // A dead program's socket is taken over.
        first.reset();
        const QByteArray path = QFile::encodeName(InstanceChannel::socketPath());
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, path.constData(), sizeof address.sun_path - 1);
        QCOMPARE(::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address), 0);
        ::close(fd); // the file stays, nobody listens
        InstanceChannel afterCrash;
        QVERIFY(afterCrash.listen({}, {}));
        qunsetenv("XDG_RUNTIME_DIR");
    }

    // Without a runtime folder the socket goes in a folder of ours in the
    // temporary folder; one made by someone else, open to others or a link
    // is not used (and what a link points to is left as it was).
    void fallbackSocketFolderMustBeOurs()
    {
        QTemporaryDir tmp;
        qunsetenv("XDG_RUNTIME_DIR");
        qputenv("TMPDIR", tmp.path().toUtf8());
        const QString fallback = tmp.filePath(QStringLiteral("marrowlake-%1").arg(getuid()));
        const QByteArray name = QFile::encodeName(fallback);
        auto mode = [](const QByteArray &path) {
            struct stat info
            {
            };
            return ::lstat(path.constData(), &info) == 0 ? info.st_mode & 0777 : 0u;
        };
        QCOMPARE(InstanceChannel::socketPath(), fallback + "/marrowlake.socket");
        QCOMPARE(mode(name), 0700u);
        QVERIFY(QDir(fallback).removeRecursively());

        QVERIFY(::mkdir(name.constData(), 0755) == 0 && ::chmod(name.constData(), 0755) == 0);
        QVERIFY(InstanceChannel::socketPath().isEmpty());
        InstanceChannel channel;
        QVERIFY(!channel.listen({}, {}));
        QVERIFY(!InstanceChannel::handOver({"/x.docx"}));
        if (geteuid() == 0) { // someone else's, however private
            QVERIFY(::chmod(name.constData(), 0700) == 0 &&
                    ::chown(name.constData(), 65534, 65534) == 0);
            QVERIFY(InstanceChannel::socketPath().isEmpty());
        }
        QVERIFY(::rmdir(name.constData()) == 0);

        QTemporaryDir victim;
        const QByteArray victimName = QFile::encodeName(victim.path());
        QVERIFY(::chmod(victimName.constData(), 0755) == 0);
        QVERIFY(::symlink(victimName.constData(), name.constData()) == 0);
        QVERIFY(InstanceChannel::socketPath().isEmpty());
        QCOMPARE(mode(victimName), 0755u);
        qunsetenv("TMPDIR");
    }

    // Only a process that is certainly ours is claimed: the one that
    // appeared, alone, while our instance was created.
    void onlyTheOneNewProcessIsClaimed()
    {
        using automation::processToClaim;
        QCOMPARE(processToClaim<unsigned>({10, 20}, {10, 20, 31}), 31u);
        QCOMPARE(processToClaim<unsigned>({10, 20}, {10, 20}), 0u);  // the server was running
        QCOMPARE(processToClaim<unsigned>({10}, {10, 31, 32}), 0u);  // the user's Word too
        QCOMPARE(processToClaim<unsigned>({10, 20}, {20, 31}), 31u); // another one ended
    }

    // An interruption calls an office's start off while a call thread waits
    // for that start to end: both waits end, and nothing is left pending.
    void startCalledOffWhileItIsWaitedFor()
    {
        automation::BackgroundStarter starter;
        automation::WarmStart warm;
        std::promise<void> release;
        std::shared_future<void> released = release.get_future().share();
        std::promise<void> starting;
        warm.begin(starter, [&starting, released] {
            starting.set_value();
            released.wait(); // still starting when it is called off
        });
        starting.get_future().wait();
        const bool ready =
            warm.waitFor(std::chrono::seconds(30), [&](const std::function<void()> &wait) {
                std::promise<void> calling;
                std::thread call([&] {
                    calling.set_value();
                    wait();
                });
                calling.get_future().wait();
                warm.stop([&release] { release.set_value(); }); // the interruption
                call.join();
            });
        QVERIFY(ready);
        QVERIFY(!warm.pending());
        warm.collect(); // nothing left to hand on
    }
};

QTEST_GUILESS_MAIN(TestPlatform)
#include "tst_platform.moc"
