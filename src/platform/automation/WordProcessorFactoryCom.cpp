#include "WordComProcessor.h"
#include "WordProcessorFactory.h"

namespace automation {

// Word answers each call synchronously; there is nothing to wait for.
std::unique_ptr<WordProcessor> makeWordProcessor(WordProcessorHooks)
{
    return std::make_unique<WordComProcessor>();
}

} // namespace automation
