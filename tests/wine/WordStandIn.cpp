// WINWORD.exe for the Wine tests: a stand-in for Word's automation server
// that behaves as Word is documented to. It is a local server of its own
// process, one process per instance (a single-use class object), started
// with -Embedding when an instance is created; Quit, or the last reference
// released, ends the process. It logs every call with its argument names and
// values, and is told by its environment (which the creating program hands
// on) what to do besides:
//   WORD_STANDIN_LOG        file the calls are appended to
//   WORD_STANDIN_FAIL       "Member=Description", several separated by "|":
//                           that member fails with that description
//   WORD_STANDIN_NAME       what the default member answers ("Microsoft Word")
//   WORD_STANDIN_PENDING    BackgroundPrintingStatus readings before 0 (2)
//   WORD_STANDIN_BUSY       "Member=N": that member is refused as busy N times
//   WORD_STANDIN_BUSY_START seconds after its start during which every call,
//                           the name look-up included, is refused as busy
//   WORD_STANDIN_USER_DOCUMENT  a document of the user's is open in the
//                           instance besides ours (Word attaches documents the
//                           user opens to a running invisible instance)
//   WORD_STANDIN_SPAWN      "N=PROGRAM": creating an instance starts PROGRAM N
//                           times, as another Word started at that moment would
//   WORD_STANDIN_MARKER     file written when a document whose name holds
//                           "macro" is opened while AutomationSecurity is not 3
//                           (its macro would run)
// Documents.Open blocks for good, as a dialog nobody sees would, for a
// document whose name holds "dialog", and for one whose name holds
// "protected" unless PasswordDocument is given (which then fails, the
// password being wrong). Setting ActivePrinter makes that printer the
// Windows default printer (the user's "Device" setting), as Word documents;
// WordBasic's FilePrintSetup does so unless DoNotSetAsSysDefault is 1.
//   WINWORD.exe -Embedding             as COM starts it
//   WINWORD.exe /running READY STOP    a Word the user runs: registered as
//                                      the running instance until STOP exists
//   WINWORD.exe /idle                  another WINWORD.EXE that does nothing

#include <windows.h>

#include <objbase.h>
#include <oleauto.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

const CLSID WordClass = {0x000209FF, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

LONG g_objects = 0;
bool g_served = false;
ULONGLONG g_started = 0;
HWND g_window = nullptr;

std::string narrow(const wchar_t *text)
{
    if (!text)
        return {};
    const int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string out(size_t(n > 0 ? n - 1 : 0), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), n, nullptr, nullptr);
    return out;
}

std::wstring wide(const std::string &text)
{
    const int n = MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, nullptr, 0);
    std::wstring out(size_t(n > 0 ? n - 1 : 0), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, out.data(), n);
    return out;
}

std::string env(const char *name, const char *fallback = "")
{
    const char *value = std::getenv(name);
    return value ? value : fallback;
}

void log(const std::string &line)
{
    const std::string path = env("WORD_STANDIN_LOG");
    if (path.empty())
        return;
    if (FILE *f = std::fopen(path.c_str(), "ab")) {
        std::fprintf(f, "%s\n", line.c_str());
        std::fclose(f);
    }
}

std::string show(const VARIANT &v)
{
    switch (v.vt) {
    case VT_BOOL:
        return v.boolVal ? "true" : "false";
    case VT_BSTR:
        return narrow(v.bstrVal);
    case VT_I4:
        return std::to_string(v.lVal);
    case VT_I2:
        return std::to_string(v.iVal);
    default:
        return "<vt " + std::to_string(v.vt) + ">";
    }
}

long number(const VARIANT &v)
{
    VARIANT n;
    VariantInit(&n);
    if (FAILED(VariantChangeType(&n, const_cast<VARIANT *>(&v), 0, VT_I4)))
        return -1;
    return n.lVal;
}

// What the Windows default printer is: the user's "Device" setting.
void makeDefaultPrinter(const std::string &printer)
{
    const std::wstring device = wide(printer + ",winspool,Ne00:");
    RegSetKeyValueW(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows",
                    L"Device", REG_SZ, device.c_str(),
                    DWORD((device.size() + 1) * sizeof(wchar_t)));
}

struct Member
{
    const wchar_t *name;
    DISPID id;
};

const Member members[] = {{L"Name", DISPID_VALUE},
                          {L"Documents", 2},
                          {L"Open", 3},
                          {L"ActivePrinter", 4},
                          {L"PrintOut", 5},
                          {L"Application", 6},
                          {L"BackgroundPrintingStatus", 7},
                          {L"Quit", 8},
                          {L"AutomationSecurity", 9},
                          {L"DisplayAlerts", 10},
                          {L"Count", 11},
                          {L"Close", 12},
                          {L"ActiveWindow", 13},
                          {L"Hwnd", 14},
                          {L"WordBasic", 15},
                          {L"FilePrintSetup", 16},
                          {L"Collate", 101},
                          {L"Background", 102},
                          {L"fileName", 103},
                          {L"ConfirmConversions", 104},
                          {L"ReadOnly", 105},
                          {L"AddToRecentFiles", 106},
                          {L"PasswordDocument", 107},
                          {L"WritePasswordDocument", 108},
                          {L"Revert", 109},
                          {L"Visible", 110},
                          {L"NoEncodingDialog", 111},
                          {L"SaveChanges", 112},
                          {L"Printer", 113},
                          {L"DoNotSetAsSysDefault", 114},
                          {L"OpenAndRepair", 115},
                          {L"NoRepairDialog", 116},
                          {L"Copies", 117},
                          {L"Range", 118},
                          {L"Pages", 119}};

std::string nameOf(DISPID id)
{
    for (const Member &m : members)
        if (m.id == id)
            return narrow(m.name);
    return "?" + std::to_string(id);
}

enum class Kind
{
    Application,
    Documents,
    Document,
    Window,
    WordBasic
};

// Refused as a busy Word refuses: during its start, or as often as told.
bool refusedAsBusy(const std::string &member)
{
    const int startSeconds = std::atoi(env("WORD_STANDIN_BUSY_START", "0").c_str());
    if (GetTickCount64() - g_started < ULONGLONG(startSeconds) * 1000)
        return true;
    static int refused = 0;
    const std::string rule = env("WORD_STANDIN_BUSY");
    const auto eq = rule.find('=');
    if (member.empty() || eq == std::string::npos || rule.substr(0, eq) != member ||
        refused >= std::atoi(rule.c_str() + eq + 1))
        return false;
    ++refused;
    return true;
}

class StandIn : public IDispatch
{
public:
    StandIn(Kind kind, StandIn *application) : m_kind(kind), m_application(application)
    {
        InterlockedIncrement(&g_objects);
        if (m_application)
            m_application->AddRef();
    }
    virtual ~StandIn()
    {
        if (m_application)
            m_application->Release();
        // The last reference gone: an automation instance ends, unless the
        // user has a document open in it.
        if (InterlockedDecrement(&g_objects) == 0 && g_served &&
            env("WORD_STANDIN_USER_DOCUMENT").empty())
            PostQuitMessage(0);
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void **out) override
    {
        if (riid == IID_IUnknown || riid == IID_IDispatch) {
            *out = static_cast<IDispatch *>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ULONG(InterlockedIncrement(&m_refs)); }
    ULONG STDMETHODCALLTYPE Release() override
    {
        const LONG n = InterlockedDecrement(&m_refs);
        if (n == 0)
            delete this;
        return ULONG(n);
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT *count) override
    {
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo **) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR *names, UINT count, LCID,
                                            DISPID *ids) override
    {
        if (refusedAsBusy(""))
            return RPC_E_CALL_REJECTED;
        HRESULT result = S_OK;
        for (UINT i = 0; i < count; ++i) {
            ids[i] = DISPID_UNKNOWN;
            for (const Member &m : members)
                if (_wcsicmp(m.name, names[i]) == 0)
                    ids[i] = m.id;
            if (ids[i] == DISPID_UNKNOWN)
                result = DISP_E_UNKNOWNNAME;
        }
        return result;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS *params,
                                     VARIANT *result, EXCEPINFO *info, UINT *) override;

private:
    HRESULT fail(const std::string &member, EXCEPINFO *info, const std::string &forced = {})
    {
        std::string description = forced;
        const std::string rules = env("WORD_STANDIN_FAIL") + "|";
        for (size_t start = 0, end;
             description.empty() && (end = rules.find('|', start)) != std::string::npos;
             start = end + 1) {
            const std::string rule = rules.substr(start, end - start);
            const auto eq = rule.find('=');
            if (eq != std::string::npos && rule.substr(0, eq) == member)
                description = rule.substr(eq + 1);
        }
        if (description.empty())
            return S_OK;
        if (info) {
            *info = EXCEPINFO{};
            info->scode = static_cast<SCODE>(0x800A1066);
            info->bstrSource = SysAllocString(L"Microsoft Word");
            info->bstrDescription = SysAllocString(wide(description).c_str());
        }
        return DISP_E_EXCEPTION;
    }

    static HRESULT object(VARIANT *result, IDispatch *dispatch)
    {
        result->vt = VT_DISPATCH;
        result->pdispVal = dispatch;
        return S_OK;
    }

    LONG m_refs = 1;
    Kind m_kind;
    StandIn *m_application;
    int m_pending = 0;
    int m_ours = 0;      // documents this instance opened
    long m_security = 1; // msoAutomationSecurityLow: Word's own default
};

HRESULT StandIn::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS *params, VARIANT *result,
                        EXCEPINFO *info, UINT *)
{
    const std::string member = nameOf(id);
    // The arguments as the caller wrote them: positional first, then named.
    std::string args;
    const UINT named = params ? params->cNamedArgs : 0;
    const UINT total = params ? params->cArgs : 0;
    const bool put = flags & DISPATCH_PROPERTYPUT;
    auto namedValue = [&](DISPID wanted) -> const VARIANT * {
        for (UINT i = 0; i < named; ++i)
            if (params->rgdispidNamedArgs[i] == wanted)
                return &params->rgvarg[i];
        return nullptr;
    };
    for (UINT i = total; i-- > named;)
        args += (args.empty() ? "" : ", ") + show(params->rgvarg[i]);
    for (UINT i = named; i-- > 0;) {
        if (put)
            continue;
        const DISPID arg = params->rgdispidNamedArgs[i];
        // Passwords are not written down, only that one was given.
        const bool secret = arg == 107 || arg == 108;
        args += (args.empty() ? "" : ", ") + nameOf(arg) + "=" +
                (secret ? std::string("<given>") : show(params->rgvarg[i]));
    }
    if (put)
        log(member + "=" + show(params->rgvarg[0]));
    else if (flags & DISPATCH_METHOD && !(flags & DISPATCH_PROPERTYGET))
        log(member + "(" + args + ")");
    else
        log(member);

    if (refusedAsBusy(member))
        return RPC_E_CALL_REJECTED;
    if (const HRESULT hr = fail(member, info); FAILED(hr))
        return hr;
    if (result)
        VariantInit(result);
    StandIn *application = m_kind == Kind::Application ? this : m_application;
    switch (id) {
    case DISPID_VALUE:
        result->vt = VT_BSTR;
        result->bstrVal = SysAllocString(wide(env("WORD_STANDIN_NAME", "Microsoft Word")).c_str());
        return S_OK;
    case 2: // Documents
        return object(result, new StandIn(Kind::Documents, this));
    case 6: // Application
        AddRef();
        return object(result, this);
    case 15: // WordBasic
        return object(result, new StandIn(Kind::WordBasic, this));
    case 3: { // Documents.Open
        if (m_kind != Kind::Documents || total - named != 1)
            return DISP_E_BADPARAMCOUNT;
        const std::string path = show(params->rgvarg[total - 1]);
        if (path.find("dialog") != std::string::npos)
            Sleep(INFINITE); // a question nobody sees
        if (path.find("protected") != std::string::npos) {
            if (!namedValue(107))
                Sleep(INFINITE); // the password question nobody sees
            return fail(member, info, "The password is incorrect.");
        }
        if (path.find("macro") != std::string::npos && m_application->m_security != 3) {
            if (FILE *f = std::fopen(env("WORD_STANDIN_MARKER").c_str(), "wb"))
                std::fclose(f);
        }
        ++m_application->m_ours;
        return object(result, new StandIn(Kind::Document, m_application));
    }
    case 11: // Documents.Count
        result->vt = VT_I4;
        result->lVal = application->m_ours + (env("WORD_STANDIN_USER_DOCUMENT").empty() ? 0 : 1);
        return S_OK;
    case 12: // Document.Close
        --application->m_ours;
        return S_OK;
    case 13: // Document.ActiveWindow
        return object(result, new StandIn(Kind::Window, application));
    case 14: // Window.Hwnd
        result->vt = VT_I4;
        result->lVal = LONG(reinterpret_cast<LONG_PTR>(g_window));
        return S_OK;
    case 4: // ActivePrinter
        if (!put)
            return DISP_E_MEMBERNOTFOUND;
        makeDefaultPrinter(show(params->rgvarg[0]));
        return S_OK;
    case 16: { // WordBasic.FilePrintSetup
        const VARIANT *printer = namedValue(113);
        const VARIANT *notDefault = namedValue(114);
        if (!printer)
            return DISP_E_PARAMNOTOPTIONAL;
        if (!notDefault || number(*notDefault) != 1)
            makeDefaultPrinter(show(*printer));
        return S_OK;
    }
    case 9: // AutomationSecurity
        if (!put)
            return DISP_E_MEMBERNOTFOUND;
        m_security = params->rgvarg[0].vt == VT_I4 ? params->rgvarg[0].lVal : -1;
        return S_OK;
    case 10: // DisplayAlerts
        return put ? S_OK : DISP_E_MEMBERNOTFOUND;
    case 5: // PrintOut
        m_pending = std::atoi(env("WORD_STANDIN_PENDING", "2").c_str());
        return S_OK;
    case 7:
        result->vt = VT_I4;
        result->lVal = m_pending > 0 ? m_pending-- : 0;
        return S_OK;
    case 8: // Quit: the process ends once the answer is sent
        PostQuitMessage(0);
        return S_OK;
    default:
        return DISP_E_MEMBERNOTFOUND;
    }
}

void startProcess(std::string commandLine)
{
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, DETACHED_PROCESS,
                       nullptr, nullptr, &startup, &process)) {
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
}

// Starts the processes WORD_STANDIN_SPAWN asks for; they run on their own.
void spawnProcesses()
{
    const std::string rule = env("WORD_STANDIN_SPAWN");
    const auto equals = rule.find('=');
    if (equals == std::string::npos)
        return;
    const int count = std::atoi(rule.substr(0, equals).c_str());
    for (int i = 0; i < count; ++i)
        startProcess("\"" + rule.substr(equals + 1) + "\" /idle");
}

class Factory : public IClassFactory
{
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void **out) override
    {
        if (riid == IID_IUnknown || riid == IID_IClassFactory) {
            *out = static_cast<IClassFactory *>(this);
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown *outer, REFIID riid, void **out) override
    {
        if (outer)
            return CLASS_E_NOAGGREGATION;
        log("CreateInstance");
        spawnProcesses();
        StandIn *application = new StandIn(Kind::Application, nullptr);
        const HRESULT hr = application->QueryInterface(riid, out);
        application->Release();
        g_served = true;
        return hr;
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }
};

Factory g_factory;

void serve(const char *stopFile = nullptr)
{
    MSG msg;
    for (;;) {
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT)
                return;
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        if (stopFile && GetFileAttributesA(stopFile) != INVALID_FILE_ATTRIBUTES)
            return;
        // Started, but no instance was ever asked of it.
        if (!stopFile && !g_served && GetTickCount64() - g_started > 120'000)
            return;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
    }
}

} // namespace

int main(int argc, char *argv[])
{
    g_started = GetTickCount64();
    if (argc >= 2 && _stricmp(argv[1], "/idle") == 0) {
        Sleep(60000);
        return 0;
    }
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    // The window Word's documents are shown in; Window.Hwnd names it.
    g_window = CreateWindowExW(0, L"STATIC", L"Word", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr,
                               nullptr);
    if (argc == 4 && _stricmp(argv[1], "/running") == 0) {
        IUnknown *word = new StandIn(Kind::Application, nullptr);
        DWORD cookie = 0;
        if (FAILED(RegisterActiveObject(word, WordClass, ACTIVEOBJECT_STRONG, &cookie)))
            return 5;
        if (FILE *ready = std::fopen(argv[2], "w"))
            std::fclose(ready);
        serve(argv[3]);
        RevokeActiveObject(cookie, nullptr);
        word->Release();
        CoUninitialize();
        return 0;
    }
    // As COM starts a local server: one instance, then the process ends.
    DWORD cookie = 0;
    if (FAILED(CoRegisterClassObject(WordClass, &g_factory, CLSCTX_LOCAL_SERVER, REGCLS_SINGLEUSE,
                                     &cookie)))
        return 3;
    serve();
    CoRevokeClassObject(cookie);
    CoUninitialize();
    return 0;
}
