#include "LibreOfficeApplication.h"

#include "BackgroundStarter.h"
#include "CupsJobs.h"
#include "DocumentChecks.h"
#include "DocumentLoader.h"
#include "InstanceRegistry.h"
#include "OfficeCall.h"
#include "OfficeProcess.h"
#include "OfficeProfiles.h"
#include "PrintJobWatcher.h"
#include "UnoRuntime.h"
#include "UnoText.h"
#include "WarmStart.h"

#include <com/sun/star/beans/PropertyValue.hpp>
#include <com/sun/star/connection/NoConnectException.hpp>
#include <com/sun/star/frame/Desktop.hpp>
#include <com/sun/star/frame/XComponentLoader.hpp>
#include <com/sun/star/frame/XStorable.hpp>
#include <com/sun/star/util/XCloseable.hpp>
#include <com/sun/star/view/XPrintJobBroadcaster.hpp>
#include <com/sun/star/view/XPrintable.hpp>
#include <com/sun/star/view/XRenderable.hpp>
#include <osl/file.hxx>

#include <algorithm>
#include <cctype>
#include <exception>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

using namespace css;
namespace fs = std::filesystem;

namespace automation {

namespace {

// The lowest page that page ranges ("2-3,5") name.
long firstPageOf(const std::string &pages)
{
    long first = 0;
    for (size_t i = 0; i < pages.size();) {
        if (!std::isdigit(static_cast<unsigned char>(pages[i]))) {
            ++i;
            continue;
        }
        size_t end = i;
        const long page = std::stol(pages.substr(i), &end);
        first = first == 0 ? page : std::min(first, page);
        i += end;
    }
    return first;
}

// The office asks its users to restart once after creating a new profile.
constexpr int RestartRequested = 81;

class OpenDocument : public Document
{
};

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

LibreOfficeApplication::LibreOfficeApplication(Settings settings,
                                               std::shared_ptr<UnoRuntime> runtime,
                                               std::shared_ptr<InstanceRegistry> registry)
    : m_settings(std::move(settings)), m_call(m_settings.repaint, [this] { return onWarmer(); }),
      m_runtime(std::move(runtime)), m_registry(std::move(registry)), m_watcher(new PrintJobWatcher)
{
    try {
        launch();
        connect();
    } catch (...) {
        releaseEverything();
        throw;
    }
}

LibreOfficeApplication::LibreOfficeApplication(Settings settings,
                                               std::shared_ptr<UnoRuntime> runtime,
                                               std::shared_ptr<InstanceRegistry> registry,
                                               AheadOfTime ahead)
    : m_settings(std::move(settings)), m_call(m_settings.repaint, [this] { return onWarmer(); }),
      m_runtime(std::move(runtime)), m_registry(std::move(registry)), m_watcher(new PrintJobWatcher)
{
    startAhead(std::move(ahead));
}

void LibreOfficeApplication::finishStarting(std::chrono::milliseconds grace)
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
            releaseEverything();
            throw AutomationError("The word processor started ahead did not answer.");
        }
        try {
            m_warm.collect();
        } catch (...) {
            releaseEverything();
            throw;
        }
    }
    try {
        if (!m_desktop.is()) {
            connect();
            return;
        }
        // Started ahead: it may have died or stopped since it warmed up.
        m_call.guarded(*m_process, grace, [this] {
            closeRecycled();
            (void)m_desktop->getComponents();
        });
        if (!m_process->running())
            throw AutomationError("The word processor started ahead has ended.");
        spareMoment(SpareMoment::HandedOver);
    } catch (const uno::Exception &) {
        releaseEverything();
        throw AutomationError("The word processor started ahead did not answer.");
    } catch (...) {
        releaseEverything();
        throw;
    }
}

bool LibreOfficeApplication::onWarmer() const
{
    return m_warm.onStarterThread();
}

void LibreOfficeApplication::spareMoment(SpareMoment moment)
{
    if (m_settings.spareMoment && m_process)
        m_settings.spareMoment(moment, int(m_process->pid()));
}

void LibreOfficeApplication::startAhead(AheadOfTime ahead)
{
    m_freshProfile = ahead.makeProfile;
    m_warm.begin(*ahead.starter, [this, ahead] {
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
            if (!ahead.document.empty() && openAhead(ahead.document)) {
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

bool LibreOfficeApplication::recycle()
{
    if (m_ended || !m_process || !m_process->running() || m_warm.pending())
        return false;
    for (const LoadedDocument &document : m_documents)
        m_recycled.push_back(document.component);
    if (m_openedAhead.component.is())
        m_recycled.push_back(m_openedAhead.component);
    m_documents.clear();
    m_openedAhead = {};
    m_watcher = new PrintJobWatcher;
    m_jobsBefore.reset();
    m_jobTitle.clear();
    m_sent = false;
    ++m_documentsDone;
    return true;
}

void LibreOfficeApplication::closeRecycled()
{
    for (const auto &component : std::exchange(m_recycled, {}))
        closeQuietly(component);
}

long LibreOfficeApplication::residentKb() const
{
    if (!m_process)
        return 0;
    const std::string status =
        readWholeFile(fs::path("/proc") / std::to_string(m_process->pid()) / "status");
    const auto at = status.find("VmRSS:");
    return at == std::string::npos ? 0 : std::atol(status.c_str() + at + 6);
}

void LibreOfficeApplication::openAheadOn(BackgroundStarter &starter, const std::string &document,
                                         std::function<fs::path()> makeProfile)
{
    m_freshProfile = std::move(makeProfile);
    m_warm.begin(starter, [this, document, printer = m_printer] {
        if (m_warm.calledOff())
            throw AutomationError("The word processor's early start was called off.");
        const WatchdogGuard guard(*m_process, m_settings.callTimeout);
        closeRecycled();
        // When it cannot be opened now, or is no document to print, its turn
        // opens it and says why.
        if (document.empty() || !openAhead(document))
            return;
        try {
            m_openedAhead.checked = keepIfPrintable(m_openedAhead.component, document);
            if (!m_openedAhead.checked) {
                m_openedAhead = {};
                return;
            }
            if (printer.empty())
                return;
            const uno::Reference<view::XPrintable> printable(m_openedAhead.component,
                                                             uno::UNO_QUERY_THROW);
            printable->setPrinter(properties(property("Name", uno::Any(fromUtf8(printer)))));
            for (const auto &p : printable->getPrinter())
                if (p.Name == "Name" && toUtf8(p.Value.get<rtl::OUString>()) == printer)
                    m_openedAhead.printer = printer;
        } catch (const uno::Exception &) {
            // Chosen at its turn, with the report that goes with it.
        }
    });
}

bool LibreOfficeApplication::openAhead(const std::string &path)
{
    try {
        m_openedAhead.component = loadHidden(m_desktop, checkedDocumentUrl(path));
        m_openedAhead.path = path;
        return m_openedAhead.component.is();
    } catch (const AutomationError &) {
    } catch (const uno::Exception &) {
    }
    // Its turn will try again, and say what is wrong with it.
    m_openedAhead = {};
    return false;
}

void LibreOfficeApplication::stopWarming()
{
    // Its calls fail at once when the office is gone.
    m_warm.stop([this] {
        if (m_process)
            m_process->signalKill();
    });
}

void LibreOfficeApplication::writeWarmUpDocuments()
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
        const uno::Reference<util::XCloseable> closeable(blank, uno::UNO_QUERY);
        if (closeable.is())
            closeable->close(true);
    } catch (const uno::Exception &) {
        // Without them an office warms up on a blank new document.
    }
}

LibreOfficeApplication::~LibreOfficeApplication()
{
    stopWarming();
    // Released without Quit (a failure on the way): the instance must not
    // outlive its document, so it is ended here.
    releaseEverything();
}

void LibreOfficeApplication::launch()
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
        if (letJobsArrive)
            waitWhileSpooling();
        process->kill();
        if (!letJobsArrive && m_watcher->pending() > 0 && !m_printer.empty())
            CupsJobs::cancelOwnJobs(m_printer, m_jobsBefore, m_jobTitle);
        removeLeftovers({}, profile, temp); // its sockets go with the instance
    });
}

void LibreOfficeApplication::waitWhileSpooling()
{
    while (m_watcher->pending() > 0 && !m_watcher->failed() && m_process->running() &&
           std::chrono::steady_clock::now() < m_spoolDeadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

void LibreOfficeApplication::pause()
{
    if (m_settings.yield && !onWarmer())
        m_settings.yield();
    else
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
}

void LibreOfficeApplication::connect()
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

AutomationError LibreOfficeApplication::failure(const std::string &what, const std::string &detail)
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

template <typename Step> void LibreOfficeApplication::beforeSending(const Step &step)
{
    try {
        step();
        return;
    } catch (const AutomationError &) {
        // Only an office started ahead whose process has ended; a failure of
        // the document itself stands.
        if (!m_freshProfile || m_sent || !m_process ||
            (m_process->running() && !m_process->waitForExit(std::chrono::milliseconds(500))))
            throw;
    }
    std::vector<std::string> opened;
    for (const LoadedDocument &document : m_documents)
        opened.push_back(document.path);
    const std::string printer = m_printer;
    const auto makeProfile = std::exchange(m_freshProfile, {});
    releaseEverything();
    m_ended = false;
    m_settings.profile = makeProfile();
    m_settings.tempDir = OfficeProfiles::tempDirFor(m_settings.profile);
    launch();
    connect();
    for (const std::string &path : opened)
        load(path);
    if (!printer.empty())
        choosePrinter(printer);
    step();
}

std::unique_ptr<Document> LibreOfficeApplication::Open(const std::string &path)
{
    (void)checkedDocumentUrl(path);
    // Opened ahead by this instance: taken as it is. Any other document
    // opened ahead is not needed.
    uno::Reference<lang::XComponent> component;
    std::string printer;
    bool checked = false;
    if (m_openedAhead.component.is()) {
        if (m_openedAhead.path == path) {
            component = m_openedAhead.component;
            printer = m_openedAhead.printer;
            checked = m_openedAhead.checked;
        } else {
            closeQuietly(m_openedAhead.component);
        }
        m_openedAhead = {};
    }
    beforeSending([&] {
        if (component.is())
            keep(path, std::exchange(component, {}), printer, checked);
        else
            load(path);
    });
    return std::make_unique<OpenDocument>();
}

void LibreOfficeApplication::load(const std::string &path)
{
    const rtl::OUString url = checkedDocumentUrl(path);
    uno::Reference<lang::XComponent> component;
    try {
        m_call.guarded(*m_process, m_settings.callTimeout,
                       [&] { component = loadHidden(m_desktop, url); });
    } catch (const uno::Exception &e) {
        throw failure("The document could not be opened (" + path + ")", toUtf8(e.Message));
    }
    if (!component.is())
        throw failure(ProtectedDocument + path + ")", "");
    keep(path, component);
}

void LibreOfficeApplication::keep(const std::string &path,
                                  const uno::Reference<lang::XComponent> &component,
                                  const std::string &printer, bool checked)
{
    bool usable = checked;
    try {
        if (!checked)
            m_call.guarded(*m_process, m_settings.callTimeout,
                           [&] { usable = keepIfPrintable(component, path); });
    } catch (const uno::Exception &e) {
        throw failure("The document could not be opened (" + path + ")", toUtf8(e.Message));
    }
    if (!usable)
        throw AutomationError("This file is damaged or is not a word-processor document: " + path);
    m_documents.push_back({path, component, false, printer});
}

LibreOfficeApplication::LoadedDocument &
LibreOfficeApplication::documentFor(const std::string &fileName)
{
    if (m_documents.empty())
        throw AutomationError("No document is open.");
    for (auto &document : m_documents)
        if (document.path == fileName)
            return document;
    return m_documents.back();
}

void LibreOfficeApplication::SetActivePrinter(const std::string &printerName)
{
    beforeSending([&] { choosePrinter(printerName); });
}

void LibreOfficeApplication::choosePrinter(const std::string &printerName)
{
    if (m_documents.empty())
        throw AutomationError("No document is open.");
    try {
        for (auto &document : m_documents) {
            if (!printerName.empty() && document.printer == printerName)
                continue; // chosen and read back ahead
            // An unknown name is ignored silently and the old printer kept:
            // read it back, so a job can never go to another printer.
            rtl::OUString chosen;
            m_call.guarded(*m_process, m_settings.callTimeout, [&] {
                const uno::Reference<view::XPrintable> printable(document.component,
                                                                 uno::UNO_QUERY_THROW);
                printable->setPrinter(
                    properties(property("Name", uno::Any(fromUtf8(printerName)))));
                for (const auto &p : printable->getPrinter())
                    if (p.Name == "Name")
                        p.Value >>= chosen;
            });
            if (printerName.empty() || toUtf8(chosen) != printerName)
                throw AutomationError("There is no printer named \"" + printerName + "\".");
        }
        m_printer = printerName;
        // Our newest job there before this document's: only a later one can
        // be its job.
        m_call([this] { m_jobsBefore = CupsJobs::newestOwnJob(m_printer); });
    } catch (const uno::Exception &e) {
        throw failure("The printer could not be chosen", toUtf8(e.Message));
    }
}

void LibreOfficeApplication::PrintOut(bool collate, bool /*background*/,
                                      const std::string &fileName, const PrintRange &range)
{
    LoadedDocument &document = documentFor(fileName);
    try {
        // Pages beyond the document are left out by the office; when none
        // of the pages asked for is there, it would print nothing at all.
        if (!range.pages.empty()) {
            sal_Int32 pageCount = 0;
            m_call.guarded(*m_process, m_settings.callTimeout, [&] {
                const uno::Reference<view::XRenderable> renderable(document.component,
                                                                   uno::UNO_QUERY_THROW);
                pageCount = renderable->getRendererCount(uno::Any(document.component), {});
            });
            if (firstPageOf(range.pages) > pageCount)
                throw AutomationError(
                    "The pages " + range.pages + " are not in this document; it has " +
                    std::to_string(pageCount) + (pageCount == 1 ? " page." : " pages."));
        }
        m_sent = true;
        m_watcher->jobStarted();
        m_spoolDeadline = std::chrono::steady_clock::now() + m_settings.callTimeout;
        // The office names the job after the document's file: that tells it
        // from any other job of the user's on the queue.
        m_jobTitle = fs::path(document.path).filename().string();
        // The job is spooled in the office while we keep the window alive;
        // the caller waits for it through BackgroundPrintingStatus.
        m_call.guarded(*m_process, m_settings.callTimeout, [&] {
            if (!document.watched) {
                const uno::Reference<view::XPrintJobBroadcaster> broadcaster(document.component,
                                                                             uno::UNO_QUERY_THROW);
                broadcaster->addPrintJobListener(
                    uno::Reference<view::XPrintJobListener>(m_watcher.get()));
                document.watched = true;
            }
            const uno::Reference<view::XPrintable> printable(document.component,
                                                             uno::UNO_QUERY_THROW);
            uno::Sequence<beans::PropertyValue> options = properties(
                property("CopyCount", uno::Any(sal_Int16(range.copies))),
                property("Collate", uno::Any(collate)), property("Wait", uno::Any(false)));
            if (!range.pages.empty()) {
                options.realloc(options.getLength() + 1);
                options.getArray()[options.getLength() - 1] =
                    property("Pages", uno::Any(fromUtf8(range.pages)));
            }
            printable->print(options);
        });
    } catch (const uno::Exception &e) {
        throw failure("The document could not be printed", toUtf8(e.Message));
    }
}

long LibreOfficeApplication::BackgroundPrintingStatus()
{
    if (!m_process->running()) {
        // The office may have ended after handing the job over: then the
        // document is printed, and reporting it would only bring a reprint.
        bool held = false;
        if (!m_printer.empty() && !m_watcher->failed())
            m_call([&] { held = CupsJobs::holdsJob(m_printer, m_jobsBefore, m_jobTitle); });
        if (held)
            return 0;
        throw failure("The document could not be printed", "");
    }
    // A moment's wait for the office's word that the job is spooled: the
    // caller goes on the instant it comes, and yields between readings.
    m_watcher->waitUntilDone(std::chrono::milliseconds(20));
    if (m_watcher->failed())
        throw AutomationError("The document could not be printed: the print job failed.");
    const long pending = m_watcher->pending();
    if (pending > 0 && std::chrono::steady_clock::now() >= m_spoolDeadline) {
        m_process->kill();
        throw AutomationError("The document could not be printed: printing did not finish within " +
                              std::to_string(m_settings.callTimeout.count() / 1000) + " seconds.");
    }
    return pending;
}

void LibreOfficeApplication::Quit(std::optional<bool> /*saveChanges*/)
{
    // Documents are opened read-only, so there is never anything to save.
    if (m_ended)
        return;
    try {
        m_call.guarded(*m_process, std::chrono::seconds(10), [this] {
            for (auto &document : m_documents) {
                const uno::Reference<util::XCloseable> closeable(document.component,
                                                                 uno::UNO_QUERY);
                if (closeable.is())
                    closeable->close(true);
            }
            m_documents.clear();
            m_openedAhead = {};
            m_recycled.clear();
            m_desktop->terminate();
        });
    } catch (const uno::Exception &) {
        // The bridge goes away while the office ends; that is the success case.
    }
    if (!m_settings.removeProfile) {
        // A profile that is kept (a template being seeded) is only complete
        // once the office has written it out and ended.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (m_process->running() && std::chrono::steady_clock::now() < deadline)
            pause();
        releaseEverything();
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
    m_documents.clear();
    m_recycled.clear();
    m_desktop.clear();
    m_remote.clear();
    m_ended = true;
}

void LibreOfficeApplication::releaseEverything()
{
    m_openedAhead = {};
    m_recycled.clear();
    m_documents.clear();
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
