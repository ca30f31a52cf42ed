#pragma once

#include "WordAutomation.h"

#include <chrono>
#include <memory>
#include <set>

namespace automation {

class WordComApplication;

// Microsoft Word over COM automation, late bound, one instance per call of
// CreateInstance ("Word.Application").
class WordComProcessor : public WordProcessor
{
public:
    // busyYield: called while a busy Word is waited for between retries.
    explicit WordComProcessor(YieldFunction busyYield = {},
                              std::chrono::milliseconds callTimeout = std::chrono::seconds(180));
    ~WordComProcessor() override;

    [[nodiscard]] std::unique_ptr<Application> CreateInstance() override;
    [[nodiscard]] std::unique_ptr<Application> AttachToRunning() override;
    [[nodiscard]] std::string ExpectedName() const override { return "Microsoft Word"; }
    void EndAllInstances() override;

private:
    bool m_uninitialize = false;
    YieldFunction m_busyYield;
    std::chrono::milliseconds m_callTimeout;
    std::shared_ptr<std::set<WordComApplication *>> m_live;
};

} // namespace automation
