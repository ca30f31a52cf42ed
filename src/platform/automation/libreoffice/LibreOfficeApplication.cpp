#include "LibreOfficeApplication.h"

#include "CupsJobs.h"
#include "DocumentChecks.h"
#include "DocumentLoader.h"
#include "OfficeProcess.h"
#include "PrintJobWatcher.h"
#include "UnoText.h"

#include <com/sun/star/beans/PropertyValue.hpp>
#include <com/sun/star/util/XCloseable.hpp>
#include <com/sun/star/view/XPrintJobBroadcaster.hpp>
#include <com/sun/star/view/XPrintable.hpp>
#include <com/sun/star/view/XRenderable.hpp>

#include <algorithm>
#include <cctype>
#include <thread>

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

class OpenDocument : public Document
{
};

} // namespace

LibreOfficeApplication::LibreOfficeApplication(Settings settings,
                                               std::shared_ptr<UnoRuntime> runtime,
                                               std::shared_ptr<InstanceRegistry> registry)
    : m_watcher(new PrintJobWatcher),
      m_office(std::move(settings), std::move(runtime), std::move(registry), documentsSide())
{
    m_office.start();
}

LibreOfficeApplication::LibreOfficeApplication(Settings settings,
                                               std::shared_ptr<UnoRuntime> runtime,
                                               std::shared_ptr<InstanceRegistry> registry,
                                               AheadOfTime ahead)
    : m_watcher(new PrintJobWatcher),
      m_office(std::move(settings), std::move(runtime), std::move(registry), documentsSide())
{
    const std::string document = ahead.document;
    m_office.startAhead(std::move(ahead), [this, document] { return openAhead(document); });
}

LibreOfficeApplication::~LibreOfficeApplication()
{
    m_office.end();
}

OfficeInstance::Documents LibreOfficeApplication::documentsSide()
{
    return {[this] { forgetDocuments(); }, [this] { waitWhileSpooling(); },
            [this] {
                if (m_watcher->pending() > 0 && !m_printer.empty())
                    CupsJobs::cancelOwnJobs(m_printer, m_jobsBefore, m_jobTitle);
            }};
}

void LibreOfficeApplication::forgetDocuments()
{
    m_openedAhead = {};
    m_recycled.clear();
    m_documents.clear();
}

void LibreOfficeApplication::finishStarting(std::chrono::milliseconds grace)
{
    m_office.finishStarting(grace, [this] { closeRecycled(); });
}

bool LibreOfficeApplication::recycle()
{
    if (m_office.ended() || !m_office.running() || m_office.warming())
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
    m_marked = false;
    ++m_documentsDone;
    return true;
}

void LibreOfficeApplication::closeRecycled()
{
    for (const auto &component : std::exchange(m_recycled, {}))
        closeQuietly(component);
}

void LibreOfficeApplication::openAheadOn(BackgroundStarter &starter, const std::string &document,
                                         std::function<fs::path()> makeProfile)
{
    const auto work = [this, document, printer = m_printer] {
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
    };
    m_office.workAhead(starter, work, std::move(makeProfile));
}

bool LibreOfficeApplication::openAhead(const std::string &path)
{
    try {
        m_openedAhead.component = loadHidden(m_office.desktop(), checkedDocumentUrl(path));
        m_openedAhead.path = path;
        return m_openedAhead.component.is();
    } catch (const AutomationError &) {
    } catch (const uno::Exception &) {
    }
    // Its turn will try again, and say what is wrong with it.
    m_openedAhead = {};
    return false;
}

void LibreOfficeApplication::waitWhileSpooling()
{
    while (m_watcher->pending() > 0 && !m_watcher->failed() && m_office.running() &&
           std::chrono::steady_clock::now() < m_spoolDeadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

template <typename Step> void LibreOfficeApplication::beforeSending(const Step &step)
{
    try {
        step();
        return;
    } catch (const AutomationError &) {
        // Only an office started ahead whose process has ended; a failure of
        // the document itself stands.
        if (m_sent || !m_office.mayStartAgain())
            throw;
    }
    std::vector<std::string> opened;
    for (const LoadedDocument &document : m_documents)
        opened.push_back(document.path);
    const std::string printer = m_printer;
    m_office.startAgain();
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
        m_office.call().guarded(m_office.process(), callLimit(),
                                [&] { component = loadHidden(m_office.desktop(), url); });
    } catch (const uno::Exception &e) {
        throw m_office.failure("The document could not be opened (" + path + ")",
                               toUtf8(e.Message));
    }
    if (!component.is())
        throw m_office.failure(ProtectedDocument + path + ")", "");
    keep(path, component);
}

void LibreOfficeApplication::keep(const std::string &path,
                                  const uno::Reference<lang::XComponent> &component,
                                  const std::string &printer, bool checked)
{
    bool usable = checked;
    try {
        if (!checked)
            m_office.call().guarded(m_office.process(), callLimit(),
                                    [&] { usable = keepIfPrintable(component, path); });
    } catch (const uno::Exception &e) {
        throw m_office.failure("The document could not be opened (" + path + ")",
                               toUtf8(e.Message));
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
            m_office.call().guarded(m_office.process(), callLimit(), [&] {
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
        m_office.call()([this] {
            m_jobsBefore = m_marks ? m_marks->newest(m_printer) : CupsJobs::newestOwnJob(m_printer);
        });
    } catch (const uno::Exception &e) {
        throw m_office.failure("The printer could not be chosen", toUtf8(e.Message));
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
            m_office.call().guarded(m_office.process(), callLimit(), [&] {
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
        m_spoolDeadline = std::chrono::steady_clock::now() + callLimit();
        // The office names the job after the document's file: that tells it
        // from any other job of the user's on the queue.
        m_jobTitle = fs::path(document.path).filename().string();
        // The job is spooled in the office while we keep the window alive;
        // the caller waits for it through BackgroundPrintingStatus.
        m_office.call().guarded(m_office.process(), callLimit(), [&] {
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
        throw m_office.failure("The document could not be printed", toUtf8(e.Message));
    }
}

long LibreOfficeApplication::BackgroundPrintingStatus()
{
    if (!m_office.running()) {
        // The office may have ended after handing the job over: then the
        // document is printed, and reporting it would only bring a reprint.
        bool held = false;
        if (!m_printer.empty() && !m_watcher->failed())
            m_office.call()(
                [&] { held = CupsJobs::holdsJob(m_printer, m_jobsBefore, m_jobTitle); });
        if (held)
            return 0;
        throw m_office.failure("The document could not be printed", "");
    }
    // A moment's wait for the office's word that the job is spooled: the
    // caller goes on the instant it comes, and yields between readings.
    m_watcher->waitUntilDone(std::chrono::milliseconds(20));
    if (m_watcher->failed())
        throw AutomationError("The document could not be printed: the print job failed.");
    const long pending = m_watcher->pending();
    // The job is on the scheduler: the next document's mark can be asked.
    if (pending == 0 && m_sent && m_marks && !m_printer.empty() && !std::exchange(m_marked, true))
        m_marks->askAhead(m_printer);
    if (pending > 0 && std::chrono::steady_clock::now() >= m_spoolDeadline) {
        m_office.process().kill();
        throw AutomationError("The document could not be printed: printing did not finish within " +
                              std::to_string(callLimit().count() / 1000) + " seconds.");
    }
    return pending;
}

void LibreOfficeApplication::Quit(std::optional<bool> /*saveChanges*/)
{
    // Documents are opened read-only, so there is never anything to save.
    m_office.quit([this] {
        for (auto &document : m_documents) {
            const uno::Reference<util::XCloseable> closeable(document.component, uno::UNO_QUERY);
            if (closeable.is())
                closeable->close(true);
        }
        forgetDocuments();
    });
}

} // namespace automation
