#include "MainWindow.h"

#include "CommandLine.h"
#include "DesktopShell.h"
#include "DocumentAdder.h"
#include "DocumentListSource.h"
#include "DocumentListView.h"
#include "DocumentPrinter.h"
#include "EventLoop.h"
#include "HelpActions.h"
#include "InstallCheck.h"
#include "MessageBoxes.h"
#include "PrintLog.h"
#include "PrintOptions.h"
#include "PrintRun.h"
#include "SettingsStore.h"
#include "WordAutomation.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHeaderView>
#include <QMenuBar>
#include <QProgressBar>
#include <QScreen>
#include <QTabBar>
#include <QTabWidget>
#include <QToolBar>

#include <cmath>

namespace {

int pixels(float twips)
{
    return int(std::lround(twips / TwipsPerPixel));
}

QFont controlFont(bool bold)
{
    QFont font(QStringLiteral("Calibri"));
    font.setPointSizeF(11.25);
    font.setBold(bold);
    return font;
}

QFont commandBarFont()
{
    QFont font(QStringLiteral("Calibri"));
    font.setPointSize(11);
    font.setBold(false);
    font.setItalic(false);
    return font;
}

const QString TabKey = QStringLiteral("TabControl1");

} // namespace

MainWindow::MainWindow(Services services, QWidget *parent)
    : QMainWindow(parent), m_services(std::move(services)), m_geometry(designGeometry())
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Form1"));
    QFont font(QStringLiteral("Arial"));
    font.setPointSize(9);
    font.setBold(true);
    setFont(font);
    buildMenu();
    buildControls();
    resize(pixels(DesignInnerWidth), pixels(DesignInnerHeight));

    m_documents = std::make_unique<DocumentListSource>(m_list);
    m_word = std::make_unique<DocumentPrinter>(
        m_services.wordProcessor, m_services.messages, [this] { return m_options->printerText(); },
        // The layer itself waits for the spooling, a few milliseconds at a
        // time; between its readings the window's events are handled.
        m_services.waitSeconds, [] { yieldToEventLoop(0); });
    if (!m_services.printLog.isEmpty()) {
        // A silent record: a record that cannot be written stops nothing.
        m_printLog = std::make_unique<PrintLog>(m_services.printLog);
        m_word->setRecorder([this](const QString &path, const QString &printer,
                                   const QString &failure, const QString &warning) {
            const QString pause = m_options->pauseText();
            const int seconds =
                !pause.isEmpty() && pause.front().isDigit() ? pause.front().digitValue() : 0;
            (void)m_printLog->append(
                {path, printer, seconds, failure, std::nullopt, 1, {}, warning});
        });
    }
    m_run = std::make_unique<PrintRun>(*m_documents, *m_options, *m_word, m_services.messages,
                                       m_progress, this, m_services.waitSeconds,
                                       [] { QCoreApplication::processEvents(); });
    m_adder = std::make_unique<DocumentAdder>(*m_list, m_services.dialogs, m_services.messages,
                                              m_services.shell, m_services.programFolder, this,
                                              [] { QCoreApplication::processEvents(); });
    m_help = std::make_unique<HelpActions>(m_services.messages, m_services.shell,
                                           m_services.programFolder);
    connect(m_list, &DocumentListView::filesDropped, this,
            [this](const QStringList &paths) { m_adder->addDroppedPaths(paths); });
}

MainWindow::~MainWindow() = default;

void MainWindow::buildMenu()
{
    auto item = [this](QMenu *menu, int number, const QString &caption, auto slot) {
        QAction *action = menu->addAction(caption);
        action->setObjectName(QStringLiteral("m%1").arg(number));
        connect(action, &QAction::triggered, this, slot);
        m_items.insert(number, action);
    };
    auto separator = [this](QMenu *menu, int number) {
        QAction *line = menu->addSeparator();
        line->setObjectName(QStringLiteral("m%1").arg(number));
        m_items.insert(number, line);
    };
    auto topLevel = [this](int number, const QString &caption) {
        QMenu *menu = menuBar()->addMenu(caption);
        menu->setObjectName(QStringLiteral("m%1").arg(number));
        m_menus.insert(number, menu);
        return menu;
    };

    QMenu *file = topLevel(1, QStringLiteral("&File"));
    item(file, 2, QStringLiteral("A&dd Files"), [this] { addFiles(); });
    item(file, 3, QStringLiteral("Add &Folder"), [this] { addFolder(); });
    separator(file, 4);
    item(file, 5, QStringLiteral("Clear Selected Files"), [this] { m_list->removeSelected(); });
    item(file, 6, QStringLiteral("Clear All Files"), [this] { clearList(); });
    separator(file, 7);
    item(file, 8, QStringLiteral("&Exit"), [this] { unload(0); });

    QMenu *options = topLevel(9, QStringLiteral("&Options"));
    item(options, 10, QStringLiteral("Show Files Tab"), [this] { m_tabs->setCurrentIndex(0); });
    item(options, 11, QStringLiteral("Show Options Tab"), [this] { m_tabs->setCurrentIndex(1); });

    QMenu *help = topLevel(15, QStringLiteral("&Help"));
    item(help, 16, QStringLiteral("Help"), [this] { showHelp(); });
    item(help, 17, QStringLiteral("Load Sample/Example Files"), [this] { m_adder->addSamples(); });
    item(help, 18, QStringLiteral("Watch Old Demo Video"), [this] { m_help->watchDemoVideo(); });
    separator(help, 19);
    item(help, 20, QStringLiteral("FAQ"), [this] { m_help->openFaqPage(); });
    item(help, 21, QStringLiteral("Visit Harrowick Main Page"),
         [this] { m_help->visitMainPage(); });
}

void MainWindow::buildControls()
{
    auto *client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    client->setAutoFillBackground(true);
    client->setMouseTracking(true);
    client->installEventFilter(this);
    setCentralWidget(client);

    m_tabs = new QTabWidget(client);
    m_tabs->setObjectName(QStringLiteral("TabControl1"));
    m_tabs->setFont(controlFont(false));

    auto *filesPage = new QWidget;
    m_list =
        new DocumentListView(m_services.programFolder + QStringLiteral("/drag.ico"), filesPage);
    m_list->setFont(controlFont(true));
    m_tabs->addTab(filesPage, QStringLiteral("Files"));

    m_options = new PrintOptions(m_services.settings, m_services.printers);
    m_options->setFont(controlFont(true));
    for (QWidget *frame : {static_cast<QWidget *>(m_options->printerGroup()),
                           static_cast<QWidget *>(m_options->pauseGroup())}) {
        frame->setAutoFillBackground(true);
        frame->setMouseTracking(true);
        frame->installEventFilter(this);
    }
    m_tabs->addTab(m_options, QStringLiteral("Options"));

    m_progress = new QProgressBar(client);
    m_progress->setObjectName(QStringLiteral("ProgressBar1"));
    m_progress->setRange(0, 100);
    m_progress->setValue(0);
    m_progress->setTextVisible(false);
    m_progress->setFont(controlFont(true));

    // Designed white; the skin turns them to the button face.
    for (QWidget *w : {client, static_cast<QWidget *>(m_options->printerGroup()),
                       static_cast<QWidget *>(m_options->pauseGroup())}) {
        QPalette palette = w->palette();
        palette.setColor(QPalette::Window, Qt::white);
        w->setPalette(palette);
    }
    connect(m_tabs, &QTabWidget::currentChanged, this, &MainWindow::saveCurrentTab);
}

void MainWindow::startUp()
{
    applySkin();
    centreOnScreen();
    if (m_services.draw && m_services.draw() == 7)
        m_services.shell.open(u'"' + HelpActions::MainPageAddress + u'"');
    setWindowTitle(ApplicationTitle);
    setWindowIcon(QIcon(QStringLiteral(":/icons/marrowlake.png")));
    m_list->setHeaderLabels({QStringLiteral(" Word Files")});
    m_geometry.firstColumnWidth = 5000;
    m_list->setColumnWidth(0, pixels(m_geometry.firstColumnWidth));
    m_options->fillPrinterList();
    m_options->restorePrinterChoice();
    m_options->fillPauseList();
    m_options->restorePauseChoice();
    createToolBar();
    bool ok = false;
    const int tab = m_services.settings.read(TabKey, QStringLiteral("0")).trimmed().toInt(&ok);
    m_tabs->setCurrentIndex(ok && tab >= 0 && tab < m_tabs->count() ? tab : 0);
    applyGeometry();
    checkWordProcessorInstalled(m_services.wordProcessor, m_services.messages);
}

void MainWindow::applySkin()
{
    const QString skin = m_services.programFolder + QStringLiteral("/x/o.cjs");
    const QFileInfo info(skin);
    if (!info.isFile() || info.isHidden())
        return;
    QFile file(skin);
    if (!file.open(QIODevice::ReadOnly))
        return; // a skin that cannot be read is no skin
    const QString styleSheet = QString::fromUtf8(file.readAll());
    const QColor buttonFace = QGuiApplication::palette().color(QPalette::Button);
    for (QWidget *w : {centralWidget(), static_cast<QWidget *>(m_options->printerGroup()),
                       static_cast<QWidget *>(m_options->pauseGroup())}) {
        QPalette palette = w->palette();
        palette.setColor(QPalette::Window, buttonFace);
        w->setPalette(palette);
    }
    setStyleSheet(styleSheet);
    m_skinApplied = true;
}

void MainWindow::centreOnScreen()
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect outer = frameGeometry();
    m_centreWhenFramed = !isVisible() || outer == geometry();
    const float left =
        (float(screen->geometry().width()) * TwipsPerPixel - float(outer.width()) * TwipsPerPixel) /
        2;
    const float top = (float(screen->geometry().height()) * TwipsPerPixel -
                       float(outer.height()) * TwipsPerPixel) /
                      2;
    move(screen->geometry().left() + pixels(left), screen->geometry().top() + pixels(top));
}

void MainWindow::createToolBar()
{
    const struct
    {
        int id;
        const char *caption;
        const char *icon;
    } buttons[] = {{AddFilesId, "Add Files", ":/icons/1000.png"},
                   {AddFolderId, "Add Folder", ":/icons/1001.png"},
                   {ClearListId, "Clear List", ":/icons/1003.png"},
                   {StartPrintingId, "Start Printing", ":/icons/1002.png"}};
    for (const auto &b : buttons)
        m_imageManager.insert(b.id, QIcon(QString::fromLatin1(b.icon)));

    m_toolBar = new QToolBar(QStringLiteral("Standard"), this);
    m_toolBar->setObjectName(QStringLiteral("Standard"));
    m_toolBar->setIconSize(QSize(48, 48));
    m_toolBar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    // The toolbar holds the only command that starts a run: it can be
    // neither closed nor torn off nor moved.
    m_toolBar->setMovable(false);
    m_toolBar->setFloatable(false);
    m_toolBar->setAllowedAreas(Qt::TopToolBarArea);
    m_toolBar->toggleViewAction()->setEnabled(false);
    m_toolBar->toggleViewAction()->setVisible(false);
    m_toolBar->setContextMenuPolicy(Qt::PreventContextMenu);
    menuBar()->setContextMenuPolicy(Qt::PreventContextMenu);
    // Every attribute set, so nothing of the window's bold Arial shows
    // through; the drop-down menus are windows of their own and get it too.
    const QFont font = commandBarFont();
    m_toolBar->setFont(font);
    menuBar()->setFont(font);
    for (QMenu *menu : std::as_const(m_menus))
        menu->setFont(font);
    for (const auto &b : buttons) {
        QAction *action =
            m_toolBar->addAction(m_imageManager.value(b.id), QString::fromLatin1(b.caption));
        action->setData(b.id);
        const int id = b.id;
        connect(action, &QAction::triggered, this, [this, id] { executeCommand(id); });
    }
    addToolBar(Qt::TopToolBarArea, m_toolBar);
}

void MainWindow::executeCommand(int commandId)
{
    switch (commandId) {
    case AddFilesId:
        addFiles();
        break;
    case AddFolderId:
        addFolder();
        break;
    case StartPrintingId:
        start();
        break;
    case ClearListId:
        clearList();
        break;
    default:
        break;
    }
}

void MainWindow::openPaths(const QStringList &paths)
{
    if (isVisible()) {
        if (isMinimized())
            showNormal();
        raise();
        activateWindow();
    }
    m_adder->addDroppedPaths(absolutePaths(paths));
}

void MainWindow::start()
{
    m_run->start();
}

void MainWindow::addFiles()
{
    m_adder->addFiles();
}

void MainWindow::addFolder()
{
    m_adder->addFolder();
}

void MainWindow::clearList()
{
    m_list->clearList();
}

void MainWindow::showHelp()
{
    m_help->showHelp();
}

void MainWindow::saveCurrentTab()
{
    m_services.settings.write(TabKey, QString::number(m_tabs->currentIndex()));
}

void MainWindow::saveWindowPlacement()
{
    const QRect outer = frameGeometry();
    const std::pair<const char *, int> placement[] = {{"Left", outer.left()},
                                                      {"Top", outer.top()},
                                                      {"Width", outer.width()},
                                                      {"Height", outer.height()}};
    for (const auto &[key, value] : placement) {
        if (windowState() & (Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen))
            continue;
        m_services.settings.write(QString::fromLatin1(key),
                                  QString::number(qint64(value) * qint64(TwipsPerPixel)));
    }
}

void MainWindow::unload(int /*cancel*/)
{
    saveWindowPlacement();
    // The window goes at once. The process ends here, also from inside a
    // print run or a folder search; a document already on its way to the
    // printer is let finish first, and no office instance of ours outlives it.
    hide();
    m_services.wordProcessor.endAllInstances();
    m_services.endProcess();
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    unload(0);
    event->accept();
}

void MainWindow::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    layOutControls();
}

bool MainWindow::event(QEvent *event)
{
    const bool handled = QMainWindow::event(event);
    // The frame's size is only known once the window manager has framed the
    // shown window; the window is then centred as a whole, frame included.
    if (m_centreWhenFramed && isVisible() &&
        (event->type() == QEvent::Move || event->type() == QEvent::Resize ||
         event->type() == QEvent::Expose || event->type() == QEvent::UpdateRequest) &&
        frameGeometry() != geometry())
        centreOnScreen();
    return handled;
}

void MainWindow::changeEvent(QEvent *event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange)
        layOutControls();
}

void MainWindow::layOutControls()
{
    m_geometry = applyResizeRule(m_geometry, float(width()) * TwipsPerPixel,
                                 float(height()) * TwipsPerPixel, isMinimized());
    applyGeometry();
}

void MainWindow::applyGeometry()
{
    // Lengths are relative to the window's inner area; the central widget
    // starts below the menu bar and the toolbar.
    const QPoint client = centralWidget()->pos();
    auto place = [](QWidget *w, const TwipsRect &r, QPoint offset) {
        w->setGeometry(pixels(r.left) - offset.x(), pixels(r.top) - offset.y(), pixels(r.width),
                       pixels(r.height));
    };
    place(m_tabs, m_geometry.tabControl, client);
    place(m_progress, m_geometry.progressBar, client);
    // Inside the tab control, lengths count from its own top-left corner;
    // its pages start below the tabs.
    const QPoint page(2, m_tabs->tabBar()->sizeHint().height() + 2);
    place(m_list, m_geometry.list, page);
    place(m_options->printerGroup(), m_geometry.printerGroup, page);
    place(m_options->pauseGroup(), m_geometry.pauseGroup, page);
    place(m_options->printerCombo(), m_geometry.printerCombo, QPoint());
    place(m_options->pauseCombo(), m_geometry.pauseCombo, QPoint());
    m_list->setColumnWidth(0, pixels(m_geometry.firstColumnWidth));
}

void MainWindow::pointerRule()
{
    if (cursor().shape() != Qt::WaitCursor)
        unsetCursor();
}

bool MainWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::MouseMove)
        pointerRule();
    return QMainWindow::eventFilter(watched, event);
}
