#pragma once

#include "SpareMoment.h"
#include "WordAutomation.h"

#include <chrono>
#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace automation {

class BackgroundStarter;
class InstanceRegistry;
class JobMarks;
class LibreOfficeApplication;
class OfficeProfiles;
class UnoRuntime;

// LibreOffice as the word processor: every instance is a private soffice.bin
// process of its own, reached over a UNO pipe that only it knows.
class LibreOfficeProcessor : public WordProcessor
{
public:
    struct Options
    {
        std::filesystem::path programDir = "/usr/lib/libreoffice/program";
        std::filesystem::path templateDir; // empty: the per-user cache
        std::filesystem::path copiesDir;   // empty: the per-user runtime folder
        YieldFunction yield;               // empty: sleep briefly instead
        YieldFunction repaint;             // keeps the window painted during a call
        std::chrono::milliseconds startTimeout{60'000};
        // Upper bound for any one call into the office and for spooling a job.
        std::chrono::milliseconds callTimeout{180'000};
        // An office that uses no processor time this long during a call has
        // stopped answering.
        std::chrono::milliseconds idleLimit{30'000};
        // How long a document waits for the office started ahead for it
        // (counted from its turn) before that is ended and a fresh one
        // started instead.
        std::chrono::milliseconds spareGrace{4'000};
        // How many offices may be started ahead at once, each on a thread
        // of its own.
        int sparesAhead = 1;
        // Whether an office started ahead opens its document itself (the
        // document prepareSpare names is then the one that comes).
        bool openAhead = false;
        // A template profile seeded when the program was built, copied at
        // the first start when it suits the installed office.
        std::filesystem::path seededTemplateDir;
        // Told of each moment in the life of an office started ahead.
        std::function<void(SpareMoment, int pid)> spareMoment;
        // How many documents one office prints, one after another, before a
        // fresh one takes its place (1: an office per document). An office
        // that failed a document, or whose memory grew past the bound, is
        // ended at once.
        int documentsPerOffice = 1;
        long memoryBoundKb = 800 * 1024;
    };

    explicit LibreOfficeProcessor(Options options);
    ~LibreOfficeProcessor() override;

    [[nodiscard]] std::unique_ptr<Application> createInstance() override;
    [[nodiscard]] std::unique_ptr<Application> attachToRunning() override;
    [[nodiscard]] std::string expectedName() const override { return "LibreOffice"; }
    void endAllInstances() override;
    void abandonAllInstances() override;
    void prepareSpare(const std::string &likeDocument) override;
    void dropSpare() override;
    [[nodiscard]] bool hasSpare() const { return !m_spares.empty(); }

    // The pipe names of our instances start with this, so that other
    // processes of ours are not taken for the user's own office.
    static constexpr const char *PipePrefix = "marrowlake-";

private:
    // Whether an office that has printed its document is kept for the next
    // one (it is then idle), or ended.
    [[nodiscard]] bool keepForNext(std::unique_ptr<LibreOfficeApplication> &office);
    [[nodiscard]] std::unique_ptr<Application>
    handOut(std::unique_ptr<LibreOfficeApplication> office);
    void endIdle();
    void seedTemplate();
    void prepareProfiles();
    [[nodiscard]] std::unique_ptr<LibreOfficeApplication> startInstance();

    Options m_options;
    std::unique_ptr<OfficeProfiles> m_profiles;
    std::shared_ptr<InstanceRegistry> m_registry;
    std::shared_ptr<UnoRuntime> m_runtime;
    // Declared before the spares they start, so that those end first.
    std::vector<std::unique_ptr<BackgroundStarter>> m_starters;
    std::size_t m_nextStarter = 0;
    std::deque<std::unique_ptr<LibreOfficeApplication>> m_spares; // oldest first
    // Marks of the scheduler's jobs, for documents printed one after another.
    std::shared_ptr<JobMarks> m_marks;
    // Offices that printed a document and wait for the next one.
    std::deque<std::unique_ptr<LibreOfficeApplication>> m_idle;
};

} // namespace automation
