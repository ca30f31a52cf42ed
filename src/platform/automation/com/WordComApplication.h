#pragma once

#include "ComApartment.h"
#include "ComDispatch.h"
#include "WordAutomation.h"
#include "WordProcess.h"

#include <chrono>
#include <functional>
#include <memory>
#include <set>

namespace automation {

// How long each kind of call into Word may take. Past one, or once Word is
// seen waiting on a dialog or doing nothing (progress), Word's process is
// ended when it is certainly ours and nobody is using it, and the step
// fails.
struct WordLimits
{
    std::chrono::milliseconds start{60'000};
    std::chrono::milliseconds call{180'000};
    // A long document on a slow printer: watched by its progress alone.
    std::chrono::milliseconds print{std::chrono::hours(24)};
    // Longer than the time a busy Word is asked again, so that a Word busy
    // with someone's dialog is not taken for one that does not quit.
    std::chrono::milliseconds quit{45'000};
    // How long calls that a busy Word rejects are tried again.
    std::chrono::milliseconds busy{30'000};
    ProgressWatch::Limits progress;
};

// One Word application object: a new instance of ours, or the user's
// running Word. Every call runs in an apartment of its own under a limit,
// while the caller's thread keeps its window painted.
class WordComApplication : public Application, private Documents
{
public:
    struct Ownership
    {
        // The processor's instances still to be ended; none for the user's
        // own Word.
        std::shared_ptr<std::set<WordComApplication *>> live;
        // Called every few milliseconds while a call is under way.
        YieldFunction whileWaiting;
        WordLimits limits;
        // The port of a printer that asks for a file name for every job
        // (filePromptingPort unless told otherwise).
        std::function<std::string(const std::string &)> filePromptingPort;
    };

    // A new instance of "Word.Application", or the running one.
    [[nodiscard]] static std::unique_ptr<WordComApplication> create(Ownership ownership);
    [[nodiscard]] static std::unique_ptr<WordComApplication> attach(Ownership ownership);
    // Ends an instance of ours that was not quit: no invisible Word is left.
    ~WordComApplication() override;

    std::string Name() override;
    Documents &GetDocuments() override;
    void SetActivePrinter(const std::string &printerName) override;
    void PrintOut(bool collate, bool background, const std::string &fileName,
                  const PrintRange &range) override;
    Application &GetApplication() override;
    long BackgroundPrintingStatus() override;
    // Quits Word, unless a document of the user's is open in it too: then
    // only ours is closed, unsaved, and Word is left to the user.
    void Quit(std::optional<bool> saveChanges) override;

    // Opens with every question of Word's made to fail instead of waiting for
    // an answer nobody can give, and the document's macros disabled.
    std::unique_ptr<Document> Open(const std::string &path) override;

    // As Quit(false); a Word that does not quit, or is in the middle of a
    // call, has its process ended when it is certainly ours.
    void end();

private:
    struct Objects;
    using Task = std::function<ComVariant(Objects &)>;

    WordComApplication(Ownership ownership, std::shared_ptr<Objects> objects);
    // Runs task in the instance's apartment under limit, Word's progress
    // watched; a call given up on throws CallGivenUp.
    ComVariant call(std::chrono::milliseconds limit, const Task &task);
    // Quits, or closes only our document; true when Word was left running
    // for the user.
    bool quitOrLeave(std::optional<bool> saveChanges);
    // Ends Word's process unless it is not certainly ours or someone uses
    // it; what became of Word, as the end of a sentence.
    std::string endProcess();

    Ownership m_ownership;
    std::shared_ptr<Objects> m_objects;
    std::unique_ptr<ComApartment> m_apartment;
    bool m_ended = false;
};

} // namespace automation
