#pragma once

#include "CommandLinePrint.h"
#include "FakePrinterList.h"
#include "FakeSettingsStore.h"
#include "FakeWordProcessor.h"

#include <QStringList>

// A run of the command line over fakes: one printer "P", no waits, its
// output and error lines kept.
struct ScriptRun
{
    ScriptRun() { printers.names = {"P"}; }

    FakeWordProcessor word;
    FakePrinterList printers;
    FakeSettingsStore settings;
    QStringList out;
    QStringList err;
    CommandLinePrint run{word,
                         printers,
                         settings,
                         [](int) {},
                         [] {},
                         [this](const QString &l) { out << l; },
                         [this](const QString &l) { err << l; }};
};
