#include "WordComProcessor.h"
#include "WordProcessorFactory.h"

namespace automation {

std::unique_ptr<WordProcessor> makeWordProcessor(WordProcessorHooks hooks)
{
    // While Word works on a call the window is kept painted (or, without a
    // window, an interruption is seen); a call that never comes back ends.
    return std::make_unique<WordComProcessor>(hooks.repaint ? std::move(hooks.repaint)
                                                            : std::move(hooks.yield));
}

} // namespace automation
