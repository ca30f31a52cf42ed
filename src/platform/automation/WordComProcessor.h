#pragma once

#include "WordAutomation.h"

#include <memory>
#include <set>

namespace automation {

class WordComApplication;

// Microsoft Word over COM automation, late bound, one instance per call of
// CreateInstance ("Word.Application").
class WordComProcessor : public WordProcessor
{
public:
    WordComProcessor();
    ~WordComProcessor() override;

    [[nodiscard]] std::unique_ptr<Application> CreateInstance() override;
    [[nodiscard]] std::unique_ptr<Application> AttachToRunning() override;
    [[nodiscard]] std::string ExpectedName() const override { return "Microsoft Word"; }
    void EndAllInstances() override;

private:
    friend class WordComApplication;
    bool m_uninitialize = false;
    std::shared_ptr<std::set<WordComApplication *>> m_live;
};

} // namespace automation
