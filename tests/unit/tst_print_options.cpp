#include "FakePrinterList.h"
#include "FakeSettingsStore.h"
#include "PrintOptions.h"

#include <QComboBox>
#include <QGroupBox>
#include <QTest>

// The start-up order of the options: fill and restore the printer, then the
// pause entries and their restore.
static void startUp(PrintOptions &options)
{
    options.fillPrinterList();
    options.restorePrinterChoice();
    options.fillPauseList();
    options.restorePauseChoice();
}

class TestPrintOptions : public QObject
{
    Q_OBJECT

    FakeSettingsStore settings;
    FakePrinterList printers;

private slots:
    void init()
    {
        settings = FakeSettingsStore();
        printers.names = {"A", "B", "C"};
        printers.defaultName = "B";
    }

    void firstStartChoosesAndStoresTheDefaultPrinter()
    {
        PrintOptions options(settings, printers);
        startUp(options);
        QCOMPARE(options.printerCombo()->count(), 3);
        QCOMPARE(options.printerCombo()->itemText(0), "A");
        QCOMPARE(options.printerText(), "B");
        QCOMPARE(settings.values.value("Combo1"), "1");
        QCOMPARE(options.pauseText(), "0 seconds");
        QCOMPARE(settings.values.value("Combo2"), "0");
    }

    void storedPositionWinsWhateverItsName()
    {
        settings.values["Combo1"] = "2";
        printers.names = {"X", "Y", "Z"};
        PrintOptions options(settings, printers);
        startUp(options);
        QCOMPARE(options.printerText(), "Z");
        QCOMPARE(settings.values.value("Combo1"), "2");
    }

    void chosenPrinterStaysChosenWhenAnotherIsAddedBeforeIt()
    {
        {
            PrintOptions options(settings, printers);
            startUp(options);
            options.printerCombo()->setCurrentIndex(1);
        }
        QCOMPARE(settings.values.value("PrinterName"), "B");
        printers.names = {"Aardvark", "A", "B", "C"};
        PrintOptions options(settings, printers);
        startUp(options);
        QCOMPARE(options.printerText(), "B");
        QCOMPARE(settings.values.value("Combo1"), "2"); // its new position, for older versions
        // The named printer gone: the stored position, as before.
        printers.names = {"X", "Y", "Z", "W"};
        PrintOptions later(settings, printers);
        startUp(later);
        QCOMPARE(later.printerText(), "Z");
    }

    void pauseListHasTenEntries()
    {
        PrintOptions options(settings, printers);
        startUp(options);
        QCOMPARE(options.pauseCombo()->count(), 10);
        for (int n = 0; n < 10; ++n)
            QCOMPARE(options.pauseCombo()->itemText(n), QString::number(n) + " seconds");
        QCOMPARE(options.printerGroup()->title(), "Select Printer");
        QCOMPARE(options.pauseGroup()->title(),
                 "Pause (use this feature if unwanted blank pages are being printed)");
    }

    void everyChangeOfChoiceIsStored()
    {
        PrintOptions options(settings, printers);
        startUp(options);
        options.pauseCombo()->setCurrentIndex(5);
        QCOMPARE(settings.values.value("Combo2"), "5");
        QCOMPARE(options.pauseText(), "5 seconds");
        options.printerCombo()->setCurrentIndex(2);
        QCOMPARE(settings.values.value("Combo1"), "2");
    }

    void corruptOrOutOfRangeValuesChooseTheFirstEntry_data()
    {
        QTest::addColumn<QString>("storedPrinter");
        QTest::addColumn<QString>("storedPause");
        QTest::newRow("words") << "printer"
                               << "many";
        QTest::newRow("too large") << "7"
                                   << "12";
        QTest::newRow("negative") << "-1"
                                  << "-4";
        QTest::newRow("fraction") << "1.5"
                                  << "2.5";
        QTest::newRow("huge") << "99999999999999"
                              << "99999999999";
    }

    void corruptOrOutOfRangeValuesChooseTheFirstEntry()
    {
        QFETCH(QString, storedPrinter);
        QFETCH(QString, storedPause);
        settings.values["Combo1"] = storedPrinter;
        settings.values["Combo2"] = storedPause;
        PrintOptions options(settings, printers);
        startUp(options);
        QCOMPARE(options.printerCombo()->currentIndex(), 0);
        QCOMPARE(options.pauseCombo()->currentIndex(), 0);
        QCOMPARE(settings.values.value("Combo1"), "0");
        QCOMPARE(settings.values.value("Combo2"), "0");
    }

    void noPrintersAtAll()
    {
        printers.names.clear();
        printers.defaultName.clear();
        settings.values["Combo1"] = "1";
        PrintOptions options(settings, printers);
        startUp(options);
        QCOMPARE(options.printerCombo()->count(), 0);
        QCOMPARE(options.printerText(), QString());
        QCOMPARE(options.pauseText(), "0 seconds");
    }

    void defaultPrinterMissingFromTheListChoosesNothingFirst()
    {
        printers.defaultName = "Gone";
        PrintOptions options(settings, printers);
        options.fillPrinterList();
        QCOMPARE(options.printerCombo()->currentIndex(), -1);
        QVERIFY(!settings.values.contains("Combo1"));
        // The start-up's second read then takes 0 as the default.
        options.restorePrinterChoice();
        QCOMPARE(options.printerText(), "A");
    }
};

QTEST_MAIN(TestPrintOptions)
#include "tst_print_options.moc"
