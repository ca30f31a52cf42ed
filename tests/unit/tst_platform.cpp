// Platform pieces that have logic of their own: the program folder lookup,
// the office process (group kill, watchdog), wildcard matching and the
// listing order.

#include "DirectoryListing.h"
#include "OfficeProcess.h"
#include "ProgramFolder.h"

#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

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
};

QTEST_GUILESS_MAIN(TestPlatform)
#include "tst_platform.moc"
