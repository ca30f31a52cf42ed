#include "WindowLayout.h"

#include <QTest>

class TestLayout : public QObject
{
    Q_OBJECT

private slots:
    void designSizeGivesTheDesignedMargins()
    {
        const WindowGeometry g = applyResizeRule(designGeometry(), 10680, 7380);
        QCOMPARE(g.tabControl, (TwipsRect{120, 1620, 10440, 5120}));
        QCOMPARE(g.list, (TwipsRect{240, 480, 9960, 4490}));
        QCOMPARE(g.printerGroup.width, 9960.f);
        QCOMPARE(g.pauseGroup.width, 9960.f);
        QCOMPARE(g.printerCombo.width, 9460.f);
        QCOMPARE(g.pauseCombo.width, 9460.f);
        QCOMPARE(g.progressBar, (TwipsRect{120, 6870, 10440, 405}));
        QCOMPARE(g.firstColumnWidth, 9460.f);
        // Heights and left edges stay as designed.
        QCOMPARE(g.printerGroup.height, 840.f);
        QCOMPARE(g.printerCombo.left, 240.f);
        QCOMPARE(g.pauseGroup.top, 1440.f);
    }

    void minimizedChangesNothing()
    {
        const WindowGeometry before = applyResizeRule(designGeometry(), 10680, 7380);
        QCOMPARE(applyResizeRule(before, 2000, 1000, true), before);
    }

    void tooLowKeepsThePreviousHeight()
    {
        const WindowGeometry before = applyResizeRule(designGeometry(), 10680, 7380);
        const WindowGeometry g = applyResizeRule(before, 10680, 2000);
        QCOMPARE(g.tabControl.height, 5120.f);
        QCOMPARE(g.list.height, 5120.f - 630);
        QCOMPARE(g.progressBar.top, 5120.f + 1750);
    }

    void narrowWindowKeepsTheRefusedWidths()
    {
        const WindowGeometry before = applyResizeRule(designGeometry(), 10680, 7380);
        const WindowGeometry g = applyResizeRule(before, 1000, 7380);
        QCOMPARE(g.tabControl.width, 760.f);
        QCOMPARE(g.list.width, 280.f);
        QCOMPARE(g.printerGroup.width, 280.f);
        QCOMPARE(g.pauseGroup.width, 280.f);
        QCOMPARE(g.progressBar.width, 760.f);
        QCOMPARE(g.printerCombo.width, 9460.f); // -220 refused
        QCOMPARE(g.pauseCombo.width, 9460.f);
        QCOMPARE(g.firstColumnWidth, 9460.f);

        // Growing again brings every value back to the rule.
        QCOMPARE(applyResizeRule(g, 10680, 7380), before);
    }

    void widthBelowTheListMarginUsesTheOldTabWidth()
    {
        const WindowGeometry before = applyResizeRule(designGeometry(), 10680, 7380);
        const WindowGeometry g = applyResizeRule(before, 100, 7380); // tab width -140 refused
        QCOMPARE(g.tabControl.width, 10440.f);
        QCOMPARE(g.list.width, 9960.f);
        QCOMPARE(g.printerGroup.width, 9960.f); // -620 refused
        QCOMPARE(g.progressBar.width, 10440.f);
    }
};

QTEST_MAIN(TestLayout)
#include "tst_layout.moc"
