#pragma once

#include "WordAutomation.h"

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

// A scripted word processor: logs every member called, per instance, and
// fails the members it is told to fail with the given description.
class FakeWordProcessor : public automation::WordProcessor
{
public:
    struct Log
    {
        std::vector<std::string> calls; // across all instances, "N:Member(args)"
        int instances = 0;
        int alive = 0;
    };

    std::unique_ptr<automation::Application> createInstance() override;
    std::unique_ptr<automation::Application> attachToRunning() override;
    std::string expectedName() const override { return "Microsoft Word"; }
    void endAllInstances() override { ++endAllCalls; }

    // Member name ("CreateInstance" (a failure of the system), "Open", "SetActivePrinter",
    // "PrintOut", "BackgroundPrintingStatus", "Quit") -> description to fail with.
    std::map<std::string, std::string> failures;
    // Paths whose Open fails; a file name alone: any path of that name, the
    // description followed by the path.
    std::map<std::string, std::string> unopenable;
    // Readings of BackgroundPrintingStatus before it reports 0.
    int pendingReadings = 1;
    // The name a running instance answers with; empty: none running.
    std::string runningName;
    // Called on PrintOut with the path and printer, e.g. to act during a run.
    std::function<void(const std::string &path, const std::string &printer)> onPrint;
    int endAllCalls = 0;
    // No word processor at all: every start fails as not installed.
    bool notInstalled = false;
    std::shared_ptr<Log> log = std::make_shared<Log>();

    [[nodiscard]] std::vector<std::string> printed() const;
};
