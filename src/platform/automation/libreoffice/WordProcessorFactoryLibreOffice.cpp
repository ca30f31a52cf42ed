#include "LibreOfficeProcessor.h"
#include "WordProcessorFactory.h"

namespace automation {

std::unique_ptr<WordProcessor> makeWordProcessor(WordProcessorHooks hooks)
{
    LibreOfficeProcessor::Options options;
    options.yield = std::move(hooks.yield);
    options.repaint = std::move(hooks.repaint);
    options.seededTemplateDir = hooks.preparedProfile;
    options.sparesAhead = hooks.sparesAhead;
    options.openAhead = hooks.openAhead;
    options.documentsPerOffice = hooks.documentsPerOffice;
    return std::make_unique<LibreOfficeProcessor>(options);
}

} // namespace automation
