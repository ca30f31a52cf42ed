// A stand-in for Word's automation server, for the contract tests under
// Wine. It implements the members the program uses, logs every call with its
// argument names and values, and fails a member when told to:
//   WORD_STANDIN_LOG      file the calls are appended to
//   WORD_STANDIN_FAIL     "Member=Description": that member fails with it
//   WORD_STANDIN_NAME     what the default member answers ("Microsoft Word")
//   WORD_STANDIN_PENDING  BackgroundPrintingStatus readings before 0 (2)
//   WORD_STANDIN_BUSY     "Member=N": that member is refused as busy N times
//   WORD_STANDIN_SPAWN    "N=PROGRAM": creating an instance starts PROGRAM N
//                         times, as Word's own process would appear
//   WORD_STANDIN_MARKER   file written when a document whose name holds
//                         "macro" is opened while AutomationSecurity is not 3
//                         (its macro would run)
// A document whose name holds "protected" asks for its password, which
// nobody answers: Open blocks for good unless PasswordDocument is given (and
// then fails, the password being wrong).

#include <windows.h>

#include <oleauto.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

LONG g_objects = 0;

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
                          {L"NoEncodingDialog", 111}};

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
    Document
};

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
        InterlockedDecrement(&g_objects);
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
    HRESULT fail(const std::string &member, EXCEPINFO *info)
    {
        const std::string rule = env("WORD_STANDIN_FAIL");
        const auto eq = rule.find('=');
        if (eq == std::string::npos || rule.substr(0, eq) != member)
            return S_OK;
        if (info) {
            *info = EXCEPINFO{};
            info->scode = static_cast<SCODE>(0x800A1066);
            info->bstrSource = SysAllocString(L"Microsoft Word");
            info->bstrDescription = SysAllocString(wide(rule.substr(eq + 1)).c_str());
        }
        return DISP_E_EXCEPTION;
    }

    static HRESULT busy(const std::string &member)
    {
        static int refused = 0;
        const std::string rule = env("WORD_STANDIN_BUSY");
        const auto eq = rule.find('=');
        if (eq == std::string::npos || rule.substr(0, eq) != member ||
            refused >= std::atoi(rule.c_str() + eq + 1))
            return S_OK;
        ++refused;
        return RPC_E_CALL_REJECTED;
    }

    LONG m_refs = 1;
    Kind m_kind;
    StandIn *m_application;
    int m_pending = 0;
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
    for (UINT i = total; i-- > named;)
        args += (args.empty() ? "" : ", ") + show(params->rgvarg[i]);
    bool password = false;
    for (UINT i = named; i-- > 0;) {
        if (put)
            continue;
        const DISPID arg = params->rgdispidNamedArgs[i];
        // Passwords are not written down, only that one was given.
        const bool secret = arg == 107 || arg == 108;
        password = password || arg == 107;
        args += (args.empty() ? "" : ", ") + nameOf(arg) + "=" +
                (secret ? std::string("<given>") : show(params->rgvarg[i]));
    }
    if (put)
        log(member + "=" + show(params->rgvarg[0]));
    else if (flags & DISPATCH_METHOD && !(flags & DISPATCH_PROPERTYGET))
        log(member + "(" + args + ")");
    else
        log(member);

    if (const HRESULT hr = busy(member); FAILED(hr))
        return hr;
    if (const HRESULT hr = fail(member, info); FAILED(hr))
        return hr;
    if (result)
        VariantInit(result);
    switch (id) {
    case DISPID_VALUE:
        result->vt = VT_BSTR;
        result->bstrVal = SysAllocString(wide(env("WORD_STANDIN_NAME", "Microsoft Word")).c_str());
        return S_OK;
    case 2: // Documents
    case 6: // Application
        result->vt = VT_DISPATCH;
        result->pdispVal = id == 2 ? static_cast<IDispatch *>(new StandIn(Kind::Documents, this))
                                   : (AddRef(), static_cast<IDispatch *>(this));
        return S_OK;
    case 3: { // Documents.Open
        if (m_kind != Kind::Documents || total - named != 1)
            return DISP_E_BADPARAMCOUNT;
        const std::string path = show(params->rgvarg[total - 1]);
        if (path.find("protected") != std::string::npos) {
            if (!password)
                Sleep(INFINITE); // the password question nobody sees
            if (info) {
                *info = EXCEPINFO{};
                info->scode = static_cast<SCODE>(0x800A1520);
                info->bstrDescription = SysAllocString(L"The password is incorrect.");
            }
            return DISP_E_EXCEPTION;
        }
        if (path.find("macro") != std::string::npos && m_application->m_security != 3) {
            if (FILE *f = std::fopen(env("WORD_STANDIN_MARKER").c_str(), "wb"))
                std::fclose(f);
        }
        result->vt = VT_DISPATCH;
        result->pdispVal = new StandIn(Kind::Document, m_application);
        return S_OK;
    }
    case 4:
        return put ? S_OK : DISP_E_MEMBERNOTFOUND;
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
    case 8:
        return S_OK;
    default:
        return DISP_E_MEMBERNOTFOUND;
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
    std::string program = rule.substr(equals + 1);
    for (int i = 0; i < count; ++i) {
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process{};
        if (CreateProcessA(program.c_str(), program.data(), nullptr, nullptr, FALSE,
                           DETACHED_PROCESS, nullptr, nullptr, &startup, &process)) {
            CloseHandle(process.hThread);
            CloseHandle(process.hProcess);
        }
    }
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
        return hr;
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }
};

Factory g_factory;

} // namespace

extern "C" HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID, REFIID riid, void **out)
{
    return g_factory.QueryInterface(riid, out);
}

extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow()
{
    return g_objects == 0 ? S_OK : S_FALSE;
}
