// Reordering the list by dragging rows, with real mouse events.

#include "DocumentListView.h"

#include <QApplication>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTest>

class TestReorder : public QObject
{
    Q_OBJECT

    std::unique_ptr<DocumentListView> list;
    int screenY = 330; // between the scroll limits: no scrolling

    QPoint row(int position) const
    {
        return list->visualItemRect(list->topLevelItem(position - 1)).center();
    }

    void make(int rows, QSize size = QSize(400, 400))
    {
        list = std::make_unique<DocumentListView>(QStringLiteral(DRAG_ICON));
        for (int i = 1; i <= rows; ++i)
            list->append(QString::number(i));
        list->setCursorPositionSource([this] { return QPoint(100, screenY); });
        list->resize(size);
        list->show();
        QVERIFY(QTest::qWaitForWindowExposed(list.get()));
    }

private slots:
    void init() { screenY = 330; }

    void slowDragCarriesTheRowDown()
    {
        make(5);
        QWidget *vp = list->viewport();
        QTest::mousePress(vp, Qt::LeftButton, {}, row(3));
        QCOMPARE(vp->cursor().shape(), Qt::BitmapCursor); // the drag image
        QTest::mouseMove(vp, row(4));
        QTest::mouseMove(vp, row(5));
        QTest::mouseRelease(vp, Qt::LeftButton, {}, row(5));
        QCOMPARE(list->paths(), (QStringList{"1", "2", "4", "5", "3"}));
        QVERIFY(list->isSelectedAt(5));
        QVERIFY(!list->isSelectedAt(3));
        QCOMPARE(vp->cursor().shape(), Qt::ArrowCursor);
        // The moved row is the current one: Delete removes the moved document.
        QCOMPARE(list->currentPosition(), 5);
        QTest::keyClick(list.get(), Qt::Key_Delete);
        QCOMPARE(list->paths(), (QStringList{"1", "2", "4", "5"}));
    }

    void releaseTakenByAnotherWindowEndsTheDrag()
    {
        make(5);
        QWidget *vp = list->viewport();
        QTest::mousePress(vp, Qt::LeftButton, {}, row(3));
        // The release went to a message box; the list only sees hovering.
        QMouseEvent hover(QEvent::MouseMove, row(5), vp->mapToGlobal(row(5)), Qt::NoButton,
                          Qt::NoButton, {});
        QApplication::sendEvent(vp, &hover);
        QMouseEvent later(QEvent::MouseMove, row(1), vp->mapToGlobal(row(1)), Qt::NoButton,
                          Qt::NoButton, {});
        QApplication::sendEvent(vp, &later);
        QCOMPARE(list->paths(), (QStringList{"1", "2", "3", "4", "5"}));
        QCOMPARE(vp->cursor().shape(), Qt::ArrowCursor);
        QTest::mouseRelease(vp, Qt::LeftButton, {}, row(1));
    }

    void jumpExchangesOnlyTwoRows()
    {
        make(5);
        QWidget *vp = list->viewport();
        QTest::mousePress(vp, Qt::LeftButton, {}, row(2));
        QTest::mouseMove(vp, row(5));
        QTest::mouseRelease(vp, Qt::LeftButton, {}, row(5));
        QCOMPARE(list->paths(), (QStringList{"1", "5", "3", "4", "2"}));
    }

    void rowWithTheSameTextIsPassedOver()
    {
        list = std::make_unique<DocumentListView>(QString{});
        for (const char *p : {"a", "b", "a", "c"})
            list->append(QString::fromLatin1(p));
        list->setCursorPositionSource([] { return QPoint(0, 330); });
        list->resize(300, 300);
        list->show();
        QVERIFY(QTest::qWaitForWindowExposed(list.get()));
        QWidget *vp = list->viewport();
        QTest::mousePress(vp, Qt::LeftButton, {}, row(1));
        QTest::mouseMove(vp, row(3)); // same text: nothing
        QCOMPARE(list->paths(), (QStringList{"a", "b", "a", "c"}));
        QTest::mouseMove(vp, row(4)); // different text: exchanged with the dragged row 1
        QTest::mouseRelease(vp, Qt::LeftButton, {}, row(4));
        QCOMPARE(list->paths(), (QStringList{"c", "b", "a", "a"}));
    }

    void rightButtonReordersToo()
    {
        make(3);
        QWidget *vp = list->viewport();
        QTest::mousePress(vp, Qt::RightButton, {}, row(1));
        QTest::mouseMove(vp, row(2));
        QTest::mouseRelease(vp, Qt::RightButton, {}, row(2));
        QCOMPARE(list->paths(), (QStringList{"2", "1", "3"}));
    }

    void releaseOverEmptySpaceEndsTheDrag()
    {
        make(3);
        QWidget *vp = list->viewport();
        const QPoint empty(20, vp->height() - 5);
        QVERIFY(!list->itemAt(empty));
        QTest::mousePress(vp, Qt::LeftButton, {}, row(1));
        QTest::mouseMove(vp, row(2));
        QTest::mouseMove(vp, empty);
        QTest::mouseRelease(vp, Qt::LeftButton, {}, empty);
        QCOMPARE(list->paths(), (QStringList{"2", "1", "3"}));
        QTest::mouseMove(vp, row(3)); // no button held: nothing moves
        QCOMPARE(list->paths(), (QStringList{"2", "1", "3"}));
    }

    void moveWithoutAnyPickedRowChangesNothing()
    {
        make(3);
        QWidget *vp = list->viewport();
        const QPoint empty(20, vp->height() - 5);
        QTest::mousePress(vp, Qt::LeftButton, {}, empty);
        QTest::mouseMove(vp, row(1));
        QTest::mouseMove(vp, row(2));
        QTest::mouseRelease(vp, Qt::LeftButton, {}, row(2));
        QCOMPARE(list->paths(), (QStringList{"1", "2", "3"}));
    }

    void removedDraggedRowIsNeverUsed()
    {
        make(4);
        QWidget *vp = list->viewport();
        QTest::mousePress(vp, Qt::LeftButton, {}, row(2));
        QTest::mouseRelease(vp, Qt::LeftButton, {}, row(2));
        QTest::keyClick(list.get(), Qt::Key_Delete);
        QCOMPARE(list->paths(), (QStringList{"1", "3", "4"}));
        const QPoint empty(20, vp->height() - 5);
        QTest::mousePress(vp, Qt::LeftButton, {}, empty);
        QTest::mouseMove(vp, row(1));
        QTest::mouseMove(vp, row(3));
        QTest::mouseRelease(vp, Qt::LeftButton, {}, row(3));
        QCOMPARE(list->paths(), (QStringList{"1", "3", "4"}));
    }

    void missingDragImageLeavesAnOrdinaryPointer()
    {
        list = std::make_unique<DocumentListView>(QStringLiteral("/nonexistent/drag.ico"));
        list->append("x");
        list->append("y");
        list->resize(300, 200);
        list->show();
        QVERIFY(QTest::qWaitForWindowExposed(list.get()));
        QTest::mousePress(list->viewport(), Qt::LeftButton, {}, row(1));
        QCOMPARE(list->viewport()->cursor().shape(), Qt::ArrowCursor);
        QTest::mouseMove(list->viewport(), row(2));
        QTest::mouseRelease(list->viewport(), Qt::LeftButton, {}, row(2));
        QCOMPARE(list->paths(), (QStringList{"y", "x"}));
    }

    void scrollRuleFollowsTheScreenLimits()
    {
        make(40, QSize(300, 160));
        QWidget *vp = list->viewport();
        QScrollBar *bar = list->verticalScrollBar();
        // Row 4 at the top of the view, row 3 just above it.
        list->scrollToItem(list->topLevelItem(3), QAbstractItemView::PositionAtTop);
        const int top = bar->value();
        QVERIFY(top > 0);

        screenY = 304; // above the upper limit: the row above comes into view
        QTest::mousePress(vp, Qt::LeftButton, {}, row(5));
        QTest::mouseMove(vp, row(4));
        QTest::mouseRelease(vp, Qt::LeftButton, {}, row(4));
        QCOMPARE(list->pathAt(4), "5");
        QCOMPARE(bar->value(), top - 1);

        // Between the limits, an exchange scrolls nothing.
        const int before = bar->value();
        screenY = 305;
        QTest::mousePress(vp, Qt::LeftButton, {}, row(4));
        QTest::mouseMove(vp, row(5));
        QTest::mouseRelease(vp, Qt::LeftButton, {}, row(5));
        QCOMPARE(bar->value(), before);
        screenY = 364;
        QTest::mousePress(vp, Qt::LeftButton, {}, row(5));
        QTest::mouseMove(vp, row(4));
        QTest::mouseRelease(vp, Qt::LeftButton, {}, row(4));
        QCOMPARE(bar->value(), before);

        // Below the lower limit with the last row: nothing beyond it to show.
        list->scrollToBottom();
        const int bottom = bar->value();
        screenY = 400;
        QTest::mousePress(vp, Qt::LeftButton, {}, row(39));
        QTest::mouseMove(vp, row(40));
        QTest::mouseRelease(vp, Qt::LeftButton, {}, row(40));
        QCOMPARE(list->pathAt(40), "39");
        QCOMPARE(bar->value(), bottom);

        // A move without an exchange never scrolls.
        list->scrollToItem(list->topLevelItem(9), QAbstractItemView::PositionAtTop);
        const int still = bar->value();
        screenY = 10;
        QTest::mousePress(vp, Qt::LeftButton, {}, row(10));
        QTest::mouseMove(vp, row(10));
        QTest::mouseRelease(vp, Qt::LeftButton, {}, row(10));
        QCOMPARE(bar->value(), still);
    }

    void lowerLimitScrollsTheNextRowIntoView()
    {
        make(40, QSize(300, 160));
        QWidget *vp = list->viewport();
        QScrollBar *bar = list->verticalScrollBar();
        const int top = bar->value();
        QCOMPARE(top, 0);
        // The last fully visible row and the one below it.
        int last = 1;
        while (last < 40 && vp->rect().contains(list->visualItemRect(list->topLevelItem(last))))
            ++last;
        screenY = 365;
        QTest::mousePress(vp, Qt::LeftButton, {}, row(last - 1));
        QTest::mouseMove(vp, row(last));
        QTest::mouseRelease(vp, Qt::LeftButton, {}, row(last));
        QVERIFY(bar->value() > top);
        QVERIFY(vp->rect().contains(list->visualItemRect(list->topLevelItem(last))));
    }
};

QTEST_MAIN(TestReorder)
#include "tst_reorder.moc"
