#include "DocumentListView.h"

#include <QHeaderView>
#include <QTest>

class TestDocumentList : public QObject
{
    Q_OBJECT

    static void fill(DocumentListView &list, const QStringList &paths)
    {
        for (const QString &p : paths)
            list.append(p);
    }

private slots:
    void startsEmptyWithItsHeaderAndHint()
    {
        DocumentListView list(QString{});
        QCOMPARE(list.count(), 0);
        QCOMPARE(list.headerItem()->text(0), " Word Files");
        QCOMPARE(list.toolTip(), "Drag and drop files here. Drag files up and down to change "
                                 "order. Double-click item to remove it.");
        QVERIFY(list.acceptDrops());
        QVERIFY(!list.dragEnabled());
    }

    void positionsAreOneBasedAndDuplicatesStay()
    {
        DocumentListView list(QString{});
        fill(list, {"/a.doc", "/b.doc", "/a.doc"});
        QCOMPARE(list.count(), 3);
        QCOMPARE(list.pathAt(1), "/a.doc");
        QCOMPARE(list.pathAt(3), "/a.doc");
        QVERIFY_THROWS_EXCEPTION(std::out_of_range, (void)list.pathAt(0));
        QVERIFY_THROWS_EXCEPTION(std::out_of_range, (void)list.pathAt(4));
        list.removeAt(1);
        QCOMPARE(list.paths(), (QStringList{"/b.doc", "/a.doc"}));
        QCOMPARE(list.headerItem()->text(0), " Word Files");
    }

    void clearSelectedRemovesExactlyTheSelectedRows()
    {
        DocumentListView list(QString{});
        fill(list, {"/1", "/2", "/3", "/4"});
        list.removeSelected(); // nothing selected: nothing happens
        QCOMPARE(list.count(), 4);
        list.setSelectedAt(2);
        list.setSelectedAt(3);
        list.removeSelected();
        QCOMPARE(list.paths(), (QStringList{"/1", "/4"}));
        list.selectAll();
        list.removeSelected();
        QCOMPARE(list.count(), 0);
        list.removeSelected(); // on an empty list
        list.clearList();
        QCOMPARE(list.count(), 0);
    }

    void deleteKeyRemovesTheCurrentRowWhateverTheModifiers_data()
    {
        QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
        QTest::newRow("plain") << Qt::KeyboardModifiers();
        QTest::newRow("shift") << Qt::KeyboardModifiers(Qt::ShiftModifier);
        QTest::newRow("ctrl") << Qt::KeyboardModifiers(Qt::ControlModifier);
        QTest::newRow("ctrl+alt+shift")
            << (Qt::ControlModifier | Qt::AltModifier | Qt::ShiftModifier);
    }

    void deleteKeyRemovesTheCurrentRowWhateverTheModifiers()
    {
        QFETCH(Qt::KeyboardModifiers, modifiers);
        DocumentListView list(QString{});
        fill(list, {"/1", "/2", "/3"});
        list.setCurrentItem(list.topLevelItem(1));
        QTest::keyClick(&list, Qt::Key_Delete, modifiers);
        QCOMPARE(list.paths(), (QStringList{"/1", "/3"}));
    }

    void otherKeysRemoveNothingAndNoCurrentRowIsHarmless()
    {
        DocumentListView list(QString{});
        QTest::keyClick(&list, Qt::Key_Delete); // empty list
        fill(list, {"/1", "/2"});
        list.setCurrentItem(nullptr);
        QTest::keyClick(&list, Qt::Key_Delete);
        QTest::keyClick(&list, Qt::Key_Backspace);
        QCOMPARE(list.count(), 2);
    }

    void doubleClickRemovesTheRow()
    {
        DocumentListView list(QString{});
        fill(list, {"/1", "/2", "/3"});
        list.resize(400, 300);
        list.show();
        QVERIFY(QTest::qWaitForWindowExposed(&list));
        const QPoint second = list.visualItemRect(list.topLevelItem(1)).center();
        QTest::mouseDClick(list.viewport(), Qt::LeftButton, {}, second);
        QCOMPARE(list.paths(), (QStringList{"/1", "/3"}));
    }
};

QTEST_MAIN(TestDocumentList)
#include "tst_document_list.moc"
