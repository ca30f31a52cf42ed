#include "WordComApplication.h"

#include "ProcessClaim.h"

#include <objbase.h>

#include <mutex>

namespace automation {

namespace {

// msoAutomationSecurityForceDisable: no macro of an opened document runs.
constexpr long ForceDisableMacros = 3;
// wdAlertsNone: Word shows no message box of its own.
constexpr long NoAlerts = 0;
// wdDoNotSaveChanges.
constexpr long DoNotSaveChanges = 0;
// WdPrintOutRange: the pages named by Pages.
constexpr long PrintRangeOfPages = 4;
// A protected document then fails to open instead of asking; an
// unprotected one ignores it.
const char *const NoPassword = "\x01marrowlake-no-password\x01";

const char *const LeftToItsUser = " Someone is using this Word, so it was left open.";

CLSID wordClass()
{
    CLSID clsid{};
    const HRESULT hr = CLSIDFromProgID(L"Word.Application", &clsid);
    if (FAILED(hr) && ComDispatch::notInstalled(hr))
        throw NotInstalled(ComDispatch::describe(hr, nullptr));
    if (FAILED(hr))
        throw SystemFailure(ComDispatch::describe(hr, nullptr));
    return clsid;
}

std::string seconds(std::chrono::milliseconds limit)
{
    return std::to_string(limit.count() / 1000) + " seconds";
}

class WordComDocument : public Document
{
};

// A call that was given up on: its text says already what became of Word.
class CallGivenUp : public AutomationError
{
public:
    using AutomationError::AutomationError;
};

} // namespace

// What the apartment's thread alone touches (the COM objects, and the
// settings of Word's that were changed for the instance), and the process,
// which either side may end. Held by the tasks too, so that a call that
// comes back after it was given up on finds it still there.
struct WordComApplication::Objects
{
    ComDispatch application;
    ComDispatch documents;
    ComDispatch document;
    ComDispatch view;
    ComDispatch options;
    std::chrono::milliseconds busyLimit;
    // Word's own settings before the first document, given back before the
    // instance is let go of. The options are the user's and kept by Word.
    struct
    {
        bool read = false;
        long alerts = -1; // wdAlertsAll
        long security = 1;
        bool updateLinksAtOpen = true;
        bool updateFieldsAtPrint = false;
    } saved;

    // The Word processes before ours was created, and the one taken as ours.
    std::mutex mutex;
    std::set<DWORD> before;
    std::shared_ptr<void> process;
    DWORD pid = 0;
    // The printer of the document (the caller's thread alone).
    std::string printer;

    ComDispatch adopt(ComVariant value)
    {
        ComDispatch dispatch(value.takeDispatch());
        dispatch.setBusyLimit(busyLimit);
        return dispatch;
    }
    // No question at open or print: macros off, no message boxes, links
    // not updated at open, fields not updated at print.
    void quieten()
    {
        if (options.isNull())
            options = adopt(application.get("Options"));
        if (!saved.read) {
            saved.alerts = application.get("DisplayAlerts").toLong();
            saved.security = application.get("AutomationSecurity").toLong();
            saved.updateLinksAtOpen = options.get("UpdateLinksAtOpen").toLong() != 0;
            saved.updateFieldsAtPrint = options.get("UpdateFieldsAtPrint").toLong() != 0;
            saved.read = true;
        }
        application.put("AutomationSecurity", ComVariant(ForceDisableMacros));
        application.put("DisplayAlerts", ComVariant(NoAlerts));
        options.put("UpdateLinksAtOpen", ComVariant(false));
        options.put("UpdateFieldsAtPrint", ComVariant(false));
    }
    // Word keeps its options for the user when it quits: they are given
    // back first. Alerts and macros matter only while the instance runs on.
    void giveBackOptions()
    {
        if (!saved.read)
            return;
        options.put("UpdateLinksAtOpen", ComVariant(saved.updateLinksAtOpen));
        options.put("UpdateFieldsAtPrint", ComVariant(saved.updateFieldsAtPrint));
    }
    void giveBackAlerts()
    {
        if (!saved.read)
            return;
        application.put("DisplayAlerts", ComVariant(saved.alerts));
        application.put("AutomationSecurity", ComVariant(saved.security));
    }
    // Takes as ours the one WINWORD.EXE that appeared since `before` and
    // shows no window (a Word a person started shows one).
    void claimNew()
    {
        std::set<DWORD> unseen;
        for (const DWORD candidate : wordProcesses())
            if (!before.count(candidate) && !showsWindow(candidate))
                unseen.insert(candidate);
        hold(processToClaim(std::set<DWORD>(), unseen));
    }
    // Takes as ours the process that shows our document: Word names its
    // window, and so the process, itself.
    void claimWindowOf(DWORD candidate)
    {
        if (candidate != 0 && wordProcesses().count(candidate))
            hold(candidate);
    }
    void hold(DWORD candidate)
    {
        std::shared_ptr<void> handle = openWordProcess(candidate);
        std::lock_guard lock(mutex);
        if (handle) {
            process = std::move(handle);
            pid = candidate;
        }
    }
    DWORD ourPid()
    {
        std::lock_guard lock(mutex);
        return pid;
    }
    // A person uses the Word we hold: it shows a window of its own.
    bool usedBySomeone() { return showsWindow(ourPid()); }
    bool terminate()
    {
        std::lock_guard lock(mutex);
        return process && !showsWindow(pid) && TerminateProcess(process.get(), 1);
    }
    bool ours()
    {
        std::lock_guard lock(mutex);
        return bool(process);
    }
};

WordComApplication::WordComApplication(Ownership ownership, std::shared_ptr<Objects> objects)
    : m_ownership(std::move(ownership)), m_objects(std::move(objects)),
      m_apartment(std::make_unique<ComApartment>(m_ownership.limits.busy))
{
    m_objects->busyLimit = m_ownership.limits.busy;
    if (m_ownership.live)
        m_ownership.live->insert(this);
}

std::unique_ptr<WordComApplication> WordComApplication::create(Ownership ownership)
{
    auto objects = std::make_shared<Objects>();
    std::unique_ptr<WordComApplication> word(new WordComApplication(std::move(ownership), objects));
    // The Word process that appears with the instance is ours when it is the
    // only one that appears; it is held from then on, so that its number
    // cannot pass to another process meanwhile.
    objects->before = wordProcesses();
    const bool inTime = word->m_apartment->run(
        [objects] {
            const CLSID clsid = wordClass();
            IDispatch *dispatch = nullptr;
            const HRESULT hr =
                CoCreateInstance(clsid, nullptr, CLSCTX_LOCAL_SERVER | CLSCTX_INPROC_SERVER,
                                 IID_IDispatch, reinterpret_cast<void **>(&dispatch));
            // A start that fails is Word's or the system's, never the
            // document's.
            if (FAILED(hr) && ComDispatch::notInstalled(hr))
                throw NotInstalled(ComDispatch::describe(hr, nullptr));
            if (FAILED(hr))
                throw SystemFailure(ComDispatch::describe(hr, nullptr));
            objects->application = ComDispatch(dispatch);
            objects->application.setBusyLimit(objects->busyLimit);
            objects->claimNew();
        },
        word->m_ownership.limits.start, word->m_ownership.whileWaiting,
        [objects] {
            // One that asks its user something is left to be answered.
            objects->claimNew();
            if (!showsDialog(objects->ourPid()))
                objects->terminate();
        });
    if (inTime)
        return word;
    word->m_ended = true;
    // A Word that shows a window before it answers waits for its user: a
    // licence, sign-in or first-run question. It is left for them.
    for (const DWORD pid : wordProcesses())
        if (!objects->before.count(pid) && (showsWindow(pid) || showsDialog(pid)))
            throw SystemFailure(
                "Word shows a window of its own before it answers (a licence, sign-in or "
                "first-run question). Start Word yourself, answer it, close Word, and print "
                "again.");
    throw SystemFailure("Word did not start within " + seconds(word->m_ownership.limits.start) +
                        (objects->ours() ? ", and was stopped." : "."));
}

std::unique_ptr<WordComApplication> WordComApplication::attach(Ownership ownership)
{
    ownership.live = nullptr; // the user's own Word: never ours to end
    auto objects = std::make_shared<Objects>();
    std::unique_ptr<WordComApplication> word(new WordComApplication(std::move(ownership), objects));
    const bool inTime = word->m_apartment->run(
        [objects] {
            const CLSID clsid = wordClass();
            IUnknown *unknown = nullptr;
            HRESULT hr = GetActiveObject(clsid, nullptr, &unknown);
            if (FAILED(hr))
                throw AutomationError(ComDispatch::describe(hr, nullptr));
            IDispatch *dispatch = nullptr;
            hr = unknown->QueryInterface(IID_IDispatch, reinterpret_cast<void **>(&dispatch));
            unknown->Release();
            if (FAILED(hr))
                throw SystemFailure(ComDispatch::describe(hr, nullptr));
            objects->application = ComDispatch(dispatch);
            objects->application.setBusyLimit(objects->busyLimit);
        },
        word->m_ownership.limits.call, word->m_ownership.whileWaiting, {});
    if (!inTime)
        throw AutomationError("Word did not answer within " +
                              seconds(word->m_ownership.limits.call) + ".");
    return word;
}

WordComApplication::~WordComApplication()
{
    if (m_ownership.live && !m_ended)
        end();
    if (m_ownership.live)
        m_ownership.live->erase(this);
    // The references go in the apartment they belong to.
    if (!m_apartment->busy() && !m_apartment->abandoned()) {
        try {
            m_apartment->run(
                [objects = m_objects] {
                    objects->document = ComDispatch();
                    objects->view = ComDispatch();
                    objects->options = ComDispatch();
                    objects->documents = ComDispatch();
                    objects->application = ComDispatch();
                },
                m_ownership.limits.quit, m_ownership.whileWaiting, {});
        } catch (...) {
        }
    }
}

ComVariant WordComApplication::call(std::chrono::milliseconds limit, const Task &task)
{
    if (m_ended || m_apartment->abandoned())
        throw AutomationError("Word is no longer running.");
    auto result = std::make_shared<ComVariant>();
    // A Word of ours is watched: one that waits on a dialog, or does
    // nothing at all, is given up on in seconds instead of at the limit.
    std::optional<ProgressWatch> watch;
    if (const DWORD pid = m_objects->ourPid())
        watch.emplace(pid, m_objects->printer, m_ownership.limits.progress);
    std::string why;
    const auto stuck = [&watch, &why] {
        if (!watch)
            return false;
        if (auto reason = watch->stuck())
            why = *reason;
        return !why.empty();
    };
    const bool inTime = m_apartment->run(
        [objects = m_objects, result, task] { *result = task(*objects); }, limit,
        m_ownership.whileWaiting, [objects = m_objects] { objects->terminate(); }, stuck);
    if (inTime)
        return *result;
    if (m_objects->usedBySomeone())
        why = "Word is in use on this computer and did not answer.";
    else if (why.empty())
        why = "Word did not answer within " + seconds(limit) + ".";
    throw CallGivenUp(why + endProcess());
}

std::string WordComApplication::Name()
{
    return call(m_ownership.limits.call, [](Objects &o) { return o.application.getDefault(); })
        .toUtf8();
}

Documents &WordComApplication::GetDocuments()
{
    call(m_ownership.limits.call, [](Objects &o) {
        o.documents = o.adopt(o.application.get("Documents"));
        return ComVariant();
    });
    return *this;
}

std::unique_ptr<Document> WordComApplication::Open(const std::string &path)
{
    call(m_ownership.limits.call, [path](Objects &o) {
        if (o.documents.isNull())
            o.documents = o.adopt(o.application.get("Documents"));
        o.quieten();
        // Word 2007 and later open a damaged file without offering to
        // repair it: it fails instead.
        const char *open = o.documents.has("OpenNoRepairDialog") ? "OpenNoRepairDialog" : "Open";
        const std::string noPassword = NoPassword;
        o.document = o.adopt(o.documents.call(open, {ComVariant(path)},
                                              {{"ConfirmConversions", ComVariant(false)},
                                               {"ReadOnly", ComVariant(true)},
                                               {"AddToRecentFiles", ComVariant(false)},
                                               {"PasswordDocument", ComVariant(noPassword)},
                                               {"WritePasswordDocument", ComVariant(noPassword)},
                                               {"Revert", ComVariant(false)},
                                               {"Visible", ComVariant(false)},
                                               {"NoEncodingDialog", ComVariant(true)}}));
        // The process to end if Word stops answering: the one whose window
        // shows our document. Without a window the snapshot's choice stands.
        try {
            ComDispatch window = o.adopt(o.document.get("ActiveWindow"));
            const long hwnd = window.get("Hwnd").toLong();
            DWORD pid = 0;
            GetWindowThreadProcessId(reinterpret_cast<HWND>(LONG_PTR(hwnd)), &pid);
            o.claimWindowOf(pid);
        } catch (const AutomationError &) {
        }
        return ComVariant();
    });
    return std::make_unique<WordComDocument>();
}

void WordComApplication::SetActivePrinter(const std::string &printerName)
{
    // A port that asks where to save each job shows its dialog inside the
    // invisible Word, where nobody can answer it.
    const auto portOf = m_ownership.filePromptingPort ? m_ownership.filePromptingPort
                                                      : automation::filePromptingPort;
    if (const std::string port = portOf(printerName); !port.empty())
        throw AutomationError("The printer " + printerName +
                              " asks for a file name for every document (its port is " + port +
                              "), which nobody can answer here. Choose another printer.");
    m_objects->printer = printerName;
    // Setting ActivePrinter makes the printer the Windows default printer
    // for every program; FilePrintSetup can set it for this instance alone.
    call(m_ownership.limits.call, [printerName](Objects &o) {
        ComDispatch wordBasic = o.adopt(o.application.get("WordBasic"));
        wordBasic.call(
            "FilePrintSetup", {},
            {{"Printer", ComVariant(printerName)}, {"DoNotSetAsSysDefault", ComVariant(1L)}});
        return ComVariant();
    });
}

void WordComApplication::PrintOut(bool collate, bool background, const std::string &fileName,
                                  const PrintRange &range)
{
    call(m_ownership.limits.print, [collate, background, fileName, range](Objects &o) {
        std::vector<ComDispatch::NamedArgument> named{{"Collate", ComVariant(collate)},
                                                      {"Background", ComVariant(background)},
                                                      {"FileName", ComVariant(fileName)}};
        if (range.copies != 1)
            named.emplace_back("Copies", ComVariant(long(range.copies)));
        if (!range.pages.empty()) {
            named.emplace_back("Range", ComVariant(PrintRangeOfPages));
            named.emplace_back("Pages", ComVariant(range.pages));
        }
        return o.application.call("PrintOut", {}, named);
    });
}

Application &WordComApplication::GetApplication()
{
    // Word answers with the same application object.
    call(m_ownership.limits.call, [](Objects &o) {
        o.view = o.adopt(o.application.get("Application"));
        return ComVariant();
    });
    return *this;
}

long WordComApplication::BackgroundPrintingStatus()
{
    return call(m_ownership.limits.call,
                [](Objects &o) {
                    return (o.view.isNull() ? o.application : o.view)
                        .get("BackgroundPrintingStatus");
                })
        .toLong();
}

bool WordComApplication::quitOrLeave(std::optional<bool> saveChanges)
{
    // A Word that someone has taken up (it shows a window) is theirs now.
    const bool inUse = m_objects->usedBySomeone();
    const bool leave =
        call(m_ownership.limits.quit, [saveChanges, inUse](Objects &o) {
            if (o.documents.isNull())
                o.documents = o.adopt(o.application.get("Documents"));
            const long ours = o.document.isNull() ? 0 : 1;
            o.giveBackOptions();
            if (inUse || o.documents.get("Count").toLong() > ours) {
                if (!o.document.isNull())
                    o.document.call("Close", {}, {{"SaveChanges", ComVariant(DoNotSaveChanges)}});
                o.giveBackAlerts();
                return ComVariant(true);
            }
            if (saveChanges)
                o.application.call("Quit", {ComVariant(*saveChanges)});
            else
                o.application.call("Quit");
            return ComVariant(false);
        }).toLong() != 0;
    m_ended = true;
    if (m_ownership.live)
        m_ownership.live->erase(this);
    return leave;
}

void WordComApplication::Quit(std::optional<bool> saveChanges)
{
    try {
        quitOrLeave(saveChanges);
    } catch (const CallGivenUp &) {
        throw;
    } catch (const AutomationError &e) {
        if (!m_ownership.live)
            throw;
        // A Word of ours that refused to quit is ended all the same, unless
        // someone uses it or it is not certainly ours.
        throw AutomationError(e.what() + endProcess());
    }
}

void WordComApplication::end()
{
    if (m_ended)
        return;
    // In the middle of a call (the program ends while Word hangs): nothing
    // more can be asked of it.
    if (m_apartment->busy() || m_apartment->abandoned()) {
        (void)endProcess();
        return;
    }
    try {
        quitOrLeave(false);
    } catch (const AutomationError &) {
        (void)endProcess();
    }
}

std::string WordComApplication::endProcess()
{
    std::string what;
    if (m_objects->usedBySomeone())
        what = LeftToItsUser;
    else if (m_objects->terminate())
        what = " Word was stopped.";
    else if (!m_objects->ours())
        what = " Word may still be running.";
    else
        what = " Word was stopped."; // ended already
    m_ended = true;
    if (m_ownership.live)
        m_ownership.live->erase(this);
    return what;
}

} // namespace automation
