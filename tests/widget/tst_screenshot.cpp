// The main window on a real (virtual) display, captured to a PNG that is kept
// as a test artefact.

#include "DocumentListView.h"
#include "WindowFixture.h"

#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QProcess>
#include <QScreen>
#include <QSet>
#include <QStandardPaths>
#include <QTest>

class TestScreenshot : public QObject
{
    Q_OBJECT

private slots:
    void mainWindowWithDocuments()
    {
        WindowFixture fixture;
        MainWindow &form = fixture.load();
        for (const char *path : {"/home/user/Letters/Invitation.docx",
                                 "/home/user/Letters/Reply.doc", "/home/user/Reports/Q3.odt"})
            form.listView()->append(QString::fromLatin1(path));
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QTest::qWait(300);

        QCOMPARE(form.windowTitle(), QStringLiteral("Marrowlake"));
        QCOMPARE(form.size(), QSize(712, 492));

        const QImage shot = form.screen()->grabWindow(0).toImage();
        QDir().mkpath(QStringLiteral(ARTIFACTS_DIR));
        const QString file = QStringLiteral(ARTIFACTS_DIR "/main-window.png");
        QVERIFY(shot.save(file));
        qInfo("screenshot: %s", qPrintable(file));

        // Not blank: the window's own area shows many colours.
        const QRect area = form.frameGeometry().intersected(shot.rect());
        QVERIFY(!area.isEmpty());
        QSet<QRgb> colours;
        for (int y = area.top(); y <= area.bottom(); y += 2)
            for (int x = area.left(); x <= area.right(); x += 2)
                colours.insert(shot.pixel(x, y));
        QVERIFY2(colours.size() > 20, qPrintable(QString::number(colours.size())));
    }

    // With a window manager the frame is only known after showing: the
    // whole frame, title bar included, ends up in the middle of the screen.
    void framedWindowOpensCentred()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("openbox")).isEmpty())
            QSKIP("openbox is needed for this test");
        WindowFixture fixture;
        MainWindow &form = fixture.load();
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        // The window manager comes after the window and frames it, as it
        // frames every window it finds when it starts.
        QProcess manager;
        manager.start(QStringLiteral("openbox"), {QStringLiteral("--sm-disable")});
        QVERIFY(manager.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(form.frameGeometry() != form.geometry(), 10000);
        const QPoint screenCentre = form.screen()->geometry().center();
        QTRY_VERIFY2_WITH_TIMEOUT(
            (form.frameGeometry().center() - screenCentre).manhattanLength() <= 2,
            qPrintable(QStringLiteral("frame %1,%2 %3x%4")
                           .arg(form.frameGeometry().x())
                           .arg(form.frameGeometry().y())
                           .arg(form.frameGeometry().width())
                           .arg(form.frameGeometry().height())),
            5000);
        manager.kill();
        manager.waitForFinished();
    }
};

QTEST_MAIN(TestScreenshot)
#include "tst_screenshot.moc"
