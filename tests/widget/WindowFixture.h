#pragma once

#include "FakeDesktopShell.h"
#include "FakeFileDialogs.h"
#include "FakeMessageBoxes.h"
#include "FakePrinterList.h"
#include "FakeSettingsStore.h"
#include "FakeWordProcessor.h"
#include "MainWindow.h"

#include <functional>
#include <memory>

// A main window on fakes: no office, no printers, no dialogs, no exit.
struct WindowFixture
{
    FakeSettingsStore settings;
    FakePrinterList printers;
    FakeMessageBoxes messages;
    FakeDesktopShell shell;
    FakeFileDialogs dialogs;
    FakeWordProcessor word;
    QString programFolder;
    int draw = 1;
    int endProcessCalls = 0;
    QList<int> waits;
    std::function<void()> onWait; // runs inside every wait, as the window's events would
    QString printLog;             // the record of what was printed; none when empty
    std::unique_ptr<MainWindow> form;

    explicit WindowFixture(QString folder = QString()) : programFolder(std::move(folder))
    {
        printers.names = {QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C")};
        printers.defaultName = QStringLiteral("B");
    }

    MainWindow &make()
    {
        form = std::make_unique<MainWindow>(
            MainWindow::Services{settings, printers, messages, shell, dialogs, word, programFolder,
                                 [this] { return draw; }, [this] { ++endProcessCalls; },
                                 [this](int seconds) {
                                     waits << seconds;
                                     if (onWait)
                                         onWait();
                                 },
                                 printLog});
        return *form;
    }

    MainWindow &load()
    {
        make().startUp();
        return *form;
    }
};
