#include "WordComProcessor.h"

namespace automation {

WordComProcessor::WordComProcessor(
    YieldFunction whileWaiting, WordLimits limits,
    std::function<std::string(const std::string &)> filePromptingPort)
    : m_whileWaiting(std::move(whileWaiting)), m_limits(limits),
      m_filePromptingPort(std::move(filePromptingPort)),
      m_live(std::make_shared<std::set<WordComApplication *>>())
{
}

WordComApplication::Ownership WordComProcessor::ownership() const
{
    return {m_live, m_whileWaiting, m_limits, m_filePromptingPort};
}

std::unique_ptr<Application> WordComProcessor::createInstance()
{
    return WordComApplication::create(ownership());
}

std::unique_ptr<Application> WordComProcessor::attachToRunning()
{
    return WordComApplication::attach(ownership());
}

void WordComProcessor::endAllInstances()
{
    // Instances this program created and has not quit: end them without
    // saving, so none is left running unseen after the program.
    const std::set<WordComApplication *> live = *m_live;
    for (WordComApplication *application : live)
        application->end();
}

} // namespace automation
