#pragma once

#include "WordAutomation.h"

namespace automation {

// An office the user runs outside this program. There is no attaching to it
// over UNO; it can only tell its name.
class RunningOffice : public Application
{
public:
    std::string Name() override { return "LibreOffice"; }
    Documents &GetDocuments() override { throw unavailable(); }
    void SetActivePrinter(const std::string &) override { throw unavailable(); }
    void PrintOut(bool, bool, const std::string &, const PrintRange &) override
    {
        throw unavailable();
    }
    Application &GetApplication() override { return *this; }
    long BackgroundPrintingStatus() override { throw unavailable(); }
    void Quit(std::optional<bool>) override { throw unavailable(); }

private:
    static AutomationError unavailable()
    {
        return AutomationError("The running word processor cannot be controlled.");
    }
};

} // namespace automation
