#include "WordComApplication.h"

#include <condition_variable>
#include <mutex>
#include <thread>

namespace automation {

namespace {

// msoAutomationSecurityForceDisable: no macro of an opened document runs.
constexpr long ForceDisableMacros = 3;
// wdAlertsNone: Word shows no message box of its own.
constexpr long NoAlerts = 0;
// A protected document then fails to open instead of asking; an
// unprotected one ignores it.
const char *const NoPassword = "\x01marrowlake-no-password\x01";

class WordComDocument : public Document
{
public:
    explicit WordComDocument(ComDispatch document) : m_document(std::move(document)) {}

private:
    ComDispatch m_document; // held, never used, released with the call
};

// Ends a process when a call into it has not returned in time.
class ProcessWatchdog
{
public:
    ProcessWatchdog(std::shared_ptr<void> process, std::chrono::milliseconds timeout)
    {
        if (!process)
            return;
        m_thread = std::thread([this, process, timeout] {
            std::unique_lock lock(m_mutex);
            if (!m_done.wait_for(lock, timeout, [this] { return m_finished; }))
                TerminateProcess(process.get(), 1);
        });
    }
    ~ProcessWatchdog()
    {
        if (!m_thread.joinable())
            return;
        {
            std::lock_guard lock(m_mutex);
            m_finished = true;
        }
        m_done.notify_all();
        m_thread.join();
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_done;
    bool m_finished = false;
    std::thread m_thread;
};

} // namespace

WordComApplication::WordComApplication(ComDispatch application, Ownership ownership)
    : m_application(std::move(application)), m_ownership(std::move(ownership))
{
    m_application.setBusyYield(m_ownership.busyYield);
    if (m_ownership.live)
        m_ownership.live->insert(this);
}

WordComApplication::~WordComApplication()
{
    if (m_ownership.live && !m_quit)
        end();
    if (m_ownership.live)
        m_ownership.live->erase(this);
}

void WordComApplication::end()
{
    bool quit = false;
    {
        const ProcessWatchdog watchdog(m_ownership.process, m_ownership.callTimeout);
        try {
            Quit(false);
            quit = true;
        } catch (const AutomationError &) {
        }
    }
    // A Word that refused to quit is ended all the same.
    if (!quit && m_ownership.process)
        TerminateProcess(m_ownership.process.get(), 1);
    m_quit = true;
}

std::string WordComApplication::Name()
{
    return m_application.getDefault().toUtf8();
}

Documents &WordComApplication::GetDocuments()
{
    m_documents = ComDispatch(m_application.get("Documents").takeDispatch());
    m_documents.setBusyYield(m_ownership.busyYield);
    return *this;
}

std::unique_ptr<Document> WordComApplication::Open(const std::string &path)
{
    if (m_documents.isNull())
        GetDocuments();
    m_application.put("AutomationSecurity", ComVariant(ForceDisableMacros));
    m_application.put("DisplayAlerts", ComVariant(NoAlerts));
    const std::string noPassword = NoPassword;
    return std::make_unique<WordComDocument>(
        ComDispatch(m_documents
                        .call("Open", {ComVariant(path)},
                              {{"ConfirmConversions", ComVariant(false)},
                               {"ReadOnly", ComVariant(true)},
                               {"AddToRecentFiles", ComVariant(false)},
                               {"PasswordDocument", ComVariant(noPassword)},
                               {"WritePasswordDocument", ComVariant(noPassword)},
                               {"Revert", ComVariant(false)},
                               {"Visible", ComVariant(false)},
                               {"NoEncodingDialog", ComVariant(true)}})
                        .takeDispatch()));
}

void WordComApplication::SetActivePrinter(const std::string &printerName)
{
    m_application.put("ActivePrinter", ComVariant(printerName));
}

void WordComApplication::PrintOut(bool collate, bool background, const std::string &fileName)
{
    m_application.call("PrintOut", {},
                       {{"Collate", ComVariant(collate)},
                        {"Background", ComVariant(background)},
                        {"fileName", ComVariant(fileName)}});
}

Application &WordComApplication::GetApplication()
{
    m_applicationView = std::make_unique<WordComApplication>(
        ComDispatch(m_application.get("Application").takeDispatch()),
        Ownership{nullptr, m_ownership.busyYield, nullptr, m_ownership.callTimeout});
    return *m_applicationView;
}

long WordComApplication::BackgroundPrintingStatus()
{
    return m_application.get("BackgroundPrintingStatus").toLong();
}

void WordComApplication::Quit(std::optional<bool> saveChanges)
{
    try {
        if (saveChanges)
            m_application.call("Quit", {ComVariant(*saveChanges)});
        else
            m_application.call("Quit");
    } catch (const AutomationError &e) {
        // Without a process certainly ours, nothing can be ended for it.
        if (m_ownership.live && !m_ownership.process)
            throw AutomationError(std::string(e.what()) + " Word may still be running.");
        throw;
    }
    m_quit = true;
    if (m_ownership.live)
        m_ownership.live->erase(this);
}

} // namespace automation
