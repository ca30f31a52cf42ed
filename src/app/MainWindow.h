#pragma once

#include "WindowLayout.h"

#include <QHash>
#include <QIcon>
#include <QMainWindow>

#include <functional>
#include <memory>

namespace automation {
class WordProcessor;
}
class DesktopShell;
class DocumentAdder;
class FileDialogs;
class HelpActions;
class DocumentListSource;
class DocumentListView;
class MessageBoxes;
class PrintLog;
class PrintOptions;
class PrintRun;
class PrinterList;
class QAction;
class QMenu;
class QProgressBar;
class QTabWidget;
class QToolBar;
class SettingsStore;
class DocumentPrinter;

// The main window: the document list, the options, the progress bar, the
// menu bar and the toolbar. Creating it and running startUp starts the
// program; unload ends it.
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    struct Services
    {
        SettingsStore &settings;
        PrinterList &printers;
        MessageBoxes &messages;
        DesktopShell &shell;
        FileDialogs &dialogs;
        automation::WordProcessor &wordProcessor;
        QString programFolder;
        // The start-up draw, 1 to 100; 7 opens the main web page.
        std::function<int()> draw;
        // Ends the process; never returns in the program itself.
        std::function<void()> endProcess;
        // The pause after each document and the wait inside printing.
        std::function<void(int seconds)> waitSeconds;
        // The user's record of every document printed; none when empty.
        QString printLog = {};
    };

    enum CommandId
    {
        AddFilesId = 1000,
        AddFolderId = 1001,
        StartPrintingId = 1002,
        ClearListId = 1003
    };

    explicit MainWindow(Services services, QWidget *parent = nullptr);
    ~MainWindow() override;

    void startUp();
    void unload(int cancel);

    // The window's public operations.
    void start();
    void addFiles();
    void addFolder();
    void clearList();
    void showHelp();
    void createToolBar();
    void executeCommand(int commandId);
    // Paths named on the command line or handed over by a second start: added
    // as a drop of them would add them, and the window comes to the front.
    void openPaths(const QStringList &paths);

    [[nodiscard]] DocumentListView *listView() const { return m_list; }
    [[nodiscard]] PrintOptions *printOptions() const { return m_options; }
    [[nodiscard]] QTabWidget *tabControl() const { return m_tabs; }
    [[nodiscard]] QProgressBar *progressBar() const { return m_progress; }
    [[nodiscard]] QToolBar *toolBar() const { return m_toolBar; }
    [[nodiscard]] QAction *menuItem(int number) const { return m_items.value(number); }
    [[nodiscard]] QMenu *menu(int number) const { return m_menus.value(number); }
    [[nodiscard]] const WindowGeometry &layoutGeometry() const { return m_geometry; }
    [[nodiscard]] bool skinApplied() const { return m_skinApplied; }
    [[nodiscard]] PrintRun &printRun() const { return *m_run; }
    [[nodiscard]] DocumentAdder &adder() const { return *m_adder; }

    // No context menu anywhere: nothing may hide the toolbar's commands.
    QMenu *createPopupMenu() override { return nullptr; }

protected:
    void closeEvent(QCloseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;
    bool event(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildMenu();
    void buildControls();
    void applySkin();
    void centreOnScreen();
    void saveWindowPlacement();
    void layOutControls();
    void applyGeometry();
    void saveCurrentTab();
    void pointerRule();

    Services m_services;
    WindowGeometry m_geometry;
    bool m_skinApplied = false;
    // Centred before the window manager framed the window: centre again
    // once the frame is known.
    bool m_centreWhenFramed = false;

    QTabWidget *m_tabs = nullptr;
    DocumentListView *m_list = nullptr;
    PrintOptions *m_options = nullptr;
    QProgressBar *m_progress = nullptr;
    QToolBar *m_toolBar = nullptr;
    QHash<int, QMenu *> m_menus;
    QHash<int, QAction *> m_items;
    QHash<int, QIcon> m_imageManager;

    std::unique_ptr<DocumentListSource> m_documents;
    std::unique_ptr<DocumentPrinter> m_word;
    std::unique_ptr<PrintLog> m_printLog;
    std::unique_ptr<PrintRun> m_run;
    std::unique_ptr<DocumentAdder> m_adder;
    std::unique_ptr<HelpActions> m_help;
};
