// Whole print runs from the main window with the real office, onto the
// private scheduler's capture queue.

#include "DocumentListView.h"
#include "E2eSupport.h"
#include "EventLoop.h"
#include "FakeDesktopShell.h"
#include "FakeFileDialogs.h"
#include "FakeMessageBoxes.h"
#include "FakeSettingsStore.h"
#include "LibreOfficeProcessor.h"
#include "MainWindow.h"
#include "PrintOptions.h"
#include "RealWindow.h"
#include "YieldingWait.h"

#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QProgressBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <utility>

#include <csignal>
#include <cstdio>
#include <cstdlib>

using automation::LibreOfficeProcessor;

// The office child started last (the clock ticks at the start of each).
static pid_t newestOfficeChild()
{
    pid_t newest = 0;
    qulonglong newestStart = 0;
    for (pid_t pid : e2e::officeChildren()) {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray line = stat.readAll();
        // Field 22, counted after the command's closing parenthesis.
        const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
        const qulonglong start = fields.size() > 19 ? fields[19].toULongLong() : 0;
        if (!newest || start > newestStart) {
            newest = pid;
            newestStart = start;
        }
    }
    return newest;
}

class TestRunE2e : public QObject
{
    Q_OBJECT

    QTemporaryDir m_docs;
    QTemporaryDir m_copies;

    QString doc(const QString &name) const { return m_docs.filePath(name); }

private slots:
    void initTestCase()
    {
        if (!e2e::schedulerAvailable())
            QFAIL("run this test through tests/cups/with-private-cups.sh");
        e2e::makeDocument(doc("first.docx"), {"wordfirst"});
        e2e::makeDocument(doc("second.odt"), {"wordsecond"});
        e2e::makeDocument(doc("third.rtf"), {"wordthird"});
    }

    void fourDocumentsOneUnopenable()
    {
        RealWindow real(
            m_copies.path(), [] { QFAIL("the program ended"); }, yieldingWait);
        QCOMPARE(real.form->printOptions()->printerText(), "capture");
        QVERIFY(real.messages.shown.isEmpty()); // the office was found
        DocumentListView *list = real.form->listView();
        for (const QString &p :
             {doc("first.docx"), doc("not here.docx"), doc("second.odt"), doc("third.rtf")})
            list->append(p);
        QList<int> progress;
        connect(real.form->progressBar(), &QProgressBar::valueChanged,
                [&](int v) { progress << v; });
        const auto before = e2e::capturedJobs("capture").size();

        real.form->executeCommand(MainWindow::StartPrintingId);

        QCOMPARE(progress, (QList<int>{25, 50, 75, 100, 0}));
        const QStringList texts = real.messages.texts();
        QCOMPARE(texts.size(), 2);
        QVERIFY2(texts[0].contains("\r\nin Tolvane5/20/2014.Form1.Start at line 118\r\r"),
                 qPrintable(texts[0]));
        QVERIFY(texts[0].contains("not here.docx"));
        QCOMPARE(real.messages.shown[0].title, "Application Error");
        QCOMPARE(texts[1], "Done.");
        const QStringList jobs = e2e::waitForJobs("capture", int(before) + 3);
        QCOMPARE(jobs.size(), before + 3);
        QVERIFY(e2e::jobText(jobs[before]).contains("wordfirst"));
        QVERIFY(e2e::jobText(jobs[before + 1]).contains("wordsecond"));
        QVERIFY(e2e::jobText(jobs[before + 2]).contains("wordthird"));
        QVERIFY(e2e::officeChildren().empty());
        QCOMPARE(list->count(), 4); // printed documents stay in the list
    }

    void reorderDuringThePauseChangesWhatIsPrintedNext()
    {
        const auto before = e2e::capturedJobs("capture").size();
        bool swapped = false;
        DocumentListView *list = nullptr;
        RealWindow real(
            m_copies.path(), [] { QFAIL("the program ended"); },
            [&](int) {
                if (std::exchange(swapped, true))
                    return;
                // The pause after the first document: swap the two still to come.
                const QString second = list->pathAt(2);
                list->setTextAt(2, list->pathAt(3));
                list->setTextAt(3, second);
            });
        list = real.form->listView();
        for (const QString &p : {doc("first.docx"), doc("second.odt"), doc("third.rtf")})
            list->append(p);
        real.form->start();
        QVERIFY(swapped);
        const QStringList jobs = e2e::waitForJobs("capture", int(before) + 3);
        QCOMPARE(jobs.size(), before + 3);
        QVERIFY(e2e::jobText(jobs[before]).contains("wordfirst"));
        QVERIFY(e2e::jobText(jobs[before + 1]).contains("wordthird"));
        QVERIFY(e2e::jobText(jobs[before + 2]).contains("wordsecond"));
    }

    // The next document's office starts during the waits; it never outlives
    // the run, a failure, a shortened list or the program.
    void spareOfficeStartsAheadAndNeverOutlivesTheRun()
    {
        QTemporaryDir copies;
        RealWindow *real = nullptr;
        QList<bool> spareDuringWaits;
        std::function<void()> duringWait;
        RealWindow form(
            copies.path(), [] { QFAIL("the program ended"); },
            [&](int seconds) {
                spareDuringWaits << real->office->hasSpare();
                if (duringWait)
                    duringWait();
                yieldingWait(seconds);
            });
        real = &form;
        const QDateTime started = QDateTime::currentDateTime();
        // Ended in the background: generous limits for a loaded machine.
        auto nothingLeft = [&] {
            QTRY_VERIFY_WITH_TIMEOUT(e2e::officeChildren().empty(), 30000);
            QTRY_VERIFY_WITH_TIMEOUT(
                QDir(copies.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).isEmpty(),
                30000);
            QTRY_VERIFY_WITH_TIMEOUT(e2e::staleOfficeSockets(started).isEmpty(), 30000);
        };
        DocumentListView *list = form.form->listView();
        bool spareAtDone = true;
        form.messages.onShow = [&](const FakeMessageBoxes::Shown &shown) {
            if (shown.text == "Done.")
                spareAtDone = form.office->hasSpare();
        };

        // Three documents in order, each later one on an office started ahead.
        for (const QString &p : {doc("first.docx"), doc("second.odt"), doc("third.rtf")})
            list->append(p);
        auto before = e2e::capturedJobs("capture").size();
        form.form->start();
        // The second of each pair: print's wait, then the pause.
        QCOMPARE(spareDuringWaits, (QList<bool>{true, true, true, true, false, false}));
        QVERIFY(!spareAtDone);
        QStringList jobs = e2e::waitForJobs("capture", int(before) + 3);
        QCOMPARE(jobs.size(), before + 3);
        QVERIFY(e2e::jobText(jobs[before]).contains("wordfirst"));
        QVERIFY(e2e::jobText(jobs[before + 1]).contains("wordsecond"));
        QVERIFY(e2e::jobText(jobs[before + 2]).contains("wordthird"));
        nothingLeft();

        // A document that fails to open uses up the office started for it.
        list->clearList();
        for (const QString &p : {doc("first.docx"), doc("missing.docx"), doc("third.rtf")})
            list->append(p);
        spareDuringWaits.clear();
        form.form->start();
        QCOMPARE(spareDuringWaits, (QList<bool>{true, true, false, false, false}));
        nothingLeft();

        // The list shortened during the first pause: the spare goes.
        list->clearList();
        for (const QString &p : {doc("first.docx"), doc("second.odt"), doc("third.rtf")})
            list->append(p);
        duringWait = [&] {
            if (spareDuringWaits.size() == 2)
                list->clearList();
        };
        spareDuringWaits.clear();
        form.form->start();
        QVERIFY(!spareAtDone);
        nothingLeft();

        // The program ending during a pause takes the spare with it.
        list->clearList();
        for (const QString &p : {doc("first.docx"), doc("second.odt")})
            list->append(p);
        duringWait = [&] {
            if (form.office->hasSpare()) {
                form.office->endAllInstances(); // as unload does
                QVERIFY(!form.office->hasSpare());
                QVERIFY(e2e::officeChildren().empty());
            }
        };
        form.form->start();
        duringWait = nullptr;
        nothingLeft();
    }

    // The office started ahead for the second document is killed, or
    // stopped, while it starts: the second document prints all the same, on
    // a fresh office, soon after its turn comes.
    void failingSpareIsReplacedForItsDocument()
    {
        for (int signal : {SIGKILL, SIGSTOP}) {
            int waits = 0;
            QElapsedTimer sinceTurn;
            qint64 turnToPrinted = -1;
            RealWindow real(
                m_copies.path(), [] { QFAIL("the program ended"); },
                [&](int) {
                    ++waits;
                    if (waits == 1) {
                        // The first document's wait: its office and the spare.
                        QTRY_COMPARE(e2e::officeChildren().size(), size_t(2));
                        ::kill(newestOfficeChild(), signal);
                    } else if (waits == 2) {
                        sinceTurn.start(); // the pause is over
                    } else if (waits == 3) {
                        turnToPrinted = sinceTurn.elapsed();
                    }
                });
            for (const QString &p : {doc("first.docx"), doc("second.odt")})
                real.form->listView()->append(p);
            const auto before = e2e::capturedJobs("capture").size();
            real.form->start();
            QCOMPARE(real.messages.texts(), QStringList{"Done."});
            const QStringList jobs = e2e::waitForJobs("capture", int(before) + 2);
            QCOMPARE(jobs.size(), before + 2);
            QVERIFY(e2e::jobText(jobs[before]).contains("wordfirst"));
            QVERIFY(e2e::jobText(jobs[before + 1]).contains("wordsecond"));
            QVERIFY2(turnToPrinted >= 0 && turnToPrinted < 10000,
                     qPrintable(QString::number(turnToPrinted)));
            QTRY_VERIFY(e2e::officeChildren().empty());
        }
    }

    void closingDuringARunEndsTheProgramAndItsOffice()
    {
        QTemporaryDir copies;
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("CLOSE_DURING_RUN_COPIES", copies.path());
        env.insert("CLOSE_DURING_RUN_DOC", doc("first.docx"));
        child.setProcessEnvironment(env);
        child.start(QCoreApplication::applicationFilePath(), {"closeDuringRunChild"});
        QVERIFY(child.waitForFinished(120000));
        const QString out = QString::fromUtf8(child.readAllStandardOutput());
        QCOMPARE(child.exitStatus(), QProcess::NormalExit);
        QCOMPARE(child.exitCode(), 0);
        QVERIFY2(out.contains("closing with an office running"), qPrintable(out));
        QVERIFY2(!out.contains("Done."), qPrintable(out));
        const QStringList left =
            QDir(copies.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
        QVERIFY2(left.isEmpty(), qPrintable(left.join(", ")));
        // No office of the child's is left anywhere.
        QProcess pgrep;
        pgrep.start("pgrep", {"-f", copies.path()});
        pgrep.waitForFinished();
        QCOMPARE(QString::fromUtf8(pgrep.readAllStandardOutput()).trimmed(), QString());
    }

    void closeDuringRunChild()
    {
        if (qEnvironmentVariableIsEmpty("CLOSE_DURING_RUN_COPIES"))
            QSKIP("runs only as the child of closingDuringARunEndsTheProgramAndItsOffice");
        RealWindow *real = new RealWindow(
            qEnvironmentVariable("CLOSE_DURING_RUN_COPIES"),
            [] {
                std::fflush(stdout);
                std::exit(0);
            },
            yieldingWait);
        real->messages.onShow = [](const FakeMessageBoxes::Shown &s) {
            std::printf("message: %s\n", qPrintable(s.text));
        };
        for (int i = 0; i < 3; ++i)
            real->form->listView()->append(qEnvironmentVariable("CLOSE_DURING_RUN_DOC"));
        auto *watch = new QTimer;
        QObject::connect(watch, &QTimer::timeout, [real] {
            if (!e2e::officeChildren().empty()) {
                std::printf("closing with an office running\n");
                real->form->close();
            }
        });
        watch->start(50);
        real->form->start();
        std::printf("the run came back\n");
        QFAIL("the run returned instead of the program ending");
    }
};

QTEST_MAIN(TestRunE2e)
#include "tst_run_e2e.moc"
