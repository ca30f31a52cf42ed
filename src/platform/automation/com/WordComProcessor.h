#pragma once

#include "WordAutomation.h"

#include <chrono>
#include <memory>
#include <set>

namespace automation {

class WordComApplication;

// Microsoft Word over COM automation, late bound, one instance per call of
// createInstance ("Word.Application").
class WordComProcessor : public WordProcessor
{
public:
    // busyYield: called while a busy Word is waited for between retries.
    explicit WordComProcessor(YieldFunction busyYield = {},
                              std::chrono::milliseconds callTimeout = std::chrono::seconds(180));
    ~WordComProcessor() override;

    [[nodiscard]] std::unique_ptr<Application> createInstance() override;
    [[nodiscard]] std::unique_ptr<Application> attachToRunning() override;
    [[nodiscard]] std::string expectedName() const override { return "Microsoft Word"; }
    void endAllInstances() override;

private:
    bool m_uninitialize = false;
    YieldFunction m_busyYield;
    std::chrono::milliseconds m_callTimeout;
    std::shared_ptr<std::set<WordComApplication *>> m_live;
};

} // namespace automation
