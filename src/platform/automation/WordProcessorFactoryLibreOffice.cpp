#include "LibreOfficeProcessor.h"
#include "WordProcessorFactory.h"

namespace automation {

std::unique_ptr<WordProcessor> makeWordProcessor(YieldFunction yield, YieldFunction repaint)
{
    LibreOfficeProcessor::Options options;
    options.yield = std::move(yield);
    options.repaint = std::move(repaint);
    return std::make_unique<LibreOfficeProcessor>(options);
}

} // namespace automation
