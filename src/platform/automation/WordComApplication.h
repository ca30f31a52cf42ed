#pragma once

#include "ComDispatch.h"
#include "WordAutomation.h"

#include <memory>
#include <set>

namespace automation {

// One Word application object (or the view of it that its Application
// property returns).
class WordComApplication : public Application, private Documents
{
public:
    WordComApplication(ComDispatch application,
                       std::shared_ptr<std::set<WordComApplication *>> live);
    ~WordComApplication() override;

    std::string Name() override;
    Documents &GetDocuments() override;
    void SetActivePrinter(const std::string &printerName) override;
    void PrintOut(bool collate, bool background, const std::string &fileName) override;
    Application &GetApplication() override;
    long BackgroundPrintingStatus() override;
    void Quit(std::optional<bool> saveChanges) override;

    std::unique_ptr<Document> Open(const std::string &path) override;

private:
    ComDispatch m_application;
    ComDispatch m_documents;
    std::unique_ptr<WordComApplication> m_applicationView;
    std::shared_ptr<std::set<WordComApplication *>> m_live;
};

} // namespace automation
