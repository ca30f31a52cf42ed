#pragma once

#include "CupsPrinterList.h"
#include "EventLoop.h"
#include "FakeDesktopShell.h"
#include "FakeFileDialogs.h"
#include "FakeMessageBoxes.h"
#include "FakeSettingsStore.h"
#include "LibreOfficeProcessor.h"
#include "MainWindow.h"

#include <functional>
#include <memory>

// The main window wired to the real office and printers, on fake dialogs,
// boxes and settings. The first printer is chosen; waits go to `wait`.
struct RealWindow
{
    FakeSettingsStore settings;
    CupsPrinterList printers;
    FakeMessageBoxes messages;
    FakeDesktopShell shell;
    FakeFileDialogs dialogs;
    std::unique_ptr<automation::LibreOfficeProcessor> office;
    std::unique_ptr<MainWindow> form;

    RealWindow(const QString &copiesDir, std::function<void()> endProcess,
               std::function<void(int)> wait,
               std::chrono::milliseconds callTimeout = std::chrono::seconds(120))
    {
        automation::LibreOfficeProcessor::Options options;
        options.copiesDir = copiesDir.toStdString();
        options.yield = [] { yieldToEventLoop(5); };
        options.callTimeout = callTimeout;
        office = std::make_unique<automation::LibreOfficeProcessor>(options);
        settings.values["Combo1"] = "0";
        form = std::make_unique<MainWindow>(
            MainWindow::Services{settings, printers, messages, shell, dialogs, *office, QString(),
                                 [] { return 1; }, std::move(endProcess), std::move(wait)});
        form->startUp();
    }
};
