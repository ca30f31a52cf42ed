#include "WordComProcessor.h"
#include "WordProcessorFactory.h"

namespace automation {

std::unique_ptr<WordProcessor> makeWordProcessor(WordProcessorHooks hooks)
{
    // A busy Word is waited for with the window kept working.
    return std::make_unique<WordComProcessor>(std::move(hooks.yield));
}

} // namespace automation
