// Drives the COM automation layer the way the program does, one case per
// run, and prints what happened; run-contract-tests.sh checks the output and
// the stand-in's call log.
//   contract_driver print PRINTER PATH...  the program's own print sequence,
//                                        one instance per document
// CONTRACT_CALL_LIMIT, CONTRACT_QUIT_LIMIT, CONTRACT_START_LIMIT and
// CONTRACT_IDLE_LIMIT (seconds) shorten the limits on a call into Word, on
// Quit, on a start and on a Word that does nothing; CONTRACT_BUSY_LIMIT the
// time a busy Word is asked again. A failure after the job was spooled is
// printed as "printed (warning: TEXT)".
//   contract_driver check                start an instance and quit it (no argument)
//   contract_driver attach               attach to a running instance, test its name
//   contract_driver open-unguarded PATH PRINTER  Documents.Open(PATH) and
//                                        ActivePrinter=PRINTER, with Word's
//                                        defaults as they are
//   contract_driver member OBJECT NAME [ARGUMENT]  whether a new instance's
//                                        Application or Documents object knows
//                                        the member, and the member the named
//                                        argument ("accepted" or "rejected")
//   contract_driver processes NAME       how many processes of this Wine
//                                        prefix run the image NAME
//   contract_driver rows PIPE            the number of rows of the window
//                                        that listens on the pipe PIPE

#include "ComDispatch.h"
#include "PrintSequence.h"
#include "WordComProcessor.h"

#include <chrono>
#include <shellapi.h>
#include <tlhelp32.h>
#include <vector>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <io.h>

using namespace automation;

namespace {

// The one-second wait is written into the stand-in's log, where it falls.
void noteWait(int seconds)
{
    if (const char *log = std::getenv("WORD_STANDIN_LOG"))
        if (FILE *f = std::fopen(log, "ab")) {
            std::fprintf(f, "wait %d\n", seconds);
            std::fclose(f);
        }
}

} // namespace

int main()
{
    _setmode(_fileno(stdout), _O_BINARY);
    // The arguments as UTF-8, whatever the ANSI code page would make of them.
    int argc = 0;
    wchar_t **wideArgs = CommandLineToArgvW(GetCommandLineW(), &argc);
    std::vector<std::string> args;
    for (int i = 0; i < argc; ++i)
        args.push_back(ComDispatch::narrow(wideArgs[i]));
    LocalFree(wideArgs);
    if (argc < 2)
        return 2;
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    // The caller's window, as far as the layer sees it: served while Word
    // works on a call.
    int served = 0;
    WordLimits limits;
    if (const char *seconds = std::getenv("CONTRACT_CALL_LIMIT"))
        limits.call = std::chrono::seconds(std::atoi(seconds));
    if (const char *seconds = std::getenv("CONTRACT_BUSY_LIMIT"))
        limits.busy = std::chrono::seconds(std::atoi(seconds));
    if (const char *seconds = std::getenv("CONTRACT_QUIT_LIMIT"))
        limits.quit = std::chrono::seconds(std::atoi(seconds));
    if (const char *seconds = std::getenv("CONTRACT_START_LIMIT"))
        limits.start = std::chrono::seconds(std::atoi(seconds));
    if (const char *seconds = std::getenv("CONTRACT_IDLE_LIMIT"))
        limits.progress.idle = std::chrono::seconds(std::atoi(seconds));
    // Wine's spooler adds no printer on a FILE: port (localspl refuses to
    // open one), so CONTRACT_FILE_PORT names a printer taken to be on FILE:;
    // every other printer's port is the spooler's word.
    const std::string filePortPrinter =
        std::getenv("CONTRACT_FILE_PORT") ? std::getenv("CONTRACT_FILE_PORT") : "";
    WordComProcessor word([&served] { ++served; }, limits,
                          [&filePortPrinter](const std::string &printer) {
                              return printer == filePortPrinter ? std::string("FILE:")
                                                                : filePromptingPort(printer);
                          });
    const std::string mode = args[1];
    if (mode == "print" && argc >= 4) {
        std::string warning;
        PrintSteps steps{[&args] { return args[2]; },
                         noteWait,
                         [] {},
                         {},
                         {},
                         {},
                         [&warning](const std::string &text) { warning = text; }};
        if (const char *copies = std::getenv("CONTRACT_COPIES"))
            steps.range.copies = std::atoi(copies);
        if (const char *pages = std::getenv("CONTRACT_PAGES"))
            steps.range.pages = pages;
        for (size_t i = 3; i < args.size(); ++i) {
            served = 0;
            warning.clear();
            try {
                const auto failure = printDocument(word, args[i], steps);
                if (failure)
                    std::printf("could not print: %s\n", failure->c_str());
                else if (!warning.empty())
                    std::printf("printed (warning: %s)\n", warning.c_str());
                else
                    std::printf("printed\n");
            } catch (const AutomationError &e) {
                std::printf("not opened: %s\n", e.what());
            }
            // Every 15 ms or so while a call was under way.
            std::fprintf(stderr, "window served %d times\n", served);
        }
        return 0;
    }
    if (mode == "check") {
        try {
            word.createInstance()->Quit(std::nullopt);
            std::printf("installed\n");
        } catch (const AutomationError &e) {
            std::printf("not installed: %s\n", e.what());
        }
        return 0;
    }
    if (mode == "attach") {
        try {
            auto running = word.attachToRunning();
            const std::string name = running->Name();
            std::printf("running: %s (%s)\n", name.c_str(),
                        name == word.expectedName() ? "Word" : "not Word");
        } catch (const AutomationError &e) {
            std::printf("none running: %s\n", e.what());
        }
        return 0;
    }
    if (mode == "processes" && argc == 3) {
        const std::wstring image = ComDispatch::wide(args[2]);
        int count = 0;
        const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
        PROCESSENTRY32W entry{};
        entry.dwSize = sizeof entry;
        for (BOOL more = Process32FirstW(snapshot, &entry); more;
             more = Process32NextW(snapshot, &entry))
            count += _wcsicmp(entry.szExeFile, image.c_str()) == 0;
        CloseHandle(snapshot);
        std::printf("%d\n", count);
        return 0;
    }
    if (mode == "rows" && argc == 3) {
        // The one-window channel's request without paths: "ok N" comes back.
        const std::wstring pipe = L"\\\\.\\pipe\\" + ComDispatch::wide(args[2]);
        const HANDLE channel = CreateFileW(pipe.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                           OPEN_EXISTING, 0, nullptr);
        if (channel == INVALID_HANDLE_VALUE)
            return 1;
        DWORD done = 0;
        char reply[64] = {};
        WriteFile(channel, "\0", 1, &done, nullptr);
        ReadFile(channel, reply, sizeof reply - 1, &done, nullptr);
        CloseHandle(channel);
        std::printf("%s", std::strncmp(reply, "ok ", 3) == 0 ? reply + 3 : "?\n");
        return 0;
    }
    if (mode == "member" && (argc == 4 || argc == 5)) {
        CLSID clsid{};
        IDispatch *raw = nullptr;
        if (FAILED(CLSIDFromProgID(L"Word.Application", &clsid)) ||
            FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_LOCAL_SERVER, IID_IDispatch,
                                    reinterpret_cast<void **>(&raw))))
            return 1;
        ComDispatch application(raw);
        ComDispatch documents(application.get("Documents").takeDispatch());
        ComDispatch &object = args[2] == "Documents" ? documents : application;
        std::vector<std::wstring> names{ComDispatch::wide(args[3])};
        if (argc == 5)
            names.push_back(ComDispatch::wide(args[4]));
        std::vector<LPOLESTR> pointers;
        for (auto &name : names)
            pointers.push_back(name.data());
        std::vector<DISPID> ids(names.size());
        const HRESULT hr = object.raw()->GetIDsOfNames(IID_NULL, pointers.data(), UINT(ids.size()),
                                                       LOCALE_USER_DEFAULT, ids.data());
        std::printf(SUCCEEDED(hr)              ? "accepted\n"
                    : hr == DISP_E_UNKNOWNNAME ? "rejected\n"
                                               : "failed\n");
        application.call("Quit", {ComVariant(false)});
        return 0;
    }
    if (mode == "open-unguarded" && argc == 4) {
        CLSID clsid{};
        IDispatch *raw = nullptr;
        if (FAILED(CLSIDFromProgID(L"Word.Application", &clsid)) ||
            FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_LOCAL_SERVER | CLSCTX_INPROC_SERVER,
                                    IID_IDispatch, reinterpret_cast<void **>(&raw))))
            return 1;
        ComDispatch application(raw);
        ComDispatch documents(application.get("Documents").takeDispatch());
        ComDispatch document(documents.call("Open", {ComVariant(args[2])}).takeDispatch());
        application.put("ActivePrinter", ComVariant(args[3]));
        application.call("Quit", {ComVariant(false)});
        std::printf("opened\n");
        return 0;
    }
    return 2;
}
