#include "InstallCheck.h"

#include "MessageBoxes.h"
#include "WordAutomation.h"

void checkWordProcessorInstalled(automation::WordProcessor &wordProcessor, MessageBoxes &messages)
{
    std::unique_ptr<automation::Application> word;
    try {
        word = wordProcessor.createInstance();
    } catch (const std::exception &) {
    }
    if (!word) {
        messages.show(QStringLiteral("Word is not installed on this computer. You need to have it "
                                     "installed to use this software without error."),
                      MessageBoxes::Buttons::Ok, MessageBoxes::Icon::None, ApplicationTitle);
        return;
    }
    try {
        word->Quit(std::nullopt);
    } catch (const std::exception &) {
    }
}
