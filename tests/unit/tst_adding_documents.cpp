// Adding documents with real folders made by the test.

#include "DocumentAdder.h"
#include "DocumentListView.h"
#include "DocumentPaths.h"
#include "FakeDesktopShell.h"
#include "FakeFileDialogs.h"
#include "FakeMessageBoxes.h"
#include "FolderSearch.h"
#include "QtFileDialogs.h"

#include <QDir>
#include <QFile>
#include <QMimeData>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

class TestAddingDocuments : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    FakeFileDialogs dialogs;
    FakeMessageBoxes messages;
    FakeDesktopShell shell;
    QWidget window;
    int yields = 0;

    QString path(const QString &relative) const { return m_dir.filePath(relative); }

    void touch(const QString &relative) const
    {
        QDir().mkpath(QFileInfo(path(relative)).absolutePath());
        QFile f(path(relative));
        QVERIFY(f.open(QIODevice::WriteOnly));
    }

    QStringList relative(const QStringList &paths) const
    {
        QStringList out;
        for (const QString &p : paths)
            out << (p.startsWith(m_dir.path() + u'/') ? p.mid(m_dir.path().size() + 1) : p);
        return out;
    }

    std::unique_ptr<DocumentAdder> adder(DocumentListView &list, const QString &programFolder = {})
    {
        return std::make_unique<DocumentAdder>(list, dialogs, messages, shell, programFolder,
                                               &window, [this] { ++yields; });
    }

private slots:
    void init()
    {
        QVERIFY(m_dir.isValid());
        QDir(m_dir.path()).removeRecursively();
        QDir().mkpath(m_dir.path());
        dialogs = FakeFileDialogs();
        messages = FakeMessageBoxes();
        shell.opened.clear();
        yields = 0;
    }

    void dialogResultBecomesPaths()
    {
        QCOMPARE(pathsFromDialogResult(""), QStringList());
        QCOMPARE(pathsFromDialogResult("/home/u/one file.docx"),
                 QStringList{"/home/u/one file.docx"});
        QCOMPARE(
            pathsFromDialogResult(QString("/home/u") + QChar(0) + "b.doc" + QChar(0) + "a.doc"),
            (QStringList{"/home/u/b.doc", "/home/u/a.doc"}));
        // Files picked in the root folder get one separator.
        QCOMPARE(pathsFromDialogResult(QString("/") + QChar(0) + "a.doc" + QChar(0) + "b.doc"),
                 (QStringList{"/a.doc", "/b.doc"}));
        QCOMPARE(QtFileDialogs::joinedFileName({"/r/x.doc", "/r/y.txt"}),
                 QString("/r") + QChar(0) + "x.doc" + QChar(0) + "y.txt");
        // Files from several folders keep their own folders.
        const QStringList mixed{"/r/x.doc", "/other/z.doc", "/r/y.doc"};
        QCOMPARE(pathsFromDialogResult(QtFileDialogs::joinedFileName(mixed)), mixed);
        QCOMPARE(QtFileDialogs::qtFilter("Word Documents (*.do*)|*.do*|All Files (*.*)|*.*"),
                 "Word Documents (*.do*);;All Files (*)");
    }

    // The same rules for paths as Windows writes them: a drive's root gets
    // one separator, a network share keeps its leading "//", and the user
    // reads backslashes.
    void windowsPathsKeepTheirShape()
    {
        const auto windows = PathStyle::Windows;
        QCOMPARE(pathsFromDialogResult(QString("C:/") + QChar(0) + "b.doc" + QChar(0) + "a.doc",
                                       windows),
                 (QStringList{"C:/b.doc", "C:/a.doc"}));
        QCOMPARE(pathsFromDialogResult(QString("//server/share/folder") + QChar(0) + "x.doc" +
                                           QChar(0) + "y.doc",
                                       windows),
                 (QStringList{"//server/share/folder/x.doc", "//server/share/folder/y.doc"}));
        QCOMPARE(pathsFromDialogResult(QString("C:/r") + QChar(0) + "x.doc" + QChar(0) +
                                           "\\\\server\\share\\z.doc",
                                       windows),
                 (QStringList{"C:/r/x.doc", "\\\\server\\share\\z.doc"}));
        QCOMPARE(withoutDoubledRoot(joinPath("D:/", "a.docx"), windows), "D:/a.docx");
        QCOMPARE(withoutDoubledRoot("//server/share/a.docx", windows), "//server/share/a.docx");
        QCOMPARE(withoutDoubledRoot("//a.docx", PathStyle::Posix), "/a.docx");
        QCOMPARE(displayedPath("//server/share/x.doc", windows), "\\\\server\\share\\x.doc");
        QCOMPARE(displayedPath("C:/b.doc", windows), "C:\\b.doc");
        QCOMPARE(displayedPath("/home/u/b.doc", PathStyle::Posix), "/home/u/b.doc");
    }

    void addFilesAsksWithTheTitleAndFilterAndAppends()
    {
        DocumentListView list(QString{});
        list.append("/already.doc");
        dialogs.fileNameResult = QString("/docs") + QChar(0) + "x.txt" + QChar(0) + "y.docx";
        adder(list)->addFiles();
        QCOMPARE(dialogs.asked, QStringList{"Add File(s) - Hold Ctrl to select multiple files|"
                                            "Word Documents (*.do*)|*.do*|All Files (*.*)|*.*"});
        QCOMPARE(list.paths(), (QStringList{"/already.doc", "/docs/x.txt", "/docs/y.docx"}));
        dialogs.fileNameResult.clear(); // cancel
        adder(list)->addFiles();
        QCOMPARE(list.count(), 3);
        QVERIFY(messages.shown.isEmpty());
    }

    void folderSearchIsBreadthFirstByLevel()
    {
        touch("C/c.doc");
        touch("C/A/a.doc");
        touch("C/A/X/x.doc");
        touch("C/B/b.doc");
        touch("C/a/lower.doc"); // sorts with "A" as Windows lists names
        DocumentListView list(QString{});
        dialogs.folderResult = path("C");
        adder(list)->addFolder();
        QCOMPARE(relative(list.paths()), (QStringList{"C/c.doc", "C/A/a.doc", "C/a/lower.doc",
                                                      "C/B/b.doc", "C/A/X/x.doc"}));
        QCOMPARE(dialogs.asked, QStringList{"Please select folder:"});
        QVERIFY(yields > 0);
        QCOMPARE(window.cursor().shape(), Qt::ArrowCursor);
    }

    void documentPatternAndTildeRule()
    {
        for (const char *name :
             {"Report.DOCX", "a.dot", "b.do", "c.docm", "d.DOTM", "e.doc", "letter.txt", "nodot",
              "~$report.doc", "x.odt", "y.do.bak", ".hidden.doc"})
            touch(QString("F/") + name);
        DocumentListView list(QString{});
        dialogs.folderResult = path("F");
        adder(list)->addFolder();
        QCOMPARE(relative(list.paths()),
                 (QStringList{"F/.hidden.doc", "F/a.dot", "F/b.do", "F/c.docm", "F/d.DOTM",
                              "F/e.doc", "F/Report.DOCX", "F/y.do.bak"}));
    }

    void hiddenSubfoldersAndLinksAreNotSearched()
    {
        touch("H/.secret/inside.doc");
        touch("H/what?/q.doc");
        touch("H/real/r.doc");
        QVERIFY(QFile::link(path("H"), path("H/real/loop"))); // a cycle
        QVERIFY(QFile::link(path("H/real/r.doc"), path("H/linked.doc")));
        DocumentListView list(QString{});
        dialogs.folderResult = path("H");
        adder(list)->addFolder();
        QCOMPARE(relative(list.paths()),
                 (QStringList{"H/linked.doc", "H/real/r.doc", "H/what?/q.doc"}));
    }

    void undecodableNamesAreSkippedAndTheRestFound()
    {
        touch("E/good.doc");
        const QByteArray bad = QFile::encodeName(path("E")) + "/bad\xff\xfe";
        QVERIFY(::mkdir(bad.constData(), 0755) == 0);
        QFile inside(QString::fromLatin1(bad + "/in.doc"));
        QVERIFY(::close(::creat((bad + "/in.doc").constData(), 0644)) == 0);
        DocumentListView list(QString{});
        dialogs.folderResult = path("E");
        adder(list)->addFolder();
        QCOMPARE(relative(list.paths()), QStringList{"E/good.doc"});
    }

    void unreadableOrVanishedFoldersContributeNothing()
    {
        touch("U/ok/1.doc");
        touch("U/closed/2.doc");
        QFile::setPermissions(path("U/closed"), QFileDevice::Permissions());
        DocumentListView list(QString{});
        dialogs.folderResult = path("U");
        adder(list)->addFolder();
        QFile::setPermissions(path("U/closed"), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                    QFileDevice::ExeOwner);
        if (geteuid() != 0) // root reads every folder anyway
            QCOMPARE(relative(list.paths()), QStringList{"U/ok/1.doc"});
        else
            QCOMPARE(list.count(), 2);

        list.clearList();
        dialogs.folderResult = path("gone");
        adder(list)->addFolder();
        QCOMPARE(list.count(), 0);
        QVERIFY(messages.shown.isEmpty());
    }

    void addFolderTwiceAddsEverythingTwiceAndCancelChangesNothing()
    {
        touch("T/1.doc");
        touch("T/S/2.doc");
        DocumentListView list(QString{});
        dialogs.folderResult = path("T");
        adder(list)->addFolder();
        adder(list)->addFolder();
        QCOMPARE(relative(list.paths()),
                 (QStringList{"T/1.doc", "T/S/2.doc", "T/1.doc", "T/S/2.doc"}));
        dialogs.folderResult.clear();
        adder(list)->addFolder();
        QCOMPARE(list.count(), 4);
    }

    void searchRunningInsideAnotherKeepsBothIntact()
    {
        touch("P/1.doc");
        touch("P/S/2.doc");
        touch("Q/3.doc");
        DocumentListView list(QString{});
        bool nested = false;
        DocumentAdder inner(list, dialogs, messages, shell, {}, &window, [] {});
        DocumentAdder outer(list, dialogs, messages, shell, {}, &window, [&] {
            if (!nested) {
                nested = true;
                inner.addDroppedPaths({path("Q")});
            }
        });
        dialogs.folderResult = path("P");
        outer.addFolder();
        QCOMPARE(relative(list.paths()), (QStringList{"Q/3.doc", "P/1.doc", "P/S/2.doc"}));
    }

    void samplesAreAddedAndTheirFolderOffered()
    {
        touch("prog/Samples/b sample.docx");
        touch("prog/Samples/~a.odt");
        touch("prog/Samples/c.doc");
        touch("prog/Samples/sub/not this.doc");
        DocumentListView list(QString{});
        messages.answers = {MessageBoxes::Answer::Yes};
        adder(list, path("prog"))->addSamples();
        QCOMPARE(relative(list.paths()),
                 (QStringList{"prog/Samples/b sample.docx", "prog/Samples/c.doc",
                              "prog/Samples/~a.odt"}));
        QCOMPARE(messages.texts(),
                 QStringList{"Would you like this software to open the folder where these "
                             "sample files are stored (so that you can view them before working "
                             "with them)?"});
        QCOMPARE(messages.shown[0].buttons, MessageBoxes::Buttons::YesNo);
        QCOMPARE(shell.opened, QStringList{"\"" + path("prog/Samples/") + "\""});

        messages.answers = {MessageBoxes::Answer::No};
        DocumentListView empty(QString{});
        adder(empty, path("nothing"))->addSamples(); // no Samples folder: still asks
        QCOMPARE(empty.count(), 0);
        QCOMPARE(messages.shown.size(), 2);
        QCOMPARE(shell.opened.size(), 1);
    }

    void droppedFilesKeepTheirOrderAndFoldersTakeEveryFile()
    {
        touch("D/z.png");
        touch("D/sheet.xlsx");
        touch("D/~lock.doc");
        touch("D/.hidden.txt");
        touch("D/Sub/deep.doc");
        touch("D/.hid/not.doc");
        touch("one.txt");
        touch("two.jpg");
        touch(".hiddenfolder/x.doc");
        DocumentListView list(QString{});
        list.append("/first");
        adder(list)->addDroppedPaths(
            {path("two.jpg"), path("D"), path("one.txt"), path(".hiddenfolder")});
        QCOMPARE(relative(list.paths()),
                 (QStringList{"/first", "two.jpg", "D/.hidden.txt", "D/sheet.xlsx", "D/z.png",
                              "D/Sub/deep.doc", "one.txt", ".hiddenfolder"}));
    }

    void droppedOrChosenLinkToAFolderIsSearched()
    {
        touch("Real/a.doc");
        touch("Real/Sub/b.doc");
        QVERIFY(QFile::link(path("Real"), path("Link")));
        DocumentListView list(QString{});
        adder(list)->addDroppedPaths({path("Link")});
        QCOMPARE(relative(list.paths()), (QStringList{"Link/a.doc", "Link/Sub/b.doc"}));
        list.clearList();
        dialogs.folderResult = path("Link");
        adder(list)->addFolder();
        QCOMPARE(relative(list.paths()), (QStringList{"Link/a.doc", "Link/Sub/b.doc"}));
    }

    void dropOnTheListWidgetAcceptsLocalFilesOnly()
    {
        DocumentListView list(QString{});
        QStringList dropped;
        connect(&list, &DocumentListView::filesDropped, [&](const QStringList &p) { dropped = p; });
        list.resize(300, 200);
        list.show();
        QVERIFY(QTest::qWaitForWindowExposed(&list));

        QMimeData text;
        text.setText("just text");
        QDragEnterEvent refused(QPoint(10, 10), Qt::CopyAction, &text, Qt::LeftButton, {});
        QCoreApplication::sendEvent(list.viewport(), &refused);
        QVERIFY(!refused.isAccepted());

        QMimeData files;
        files.setUrls({QUrl::fromLocalFile("/a/1.doc"), QUrl("https://example.org/x.doc"),
                       QUrl::fromLocalFile("/a/2.doc")});
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &files, Qt::LeftButton, {});
        QCoreApplication::sendEvent(list.viewport(), &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &files, Qt::LeftButton, {});
        QCoreApplication::sendEvent(list.viewport(), &drop);
        QCOMPARE(dropped, (QStringList{"/a/1.doc", "/a/2.doc"}));
    }
};

QTEST_MAIN(TestAddingDocuments)
#include "tst_adding_documents.moc"
