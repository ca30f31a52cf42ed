#include "DocumentPrinter.h"
#include "FakeMessageBoxes.h"
#include "FakeWordProcessor.h"

#include <QTest>

using Calls = std::vector<std::string>;

class TestDocumentPrinter : public QObject
{
    Q_OBJECT

    FakeWordProcessor word;
    FakeMessageBoxes messages;
    QString printer = "Office Laser";
    QList<int> waits;
    int yields = 0;
    std::unique_ptr<DocumentPrinter> word1;

private slots:
    void init()
    {
        word = FakeWordProcessor();
        messages = FakeMessageBoxes();
        waits.clear();
        yields = 0;
        word1 = std::make_unique<DocumentPrinter>(
            word, messages, [this] { return printer; }, [this](int s) { waits << s; },
            [this] { ++yields; });
    }

    void printsWithTheSpecifiedCallsInOrder()
    {
        word.pendingReadings = 2;
        word1->print("/docs/a.docx");
        const Calls expected{"1:CreateInstance()",
                             "1:Documents()",
                             "1:Open(/docs/a.docx)",
                             "1:SetActivePrinter(Office Laser)",
                             "1:PrintOut(true,false,/docs/a.docx)",
                             "1:Application()",
                             "1:BackgroundPrintingStatus()",
                             "1:Application()",
                             "1:BackgroundPrintingStatus()",
                             "1:Application()",
                             "1:BackgroundPrintingStatus()",
                             "1:Quit(false)"};
        QCOMPARE(word.log->calls, expected);
        QCOMPARE(yields, 3); // one before every reading
        QCOMPARE(waits, QList<int>{1});
        QVERIFY(messages.shown.isEmpty());
        QCOMPARE(word.log->alive, 0);
    }

    void everyDocumentHasAnInstanceOfItsOwn()
    {
        word1->print("/docs/a.docx");
        word1->print("/docs/b.docx");
        QCOMPARE(word.log->instances, 2);
        QCOMPARE(word.log->calls[0], "1:CreateInstance()");
        QCOMPARE(word.log->calls.back(), "2:Quit(false)");
    }

    void refusedPrinterIsReportedWithoutPrintingOrQuit()
    {
        word.failures["SetActivePrinter"] = "There is a printer error.";
        word1->print("/docs/a b.docx");
        QCOMPARE(messages.texts(), QStringList{"Could not print /docs/a b.docx"});
        QCOMPARE(messages.shown[0].title, "Marrowlake");
        QCOMPARE(messages.shown[0].icon, MessageBoxes::Icon::None);
        for (const auto &c : word.log->calls) {
            QVERIFY(c.find("PrintOut") == std::string::npos);
            QVERIFY(c.find("Quit") == std::string::npos);
        }
        QVERIFY(waits.isEmpty());
    }

    void laterPrintingFailuresAreReportedToo_data()
    {
        QTest::addColumn<QString>("member");
        QTest::newRow("PrintOut") << "PrintOut";
        QTest::newRow("status") << "BackgroundPrintingStatus";
    }

    void laterPrintingFailuresAreReportedToo()
    {
        QFETCH(QString, member);
        word.failures[member.toStdString()] = "failed";
        word1->print("/docs/a.docx");
        QCOMPARE(messages.texts(), QStringList{"Could not print /docs/a.docx"});
    }

    // Once the job is with the scheduler, the document is printed: a Quit
    // that fails is recorded as a warning, never reported as not printed.
    void aFailureAfterTheJobIsSentIsAWarning()
    {
        QStringList recorded;
        word1->setRecorder([&recorded](const QString &, const QString &, const QString &failure,
                                       const QString &warning) { recorded << failure << warning; });
        word.failures["Quit"] = "Word did not quit.";
        word1->print("/docs/a.docx");
        QVERIFY(messages.shown.isEmpty());
        QCOMPARE(recorded, (QStringList{QString(), "Word did not quit."}));
    }

    void failuresToStartOrOpenReachTheCaller()
    {
        word.unopenable["/docs/broken.docx"] = "The file appears to be corrupted.";
        QVERIFY_THROWS_EXCEPTION(automation::AutomationError, word1->print("/docs/broken.docx"));
        QVERIFY(messages.shown.isEmpty());
        QCOMPARE(word.log->alive, 0);

        word.failures["CreateInstance"] = "ActiveX component can't create object";
        try {
            word1->print("/docs/a.docx");
            QFAIL("expected a failure");
        } catch (const automation::AutomationError &e) {
            QCOMPARE(std::string(e.what()), "ActiveX component can't create object");
        }
        QVERIFY(messages.shown.isEmpty());
    }

    void noWarningWithoutARunningInstance()
    {
        QVERIFY(!word1->isWordProcessorRunning());
        QVERIFY(!word1->stopForRunningWordProcessor());
        QVERIFY(messages.shown.isEmpty());
    }

    void warningWithARunningInstance()
    {
        word.runningName = "Microsoft Word";
        QVERIFY(word1->isWordProcessorRunning());
        messages.answers = {MessageBoxes::Answer::Yes, MessageBoxes::Answer::No};
        QVERIFY(!word1->stopForRunningWordProcessor()); // Yes: go ahead
        QVERIFY(word1->stopForRunningWordProcessor());  // No: stop
        QCOMPARE(messages.shown.size(), 2);
        QCOMPARE(messages.shown[0].text,
                 "Word may be open. It is recommended that you close Word first. Use "
                 "Ctrl+Alt+Del > Task Manager > WINWORD.EXE if necessary.\r\n\r\n"
                 "Would you like to proceed anyway?");
        QCOMPARE(messages.shown[0].buttons, MessageBoxes::Buttons::YesNo);
        QCOMPARE(messages.shown[0].title, "Marrowlake");
    }

    void anotherProgramsNameIsNotTheWordProcessor()
    {
        word.runningName = "Microsoft Word 2";
        QVERIFY(!word1->isWordProcessorRunning());
        word.runningName = "microsoft word";
        QVERIFY(!word1->isWordProcessorRunning());
    }
};

QTEST_MAIN(TestDocumentPrinter)
#include "tst_document_printer.moc"
