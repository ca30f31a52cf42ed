#pragma once

#include "OfficeCall.h"
#include "SpareMoment.h"
#include "WarmStart.h"
#include "WordAutomation.h"

#include <com/sun/star/frame/XDesktop2.hpp>
#include <com/sun/star/uno/Reference.hxx>
#include <com/sun/star/uno/XComponentContext.hpp>

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace automation {

class BackgroundStarter;
class InstanceRegistry;
class OfficeProcess;
class UnoRuntime;

// The life of one office process: started (at once, or ahead of its
// document on a starter's thread), connected, checked when its document's
// turn comes, started again when it ended before its document was sent, and
// ended, with what it leaves removed after it. What the documents in it go
// through is LibreOfficeApplication's.
class OfficeInstance
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

    // Ahead of time, on a thread of its own: makes the profile copy, starts
    // the office, connects and warms it up by loading its document (when
    // given and it opens) or a blank document of the kind given (".docx",
    // ...), so that the document it is started for opens at full speed.
    struct AheadOfTime
    {
        std::function<std::filesystem::path()> makeProfile;
        std::string extension;
        BackgroundStarter *starter; // outlives the instance
        std::string document;
    };

    // What the documents' side does when the office goes.
    struct Documents
    {
        // Lets go of every document (before the office is ended).
        std::function<void()> forget;
        // When every instance is ended at once: a job on its way to the
        // scheduler is let arrive, or (abandoned) cancelled.
        std::function<void()> letJobsArrive;
        std::function<void()> cancelJobs;
    };

    OfficeInstance(Settings settings, std::shared_ptr<UnoRuntime> runtime,
                   std::shared_ptr<InstanceRegistry> registry, Documents documents);
    ~OfficeInstance();
    OfficeInstance(const OfficeInstance &) = delete;
    OfficeInstance &operator=(const OfficeInstance &) = delete;

    // Starts the process and connects to it; throws AutomationError.
    void start();
    // openDocument (on the starter's thread, connected) opens the document
    // ahead; false: a blank one warms the office up instead.
    void startAhead(AheadOfTime ahead, std::function<bool()> openDocument);
    // A running office does `work` ahead, on a starter's thread, under the
    // call limit; makeProfile serves a fresh office that takes its place if
    // this one ends before its document is sent.
    void workAhead(BackgroundStarter &starter, std::function<void()> work,
                   std::function<std::filesystem::path()> makeProfile);
    // An instance that is not ready, or does not answer, within `grace` is
    // ended and the start fails. beforeCheck runs in the call that checks.
    void finishStarting(std::chrono::milliseconds grace, const std::function<void()> &beforeCheck);
    // Whether the office, started ahead, ended before its document was sent
    // and may be started again on a fresh profile (once).
    [[nodiscard]] bool mayStartAgain();
    void startAgain();
    // Ends the office: closeDocuments and the office's own end in one call;
    // the process is awaited in the background.
    void quit(const std::function<void()> &closeDocuments);
    // Kills the process and removes what it leaves.
    void release();
    // Ends it for good, its documents' side told for the last time.
    void end();

    // Writes the blank documents that warm an office up into its profile
    // (done once, when a template profile is set up).
    void writeWarmUpDocuments();
    [[nodiscard]] AutomationError failure(const std::string &what, const std::string &detail) const;
    [[nodiscard]] long residentKb() const;
    [[nodiscard]] bool ended() const { return m_ended; }
    [[nodiscard]] bool warming() const { return m_warm.pending(); }
    [[nodiscard]] bool running() const;

    [[nodiscard]] const OfficeCall &call() const { return m_call; }
    [[nodiscard]] OfficeProcess &process() { return *m_process; }
    [[nodiscard]] const css::uno::Reference<css::frame::XDesktop2> &desktop() const
    {
        return m_desktop;
    }
    [[nodiscard]] const Settings &settings() const { return m_settings; }
    // Waits a moment, keeping the window painted when on its thread.
    void pause();

private:
    void launch();
    void connect();
    void stopWarming();
    void spareMoment(SpareMoment moment);
    [[nodiscard]] bool onWarmer() const;

    Settings m_settings;
    OfficeCall m_call;
    std::shared_ptr<UnoRuntime> m_runtime;
    std::shared_ptr<InstanceRegistry> m_registry;
    Documents m_documents;
    std::unique_ptr<OfficeProcess> m_process;
    css::uno::Reference<css::uno::XComponentContext> m_remote;
    css::uno::Reference<css::frame::XDesktop2> m_desktop;
    std::vector<std::string> m_sockets;
    // Started ahead and not replaced yet: makes the profile of a fresh
    // instance to take its place.
    std::function<std::filesystem::path()> m_freshProfile;
    bool m_ended = false;
    bool m_retired = false; // quit; its process is awaited in the background
    WarmStart m_warm;
};

} // namespace automation
