// WINWORD.exe for the Wine tests: a stand-in for Word's automation server
// that behaves as Microsoft documents Word to. It is a local server of its
// own process, one process per instance (a single-use class object), started
// with -Embedding when an instance is created; Quit, or the last reference
// released, ends the process. Each object answers only its own members, with
// the argument names of Word's reference (StandInTables.h). It logs every
// call with its argument names and values, and what the instance's settings
// are when the program lets go of it ("released ..."). Printing makes a real
// GDI print job on the printer it was told, titled with the document's name.
//
// Told by its environment (which the creating program hands on):
//   WORD_STANDIN_LOG        file the calls are appended to
//   WORD_STANDIN_FAIL       "Member=Description", several separated by "|":
//                           that member fails with that description
//   WORD_STANDIN_NAME       what the default member answers ("Microsoft Word")
//   WORD_STANDIN_PENDING    BackgroundPrintingStatus readings before 0 (2)
//   WORD_STANDIN_BUSY       "Member=N": that member is refused as busy N times
//   WORD_STANDIN_BUSY_START seconds after its start during which every call,
//                           the name look-up included, is refused as busy
//   WORD_STANDIN_SPAWN      "N=PROGRAM": creating an instance starts PROGRAM N
//                           times, as another Word started at that moment would
//   WORD_STANDIN_MARKER     file written when a document whose name holds
//                           "macro" is opened while AutomationSecurity is not 3
//   WORD_STANDIN_TAKEOVER   "Member" or "Member,dialog": when that member is
//                           called, a user takes the instance over: it shows
//                           its window with a document of the user's, and with
//                           ",dialog" a dialog of the user's stays open, so
//                           that every later call is refused as busy. Microsoft
//                           KB Q188546: a user who starts Word while automation
//                           runs an invisible instance is handed that instance.
//   WORD_STANDIN_TAKEOVER_ONCE  a file: only the first instance is taken
//                           over (the file is made then)
//   WORD_STANDIN_SLOW_QUIT  seconds Quit works before it ends (an add-in
//                           ending; Application.Quit in Word's reference)
//   WORD_STANDIN_QUIT_PROMPT  Quit asks whether to save the global template
//                           (Options.SaveNormalPrompt in Word's reference)
//   WORD_STANDIN_SPOOL      seconds PrintOut works on the job, the processor
//                           busy (Application.PrintOut with Background false
//                           returns once the job is spooled)
//   WORD_STANDIN_OPTIONS    the user's options as Word keeps them, e.g.
//                           "UpdateFieldsAtPrint=1,UpdateLinksAtOpen=0"
//   WORD_STANDIN_START      "licence": a first start shows its licence
//                           question before the server is registered (the
//                           first-run and activation dialogs of server-side
//                           automation of Office, article 257757);
//                           "slow=N": the server is registered after N seconds
//                           (a Click-to-Run start)
// Questions nobody sees (a visible dialog of an invisible Word, its modal
// loop refusing every call): Documents.Open of a document whose name holds
// "dialog"; "protected" without PasswordDocument (Word asks for the password;
// with one that is wrong it fails); "damaged" opened with Open (Word offers
// to repair; Documents.OpenNoRepairDialog fails instead, as its reference
// page says); "links" while UpdateLinksAtOpen is on (Options.UpdateLinksAtOpen);
// PrintOut of "fillin" while UpdateFieldsAtPrint is on (FILLIN fields ask when
// updated, Options.UpdateFieldsAtPrint); PrintOut on a printer whose port is
// FILE: or PORTPROMPT: (the save dialog of printing to a file). A file that
// does not exist fails to open with Word's error 5174. ActivePrinter makes the
// printer the Windows default printer, as Word's reference says; WordBasic's
// FilePrintSetup does so unless DoNotSetAsSysDefault is 1.
//   WINWORD.exe -Embedding             as COM starts it
//   WINWORD.exe /running READY STOP    a Word the user runs: registered as
//                                      the running instance until STOP exists
//   WINWORD.exe /idle                  another WINWORD.EXE that does nothing

#include "StandInObject.h"
#include "StandInWord.h"

#include <objbase.h>

#include <cstdio>
#include <cstdlib>

using namespace standin;

namespace {

const CLSID WordClass = {0x000209FF, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

// Word's message filter: while a dialog is open, calls are refused as busy.
class BusyWhileDialog : public IMessageFilter
{
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void **out) override
    {
        if (riid == IID_IUnknown || riid == IID_IMessageFilter) {
            *out = static_cast<IMessageFilter *>(this);
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    DWORD STDMETHODCALLTYPE HandleInComingCall(DWORD, HTASK, DWORD, LPINTERFACEINFO) override
    {
        return dialogOpen ? SERVERCALL_RETRYLATER : SERVERCALL_ISHANDLED;
    }
    DWORD STDMETHODCALLTYPE RetryRejectedCall(HTASK, DWORD, DWORD) override { return DWORD(-1); }
    DWORD STDMETHODCALLTYPE MessagePending(HTASK, DWORD, DWORD) override
    {
        return PENDINGMSG_WAITDEFPROCESS;
    }
} g_filter;

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
        served = true;
        takeOverIfTold("CreateInstance");
        return hr;
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }
} g_factory;

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
        if (!stopFile && !served && GetTickCount64() - startedAt > 120'000)
            return;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
    }
}

} // namespace

int main(int argc, char *argv[])
{
    startedAt = GetTickCount64();
    if (argc >= 2 && _stricmp(argv[1], "/idle") == 0) {
        Sleep(60000);
        return 0;
    }
    // Word is a windowed program: a console's Ctrl+C never reaches it. (Wine
    // may hand a server the console of the program that started it.)
    FreeConsole();
    SetConsoleCtrlHandler(nullptr, TRUE);
    readUserOptions();
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    IMessageFilter *previous = nullptr;
    CoRegisterMessageFilter(&g_filter, &previous);
    // The window Word's documents are shown in; Window.Hwnd names it.
    documentWindow = CreateWindowExW(0, L"STATIC", L"Word", WS_OVERLAPPEDWINDOW, 0, 0, 600, 400,
                                     nullptr, nullptr, nullptr, nullptr);
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
    const std::string start = env("WORD_STANDIN_START");
    if (start == "licence") {
        // A first start's question, before Word answers anything.
        log("dialog: licence");
        openDialog(L"Microsoft Office Activation Wizard");
        serve();
        return 0;
    }
    if (start.rfind("slow=", 0) == 0)
        Sleep(DWORD(std::atoi(start.c_str() + 5)) * 1000);
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
