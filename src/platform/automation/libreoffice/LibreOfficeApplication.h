#pragma once

#include "OfficeCall.h"
#include "SpareMoment.h"
#include "WarmStart.h"
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
class OfficeProcess;
class PrintJobWatcher;
class UnoRuntime;

// One running office instance with the documents it has opened.
class LibreOfficeApplication : public Application, private Documents
{
public:
    struct Settings
    {
        std::filesystem::path executable;
        std::filesystem::path profile;
        bool removeProfile;            // the profile is this instance's own copy
        std::filesystem::path tempDir; // the office's temporary files; always removed
        std::string pipeName;
        YieldFunction yield;
        std::chrono::milliseconds startTimeout;
        std::chrono::milliseconds callTimeout;
        // Keeps the caller's window painted while a call into the office
        // waits (no user input); empty: the call blocks the caller.
        YieldFunction repaint;
        // A call during which the office uses no processor time this long is
        // ended: the office has stopped answering.
        std::chrono::milliseconds idleLimit{30'000};
        // Told of each moment in the life of an office started ahead, with
        // its process; the tests strike there.
        std::function<void(SpareMoment, int pid)> spareMoment;
    };

    // Starts the process and connects to it; throws AutomationError.
    LibreOfficeApplication(Settings settings, std::shared_ptr<UnoRuntime> runtime,
                           std::shared_ptr<InstanceRegistry> registry);

    // Ahead of time, on a thread of its own: makes the profile copy, starts
    // the office, connects and warms it up by loading a blank document of
    // the kind given (".docx", ...), so that the document it is started for
    // opens at full speed. finishStarting waits for all that.
    struct AheadOfTime
    {
        std::function<std::filesystem::path()> makeProfile;
        std::string extension;
        BackgroundStarter *starter; // outlives the instance
        // When given: the document itself is opened ahead, instead of a
        // blank one; Open of that path then takes it as it is.
        std::string document;
    };
    LibreOfficeApplication(Settings settings, std::shared_ptr<UnoRuntime> runtime,
                           std::shared_ptr<InstanceRegistry> registry, AheadOfTime ahead);
    // An instance that is not ready, or does not answer, within `grace` is
    // ended and the start fails.
    void finishStarting(std::chrono::milliseconds grace);
    // Writes the blank documents that warm an office up into its profile
    // (done once, when a template profile is set up).
    void writeWarmUpDocuments();

    // Made ready for another document once one has been printed: its
    // documents closed and what it knew of them forgotten. False when the
    // office is not fit for one (it has ended, or does not answer).
    [[nodiscard]] bool recycle();
    // Documents printed since the office started.
    [[nodiscard]] int documentsDone() const { return m_documentsDone; }
    // The office process's resident memory, in kB (0 when unknown).
    [[nodiscard]] long residentKb() const;
    // A recycled office closes its last document and opens its next one
    // ahead, on a starter's thread, choosing for it the printer its last
    // document had; finishStarting waits for it. makeProfile serves a fresh
    // office that takes its place if this one ends before the document is
    // sent.
    void openAheadOn(BackgroundStarter &starter, const std::string &document,
                     std::function<std::filesystem::path()> makeProfile);
    ~LibreOfficeApplication() override;

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

    void launch();
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
    void spareMoment(SpareMoment moment);
    // Opens the document ahead (on the warming thread); false when it
    // cannot be opened now.
    bool openAhead(const std::string &path);
    void connect();
    void stopWarming();
    void pause();
    void waitWhileSpooling();
    [[nodiscard]] AutomationError failure(const std::string &what, const std::string &detail);
    [[nodiscard]] LoadedDocument &documentFor(const std::string &fileName);
    void releaseEverything();

    Settings m_settings;
    OfficeCall m_call;
    std::shared_ptr<UnoRuntime> m_runtime;
    std::shared_ptr<InstanceRegistry> m_registry;
    std::unique_ptr<OfficeProcess> m_process;
    css::uno::Reference<css::uno::XComponentContext> m_remote;
    css::uno::Reference<css::frame::XDesktop2> m_desktop;
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
    std::vector<std::string> m_sockets;
    // Started ahead and not replaced yet: makes the profile of a fresh
    // instance to take its place.
    std::function<std::filesystem::path()> m_freshProfile;
    bool m_sent = false; // the document has been sent to the printer
    int m_documentsDone = 0;
    bool m_ended = false;
    bool m_retired = false; // quit; its process is awaited in the background
    void startAhead(AheadOfTime ahead);
    WarmStart m_warm;
    // Calls on the warming thread neither yield nor repaint: that is the
    // window's thread's business.
    [[nodiscard]] bool onWarmer() const;
};

} // namespace automation
