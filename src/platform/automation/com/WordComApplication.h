#pragma once

#include "ComDispatch.h"
#include "WordAutomation.h"

#include <chrono>
#include <functional>
#include <memory>
#include <set>

namespace automation {

// One Word application object (or the view of it that its Application
// property returns).
class WordComApplication : public Application, private Documents
{
public:
    // What an instance of ours shares with its processor; a view or the
    // user's own running Word has none.
    struct Ownership
    {
        std::shared_ptr<std::set<WordComApplication *>> live;
        std::function<void()> busyYield;
        // Its WINWORD.EXE, held by a handle; none when it was not certainly
        // ours.
        std::shared_ptr<void> process;
        std::chrono::milliseconds callTimeout{180'000};
    };

    WordComApplication(ComDispatch application, Ownership ownership);
    // Ends an instance of ours that was not quit: no invisible Word is left.
    ~WordComApplication() override;

    std::string Name() override;
    Documents &GetDocuments() override;
    void SetActivePrinter(const std::string &printerName) override;
    void PrintOut(bool collate, bool background, const std::string &fileName) override;
    Application &GetApplication() override;
    long BackgroundPrintingStatus() override;
    void Quit(std::optional<bool> saveChanges) override;

    // Opens with every question of Word's made to fail instead of waiting for
    // an answer nobody can give, and the document's macros disabled.
    std::unique_ptr<Document> Open(const std::string &path) override;

    // Quit(false); a Word that does not answer within the time limit has its
    // process ended.
    void end();

private:
    ComDispatch m_application;
    ComDispatch m_documents;
    std::unique_ptr<WordComApplication> m_applicationView;
    Ownership m_ownership;
    bool m_quit = false;
};

} // namespace automation
