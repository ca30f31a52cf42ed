// Reliability, bad input and security: real office, private scheduler.
// Prints a summary table of every case at the end.

#include "DocumentAdder.h"
#include "DocumentListView.h"
#include "E2eSupport.h"
#include "PrintOptions.h"
#include "YieldingWait.h"

#include "LibreOfficeProcessor.h"
#include "QtDesktopShell.h"
#include "QtSettingsStore.h"
#include "RealWindow.h"
#include <QComboBox>

#include <QCryptographicHash>
#include <QDateTime>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <utility>

#include <csignal>
#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>

using automation::LibreOfficeProcessor;

namespace {

// A folder's names, sizes, modification times and contents.
QMap<QString, QString> snapshot(const QString &root)
{
    QMap<QString, QString> state;
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QFileInfo info(path);
        QString value = QString::number(info.size()) + u' ' +
                        QString::number(info.lastModified().toMSecsSinceEpoch());
        QFile f(path);
        if (info.isFile() && f.open(QIODevice::ReadOnly))
            value +=
                u' ' + QString::fromLatin1(
                           QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha1).toHex());
        state[path] = value;
    }
    return state;
}

struct Row
{
    QString name;
    QString result;
    QString leftBehind;
};

} // namespace

class TestReliability : public QObject
{
    Q_OBJECT

    QTemporaryDir m_docs;
    QTemporaryDir m_copies;
    QList<Row> m_rows;
    QStringList m_pendingRows;
    QList<int> m_waits;
    QDateTime m_started = QDateTime::currentDateTime();

    QString doc(const QString &name) const { return m_docs.filePath(name); }

    // Cases of one test function share its verdict and its leftovers.
    void cases(const QStringList &names) { m_pendingRows << names; }

    QString leftovers() const
    {
        QStringList left;
        if (!e2e::officeChildren().empty())
            left << "office process";
        if (!QDir(m_copies.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).isEmpty())
            left << "profile copy";
        if (!e2e::staleOfficeSockets(m_started).isEmpty())
            left << "socket file";
        for (const QFileInfo &temp : QDir(QDir::tempPath()).entryInfoList({"lu*.tmp"}, QDir::Dirs))
            if (temp.birthTime().isValid() ? temp.birthTime() >= m_started
                                           : temp.lastModified() >= m_started) {
                left << "office temporary files";
                break;
            }
        return left.isEmpty() ? QStringLiteral("nothing") : left.join(", ");
    }

    std::unique_ptr<RealWindow>
    realForm(std::chrono::milliseconds timeout = std::chrono::seconds(60))
    {
        return std::make_unique<RealWindow>(
            m_copies.path(), [] { QFAIL("the program ended"); }, [this](int s) { m_waits << s; },
            timeout);
    }

    // A run whose fault strikes in the wait after the first document, once
    // that one's job is on `queue`: the second is sent into the fault.
    std::unique_ptr<RealWindow> realFormFaultingAfterFirst(const QString &queue,
                                                           std::function<void()> fault,
                                                           std::chrono::milliseconds timeout)
    {
        const int before = int(e2e::capturedJobs(queue).size());
        return std::make_unique<RealWindow>(
            m_copies.path(), [] { QFAIL("the program ended"); },
            [queue, before, fault, done = false](int) mutable {
                if (std::exchange(done, true))
                    return;
                (void)e2e::waitForJobs(queue, before + 1);
                fault();
            },
            timeout);
    }

    // The reports the run gave about one path.
    static int reportsAbout(const FakeMessageBoxes &boxes, const QString &path)
    {
        // The path itself, not a longer one that starts with it.
        const QRegularExpression exact(QRegularExpression::escape(path) + "(?![\\w.])");
        int n = 0;
        for (const auto &s : boxes.shown)
            if (s.text.contains(exact))
                ++n;
        return n;
    }

    static QStringList jobTexts(const QString &queue, int from)
    {
        QStringList texts;
        const QStringList jobs = e2e::capturedJobs(queue);
        for (qsizetype i = from; i < jobs.size(); ++i)
            texts << e2e::jobText(jobs[i]);
        return texts;
    }

private slots:
    void initTestCase()
    {
        if (!e2e::schedulerAvailable())
            QFAIL("run this test through tests/cups/with-private-cups.sh");
        // Seed the shared office profile before anything is timed.
        LibreOfficeProcessor::Options options;
        options.copiesDir = m_copies.path().toStdString();
        LibreOfficeProcessor office(options);
        office.createInstance()->Quit(false);
    }

    void init()
    {
        m_waits.clear();
        m_pendingRows.clear();
    }

    void cleanup()
    {
        // Offices end when their documents are done; give a killed one a moment.
        for (int i = 0; i < 50 && leftovers() != "nothing"; ++i)
            QTest::qWait(100);
        const QString left = leftovers();
        const QString result = QTest::currentTestFailed() ? "FAIL" : "pass";
        if (m_pendingRows.isEmpty())
            m_pendingRows << QString::fromLatin1(QTest::currentTestFunction());
        for (const QString &name : std::as_const(m_pendingRows))
            if (!name.isEmpty())
                m_rows.append({name, result, left});
        QCOMPARE(left, QStringLiteral("nothing"));
    }

    void cleanupTestCase()
    {
        int passed = 0, clean = 0;
        std::printf("\n%-58s %-6s %s\n", "case", "result", "left behind");
        std::printf("%s\n", QByteArray(80, '-').constData());
        for (const Row &r : std::as_const(m_rows)) {
            std::printf("%-58s %-6s %s\n", qPrintable(r.name), qPrintable(r.result),
                        qPrintable(r.leftBehind));
            passed += r.result == "pass";
            clean += r.leftBehind == "nothing";
        }
        std::printf("%s\n%lld cases tried, %d passed, %d left nothing behind\n\n",
                    QByteArray(80, '-').constData(), qsizetype(m_rows.size()), passed, clean);
    }

    void badDocumentsInOneRun()
    {
        const bool root = geteuid() == 0;
        cases({"bad documents: empty file", "bad documents: truncated .docx",
               "bad documents: random bytes named .docx", "bad documents: random bytes named .doc",
               "bad documents: password-protected document", "bad documents: auto-run macro",
               "bad documents: 300-page document", "bad documents: image",
               "bad documents: folder path", "bad documents: removed after adding",
               root ? "bad documents: no read permission (root reads it: printed)"
                    : "bad documents: no read permission",
               "nothing changed beside the documents"});
        const QString dir = m_docs.filePath("bad");
        QDir().mkpath(dir);
        auto at = [&](const QString &name) { return dir + u'/' + name; };
        e2e::makeDocument(at("good-first.docx"), {"goodfirstword"});
        QFile(at("empty.docx")).open(QIODevice::WriteOnly);
        e2e::makeDocument(at("truncated.docx"), {"truncated"});
        {
            QFile f(at("truncated.docx"));
            QVERIFY(f.open(QIODevice::ReadWrite));
            QVERIFY(f.resize(f.size() / 2));
        }
        for (const char *name : {"random.docx", "random.doc"}) {
            QFile f(at(QString::fromLatin1(name)));
            QVERIFY(f.open(QIODevice::WriteOnly));
            for (int i = 0; i < 512; ++i)
                f.putChar(char((i * 7919 + 13) % 251));
        }
        e2e::makeDocument(m_docs.filePath("plain.odt"), {"secret text"});
        QCOMPARE(QProcess::execute(OFFICE_HELPER,
                                   {m_docs.filePath("plain.odt"), at("protected.odt"), "s3cret"}),
                 0);
        const QString marker = m_docs.filePath("macro-ran");
        e2e::makeDocument(m_docs.filePath("plain-macro.odt"), {"macroword"});
        QCOMPARE(QProcess::execute(OFFICE_HELPER, {"--macro", m_docs.filePath("plain-macro.odt"),
                                                   at("macro.odt"), marker}),
                 0);
        // The control: an office that allows macros runs this one.
        QCOMPARE(QProcess::execute(OFFICE_HELPER, {"--open-with-macros", at("macro.odt")}), 0);
        QVERIFY2(QFileInfo::exists(marker), "the document's macro is not live");
        QVERIFY(QFile::remove(marker));
        QCOMPARE(QProcess::execute("python3", {MAKE_DOCUMENT_SCRIPT, at("long.docx"),
                                               "Long document page PAGENUMBER", "--pages", "300"}),
                 0);
        QVERIFY(QFile::copy(PICTURE, at("picture.png")));
        QDir().mkpath(at("a folder.docx"));
        e2e::makeDocument(at("removed.docx"), {"removed"});
        e2e::makeDocument(at("unreadable.docx"), {"unreadableword"});
        QFile::setPermissions(at("unreadable.docx"), QFileDevice::Permissions());
        e2e::makeDocument(at("good-last.rtf"), {"goodlastword"});

        auto real = realForm();
        const QStringList list{at("good-first.docx"), at("empty.docx"),   at("truncated.docx"),
                               at("random.docx"),     at("random.doc"),   at("protected.odt"),
                               at("macro.odt"),       at("long.docx"),    at("picture.png"),
                               at("a folder.docx"),   at("removed.docx"), at("unreadable.docx"),
                               at("good-last.rtf")};
        for (const QString &p : list)
            real->form->listView()->append(p);
        QVERIFY(QFile::remove(at("removed.docx")));
        const QMap<QString, QString> before = snapshot(dir);
        const int jobsBefore = int(e2e::capturedJobs("capture").size());

        real->form->start();

        QCOMPARE(real->messages.texts().last(), "Done.");
        QStringList bad{at("empty.docx"),    at("truncated.docx"), at("random.docx"),
                        at("random.doc"),    at("protected.odt"),  at("picture.png"),
                        at("a folder.docx"), at("removed.docx")};
        if (!root)
            bad << at("unreadable.docx");
        for (const QString &p : bad)
            QVERIFY2(reportsAbout(real->messages, p) == 1, qPrintable(p));
        QVERIFY2(real->messages.shown.size() == bad.size() + 1,
                 qPrintable(real->messages.texts().join(QStringLiteral("\n---\n"))));
        QStringList words{"goodfirstword", "macroword", "Long document page 300"};
        if (root)
            words << "unreadableword";
        words << "goodlastword";
        const QStringList texts = [&] {
            (void)e2e::waitForJobs("capture", jobsBefore + int(words.size()), 60000);
            return jobTexts("capture", jobsBefore);
        }();
        QCOMPARE(texts.size(), words.size());
        for (qsizetype i = 0; i < words.size(); ++i)
            QVERIFY2(texts[i].contains(words[i]), qPrintable(words[i]));
        QVERIFY(texts[2].contains("Long document page 1\n"));
        QVERIFY(!QFileInfo::exists(marker));
        QFile::setPermissions(at("unreadable.docx"), QFileDevice::ReadOwner);
        QMap<QString, QString> after = snapshot(dir);
        QMap<QString, QString> beforeNoPerm = before;
        QCOMPARE(after.keys(), beforeNoPerm.keys());
        for (const QString &key : after.keys())
            if (!key.endsWith("unreadable.docx"))
                QCOMPARE(after[key], beforeNoPerm[key]);
    }

    void badNamesByFolderSearchAndDrop()
    {
        cases({"bad names: added by folder search, printed", "bad names: added by drop, printed"});
        const QString root = m_docs.filePath("names");
        QStringList names{"with blanks.docx",   "hash#1.docx",         "per%20cent.docx",
                          "what?.docx",         "star*.docx",          "quote\"s.docx",
                          "apo's.docx",         "-leading.docx",       "new\nline.docx",
                          "ünïcødé Ωmega.docx", "$(touch PWNED).docx", ";touch PWNED2;.docx"};
        QString longName = "long";
        while (QFile::encodeName(longName).size() < 245)
            longName += u'x';
        names << longName + ".docx";
        QString deep = root;
        for (int i = 0; i < 25; ++i)
            deep += QString("/level %1").arg(i);
        QDir().mkpath(deep);
        QMap<QString, QString> wordOf;
        for (int i = 0; i < names.size(); ++i) {
            const QString word = QString("nameword%1x").arg(i);
            e2e::makeDocument(root + u'/' + names[i], {word});
            wordOf[root + u'/' + names[i]] = word;
        }
        e2e::makeDocument(deep + "/deep.docx", {"namewordDeepx"});
        wordOf[deep + "/deep.docx"] = "namewordDeepx";
        const QMap<QString, QString> before = snapshot(root);

        auto real = realForm();
        real->dialogs.folderResult = root;
        real->form->addFolder();
        const QStringList searched = real->form->listView()->paths();
        QCOMPARE(searched.size(), wordOf.size());

        DocumentListView dropList(QString{});
        FakeMessageBoxes boxes;
        FakeDesktopShell shell;
        DocumentAdder dropper(dropList, real->dialogs, boxes, shell, {}, nullptr, [] {});
        dropper.addDroppedPaths({root});
        QCOMPARE(dropList.paths(), searched); // every file there is a document

        for (const QStringList &list : {searched, dropList.paths()}) {
            real->form->listView()->clearList();
            for (const QString &p : list)
                real->form->listView()->append(p);
            real->messages.shown.clear();
            const int jobsBefore = int(e2e::capturedJobs("capture").size());
            real->form->start();
            QCOMPARE(real->messages.texts(), QStringList{"Done."});
            (void)e2e::waitForJobs("capture", jobsBefore + int(list.size()), 60000);
            const QStringList texts = jobTexts("capture", jobsBefore);
            QCOMPARE(texts.size(), list.size());
            for (qsizetype i = 0; i < list.size(); ++i)
                QVERIFY2(texts[i].contains(wordOf.value(list[i], "?")), qPrintable(list[i]));
        }
        QCOMPARE(snapshot(root), before);
        for (const QString &dir : {QDir::currentPath(), root, QDir::tempPath()})
            for (const char *name : {"PWNED", "PWNED2"})
                QVERIFY(!QFileInfo::exists(dir + "/" + name));
    }

    void officeKilledMidDocument()
    {
        e2e::makeDocument(doc("k1.docx"), {"killfirst"});
        e2e::makeDocument(doc("k2.docx"), {"killsecond"});
        e2e::makeDocument(doc("k3.docx"), {"killthird"});
        auto real = realForm();
        for (const char *n : {"k1.docx", "k2.docx", "k3.docx"})
            real->form->listView()->append(doc(n));
        // The start-up check's office ends in the background: the first
        // office seen below must be the first document's.
        QTRY_VERIFY(e2e::officeChildren().empty());
        bool killed = false;
        QTimer watch;
        connect(&watch, &QTimer::timeout, [&] {
            const auto offices = e2e::officeChildren();
            if (!killed && !offices.empty()) {
                killed = true;
                ::kill(offices.front(), SIGKILL);
            }
        });
        watch.start(1);
        const int jobsBefore = int(e2e::capturedJobs("capture").size());
        real->form->start();
        watch.stop();
        QVERIFY(killed);
        const QStringList texts = real->messages.texts();
        QCOMPARE(texts.last(), "Done.");
        QVERIFY2(texts.size() == 2, qPrintable(texts.join(" | "))); // one report, then Done.
        QVERIFY(texts[0].contains("at line 118") || texts[0].startsWith("Could not print "));
        (void)e2e::waitForJobs("capture", jobsBefore + 2);
        const QStringList jobs = jobTexts("capture", jobsBefore);
        QCOMPARE(jobs.size(), 2);
        QVERIFY(jobs[0].contains("killsecond"));
        QVERIFY(jobs[1].contains("killthird"));
    }

    void queueDisabledMidRunLosesNothing()
    {
        e2e::makeDocument(doc("d1.docx"), {"disabledfirst"});
        e2e::makeDocument(doc("d2.docx"), {"disabledsecond"});
        const int before = int(e2e::capturedJobs("second").size());
        bool disabled = false;
        auto real = realFormFaultingAfterFirst(
            "second",
            [&] {
                disabled = true;
                QProcess::execute("cupsdisable", {"second"});
            },
            std::chrono::seconds(60));
        real->form->printOptions()->printerCombo()->setCurrentText("second");
        real->form->listView()->append(doc("d1.docx"));
        real->form->listView()->append(doc("d2.docx"));
        real->form->start();
        QVERIFY(disabled);
        QCOMPARE(real->messages.texts(), QStringList{"Done."});
        QCOMPARE(e2e::capturedJobs("second").size(), before + 1); // held by the scheduler
        QProcess::execute("cupsenable", {"second"});
        const QStringList jobs = e2e::waitForJobs("second", before + 2);
        QCOMPARE(jobs.size(), before + 2);
        QVERIFY(e2e::jobText(jobs.last()).contains("disabledsecond"));
    }

    void queueDeletedMidRun()
    {
        e2e::makeDocument(doc("q1.docx"), {"deletedfirst"});
        e2e::makeDocument(doc("q2.docx"), {"deletedsecond"});
        QProcess::execute("lpadmin", {"-p", "doomed", "-E", "-v",
                                      "capture:" + e2e::captureDir("second"), "-m", "raw"});
        bool deleted = false;
        auto real = realFormFaultingAfterFirst(
            "second",
            [&] {
                deleted = true;
                QProcess::execute("lpadmin", {"-x", "doomed"});
            },
            std::chrono::seconds(60));
        real->form->printOptions()->printerCombo()->setCurrentText("doomed");
        QCOMPARE(real->form->printOptions()->printerText(), "doomed");
        real->form->listView()->append(doc("q1.docx"));
        real->form->listView()->append(doc("q2.docx"));
        real->form->start();
        QVERIFY(deleted);
        QCOMPARE(real->messages.texts(),
                 (QStringList{"Could not print " + doc("q2.docx"), "Done."}));
    }

    void settingsCorruptOrUnwritable()
    {
        cases({"settings: corrupt file", "settings: unwritable file"});
        QTemporaryDir config;
        qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
        QDir().mkpath(config.filePath("Harrowick"));
        const QString file = config.filePath("Harrowick/Harrowick.conf");
        {
            QFile f(file);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("\x00\xff[Marrowlake\nCombo1=\"unterminated\nTabControl1=@Variant(garbage)\n",
                    70);
        }
        {
            QtSettingsStore settings;
            (void)settings.read("Combo1", "0");
            (void)settings.read("TabControl1", "0");
            settings.write("Combo2", "3");
            settings.flush();
            QtSettingsStore again;
            QCOMPARE(again.read("Combo2", "0"), "3");
        }
        // A folder where the file should be: nothing can be written.
        QVERIFY(QFile::remove(file));
        QVERIFY(QDir().mkpath(file));
        {
            QtSettingsStore settings;
            settings.write("Combo2", "5");
            settings.flush();
            // Nothing on disk changes, and the program goes on with its values.
            QCOMPARE(settings.read("Combo2", "0"), "5");
            QVERIFY(QFileInfo(file).isDir());
        }
        qunsetenv("XDG_CONFIG_HOME");
    }

    void programKilledMidRunLeavesNothingAfterTheNextStart()
    {
        QTemporaryDir copies;
        e2e::makeDocument(doc("victim.docx"), {"victim"});
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("KILLED_CHILD_COPIES", copies.path());
        env.insert("KILLED_CHILD_DOC", doc("victim.docx"));
        child.setProcessEnvironment(env);
        child.start(QCoreApplication::applicationFilePath(), {"killedChild"});
        QVERIFY(child.waitForStarted());
        // Kill it as soon as an office of its own runs.
        bool killed = false;
        for (int i = 0; i < 600 && !killed; ++i) {
            QTest::qWait(20);
            QProcess pgrep;
            pgrep.start("pgrep", {"-f", copies.path()});
            pgrep.waitForFinished();
            if (!pgrep.readAllStandardOutput().trimmed().isEmpty()) {
                ::kill(pid_t(child.processId()), SIGKILL);
                killed = true;
            }
        }
        QVERIFY(killed);
        QVERIFY(child.waitForFinished(10000));
        // Its office dies with it.
        bool officeGone = false;
        for (int i = 0; i < 100 && !officeGone; ++i) {
            QProcess pgrep;
            pgrep.start("pgrep", {"-f", copies.path()});
            pgrep.waitForFinished();
            officeGone = pgrep.readAllStandardOutput().trimmed().isEmpty();
            if (!officeGone)
                QTest::qWait(50);
        }
        QVERIFY(officeGone);
        // The next start clears what the killed program left, and works.
        LibreOfficeProcessor::Options options;
        options.copiesDir = copies.path().toStdString();
        LibreOfficeProcessor office(options);
        office.createInstance()->Quit(false); // its exit is awaited in the background
        QTRY_VERIFY(
            QDir(copies.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).isEmpty());
        QTRY_VERIFY(e2e::staleOfficeSockets(m_started).isEmpty());
    }

    void killedChild()
    {
        if (qEnvironmentVariableIsEmpty("KILLED_CHILD_COPIES")) {
            m_pendingRows = {QString()}; // not a case of its own
            QSKIP("runs only as the child of programKilledMidRunLeavesNothingAfterTheNextStart");
        }
        RealWindow real(
            qEnvironmentVariable("KILLED_CHILD_COPIES"), [] {}, yieldingWait);
        for (int i = 0; i < 5; ++i)
            real.form->listView()->append(qEnvironmentVariable("KILLED_CHILD_DOC"));
        real.form->start();
    }

    void instancesArePrivate()
    {
        cases({"security: profile folders private (0700)",
               "security: unguessable pipe name, socket not writable by others"});
        LibreOfficeProcessor::Options options;
        options.copiesDir = m_copies.path().toStdString();
        LibreOfficeProcessor office(options);
        auto instance = office.createInstance();
        struct stat info
        {
        };
        QCOMPARE(::stat(QFile::encodeName(m_copies.path()).constData(), &info), 0);
        QCOMPARE(info.st_mode & 0777, 0700u);
        // The profile copy and the office's temporary folder beside it.
        const QStringList profiles =
            QDir(m_copies.path()).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
        QCOMPARE(profiles.size(), 2);
        for (const QString &profile : profiles) {
            QCOMPARE(::stat(QFile::encodeName(m_copies.filePath(profile)).constData(), &info), 0);
            QCOMPARE(info.st_mode & 0777, 0700u);
            QCOMPARE(info.st_uid, getuid());
        }

        const std::vector<pid_t> offices = e2e::officeChildren();
        QCOMPARE(offices.size(), 1u);
        QFile cmdline(QString("/proc/%1/cmdline").arg(offices[0]));
        QVERIFY(cmdline.open(QIODevice::ReadOnly));
        const QString args = QString::fromUtf8(cmdline.readAll()).replace(QChar(0), u' ');
        const QRegularExpression pipe("pipe,name=marrowlake-([0-9a-f]+);");
        const auto match = pipe.match(args);
        QVERIFY2(match.hasMatch(), qPrintable(args));
        QCOMPARE(match.captured(1).size(), 32); // 128 random bits
        const QByteArray socket = QFile::encodeName("/tmp/OSL_PIPE_" + QString::number(getuid()) +
                                                    "_marrowlake-" + match.captured(1));
        QCOMPARE(::lstat(socket.constData(), &info), 0);
        QVERIFY(S_ISSOCK(info.st_mode));
        QCOMPARE(info.st_mode & 022, 0u); // others cannot connect
        instance->Quit(false);
        QTRY_VERIFY(::lstat(socket.constData(), &info) != 0); // removed with the instance
    }

    void hungOfficeIsStoppedAndReported()
    {
        cases({"time limit: a hung office is stopped and reported"});
        e2e::makeDocument(doc("hung.docx"), {"hung"});
        LibreOfficeProcessor::Options options;
        options.copiesDir = m_copies.path().toStdString();
        options.callTimeout = std::chrono::seconds(2);
        LibreOfficeProcessor office(options);
        auto instance = office.createInstance();
        const std::vector<pid_t> offices = e2e::officeChildren();
        QCOMPARE(offices.size(), 1u);
        ::kill(offices[0], SIGSTOP); // it stops answering
        QElapsedTimer clock;
        clock.start();
        QString description;
        try {
            (void)instance->GetDocuments().Open(doc("hung.docx").toStdString());
        } catch (const automation::AutomationError &e) {
            description = QString::fromUtf8(e.what());
        }
        QVERIFY(clock.elapsed() < 20000);
        QVERIFY2(description.contains("did not answer within 2 seconds and was stopped"),
                 qPrintable(description));
        instance.reset();
    }

    void openingsPassOneQuotedArgument()
    {
        cases({"security: web and folder openings pass one quoted argument"});
        const QString tricky = "/docs/a \"b\"; rm -rf ~ $(touch x) `id`/";
        QCOMPARE(QtDesktopShell::targetUrl('"' + tricky + '"'), QUrl::fromLocalFile(tricky));
        QCOMPARE(QtDesktopShell::targetUrl("\"https://www.harrowick.example/question/\""),
                 QUrl("https://www.harrowick.example/question/"));
        QCOMPARE(QtDesktopShell::targetUrl("\"https://x.example/a b\"").isValid(), false);
    }

    void schedulerStoppedMidRun()
    {
        // Last: the scheduler does not come back.
        e2e::makeDocument(doc("s1.docx"), {"stoppedfirst"});
        e2e::makeDocument(doc("s2.docx"), {"stoppedsecond"});
        bool stopped = false;
        auto real = realFormFaultingAfterFirst(
            "capture",
            [&] {
                stopped = true;
                QProcess::execute(
                    "pkill",
                    {"-f", "cupsd -f -c " +
                               QFileInfo(qEnvironmentVariable("CUPS_SERVER")).absolutePath()});
            },
            std::chrono::seconds(30));
        real->form->listView()->append(doc("s1.docx"));
        real->form->listView()->append(doc("s2.docx"));
        real->form->start();
        QVERIFY(stopped);
        const QStringList texts = real->messages.texts();
        QCOMPARE(texts.last(), "Done.");
        // The second document is reported, nothing hangs.
        QVERIFY2(texts.size() == 2, qPrintable(texts.join(" | ")));
        QVERIFY(texts[0].contains("s2.docx") || texts[0].contains("at line 118"));
    }
};

QTEST_MAIN(TestReliability)
#include "tst_reliability.moc"
