// Drives the COM automation layer the way the program does, one case per
// run, and prints what happened; run-contract-tests.sh checks the output and
// the stand-in's call log.
//   contract_driver print PRINTER PATH...  the program's own print sequence,
//                                        one instance per document
// CONTRACT_CALL_LIMIT (seconds) shortens the limit on a call into Word, and
// CONTRACT_BUSY_LIMIT the time a busy Word is asked again.
//   contract_driver check                start an instance and quit it (no argument)
//   contract_driver attach               attach to a running instance, test its name
//   contract_driver open-unguarded PATH PRINTER  Documents.Open(PATH) and
//                                        ActivePrinter=PRINTER, with Word's
//                                        defaults as they are
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
    WordComProcessor word([&served] { ++served; }, limits);
    const std::string mode = args[1];
    if (mode == "print" && argc >= 4) {
        PrintSteps steps{[&args] { return args[2]; }, noteWait, [] {}, {}, {}, {}};
        if (const char *copies = std::getenv("CONTRACT_COPIES"))
            steps.range.copies = std::atoi(copies);
        if (const char *pages = std::getenv("CONTRACT_PAGES"))
            steps.range.pages = pages;
        for (size_t i = 3; i < args.size(); ++i) {
            served = 0;
            try {
                const auto failure = printDocument(word, args[i], steps);
                std::printf(failure ? "could not print: %s\n" : "printed\n",
                            failure ? failure->c_str() : "");
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
