#include "PrintSequence.h"

namespace automation {

std::optional<std::string> printDocument(WordProcessor &word, const std::string &path,
                                         const PrintSteps &steps, bool anotherFollows)
{
    // 1 and 2: not handled here; their failure is the caller's to report.
    const std::unique_ptr<Application> instance = word.createInstance();
    if (steps.startAhead)
        steps.startAhead();
    const std::unique_ptr<Document> document = instance->GetDocuments().Open(path);
    try {
        instance->SetActivePrinter(steps.printerName()); // 4
        if (steps.sending)
            steps.sending();
        instance->PrintOut(true, false, path, steps.range); // 5
        do {                                                // 6
            steps.yield();
        } while (instance->GetApplication().BackgroundPrintingStatus() != 0);
    } catch (const std::exception &e) { // 9
        if (!steps.startAhead)
            word.dropSpare();
        return std::string(e.what());
    }
    // The job is with the scheduler: reporting the document as not printed
    // now would have it printed twice.
    try {
        // Unseen by the user: the next document's instance starts while this
        // one waits its second.
        if (anotherFollows)
            word.prepareSpare(path);
        steps.waitSeconds(1);  // 7
        instance->Quit(false); // 8
    } catch (const std::exception &e) {
        if (steps.warning)
            steps.warning(e.what());
    }
    return std::nullopt;
}

} // namespace automation
