#include "OfficeInstance.h"

#include "BackgroundStarter.h"
#include "DocumentChecks.h"
#include "DocumentLoader.h"
#include "InstanceRegistry.h"
#include "OfficeProcess.h"
#include "OfficeProfiles.h"
#include "UnoRuntime.h"
#include "UnoText.h"

#include <com/sun/star/connection/NoConnectException.hpp>
#include <com/sun/star/frame/Desktop.hpp>
#include <com/sun/star/frame/XComponentLoader.hpp>
#include <com/sun/star/frame/XStorable.hpp>
#include <com/sun/star/util/XCloseable.hpp>
#include <osl/file.hxx>

#include <algorithm>
#include <mutex>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace css;
namespace fs = std::filesystem;

namespace automation {

namespace {

// The office asks its users to restart once after creating a new profile.
constexpr int RestartRequested = 81;

// What an instance leaves in the file system: its sockets, its profile copy
// (empty when the profile is kept) and its temporary folder.
void removeLeftovers(const std::vector<std::string> &sockets, const fs::path &profile,
                     const fs::path &temp)
{
    OfficeProfiles::removeSockets(sockets);
    if (!profile.empty())
        OfficeProfiles::remove(profile);
    OfficeProfiles::remove(temp);
}

} // namespace

OfficeInstance::OfficeInstance(Settings settings, std::shared_ptr<UnoRuntime> runtime,
                               std::shared_ptr<InstanceRegistry> registry, Documents documents)
    : m_settings(std::move(settings)), m_call(m_settings.repaint, [this] { return onWarmer(); }),
      m_runtime(std::move(runtime)), m_registry(std::move(registry)),
      m_documents(std::move(documents))
{
}

OfficeInstance::~OfficeInstance()
{
    end();
}

void OfficeInstance::end()
{
    stopWarming();
    // Released without quitting (a failure on the way): the instance must
    // not outlive its document, so it is ended here.
    release();
    m_documents = {};
}

void OfficeInstance::start()
{
    launch();
    connect();
}

bool OfficeInstance::running() const
{
    return m_process && m_process->running();
}

void OfficeInstance::finishStarting(std::chrono::milliseconds grace,
                                    const std::function<void()> &beforeCheck)
{
    {
        // The process is made under this lock on the starter's thread.
        std::lock_guard lock(m_warm.processLock());
        spareMoment(SpareMoment::Turn);
    }
    if (m_warm.pending()) {
        // Wait for the warming up to end, keeping the window painted; an
        // office that is not ready within the grace is given up: a fresh
        // start is quicker than waiting for the time limits.
        if (!m_warm.waitFor(grace, [this](const std::function<void()> &wait) { m_call(wait); })) {
            stopWarming();
            release();
            throw AutomationError("The word processor started ahead did not answer.");
        }
        try {
            m_warm.collect();
        } catch (...) {
            release();
            throw;
        }
    }
    try {
        if (!m_desktop.is()) {
            connect();
            return;
        }
        // Started ahead: it may have died or stopped since it warmed up.
        m_call.guarded(*m_process, grace, [&] {
            beforeCheck();
            (void)m_desktop->getComponents();
        });
        if (!m_process->running())
            throw AutomationError("The word processor started ahead has ended.");
        spareMoment(SpareMoment::HandedOver);
    } catch (const uno::Exception &) {
        release();
        throw AutomationError("The word processor started ahead did not answer.");
    } catch (...) {
        release();
        throw;
    }
}

bool OfficeInstance::onWarmer() const
{
    return m_warm.onStarterThread();
}

void OfficeInstance::spareMoment(SpareMoment moment)
{
    if (m_settings.spareMoment && m_process)
        m_settings.spareMoment(moment, int(m_process->pid()));
}

void OfficeInstance::startAhead(AheadOfTime ahead, std::function<bool()> openDocument)
{
    m_freshProfile = ahead.makeProfile;
    m_warm.begin(*ahead.starter, [this, ahead, openDocument = std::move(openDocument)] {
        try {
            {
                std::lock_guard lock(m_warm.processLock());
                if (m_warm.calledOff())
                    throw AutomationError("The word processor's early start was called off.");
                m_settings.profile = ahead.makeProfile();
                m_settings.tempDir = OfficeProfiles::tempDirFor(m_settings.profile);
                launch();
            }
            spareMoment(SpareMoment::Started);
            connect();
            spareMoment(SpareMoment::Connected);
            const WatchdogGuard guard(*m_process, m_settings.callTimeout);
            if (!ahead.document.empty() && openDocument()) {
                spareMoment(SpareMoment::WarmedUp);
                return;
            }
            const fs::path blank =
                OfficeProfiles::warmUpDocument(m_settings.profile, ahead.extension);
            rtl::OUString url = "private:factory/swriter";
            if (!blank.empty())
                osl::FileBase::getFileURLFromSystemPath(fromUtf8(blank.string()), url);
            closeQuietly(loadHidden(m_desktop, url));
            spareMoment(SpareMoment::WarmedUp);
        } catch (const uno::Exception &e) {
            throw SystemFailure("The word processor could not be started: " + toUtf8(e.Message));
        }
    });
}

void OfficeInstance::workAhead(BackgroundStarter &starter, std::function<void()> work,
                               std::function<fs::path()> makeProfile)
{
    m_freshProfile = std::move(makeProfile);
    m_warm.begin(starter, [this, work = std::move(work)] {
        if (m_warm.calledOff())
            throw AutomationError("The word processor's early start was called off.");
        const WatchdogGuard guard(*m_process, m_settings.callTimeout);
        work();
    });
}

bool OfficeInstance::mayStartAgain()
{
    // Only an office started ahead whose process has ended.
    return m_freshProfile && m_process &&
           !(m_process->running() && !m_process->waitForExit(std::chrono::milliseconds(500)));
}

void OfficeInstance::startAgain()
{
    const auto makeProfile = std::exchange(m_freshProfile, {});
    release();
    m_ended = false;
    m_settings.profile = makeProfile();
    m_settings.tempDir = OfficeProfiles::tempDirFor(m_settings.profile);
    launch();
    connect();
}

void OfficeInstance::stopWarming()
{
    // Its calls fail at once when the office is gone.
    m_warm.stop([this] {
        if (m_process)
            m_process->signalKill();
    });
}

void OfficeInstance::writeWarmUpDocuments()
{
    const fs::path folder = OfficeProfiles::warmUpFolder(m_settings.profile);
    std::error_code error;
    fs::create_directories(folder, error);
    const struct
    {
        const char *extension;
        const char *filter;
    } kinds[] = {{".docx", "MS Word 2007 XML"},
                 {".doc", "MS Word 97"},
                 {".odt", "writer8"},
                 {".rtf", "Rich Text Format"}};
    try {
        const uno::Reference<frame::XComponentLoader> loader(m_desktop, uno::UNO_QUERY_THROW);
        const auto blank = loader->loadComponentFromURL(
            "private:factory/swriter", "_blank", 0, properties(property("Hidden", uno::Any(true))));
        const uno::Reference<frame::XStorable> storable(blank, uno::UNO_QUERY_THROW);
        for (const auto &kind : kinds) {
            rtl::OUString url;
            osl::FileBase::getFileURLFromSystemPath(
                fromUtf8((folder / (std::string("blank") + kind.extension)).string()), url);
            storable->storeToURL(
                url, properties(property("FilterName",
                                         uno::Any(rtl::OUString::createFromAscii(kind.filter)))));
        }
        closeQuietly(blank);
    } catch (const uno::Exception &) {
        // Without them an office warms up on a blank new document.
    }
}

void OfficeInstance::launch()
{
    const std::vector<std::string> arguments{
        "--headless",
        "--invisible",
        "--norestore",
        "--nologo",
        "--nodefault",
        "--nolockcheck",
        "-env:UserInstallation=" + OfficeProfiles::fileUrl(m_settings.profile),
        "--accept=pipe,name=" + m_settings.pipeName + ";urp;StarOffice.ComponentContext"};
    // The office's temporary files go to a private folder of this instance,
    // so that none is left behind when it has to be killed.
    fs::create_directories(m_settings.tempDir);
    ::chmod(m_settings.tempDir.c_str(), 0700);
    m_process = std::make_unique<OfficeProcess>(
        m_settings.executable.string(), arguments,
        std::vector<std::string>{"TMPDIR=" + m_settings.tempDir.string()});
    m_process->setIdleLimit(m_settings.idleLimit);
    // The office makes its pipe's socket file as it starts: known by name
    // from now on, it goes with the instance however that ends.
    m_sockets = {"/tmp/OSL_PIPE_" + std::to_string(getuid()) + "_" + m_settings.pipeName};
    if (m_settings.removeProfile)
        OfficeProfiles::recordSockets(m_settings.profile, m_sockets);
    OfficeProcess *process = m_process.get();
    const fs::path profile = m_settings.removeProfile ? m_settings.profile : fs::path();
    const fs::path temp = m_settings.tempDir;
    m_registry->add(this, [this, process, profile, temp](bool letJobsArrive) {
        stopWarming();
        // A document whose job is on its way to the scheduler is let finish:
        // the user saw it start. Unless the user insists: then the job is
        // cancelled, by the rule that tells ours.
        if (letJobsArrive && m_documents.letJobsArrive)
            m_documents.letJobsArrive();
        process->kill();
        if (!letJobsArrive && m_documents.cancelJobs)
            m_documents.cancelJobs();
        removeLeftovers({}, profile, temp); // its sockets go with the instance
    });
}

void OfficeInstance::pause()
{
    if (m_settings.yield && !onWarmer())
        m_settings.yield();
    else
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
}

void OfficeInstance::connect()
{
    const auto deadline = std::chrono::steady_clock::now() + m_settings.startTimeout;
    bool restarted = false;
    while (true) {
        if (const auto status = m_process->exitStatus()) {
            if (*status == RestartRequested && !restarted) {
                restarted = true;
                m_registry->remove(this);
                launch();
                continue;
            }
            // A full disk is the commonest cause, and one the user can mend.
            const std::string full = OfficeProfiles::noSpaceLeft(
                {m_settings.profile, m_settings.tempDir, fs::path("/tmp")});
            if (!full.empty())
                throw SystemFailure("The word processor could not be started. " + full);
            throw SystemFailure("The word processor could not be started (it ended with code " +
                                std::to_string(*status) + ").");
        }
        try {
            m_remote = m_runtime->connect(m_settings.pipeName);
            break;
        } catch (const connection::NoConnectException &) {
        } catch (const uno::Exception &e) {
            if (m_process->exitStatus())
                continue;
            throw SystemFailure("The word processor could not be reached: " + toUtf8(e.Message));
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            m_process->kill();
            throw SystemFailure("The word processor did not start within " +
                                std::to_string(m_settings.startTimeout.count() / 1000) +
                                " seconds.");
        }
        pause();
    }
    for (const std::string &socket : m_process->socketPaths())
        if (std::find(m_sockets.begin(), m_sockets.end(), socket) == m_sockets.end())
            m_sockets.push_back(socket);
    if (m_settings.removeProfile)
        OfficeProfiles::recordSockets(m_settings.profile, m_sockets);
    try {
        m_call.guarded(*m_process, m_settings.callTimeout,
                       [this] { m_desktop = frame::Desktop::create(m_remote); });
    } catch (const uno::Exception &e) {
        throw SystemFailure(
            failure("The word processor could not be started", toUtf8(e.Message)).what());
    }
}

AutomationError OfficeInstance::failure(const std::string &what, const std::string &detail) const
{
    if (m_process && m_process->killedAsIdle())
        return AutomationError(what + ": the word processor stopped answering and was stopped.");
    if (m_process && m_process->killedByWatchdog())
        return AutomationError(what + ": the word processor did not answer within " +
                               std::to_string(m_settings.callTimeout.count() / 1000) +
                               " seconds and was stopped.");
    if (!m_process || !m_process->running())
        return AutomationError(what + ": the word processor ended unexpectedly.");
    const std::string plain = plainOfficeMessage(detail);
    return AutomationError(plain.empty() ? what + "." : what + ": " + plain);
}

long OfficeInstance::residentKb() const
{
    if (!m_process)
        return 0;
    const std::string status =
        readWholeFile(fs::path("/proc") / std::to_string(m_process->pid()) / "status");
    const auto at = status.find("VmRSS:");
    return at == std::string::npos ? 0 : std::atol(status.c_str() + at + 6);
}

void OfficeInstance::quit(const std::function<void()> &closeDocuments)
{
    if (m_ended)
        return;
    try {
        m_call.guarded(*m_process, std::chrono::seconds(10), [&] {
            closeDocuments();
            m_desktop->terminate();
        });
    } catch (const uno::Exception &) {
        // The bridge goes away while the office ends; that is the success case.
    }
    if (m_documents.forget)
        m_documents.forget();
    if (!m_settings.removeProfile) {
        // A profile that is kept (a template being seeded) is only complete
        // once the office has written it out and ended.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (m_process->running() && std::chrono::steady_clock::now() < deadline)
            pause();
        release();
        return;
    }
    // The office has acknowledged; its exit (a few tens of milliseconds) is
    // awaited in the background, and what it leaves is removed after it.
    m_registry->remove(this);
    m_registry->retire(
        std::move(m_process),
        [sockets = m_sockets, profile = m_settings.profile, temp = m_settings.tempDir] {
            removeLeftovers(sockets, profile, temp);
        },
        std::chrono::seconds(5));
    m_retired = true;
    m_desktop.clear();
    m_remote.clear();
    m_ended = true;
}

void OfficeInstance::release()
{
    if (m_documents.forget)
        m_documents.forget();
    m_desktop.clear();
    m_remote.clear();
    if (m_process) {
        m_registry->remove(this);
        m_process->kill();
        m_process.reset();
    }
    // A retired instance's files go after its process; one started ahead
    // may have been called off before it had any.
    if (!m_retired && !m_settings.profile.empty())
        removeLeftovers(m_sockets, m_settings.removeProfile ? m_settings.profile : fs::path(),
                        m_settings.tempDir);
    m_ended = true;
}

} // namespace automation
