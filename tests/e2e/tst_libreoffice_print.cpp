// Printing single documents with the real office onto the private scheduler's
// capture queues.

#include "CupsJobs.h"
#include "DocumentChecks.h"
#include "DocumentPrinter.h"
#include "E2eSupport.h"
#include "FakeMessageBoxes.h"
#include "InstallCheck.h"
#include "LibreOfficeProcessor.h"
#include "PrintSequence.h"

#include <QDirIterator>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <cups/cups.h>

#include <atomic>
#include <csignal>
#include <set>
#include <sys/wait.h>
#include <unistd.h>

using automation::LibreOfficeProcessor;

class TestLibreOfficePrint : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_docs;
    QTemporaryDir m_copies;
    std::unique_ptr<LibreOfficeProcessor> m_office;
    FakeMessageBoxes m_messages;
    QString m_printer = QStringLiteral("capture");
    std::unique_ptr<DocumentPrinter> m_word;

    QString doc(const QString &name) const { return m_docs.filePath(name); }

    QStringList folderListing() const
    {
        QStringList names;
        QDirIterator it(m_docs.path(), QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                        QDirIterator::Subdirectories);
        while (it.hasNext())
            names << it.next();
        names.sort();
        return names;
    }

    // A quit office ends in the background, within moments (a generous
    // limit for a loaded machine).
    void checkNothingLeft()
    {
        QTRY_VERIFY2_WITH_TIMEOUT(e2e::officeChildren().empty(),
                                  "an office process was left behind", 30000);
        QTRY_VERIFY2_WITH_TIMEOUT(
            QDir(m_copies.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).isEmpty(),
            "a profile copy was left behind", 30000);
    }

private slots:
    void initTestCase()
    {
        if (!e2e::schedulerAvailable())
            QFAIL("run this test through tests/cups/with-private-cups.sh");
        LibreOfficeProcessor::Options options;
        options.copiesDir = m_copies.path().toStdString();
        options.callTimeout = std::chrono::seconds(60);
        m_office = std::make_unique<LibreOfficeProcessor>(options);
        m_word = std::make_unique<DocumentPrinter>(
            *m_office, m_messages, [this] { return m_printer; }, [](int) {},
            [] { QThread::msleep(10); });
    }

    void init()
    {
        m_messages.shown.clear();
        m_printer = QStringLiteral("capture");
    }

    void printsEachFormatOnTheChosenQueue()
    {
        e2e::makeDocument(doc("one.docx"), {"First document", "wordalpha"});
        e2e::makeDocument(doc("two.odt"), {"Second document", "wordbravo"});
        e2e::makeDocument(doc("three.rtf"), {"Third document", "wordcharlie"});
        const QStringList before = folderListing();
        const int already = int(e2e::capturedJobs("capture").size());

        for (const char *name : {"one.docx", "two.odt", "three.rtf"})
            m_word->print(doc(name));

        QVERIFY2(m_messages.shown.isEmpty(), qPrintable(m_messages.texts().join('|')));
        const QStringList jobs = e2e::waitForJobs("capture", already + 3);
        QCOMPARE(jobs.size(), already + 3);
        QVERIFY(e2e::jobText(jobs[already]).contains("wordalpha"));
        QVERIFY(e2e::jobText(jobs[already + 1]).contains("wordbravo"));
        QVERIFY(e2e::jobText(jobs[already + 2]).contains("wordcharlie"));
        // Read-only: no lock file or anything else appears beside the documents.
        QCOMPARE(folderListing(), before);
        checkNothingLeft();
    }

    void secondQueueGetsTheJobWhenChosen()
    {
        e2e::makeDocument(doc("elsewhere.docx"), {"wordelsewhere"});
        const int onFirst = int(e2e::capturedJobs("capture").size());
        m_printer = QStringLiteral("second");
        m_word->print(doc("elsewhere.docx"));
        const QStringList jobs = e2e::waitForJobs("second", 1);
        QCOMPARE(jobs.size(), 1);
        QVERIFY(e2e::jobText(jobs[0]).contains("wordelsewhere"));
        QCOMPARE(e2e::jobsBeforeMarker("capture", onFirst), QStringList());
    }

    void unknownPrinterIsReportedNotPrintedElsewhere()
    {
        e2e::makeDocument(doc("noprinter.docx"), {"wordnoprinter"});
        const auto first = e2e::capturedJobs("capture").size();
        const auto second = e2e::capturedJobs("second").size();
        m_printer = QStringLiteral("no-such-queue");
        m_word->print(doc("noprinter.docx"));
        QCOMPARE(m_messages.texts(), QStringList{"Could not print " + doc("noprinter.docx")});
        QCOMPARE(e2e::jobsBeforeMarker("capture", first), QStringList());
        QCOMPARE(e2e::jobsBeforeMarker("second", second), QStringList());
        checkNothingLeft();
    }

    void unopenableFilesReachTheCaller_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("missing") << "missing.docx" << QByteArray();
        QTest::newRow("truncated docx") << "truncated.docx" << QByteArray("cut");
        QTest::newRow("text named docx") << "text.docx" << QByteArray("just some text\n");
        QTest::newRow("random bytes named doc")
            << "random.doc" << QByteArray::fromHex("8f3a00ff12e4c1097b5500aa01fe77c3");
        QTest::newRow("folder") << "afolder.docx" << QByteArray("dir");
    }

    void unopenableFilesReachTheCaller()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, content);
        const QString path = doc(name);
        if (content == "cut") {
            e2e::makeDocument(path, {"this will be cut short"});
            QFile f(path);
            QVERIFY(f.open(QIODevice::ReadWrite));
            QVERIFY(f.resize(f.size() / 2));
        } else if (content == "dir") {
            QVERIFY(QDir().mkpath(path));
        } else if (!content.isEmpty()) {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(content);
        }
        const auto jobs = e2e::capturedJobs("capture").size();
        QString description;
        try {
            m_word->print(path);
        } catch (const automation::AutomationError &e) {
            description = QString::fromUtf8(e.what());
        }
        QVERIFY2(!description.isEmpty(), "opening should have failed");
        QVERIFY(m_messages.shown.isEmpty()); // not "Could not print ": the caller reports it
        QCOMPARE(e2e::jobsBeforeMarker("capture", jobs), QStringList());
        checkNothingLeft();
    }

    void macroDoesNotRun()
    {
        const QString marker = m_docs.filePath("macro-ran");
        e2e::makeDocument(doc("plain-macro.odt"), {"wordmacro"});
        QCOMPARE(QProcess::execute(OFFICE_HELPER,
                                   {"--macro", doc("plain-macro.odt"), doc("macro.odt"), marker}),
                 0);
        // The control: an office that allows macros runs this one.
        QCOMPARE(QProcess::execute(OFFICE_HELPER, {"--open-with-macros", doc("macro.odt")}), 0);
        QVERIFY2(QFileInfo::exists(marker), "the document's macro is not live");
        QVERIFY(QFile::remove(marker));

        const auto already = e2e::capturedJobs("capture").size();
        m_word->print(doc("macro.odt"));
        QVERIFY(m_messages.shown.isEmpty());
        const QStringList jobs = e2e::waitForJobs("capture", int(already) + 1);
        QVERIFY(e2e::jobText(jobs.last()).contains("wordmacro"));
        QVERIFY(!QFileInfo::exists(marker));
    }

    void officeDyingMidDocumentIsAFailure()
    {
        e2e::makeDocument(doc("dies.docx"), {"worddies"});
        auto word = m_office->createInstance();
        auto document = word->GetDocuments().Open(doc("dies.docx").toStdString());
        for (pid_t pid : e2e::officeChildren())
            ::kill(pid, SIGKILL);
        QVERIFY_THROWS_EXCEPTION(automation::AutomationError, word->SetActivePrinter("capture"));
        document.reset();
        word.reset();
        checkNothingLeft();
    }

    void lockedDocumentsAreRefusedInPlainWords()
    {
        e2e::makeLockedDocument(doc("secret.docx"), "encrypted", {"wordsecret"});
        e2e::makeLockedDocument(doc("managed.doc"), "rights", {"wordmanaged"});
        const auto jobs = e2e::capturedJobs("capture").size();
        for (const char *name : {"secret.docx", "managed.doc"}) {
            QString description;
            try {
                m_word->print(doc(name));
            } catch (const automation::AutomationError &e) {
                description = QString::fromUtf8(e.what());
            }
            QVERIFY2(description.contains("protected by a password"), qPrintable(description));
        }
        // The office's own wording never reaches a report as it stands.
        QCOMPARE(automation::plainOfficeMessage(
                     "Unsupported URL <file:///x.docx>: \"type detection aborted\" at "
                     "./framework/source/loadenv/loadenv.cxx:189"),
                 "the file's type was not recognised");
        QCOMPARE(automation::plainOfficeMessage("impl_store <file:///o.docx> failed: 0xc10 at "
                                                "./sfx2/source/doc/sfxbasemodel.cxx:3207 at "
                                                "./sfx2/source/doc/sfxbasemodel.cxx:1783"),
                 "impl_store <file:///o.docx> failed: 0xc10");
        QCOMPARE(e2e::jobsBeforeMarker("capture", jobs), QStringList());
        checkNothingLeft();
    }

    // The window closes (and the program ends every instance) while the
    // office is printing: the job the user saw start still reaches the queue.
    void endingAllInstancesLetsASubmittedJobFinish()
    {
        LibreOfficeProcessor::Options options;
        options.copiesDir = m_copies.path().toStdString();
        bool printing = false;
        LibreOfficeProcessor *office = nullptr;
        options.repaint = [&] {
            if (printing && office) {
                printing = false;
                office->endAllInstances();
            }
        };
        LibreOfficeProcessor processor(options);
        office = &processor;
        const QString path = doc("long.docx");
        e2e::makeDocument(path, {"--pages", "40", "wordlong PAGENUMBER"});
        const int already = int(e2e::capturedJobs("capture").size());
        auto word = processor.createInstance();
        auto document = word->GetDocuments().Open(path.toStdString());
        word->SetActivePrinter("capture");
        printing = true;
        try {
            word->PrintOut(true, false, path.toStdString(), {});
        } catch (const automation::AutomationError &) {
            // the instance was ended under the call, as at exit
        }
        QVERIFY(!printing); // it was ended in the middle of the call
        QVERIFY(e2e::officeChildren().empty());
        const QStringList jobs = e2e::waitForJobs("capture", already + 1);
        QCOMPARE(jobs.size(), already + 1);
        QVERIFY(e2e::jobText(jobs.last()).contains("wordlong 40"));
        document.reset();
        word.reset();
        checkNothingLeft();
    }

    void officeEndingAfterHandingItsJobOverHasPrinted()
    {
        const QString path = doc("handed.docx");
        e2e::makeDocument(path, {"wordhanded"});
        const int already = int(e2e::capturedJobs("capture").size());
        auto word = m_office->createInstance();
        auto document = word->GetDocuments().Open(path.toStdString());
        word->SetActivePrinter("capture");
        word->PrintOut(true, false, path.toStdString(), {});
        QCOMPARE(e2e::waitForJobs("capture", already + 1).size(), already + 1);
        for (pid_t pid : e2e::officeChildren())
            ::kill(pid, SIGKILL);
        QTRY_VERIFY(e2e::officeChildren().empty());
        // The scheduler has the whole job: printed, not "Could not print".
        QCOMPARE(word->BackgroundPrintingStatus(), 0);
        word->Quit(false);
        document.reset();
        word.reset();
        checkNothingLeft();
    }

    // Our job never reaches the scheduler (made so here by purging it), while
    // another job of the user's arrives and the office dies: not printed.
    void officeDyingWithoutItsJobHasNotPrintedWhateverElseArrives()
    {
        const QString path = doc("dying.docx");
        e2e::makeDocument(path, {"worddying"});
        const int already = int(e2e::capturedJobs("capture").size());
        auto word = m_office->createInstance();
        auto document = word->GetDocuments().Open(path.toStdString());
        word->SetActivePrinter("capture");
        word->PrintOut(true, false, path.toStdString(), {});
        const QStringList ours = e2e::waitForJobs("capture", already + 1);
        QCOMPARE(ours.size(), already + 1);
        QCOMPARE(QProcess::execute("cancel", {"-a", "-x", "capture"}), 0); // history too
        (void)e2e::jobsBeforeMarker("capture", already + 1);               // the user's other job
        const std::vector<pid_t> offices = e2e::officeChildren();
        for (pid_t pid : offices)
            ::kill(pid, SIGKILL);
        for (pid_t pid : offices) // dead, every thread of it, and not yet reaped
            QTRY_VERIFY(e2e::processState(pid) == 'Z' &&
                        QDir(QStringLiteral("/proc/%1/task").arg(pid))
                                .entryList(QDir::Dirs | QDir::NoDotAndDotDot)
                                .size() <= 1);
        QVERIFY_THROWS_EXCEPTION(automation::AutomationError, word->BackgroundPrintingStatus());
        document.reset();
        word.reset();
        checkNothingLeft();
    }

    // An office started ahead that is killed or stopped at any moment of its
    // life, up to being handed to its document, costs nothing: its document
    // prints on a fresh office, with no report, soon after its turn.
    void spareCostsNothingAtAnyMomentOfItsLife()
    {
        using automation::SpareMoment;
        const QString path = doc("spare.docx");
        e2e::makeDocument(path, {"wordspare"});
        const struct
        {
            SpareMoment moment;
            int signal;
        } strikes[] = {{SpareMoment::Started, SIGKILL},   {SpareMoment::Started, SIGSTOP},
                       {SpareMoment::Connected, SIGKILL}, {SpareMoment::Connected, SIGSTOP},
                       {SpareMoment::WarmedUp, SIGKILL},  {SpareMoment::WarmedUp, SIGSTOP},
                       {SpareMoment::Turn, SIGKILL},      {SpareMoment::Turn, SIGSTOP},
                       {SpareMoment::HandedOver, SIGKILL}};
        for (const auto &strike : strikes) {
            const QString what =
                QStringLiteral("moment %1, signal %2").arg(int(strike.moment)).arg(strike.signal);
            LibreOfficeProcessor::Options options;
            options.copiesDir = m_copies.path().toStdString();
            options.openAhead = true;
            std::atomic<bool> struck = false, warmedUp = false;
            options.spareMoment = [&](SpareMoment moment, int pid) {
                if (moment == strike.moment && !struck.exchange(true))
                    ::kill(pid, strike.signal);
                if (moment == SpareMoment::WarmedUp)
                    warmedUp = true;
            };
            LibreOfficeProcessor processor(options);
            processor.prepareSpare(path.toStdString());
            // The turn comes while the spare waits, or while it starts.
            if (strike.moment == SpareMoment::Turn || strike.moment == SpareMoment::HandedOver)
                QTRY_VERIFY_WITH_TIMEOUT(warmedUp, 60000);
            const int already = int(e2e::capturedJobs("capture").size());
            QElapsedTimer sinceTurn;
            sinceTurn.start();
            const automation::PrintSteps steps{[] { return std::string("capture"); },
                                               [](int) {},
                                               [] { QThread::msleep(10); },
                                               {},
                                               {},
                                               {},
                                               {}};
            std::optional<std::string> failure;
            try {
                failure = automation::printDocument(processor, path.toStdString(), steps);
            } catch (const automation::AutomationError &e) {
                failure = e.what();
            }
            const qint64 took = sinceTurn.elapsed();
            QVERIFY2(struck, qPrintable(what));
            QVERIFY2(!failure,
                     qPrintable(what + ": " + QString::fromStdString(failure.value_or(""))));
            QVERIFY2(took < 10000, qPrintable(what + QStringLiteral(": %1 ms").arg(took)));
            const QStringList jobs = e2e::waitForJobs("capture", already + 1);
            QVERIFY2(jobs.size() == already + 1 && e2e::jobText(jobs.last()).contains("wordspare"),
                     qPrintable(what));
            processor.endAllInstances();
            checkNothingLeft();
        }
    }

    // Offices that print one document after another, the next one opened
    // ahead in another office: a document that stops its office, crashes
    // it, is locked, is no document at all, or carries a macro costs only
    // itself; the one after it prints on a fresh office; the jobs keep the
    // list's order; nothing is left afterwards.
    void reusedOfficesCostOnlyTheFailedDocument()
    {
        LibreOfficeProcessor::Options options;
        options.copiesDir = m_copies.path().toStdString();
        options.openAhead = true;
        options.sparesAhead = 2;
        options.documentsPerOffice = 50;
        options.idleLimit = std::chrono::seconds(3);
        LibreOfficeProcessor processor(options);
        const QString marker = m_docs.filePath("reuse-macro-ran");
        e2e::makeDocument(doc("reuse-plain.odt"), {"wordreusemacro"});
        QCOMPARE(QProcess::execute(OFFICE_HELPER, {"--macro", doc("reuse-plain.odt"),
                                                   doc("reuse-macro.odt"), marker}),
                 0);
        e2e::makeLockedDocument(doc("reuse-locked.docx"), "encrypted", {"wordreuselocked"});
        QFile junk(doc("reuse-junk.docx"));
        QVERIFY(junk.open(QIODevice::WriteOnly) && junk.write("not a document") > 0);
        junk.close();
        const QStringList names = {"good1", "stopped", "good2", "crash",  "good3", "locked",
                                   "good4", "macro",   "junk",  "vanish", "good5"};
        QStringList documents;
        for (const QString &name : names) {
            if (name == u"locked" || name == u"junk")
                documents << doc("reuse-" + name + ".docx");
            else if (name == u"macro")
                documents << doc("reuse-macro.odt");
            else
                e2e::makeDocument(documents.emplace_back(doc("reuse-" + name + ".docx")),
                                  {"wordreuse" + name});
        }
        const int already = int(e2e::capturedJobs("capture").size());
        std::set<pid_t> offices;
        qsizetype current = 0, startedUpTo = 0;
        const automation::PrintSteps steps{
            [] { return std::string("capture"); },
            [](int) {},
            [] { QThread::msleep(10); },
            [&] {
                while (startedUpTo < std::min(documents.size() - 1, current + 2))
                    processor.prepareSpare(documents[++startedUpTo].toStdString());
            },
            [&] {
                // The office in hand is stopped, or killed, right before
                // its job is sent (with those opening the next ones).
                for (pid_t pid : e2e::officeChildren()) {
                    offices.insert(pid);
                    if (names[current] == u"stopped")
                        ::kill(pid, SIGSTOP);
                    if (names[current] == u"crash")
                        ::kill(pid, SIGKILL);
                }
                // The printer goes away under the document (it takes no
                // jobs), and is back for the next.
                if (names[current] == u"vanish")
                    QProcess::execute("cupsreject", {"capture"});
            },
            {},
            {}};
        QStringList failed;
        for (; current < documents.size(); ++current) {
            std::optional<std::string> failure;
            try {
                failure =
                    automation::printDocument(processor, documents[current].toStdString(), steps);
            } catch (const automation::AutomationError &e) {
                failure = e.what();
            }
            if (failure)
                failed << names[current];
            if (names[current] == u"vanish")
                QProcess::execute("cupsaccept", {"capture"});
        }
        processor.dropSpare();
        QCOMPARE(failed, (QStringList{"stopped", "crash", "locked", "junk", "vanish"}));
        QStringList printed;
        for (const QString &job : e2e::waitForJobs("capture", already + 6).mid(already))
            printed << e2e::jobText(job)
                           .section("wordreuse", 1)
                           .section(QRegularExpression("\\s"), 0, 0);
        QCOMPARE(printed, (QStringList{"good1", "good2", "good3", "good4", "macro", "good5"}));
        QVERIFY(!QFileInfo::exists(marker));
        // Three more in a row, none ahead: all three in one office.
        offices.clear();
        const automation::PrintSteps inTurn{[] { return std::string("capture"); },
                                            [](int) {},
                                            [] { QThread::msleep(10); },
                                            {},
                                            [&] {
                                                for (pid_t pid : e2e::officeChildren())
                                                    offices.insert(pid);
                                            },
                                            {},
                                            {}};
        for (const char *name : {"good1", "good2", "good3"})
            QVERIFY(!automation::printDocument(
                processor, doc(QStringLiteral("reuse-%1.docx").arg(name)).toStdString(), inTurn));
        QCOMPARE(offices.size(), std::size_t(1));
        processor.dropSpare();
        for (pid_t pid : e2e::officeChildren())
            ::kill(pid, SIGCONT);
        checkNothingLeft();
    }

    // When the scheduler does not answer, nothing counts as our job: neither
    // the mark before our document nor the question after it.
    void schedulerThatDoesNotAnswerHoldsNoJobOfOurs()
    {
        const auto mark = automation::CupsJobs::newestOwnJob("capture");
        QVERIFY(mark.has_value());
        const QString path = doc("asked.docx");
        e2e::makeDocument(path, {"wordasked"});
        const int already = int(e2e::capturedJobs("capture").size());
        QCOMPARE(QProcess::execute("lp", {"-d", "capture", "-t", "asked.docx", path}), 0);
        QCOMPARE(e2e::waitForJobs("capture", already + 1).size(), already + 1);
        QVERIFY(automation::CupsJobs::holdsJob("capture", *mark, "asked.docx"));
        QVERIFY(!automation::CupsJobs::holdsJob("capture", std::nullopt, "asked.docx"));
        cupsSetServer("/nonexistent/marrowlake/cups.sock");
        const auto unanswered = automation::CupsJobs::newestOwnJob("capture");
        const bool held = automation::CupsJobs::holdsJob("capture", *mark, "asked.docx");
        cupsSetServer(nullptr);
        QVERIFY(!unanswered.has_value());
        QVERIFY(!held);
    }

    void stoppedOfficeIsEndedWhileTheCallerRepaints()
    {
        LibreOfficeProcessor::Options options;
        options.copiesDir = m_copies.path().toStdString();
        options.idleLimit = std::chrono::seconds(2);
        int repaints = 0;
        options.repaint = [&repaints] { ++repaints; };
        LibreOfficeProcessor office(options);
        const QString path = doc("frozen.docx");
        e2e::makeDocument(path, {"wordfrozen"});
        auto word = office.createInstance();
        for (pid_t pid : e2e::officeChildren())
            ::kill(pid, SIGSTOP);
        QElapsedTimer clock;
        clock.start();
        QString description;
        try {
            (void)word->GetDocuments().Open(path.toStdString());
        } catch (const automation::AutomationError &e) {
            description = QString::fromUtf8(e.what());
        }
        QVERIFY2(description.contains("stopped answering"), qPrintable(description));
        QVERIFY2(clock.elapsed() < 15000, qPrintable(QString::number(clock.elapsed())));
        QVERIFY2(repaints > 50, qPrintable(QString::number(repaints))); // every 15 ms or so
        word.reset();
        checkNothingLeft();
    }

    void endAllInstancesLeavesNothing()
    {
        auto first = m_office->createInstance();
        auto second = m_office->createInstance();
        QCOMPARE(e2e::officeChildren().size(), 2u);
        m_office->endAllInstances();
        QVERIFY(e2e::officeChildren().empty());
        first.reset();
        second.reset();
        checkNothingLeft();
    }

    // Our own instances and ended (zombie) processes are not the user's
    // office; another test's helper office may run for a moment meanwhile.
    void runningOfficeCheckSkipsOursAndZombies()
    {
        QTemporaryDir bin;
        const QString fake = bin.filePath("soffice.bin");
        QVERIFY(QFile::copy("/bin/sh", fake));
        auto running = [this] {
            try {
                return m_office->attachToRunning()->Name() == m_office->expectedName();
            } catch (const automation::AutomationError &) {
                return false;
            }
        };
        QProcess ours;
        ours.start(fake,
                   {"-c", "sleep 30; :",
                    QString("--accept=pipe,name=") + LibreOfficeProcessor::PipePrefix + "t;urp;"});
        QVERIFY(ours.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(!running(), 20000);
        ours.kill();
        ours.waitForFinished();

        const QByteArray program = fake.toLocal8Bit();
        const pid_t zombie = fork();
        if (zombie == 0) {
            // Ours while it runs; ended, its command line is gone.
            execl(program.constData(), "soffice.bin", "-c", "exit 0",
                  "--accept=pipe,name=marrowlake-z;urp;", nullptr);
            _exit(127);
        }
        QTRY_VERIFY(e2e::processState(zombie) == 'Z');
        QTRY_VERIFY_WITH_TIMEOUT(!running(), 20000);
        ::waitpid(zombie, nullptr, 0);

        QProcess users;
        users.start(fake, {"-c", "sleep 30; :"});
        QVERIFY(users.waitForStarted());
        QTRY_VERIFY(running());
        users.kill();
        users.waitForFinished();
    }

    void checkWordInstalledQuietlyWhenTheOfficeStarts()
    {
        checkWordProcessorInstalled(*m_office, m_messages);
        QVERIFY(m_messages.shown.isEmpty());
        checkNothingLeft();
    }

    void checkWordInstalledSaysSoWithoutAnOffice()
    {
        LibreOfficeProcessor::Options options;
        options.programDir = m_docs.filePath("no-office-here").toStdString();
        options.copiesDir = m_copies.path().toStdString();
        LibreOfficeProcessor missing(options);
        checkWordProcessorInstalled(missing, m_messages);
        QCOMPARE(m_messages.texts(),
                 QStringList{"Word is not installed on this computer. You need to have it "
                             "installed to use this software without error."});
    }
};

QTEST_GUILESS_MAIN(TestLibreOfficePrint)
#include "tst_libreoffice_print.moc"
