#include "LibreOfficeProcessor.h"
#include "WordProcessorFactory.h"

namespace automation {

std::unique_ptr<WordProcessor> makeWordProcessor(YieldFunction yield)
{
    LibreOfficeProcessor::Options options;
    options.yield = std::move(yield);
    return std::make_unique<LibreOfficeProcessor>(options);
}

} // namespace automation
