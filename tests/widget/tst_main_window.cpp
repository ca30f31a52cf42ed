// The main window on fakes: start-up, shutdown, menu, toolbar, tabs, Help.

#include "DocumentListView.h"
#include "FileNames.h"
#include "PrintLog.h"
#include "PrintOptions.h"
#include "WindowFixture.h"

#include <QApplication>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QFile>
#include <QGroupBox>
#include <QJsonObject>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QProgressBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>

class TestMainWindow : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    QString folder(const QString &relative = {}) const
    {
        return relative.isEmpty() ? m_dir.path() : m_dir.filePath(relative);
    }
    void touch(const QString &relative, const QByteArray &content = {}) const
    {
        QDir().mkpath(QFileInfo(folder(relative)).absolutePath());
        QFile f(folder(relative));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(content);
    }

private slots:
    void init()
    {
        QDir(m_dir.path()).removeRecursively();
        QDir().mkpath(m_dir.path());
    }

    void firstStart()
    {
        WindowFixture fx(folder());
        MainWindow &form = fx.load();
        QCOMPARE(form.windowTitle(), "Marrowlake");
        QCOMPARE(form.tabControl()->currentIndex(), 0);
        QCOMPARE(form.tabControl()->tabText(0), "Files");
        QCOMPARE(form.tabControl()->tabText(1), "Options");
        QCOMPARE(form.printOptions()->printerText(), "B");
        QCOMPARE(form.printOptions()->pauseText(), "0 seconds");
        QCOMPARE(fx.settings.values.value("Combo1"), "1");
        QCOMPARE(fx.settings.values.value("Combo2"), "0");
        QCOMPARE(form.listView()->count(), 0);
        QCOMPARE(form.listView()->headerItem()->text(0), " Word Files");
        QCOMPARE(form.progressBar()->value(), 0);
        // The word-processor check started one instance and ended it.
        QCOMPARE(fx.word.log->calls, (std::vector<std::string>{"1:CreateInstance()", "1:Quit()"}));
        QVERIFY(fx.messages.shown.isEmpty());
        QVERIFY(fx.shell.opened.isEmpty());
        QVERIFY(!form.skinApplied());
        QCOMPARE(form.printOptions()->printerGroup()->palette().color(QPalette::Window),
                 QColor(Qt::white));
    }

    void startUpReadsAndWritesSettingsInOrder()
    {
        WindowFixture fx(folder());
        fx.load();
        // First start: the default printer is chosen and stored, position
        // and name, before the choice is restored; each choice is stored once.
        QCOMPARE(fx.settings.log,
                 (QStringList{"read Combo1", "write Combo1=1", "write PrinterName=B",
                              "read PrinterName", "write Combo1=1", "write PrinterName=B",
                              "read Combo2", "write Combo2=0", "read TabControl1"}));
        WindowFixture later(folder());
        later.settings.values = {{"Combo1", "2"}, {"Combo2", "5"}, {"TabControl1", "1"}};
        later.load();
        QCOMPARE(later.settings.log,
                 (QStringList{"read Combo1", "read PrinterName", "read Combo1", "write Combo1=2",
                              "write PrinterName=C", "read PrinterName", "write Combo1=2",
                              "write PrinterName=C", "read Combo2", "write Combo2=5",
                              "read TabControl1", "write TabControl1=1"}));
    }

    void storedTabAndChoicesAreRestored()
    {
        WindowFixture fx(folder());
        fx.settings.values = {{"TabControl1", "1"}, {"Combo1", "2"}, {"Combo2", "4"}};
        MainWindow &form = fx.load();
        QCOMPARE(form.tabControl()->currentIndex(), 1);
        QCOMPARE(form.printOptions()->printerText(), "C");
        QCOMPARE(form.printOptions()->pauseText(), "4 seconds");
    }

    void corruptStoredValuesDoNotStopStartUp()
    {
        WindowFixture fx(folder());
        fx.settings.values = {{"TabControl1", "seven"}, {"Combo1", "-3"}, {"Combo2", "x"}};
        MainWindow &form = fx.load();
        QCOMPARE(form.tabControl()->currentIndex(), 0);
        QCOMPARE(form.printOptions()->printerCombo()->currentIndex(), 0);
        QCOMPARE(form.printOptions()->pauseText(), "0 seconds");

        WindowFixture other(folder());
        other.settings.values = {{"TabControl1", "2"}};
        QCOMPARE(other.load().tabControl()->currentIndex(), 0);
    }

    void missingWordProcessorIsSaidAndTheWindowWorks()
    {
        WindowFixture fx(folder());
        fx.word.failures["CreateInstance"] = "not installed";
        MainWindow &form = fx.load();
        QCOMPARE(fx.messages.texts(),
                 QStringList{"Word is not installed on this computer. You need to have it "
                             "installed to use this software without error."});
        form.listView()->append("/x.doc");
        form.executeCommand(MainWindow::ClearListId);
        QCOMPARE(form.listView()->count(), 0);
    }

    void tabSelectionIsStored()
    {
        WindowFixture fx(folder());
        MainWindow &form = fx.load();
        form.menuItem(11)->trigger();
        QCOMPARE(form.tabControl()->currentIndex(), 1);
        QCOMPARE(fx.settings.values.value("TabControl1"), "1");
        form.menuItem(11)->trigger(); // already showing: stays
        QCOMPARE(form.tabControl()->currentIndex(), 1);
        form.menuItem(10)->trigger();
        QCOMPARE(fx.settings.values.value("TabControl1"), "0");
    }

    void exitInTheNormalStateStoresThePlacement()
    {
        WindowFixture fx(folder());
        MainWindow &form = fx.load();
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        form.menuItem(8)->trigger();
        QCOMPARE(fx.endProcessCalls, 1);
        QCOMPARE(fx.word.endAllCalls, 1);
        for (const char *key : {"Left", "Top", "Width", "Height"})
            QVERIFY2(fx.settings.values.contains(key), key);
        QCOMPARE(fx.settings.values.value("Width").toInt(), form.frameGeometry().width() * 15);
    }

    void exitMaximizedStoresNoPlacement()
    {
        WindowFixture fx(folder());
        fx.settings.values["Left"] = "111";
        MainWindow &form = fx.load();
        form.showMaximized();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        form.close();
        QCOMPARE(fx.endProcessCalls, 1);
        QCOMPARE(fx.settings.values.value("Left"), "111");
        for (const char *key : {"Top", "Width", "Height"})
            QVERIFY2(!fx.settings.values.contains(key), key);
    }

    void windowOpensAtTheDesignSizeAndLaysOutByTheRule()
    {
        WindowFixture fx(folder());
        fx.settings.values["Width"] = "3000";
        MainWindow &form = fx.load();
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QCOMPARE(form.size(), QSize(712, 492));
        const WindowGeometry &g = form.layoutGeometry();
        QCOMPARE(g.tabControl.width, 10440.f);
        QCOMPARE(g.tabControl.height, 5120.f);
        QCOMPARE(g.firstColumnWidth, 9460.f);
        QCOMPARE(form.listView()->columnWidth(0), qRound(9460 / 15.0));
        QCOMPARE(form.progressBar()->width(), qRound(10440 / 15.0));
    }

    void toolbarHasTheFourCommandsInOrder()
    {
        WindowFixture fx(folder());
        MainWindow &form = fx.load();
        QToolBar *bar = form.toolBar();
        QCOMPARE(bar->windowTitle(), "Standard");
        QCOMPARE(bar->iconSize(), QSize(48, 48));
        const QList<QAction *> actions = bar->actions();
        QCOMPARE(actions.size(), 4);
        const QStringList captions{"Add Files", "Add Folder", "Clear List", "Start Printing"};
        const QList<int> ids{1000, 1001, 1003, 1002};
        for (int i = 0; i < 4; ++i) {
            QCOMPARE(actions[i]->text(), captions[i]);
            QCOMPARE(actions[i]->data().toInt(), ids[i]);
            QVERIFY(!actions[i]->icon().isNull());
        }
    }

    void nothingHidesTheToolbarAndTheBarsUseTheirFont()
    {
        WindowFixture fx(folder());
        MainWindow &form = fx.load();
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QToolBar *bar = form.toolBar();
        for (QWidget *target :
             {static_cast<QWidget *>(bar), static_cast<QWidget *>(form.menuBar())}) {
            QContextMenuEvent click(QContextMenuEvent::Mouse, QPoint(5, 5),
                                    target->mapToGlobal(QPoint(5, 5)));
            QApplication::sendEvent(target, &click);
            QVERIFY(!QApplication::activePopupWidget());
        }
        QVERIFY(!form.createPopupMenu());
        QVERIFY(!bar->isMovable());
        QVERIFY(!bar->isFloatable());
        QVERIFY(!bar->toggleViewAction()->isEnabled());
        QVERIFY(bar->isVisible());

        // The font in use, not the one asked for: Calibri, or its metric
        // twin Carlito where Calibri is not installed.
        auto isBarFont = [](const QFont &font) {
            const QFontInfo used(font);
            return (used.family() == "Calibri" || used.family() == "Carlito") &&
                   used.pointSize() == 11 && !used.bold();
        };
        QVERIFY(isBarFont(form.menuBar()->font()));
        for (QAction *action : bar->actions())
            QVERIFY(isBarFont(bar->widgetForAction(action)->font()));
        for (int m : {1, 9, 15})
            QVERIFY(isBarFont(form.menu(m)->font()));
        QVERIFY(form.font().bold()); // the window itself keeps its bold Arial
    }

    void eachToolbarCommandReachesItsOperation()
    {
        WindowFixture fx(folder());
        MainWindow &form = fx.load();
        const QList<QAction *> actions = form.toolBar()->actions();
        fx.dialogs.fileNameResult = "/picked.docx";
        actions[0]->trigger();
        QCOMPARE(form.listView()->paths(), QStringList{"/picked.docx"});
        fx.dialogs.folderResult.clear();
        actions[1]->trigger();
        QCOMPARE(fx.dialogs.asked.last(), "Please select folder:");
        actions[2]->trigger();
        QCOMPARE(form.listView()->count(), 0);
        actions[3]->trigger();
        QCOMPARE(fx.messages.texts(), QStringList{"No files added."});

        form.listView()->append("/keep.doc");
        const auto asked = fx.dialogs.asked.size();
        for (int id : {0, 999, 1004, -1})
            form.executeCommand(id);
        QCOMPARE(form.listView()->paths(), QStringList{"/keep.doc"});
        QCOMPARE(fx.dialogs.asked.size(), asked);
        QCOMPARE(fx.messages.shown.size(), 1);
    }

    void menuCaptionsAndActions()
    {
        WindowFixture fx(folder());
        touch("Video/B second.mp4");
        touch("Video/A first.mp4");
        touch("Samples/s.docx");
        MainWindow &form = fx.load();
        const QMap<int, QString> captions{{1, "&File"},
                                          {2, "A&dd Files"},
                                          {3, "Add &Folder"},
                                          {5, "Clear Selected Files"},
                                          {6, "Clear All Files"},
                                          {8, "&Exit"},
                                          {9, "&Options"},
                                          {10, "Show Files Tab"},
                                          {11, "Show Options Tab"},
                                          {15, "&Help"},
                                          {16, "Help"},
                                          {17, "Load Sample/Example Files"},
                                          {18, "Watch Old Demo Video"},
                                          {20, "FAQ"},
                                          {21, "Visit Harrowick Main Page"}};
        for (auto it = captions.begin(); it != captions.end(); ++it) {
            if (QMenu *menu = form.menu(it.key()))
                QCOMPARE(menu->title(), it.value());
            else {
                QCOMPARE(form.menuItem(it.key())->text(), it.value());
                QVERIFY(form.menuItem(it.key())->shortcut().isEmpty());
            }
        }
        for (int separator : {4, 7, 19})
            QVERIFY(form.menuItem(separator)->isSeparator());

        form.listView()->append("/1");
        form.listView()->append("/2");
        form.listView()->setSelectedAt(2);
        form.menuItem(5)->trigger();
        QCOMPARE(form.listView()->paths(), QStringList{"/1"});
        form.menuItem(6)->trigger();
        QCOMPARE(form.listView()->count(), 0);

        form.menuItem(16)->trigger();
        form.menuItem(16)->trigger();
        QCOMPARE(fx.messages.texts(),
                 (QStringList{"Please email support@harrowick.example if you have any problems.",
                              "Please email support@harrowick.example if you have any problems."}));
        form.menuItem(18)->trigger();
        form.menuItem(20)->trigger();
        form.menuItem(21)->trigger();
        QCOMPARE(fx.shell.opened, (QStringList{"\"" + folder("Video/A first.mp4") + "\"",
                                               "\"https://www.harrowick.example/question/\"",
                                               "\"https://www.harrowick.example/\""}));
        fx.messages.answers = {MessageBoxes::Answer::No};
        form.menuItem(17)->trigger();
        QCOMPARE(form.listView()->paths(), QStringList{folder("Samples/s.docx")});
    }

    void videoFolderWithoutAPlainFileOpensTheFolder()
    {
        WindowFixture fx(folder());
        touch("Video/.hidden.mp4");
        QVERIFY(QDir().mkpath(folder("Video/sub")));
        MainWindow &form = fx.load();
        form.menuItem(18)->trigger();
        QCOMPARE(fx.shell.opened, QStringList{"\"" + folder("Video/") + "\""});
    }

    void drawOfSevenOpensTheMainPage()
    {
        for (int draw : {1, 6, 7, 8, 100}) {
            WindowFixture fx(folder());
            fx.draw = draw;
            fx.load();
            QCOMPARE(fx.shell.opened,
                     draw == 7 ? QStringList{"\"https://www.harrowick.example/\""} : QStringList());
        }
    }

    void skinTurnsTheWindowToTheButtonFace()
    {
        touch("x/o.cjs", "QProgressBar { border: 2px solid gray; }");
        WindowFixture fx(folder());
        MainWindow &form = fx.load();
        QVERIFY(form.skinApplied());
        QVERIFY(form.styleSheet().contains("QProgressBar"));
        const QColor face = QGuiApplication::palette().color(QPalette::Button);
        QCOMPARE(form.printOptions()->pauseGroup()->palette().color(QPalette::Window), face);
        QCOMPARE(form.centralWidget()->palette().color(QPalette::Window), face);
    }

    void busyPointerSurvivesMovesOverTheBackground()
    {
        WindowFixture fx(folder());
        MainWindow &form = fx.load();
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        form.setCursor(Qt::WaitCursor);
        QTest::mouseMove(form.centralWidget(), QPoint(5, 5));
        QTest::mouseMove(form.printOptions()->printerGroup(), QPoint(5, 5));
        QCOMPARE(form.cursor().shape(), Qt::WaitCursor);
        form.setCursor(Qt::IBeamCursor);
        QMouseEvent move(QEvent::MouseMove, QPointF(6, 6), QPointF(6, 6), Qt::NoButton,
                         Qt::NoButton, {});
        QCoreApplication::sendEvent(form.centralWidget(), &move);
        QCOMPARE(form.cursor().shape(), Qt::ArrowCursor);
    }

    void dragDuringARunChangesWhatIsPrintedNext()
    {
        WindowFixture fx(folder());
        MainWindow &form = fx.load();
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        DocumentListView *list = form.listView();
        for (const char *p : {"/d/1.docx", "/d/2.docx", "/d/3.docx"})
            list->append(QString::fromLatin1(p));
        bool dragged = false;
        fx.onWait = [&] {
            if (dragged)
                return;
            dragged = true; // while document 1 is printing: drag row 2 below row 3
            QWidget *vp = list->viewport();
            auto row = [&](int i) {
                return list->visualItemRect(list->topLevelItem(i - 1)).center();
            };
            QTest::mousePress(vp, Qt::LeftButton, {}, row(2));
            QTest::mouseMove(vp, row(3));
            QTest::mouseRelease(vp, Qt::LeftButton, {}, row(3));
        };
        form.executeCommand(MainWindow::StartPrintingId);
        QVERIFY(dragged);
        QCOMPARE(fx.word.printed(),
                 (std::vector<std::string>{"/d/1.docx", "/d/3.docx", "/d/2.docx"}));
        QCOMPARE(fx.messages.texts().last(), "Done.");
    }

    // Every document the window tries goes to the record, silently: what
    // the user sees of the run is unchanged.
    void aRunIsRecorded()
    {
        WindowFixture fx(folder());
        fx.printLog = folder("state/print-log.jsonl");
        fx.word.unopenable["/d/bad.docx"] = "This file is damaged.";
        MainWindow &form = fx.load();
        form.listView()->append("/d/good.docx");
        form.listView()->append("/d/bad.docx");
        form.executeCommand(MainWindow::StartPrintingId);
        QCOMPARE(fx.messages.texts().size(), 2); // the bad one's report, and "Done."
        QCOMPARE(fx.messages.texts().last(), "Done.");
        const QList<QJsonObject> entries = PrintLog::lastEntries(fx.printLog, 5);
        QCOMPARE(entries.size(), 2);
        QCOMPARE(entries[0].value("path").toString(), "/d/good.docx");
        QCOMPARE(entries[0].value("result").toString(), "printed");
        QCOMPARE(entries[1].value("reason").toString(), "This file is damaged.");
        QCOMPARE(entries[1].value("printer").toString(), entries[0].value("printer").toString());
        QVERIFY(!entries[0].value("printer").toString().isEmpty());
    }

    void pathsFromTheCommandLineAreAddedAsADrop()
    {
        touch("Tree/b.doc");
        touch("Tree/Sub/c.txt");
        touch("single.docx");
        WindowFixture fx(folder());
        MainWindow &form = fx.load();
        form.listView()->append("/already.doc");
        const QString before = QDir::currentPath();
        QDir::setCurrent(folder());
        form.openPaths({"Tree/", folder("single.docx")});
        QDir::setCurrent(before);
        QCOMPARE(form.listView()->paths(),
                 (QStringList{"/already.doc", folder("Tree/b.doc"), folder("Tree/Sub/c.txt"),
                              folder("single.docx")}));
    }

    void droppedFilesReachTheList()
    {
        WindowFixture fx(folder());
        touch("drop/a.png");
        MainWindow &form = fx.load();
        emit form.listView()->filesDropped({folder("drop"), "/plain.doc"});
        QCOMPARE(form.listView()->paths(), (QStringList{folder("drop/a.png"), "/plain.doc"}));
        // A name that is not UTF-8 arrives as its bytes, shown with a
        // replacement character.
        QMimeData data;
        data.setUrls({QUrl(QStringLiteral("file://%1/caf%E9.docx").arg(folder()))});
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(form.listView()->viewport(), &enter);
        QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(form.listView()->viewport(), &drop);
        QCOMPARE(form.listView()->paths().value(2), folder() + pathFromNative("/caf\xe9.docx"));
        QCOMPARE(form.listView()->topLevelItem(2)->text(0),
                 folder() + QStringLiteral("/caf\uFFFD.docx"));
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_main_window.moc"
