#pragma once

#include "WordAutomation.h"
#include "WordComApplication.h"

#include <memory>
#include <set>

namespace automation {

// Microsoft Word over COM automation, late bound, one instance per call of
// createInstance ("Word.Application").
class WordComProcessor : public WordProcessor
{
public:
    // whileWaiting: called every few milliseconds while a call into Word is
    // under way, so that the caller's window stays painted.
    // filePromptingPort: where a printer's port is looked up (the spooler's
    // word unless given).
    explicit WordComProcessor(
        YieldFunction whileWaiting = {}, WordLimits limits = {},
        std::function<std::string(const std::string &)> filePromptingPort = {});

    [[nodiscard]] std::unique_ptr<Application> createInstance() override;
    [[nodiscard]] std::unique_ptr<Application> attachToRunning() override;
    [[nodiscard]] std::string expectedName() const override { return "Microsoft Word"; }
    void endAllInstances() override;
    [[nodiscard]] bool endsSafelyMidCall() const override { return false; }

private:
    WordComApplication::Ownership ownership() const;

    YieldFunction m_whileWaiting;
    WordLimits m_limits;
    std::function<std::string(const std::string &)> m_filePromptingPort;
    std::shared_ptr<std::set<WordComApplication *>> m_live;
};

} // namespace automation
