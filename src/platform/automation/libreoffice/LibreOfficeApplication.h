#pragma once

#include "OfficeInstance.h"
#include "WordAutomation.h"

#include <com/sun/star/frame/XDesktop2.hpp>
#include <com/sun/star/lang/XComponent.hpp>
#include <com/sun/star/uno/Reference.hxx>
#include <com/sun/star/uno/XComponentContext.hpp>
#include <rtl/ref.hxx>

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace automation {

class BackgroundStarter;
class InstanceRegistry;
class JobMarks;
class PrintJobWatcher;
class UnoRuntime;

// The documents of one office instance, and what each goes through there:
// opened hidden and read-only (or taken as opened ahead), given its printer,
// printed, its job followed until the office has handed it to the scheduler
// (or, when the office died, until the scheduler is asked), and closed. The
// office's own life is an OfficeInstance.
class LibreOfficeApplication : public Application, private Documents
{
public:
    using Settings = OfficeInstance::Settings;
    using AheadOfTime = OfficeInstance::AheadOfTime;

    // Starts the process and connects to it; throws AutomationError.
    LibreOfficeApplication(Settings settings, std::shared_ptr<UnoRuntime> runtime,
                           std::shared_ptr<InstanceRegistry> registry);
    // Started ahead of time, on a thread of its own (see AheadOfTime); when
    // its document was opened ahead, Open of that path takes it as it is.
    LibreOfficeApplication(Settings settings, std::shared_ptr<UnoRuntime> runtime,
                           std::shared_ptr<InstanceRegistry> registry, AheadOfTime ahead);
    // An instance that is not ready, or does not answer, within `grace` is
    // ended and the start fails.
    void finishStarting(std::chrono::milliseconds grace);
    void writeWarmUpDocuments() { m_office.writeWarmUpDocuments(); }
    ~LibreOfficeApplication() override;

    // Made ready for another document once one has been printed: what it
    // knew of the document forgotten (the document itself is closed ahead
    // of the next one). False when the office is not fit for one.
    [[nodiscard]] bool recycle();
    // Documents printed since the office started.
    [[nodiscard]] int documentsDone() const { return m_documentsDone; }
    // The office process's resident memory, in kB (0 when unknown).
    [[nodiscard]] long residentKb() const { return m_office.residentKb(); }
    // A recycled office closes its last document and opens its next one
    // ahead, on a starter's thread, choosing for it the printer its last
    // document had; finishStarting waits for it. makeProfile serves a fresh
    // office that takes its place if this one ends before the document is
    // sent.
    void openAheadOn(BackgroundStarter &starter, const std::string &document,
                     std::function<std::filesystem::path()> makeProfile);

    // Documents printed one after another in offices of one processor mark
    // the scheduler's jobs through one JobMarks (none: asked at each
    // document's turn).
    void setJobMarks(std::shared_ptr<JobMarks> marks) { m_marks = std::move(marks); }

    std::string Name() override { return "LibreOffice"; }
    Documents &GetDocuments() override { return *this; }
    void SetActivePrinter(const std::string &printerName) override;
    void PrintOut(bool collate, bool background, const std::string &fileName,
                  const PrintRange &range) override;
    Application &GetApplication() override { return *this; }
    long BackgroundPrintingStatus() override;
    void Quit(std::optional<bool> saveChanges) override;

    std::unique_ptr<Document> Open(const std::string &path) override;

private:
    struct LoadedDocument
    {
        std::string path;
        css::uno::Reference<css::lang::XComponent> component;
        bool watched = false;
        std::string printer; // chosen for it ahead, and read back
    };

    [[nodiscard]] OfficeInstance::Documents documentsSide();
    // Opens the document in this instance (without what was opened ahead),
    // and keeps a document opened if it is one to print.
    void load(const std::string &path);
    // checked: found printable ahead already.
    void keep(const std::string &path, const css::uno::Reference<css::lang::XComponent> &component,
              const std::string &printer = {}, bool checked = false);
    // Closes the documents of the last print (left open by recycle, so that
    // closing them costs the next document nothing when it happens ahead).
    void closeRecycled();
    void choosePrinter(const std::string &printerName);
    // A step before the document is sent. An office started ahead whose
    // process ends before then costs nothing: a fresh one takes its place,
    // what was done so far is done again there, and the step is tried again.
    template <typename Step> void beforeSending(const Step &step);
    // Opens the document ahead (on the warming thread); false when it
    // cannot be opened now.
    bool openAhead(const std::string &path);
    void waitWhileSpooling();
    void forgetDocuments();
    [[nodiscard]] LoadedDocument &documentFor(const std::string &fileName);
    [[nodiscard]] std::chrono::milliseconds callLimit() const
    {
        return m_office.settings().callTimeout;
    }

    // Declared before the office, so that the office's end can still let go
    // of the documents.
    std::vector<LoadedDocument> m_documents;
    struct
    {
        std::string path;
        css::uno::Reference<css::lang::XComponent> component;
        std::string printer;
        bool checked = false; // found printable
    } m_openedAhead;
    std::vector<css::uno::Reference<css::lang::XComponent>> m_recycled;
    rtl::Reference<PrintJobWatcher> m_watcher;
    std::chrono::steady_clock::time_point m_spoolDeadline;
    std::string m_printer;
    // Our newest job on m_printer before this one; none when not known.
    std::optional<int> m_jobsBefore;
    std::string m_jobTitle;
    bool m_sent = false; // the document has been sent to the printer
    std::shared_ptr<JobMarks> m_marks;
    bool m_marked = false; // the next document's mark is asked
    int m_documentsDone = 0;
    OfficeInstance m_office;
};

} // namespace automation
