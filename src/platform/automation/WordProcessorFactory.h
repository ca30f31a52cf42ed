#pragma once

#include "WordAutomation.h"

#include <memory>
#include <string>

namespace automation {

// How the word processor's layer meets the program around it.
struct WordProcessorHooks
{
    // Handles the window's events while the layer waits.
    YieldFunction yield;
    // Keeps the window painted (no user input) while one call is under way.
    YieldFunction repaint;
    // The program's own prepared profile folder, where it has one.
    std::string preparedProfile;
    // How many instances may be started ahead for documents to come, and
    // whether each opens its document ahead (prepareSpare then names the
    // document that comes, not one like it).
    int sparesAhead = 1;
    bool openAhead = false;
    // How many documents one instance may print one after another (1: an
    // instance for each document, as the window prints).
    int documentsPerOffice = 1;
};

// The word processor of this platform: LibreOffice on Linux, Word on Windows.
[[nodiscard]] std::unique_ptr<WordProcessor> makeWordProcessor(WordProcessorHooks hooks);

} // namespace automation
