#pragma once

#include "CommandLine.h"

#include <functional>

namespace automation {
class WordProcessor;
}
class PrinterList;
class SettingsStore;

// Printing from the command line, without a window: the same steps per
// document as the window's run (the word processor's steps, its one-second
// wait, the pause of N + 1 seconds), one line per document on the output.
class CommandLinePrint
{
public:
    using Output = std::function<void(const QString &line)>;
    using Wait = std::function<void(int seconds)>;
    using Yield = std::function<void()>;

    CommandLinePrint(automation::WordProcessor &wordProcessor, PrinterList &printers,
                     const SettingsStore &settings, Wait waitSeconds, Yield yield, Output out,
                     Output err);

    // Returns the exit status: 0 all printed, 1 any failed, 2 nothing to do
    // (unknown printer, no documents).
    [[nodiscard]] int print(const CommandLine &line);
    [[nodiscard]] int listPrinters();
    // The closing line: what was printed so far.
    [[nodiscard]] QString summary() const;

private:
    automation::WordProcessor &m_word;
    PrinterList &m_printers;
    const SettingsStore &m_settings;
    Wait m_wait;
    Yield m_yield;
    Output m_out;
    Output m_err;
    int m_printed = 0;
    int m_failed = 0;
};
