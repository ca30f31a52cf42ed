#pragma once

// The steps of printing one document with an instance of its own, written
// once for every word processor and every caller: the window's run, the
// command line, and the contract tests of the Windows layer.

#include "WordAutomation.h"

#include <functional>
#include <optional>
#include <string>

namespace automation {

struct PrintSteps
{
    // The printer's name as chosen now (read at step 4).
    std::function<std::string()> printerName;
    // The yielding wait of whole seconds (step 7).
    std::function<void(int seconds)> waitSeconds;
    // Handles the window's events between the status readings (step 6).
    YieldFunction yield;
    // When set: called once the document's own instance is there, so that
    // the caller can start instances ahead for the documents that follow;
    // those are then the caller's, kept when this document fails.
    std::function<void()> startAhead;
    // When set: called right before the document is sent to the printer
    // (PrintOut): from then on its job may reach the scheduler.
    std::function<void()> sending;
    // Copies and pages; the whole document once unless given.
    PrintRange range;
    // When set: told of a failure once the job is with the scheduler (the
    // wait, Quit); the document counts as printed all the same.
    std::function<void(const std::string &)> warning;
};

// Prints the document (a UTF-8 path). A failure to start the word processor
// or to open the document is thrown (AutomationError) to the caller; a
// failure of the printing itself is returned as its description, the
// instance ended. Once PrintOut has returned and the job is spooled, the
// document is printed: a later failure is a warning. When another document follows, its instance is
// started ahead during the one-second wait.
[[nodiscard]] std::optional<std::string> printDocument(WordProcessor &word, const std::string &path,
                                                       const PrintSteps &steps,
                                                       bool anotherFollows = false);

} // namespace automation
