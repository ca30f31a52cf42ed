#include "WordComApplication.h"

#include "ProcessClaim.h"

#include <objbase.h>
#include <tlhelp32.h>

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

// The running WINWORD.EXE processes.
std::set<DWORD> wordProcesses()
{
    std::set<DWORD> pids;
    const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return pids;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot, &entry); more;
         more = Process32NextW(snapshot, &entry))
        if (_wcsicmp(entry.szExeFile, L"WINWORD.EXE") == 0)
            pids.insert(entry.th32ProcessID);
    CloseHandle(snapshot);
    return pids;
}

std::shared_ptr<void> openProcess(DWORD pid)
{
    if (pid == 0)
        return {};
    if (HANDLE handle = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid))
        return std::shared_ptr<void>(handle, CloseHandle);
    return {};
}

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

} // namespace

// What the apartment's thread alone touches (the COM objects), and the
// process, which either side may end. Held by the tasks too, so that a call
// that comes back after it was given up on finds it still there.
struct WordComApplication::Objects
{
    ComDispatch application;
    ComDispatch documents;
    ComDispatch document;
    ComDispatch view;
    std::chrono::milliseconds busyLimit;

    // The Word processes before ours was created, and the one taken as ours.
    std::mutex mutex;
    std::set<DWORD> before;
    std::shared_ptr<void> process;

    ComDispatch adopt(ComVariant value)
    {
        ComDispatch dispatch(value.takeDispatch());
        dispatch.setBusyLimit(busyLimit);
        return dispatch;
    }
    // Takes as ours the one WINWORD.EXE that appeared since `before`.
    void claimNew()
    {
        std::lock_guard lock(mutex);
        if (!process)
            process = openProcess(processToClaim(before, wordProcesses()));
    }
    // Takes as ours the process that shows our document: Word names its
    // window, and so the process, itself.
    void claimWindowOf(DWORD pid)
    {
        if (pid == 0 || !wordProcesses().count(pid))
            return;
        if (std::shared_ptr<void> handle = openProcess(pid)) {
            std::lock_guard lock(mutex);
            process = std::move(handle);
        }
    }
    bool terminate()
    {
        std::lock_guard lock(mutex);
        return process && TerminateProcess(process.get(), 1);
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
            objects->claimNew();
            objects->terminate();
        });
    if (!inTime) {
        word->m_ended = true;
        throw SystemFailure("Word did not start within " + seconds(word->m_ownership.limits.start) +
                            ".");
    }
    return word;
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
            // A start that fails is Word's or the system's, never the
            // document's.
            if (FAILED(hr) && ComDispatch::notInstalled(hr))
                throw NotInstalled(ComDispatch::describe(hr, nullptr));
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
    const bool inTime =
        m_apartment->run([objects = m_objects, result, task] { *result = task(*objects); }, limit,
                         m_ownership.whileWaiting, [objects = m_objects] { objects->terminate(); });
    if (inTime)
        return *result;
    // The call never came back: a dialog nobody can answer, most likely.
    if (m_objects->ours()) {
        m_ended = true;
        throw AutomationError("Word did not answer within " + seconds(limit) + " and was stopped.");
    }
    throw AutomationError("Word did not answer within " + seconds(limit) +
                          ". Word may still be running.");
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
        o.application.put("AutomationSecurity", ComVariant(ForceDisableMacros));
        o.application.put("DisplayAlerts", ComVariant(NoAlerts));
        const std::string noPassword = NoPassword;
        o.document = o.adopt(o.documents.call("Open", {ComVariant(path)},
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
    call(m_ownership.limits.call, [collate, background, fileName, range](Objects &o) {
        std::vector<ComDispatch::NamedArgument> named{{"Collate", ComVariant(collate)},
                                                      {"Background", ComVariant(background)},
                                                      {"fileName", ComVariant(fileName)}};
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
    const bool leave =
        call(m_ownership.limits.quit, [saveChanges](Objects &o) {
            if (o.documents.isNull())
                o.documents = o.adopt(o.application.get("Documents"));
            const long ours = o.document.isNull() ? 0 : 1;
            if (o.documents.get("Count").toLong() > ours) {
                if (!o.document.isNull())
                    o.document.call("Close", {}, {{"SaveChanges", ComVariant(DoNotSaveChanges)}});
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
    } catch (const AutomationError &e) {
        if (!m_ownership.live)
            throw;
        // A Word of ours that refused to quit is ended all the same;
        // without a process certainly ours, nothing can be ended for it.
        const bool ours = m_objects->ours();
        endProcess();
        if (!ours)
            throw AutomationError(std::string(e.what()) + " Word may still be running.");
        throw;
    }
}

void WordComApplication::end()
{
    if (m_ended)
        return;
    // In the middle of a call (the program ends while Word hangs): nothing
    // more can be asked of it.
    if (m_apartment->busy() || m_apartment->abandoned()) {
        endProcess();
        return;
    }
    try {
        quitOrLeave(false);
    } catch (const AutomationError &) {
        endProcess();
    }
}

void WordComApplication::endProcess()
{
    m_objects->terminate();
    m_ended = true;
    if (m_ownership.live)
        m_ownership.live->erase(this);
}

} // namespace automation
