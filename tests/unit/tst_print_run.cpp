#include "DocumentPrinter.h"
#include "DocumentSource.h"
#include "FakeMessageBoxes.h"
#include "FakePrinterList.h"
#include "FakeSettingsStore.h"
#include "FakeWordProcessor.h"
#include "PrintOptions.h"
#include "PrintRun.h"
#include "RunErrorReport.h"
#include "YieldingWait.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QProgressBar>
#include <QTest>
#include <QTimer>

#include <stdexcept>

// The list as the run sees it, editable while the run is under way.
class ListSource : public DocumentSource
{
public:
    int count() const override { return int(paths.size()); }
    QString pathAt(int position) const override
    {
        if (position < 1 || position > paths.size())
            throw std::out_of_range("Index out of bounds");
        return paths[position - 1];
    }
    QStringList paths;
};

class TestPrintRun : public QObject
{
    Q_OBJECT

    FakeSettingsStore settings;
    FakePrinterList printers;
    FakeWordProcessor word;
    FakeMessageBoxes messages;
    ListSource list;
    QWidget window;
    QProgressBar bar;
    QList<int> waits;
    QList<double> progressWhilePrinting;
    std::function<void()> onWait;
    std::unique_ptr<PrintOptions> options;
    std::unique_ptr<DocumentPrinter> word1;
    std::unique_ptr<PrintRun> run;

private slots:
    void init()
    {
        settings = FakeSettingsStore();
        printers.names = {"Laser"};
        printers.defaultName = "Laser";
        word = FakeWordProcessor();
        messages = FakeMessageBoxes();
        list.paths.clear();
        waits.clear();
        progressWhilePrinting.clear();
        onWait = nullptr;
        bar.setRange(0, 100);
        bar.setValue(0);
        options = std::make_unique<PrintOptions>(settings, printers);
        options->fillPrinterList();
        options->restorePrinterChoice();
        options->fillPauseList();
        options->restorePauseChoice();
        auto wait = [this](int s) {
            waits << s;
            if (onWait)
                onWait();
        };
        word1 = std::make_unique<DocumentPrinter>(
            word, messages, [this] { return options->printerText(); }, wait, [] {});
        run = std::make_unique<PrintRun>(list, *options, *word1, messages, &bar, &window, wait,
                                         [] {});
        word.onPrint = [this](const std::string &, const std::string &) {
            progressWhilePrinting << run->progress();
            QCOMPARE(window.cursor().shape(), Qt::WaitCursor);
        };
    }

    void emptyListSaysSoWithoutTheWordProcessor()
    {
        word.runningName = "Microsoft Word"; // would warn, if it were asked
        bar.setValue(40);
        run->start();
        QCOMPARE(messages.texts(), QStringList{"No files added."});
        QCOMPARE(messages.shown[0].title, "Marrowlake");
        QCOMPARE(word.log->instances, 0);
        QCOMPARE(bar.value(), 0);
        QCOMPARE(window.cursor().shape(), Qt::ArrowCursor);
        QCOMPARE(window.cursor().shape(), Qt::ArrowCursor);
    }

    void fourDocumentsInOrderWithProgressAndPauses()
    {
        list.paths = {"/d/1.docx", "/d/2.docx", "/d/3.docx", "/d/4.docx"};
        options->pauseCombo()->setCurrentIndex(0);
        messages.onShow = [this](const FakeMessageBoxes::Shown &) {
            QCOMPARE(bar.value(), 100); // still full while "Done." shows
        };
        run->start();
        QCOMPARE(word.printed(),
                 (std::vector<std::string>{"/d/1.docx", "/d/2.docx", "/d/3.docx", "/d/4.docx"}));
        QCOMPARE(progressWhilePrinting, (QList<double>{25, 50, 75, 100}));
        // Inside printing one second, then the pause of 0 + 1 seconds.
        QCOMPARE(waits, (QList<int>{1, 1, 1, 1, 1, 1, 1, 1}));
        QCOMPARE(messages.texts(), QStringList{"Done."});
        QCOMPARE(bar.value(), 0);
        QCOMPARE(window.cursor().shape(), Qt::ArrowCursor);
        QCOMPARE(word.log->instances, 4);
    }

    void nineSecondsWaitTenAndChangesApplyFromTheNextPause()
    {
        list.paths = {"/d/1.docx", "/d/2.docx"};
        options->pauseCombo()->setCurrentIndex(9);
        onWait = [this] {
            if (waits.size() == 2) // the first pause: choose 3 seconds for the next
                options->pauseCombo()->setCurrentIndex(3);
        };
        run->start();
        QCOMPARE(waits, (QList<int>{1, 10, 1, 4}));
    }

    void declinedWarningPrintsNothingAndSaysNothing()
    {
        list.paths = {"/d/1.docx"};
        word.runningName = "Microsoft Word";
        messages.answers = {MessageBoxes::Answer::No};
        run->start();
        QCOMPARE(messages.shown.size(), 1); // the warning only
        QCOMPARE(word.log->instances, 0);
        QCOMPARE(bar.value(), 0);
        QCOMPARE(window.cursor().shape(), Qt::ArrowCursor);
    }

    void acceptedWarningRunsNormally()
    {
        list.paths = {"/d/1.docx"};
        word.runningName = "Microsoft Word";
        messages.answers = {MessageBoxes::Answer::Yes};
        run->start();
        QCOMPARE(word.printed().size(), 1u);
        QCOMPARE(messages.texts().last(), "Done.");
    }

    void unopenableDocumentIsReportedAtLine118AndTheRunGoesOn()
    {
        list.paths = {"/d/1.docx", "/d/missing.docx", "/d/3.docx"};
        word.unopenable["/d/missing.docx"] = "This file could not be found: /d/missing.docx";
        run->start();
        QCOMPARE(word.printed(), (std::vector<std::string>{"/d/1.docx", "/d/3.docx"}));
        QCOMPARE(messages.shown.size(), 2);
        const auto &report = messages.shown[0];
        QCOMPARE(report.text, "This file could not be found: /d/missing.docx\r\n"
                              "in Tolvane5/20/2014.Form1.Start at line 118\r\r"
                              "Please email screenshot of this message to " +
                                  ReportAddress);
        QCOMPARE(report.title, "Application Error");
        QCOMPARE(report.icon, MessageBoxes::Icon::Warning);
        QCOMPARE(report.buttons, MessageBoxes::Buttons::Ok);
        // The pause still follows the failed document.
        QCOMPARE(waits, (QList<int>{1, 1, 1, 1, 1}));
        QCOMPARE(messages.shown[1].text, "Done.");
    }

    void secondStartDuringARunDoesNothing()
    {
        list.paths = {"/d/1.docx", "/d/2.docx"};
        onWait = [this] { run->start(); };
        run->start();
        QCOMPARE(word.printed().size(), 2u);
        QCOMPARE(messages.texts(), QStringList{"Done."});
        QVERIFY(!run->running());
    }

    void rowsRemovedDuringTheRunAreReportedNotFatal()
    {
        list.paths = {"/d/1.docx", "/d/2.docx", "/d/3.docx"};
        onWait = [this] {
            if (waits.size() == 2) // the pause after the first document
                list.paths = {"/d/1.docx"};
        };
        run->start();
        QCOMPARE(word.printed(), std::vector<std::string>{"/d/1.docx"});
        const QStringList texts = messages.texts();
        QCOMPARE(texts.size(), 3);
        QVERIFY(texts[0].contains("at line 114"));
        QVERIFY(texts[1].contains("at line 114"));
        QCOMPARE(texts[2], "Done.");
    }

    void listEmptiedDuringTheRunIsReportedAtLine110()
    {
        list.paths = {"/d/1.docx", "/d/2.docx"};
        onWait = [this] {
            if (waits.size() == 2) // the pause after the first document
                list.paths.clear();
        };
        run->start();
        QCOMPARE(word.printed(), std::vector<std::string>{"/d/1.docx"});
        const QStringList texts = messages.texts();
        QCOMPARE(texts.size(), 3);
        QVERIFY(texts[0].startsWith("Division by zero\r\n"));
        QVERIFY(texts[0].contains("at line 110"));
        QVERIFY(texts[1].contains("at line 114"));
        QCOMPARE(texts[2], "Done.");
        QCOMPARE(bar.value(), 0);
    }

    void editsDuringThePauseChangeWhatLaterStepsPrint()
    {
        list.paths = {"/d/1.docx", "/d/2.docx", "/d/3.docx"};
        onWait = [this] {
            if (waits.size() == 2) {
                list.paths.swapItemsAt(1, 2);
                list.paths << "/d/4.docx"; // beyond the run's bound
            }
        };
        run->start();
        QCOMPARE(word.printed(), (std::vector<std::string>{"/d/1.docx", "/d/3.docx", "/d/2.docx"}));
        // The divisor follows the list: 2 of 4 and 3 of 4.
        QCOMPARE(progressWhilePrinting, (QList<double>{1.0 / 3.0 * 100.0, 50, 75}));
    }

    void waitSecondsWaitsAtLeastThatLongWhileHandlingEvents()
    {
        int fired = 0;
        QTimer timer;
        connect(&timer, &QTimer::timeout, [&] { ++fired; });
        timer.start(100);
        QElapsedTimer clock;
        clock.start();
        yieldingWait(1);
        QVERIFY(clock.elapsed() >= 1000);
        QVERIFY(fired >= 5); // the window kept handling its events
    }
};

QTEST_MAIN(TestPrintRun)
#include "tst_print_run.moc"
