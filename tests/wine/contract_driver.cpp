// Drives the COM automation layer the way the program does, one case per
// run, and prints what happened; run-contract-tests.sh checks the output and
// the stand-in's call log.
//   contract_driver print PATH PRINTER   the program's own print sequence
//   contract_driver check                start an instance and quit it (no argument)
//   contract_driver attach               attach to a running instance, test its name
//   contract_driver open-unguarded PATH  Documents.Open(PATH) and nothing else,
//                                        as Word's defaults would have it

#include "ComDispatch.h"
#include "PrintSequence.h"
#include "WordComProcessor.h"

#include <shellapi.h>
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
    int busyYields = 0;
    WordComProcessor word([&busyYields] { ++busyYields; });
    const std::string mode = args[1];
    if (mode == "print" && argc == 4) {
        const PrintSteps steps{[&args] { return args[3]; }, noteWait, [] {}, {}};
        try {
            const auto failure = printDocument(word, args[2], steps);
            std::printf(failure ? "could not print: %s\n" : "printed\n",
                        failure ? failure->c_str() : "");
        } catch (const AutomationError &e) {
            std::printf("not opened: %s\n", e.what());
        }
        if (busyYields > 0)
            std::printf("yields while busy: %d\n", busyYields);
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
    if (mode == "open-unguarded" && argc == 3) {
        CLSID clsid{};
        IDispatch *raw = nullptr;
        if (FAILED(CLSIDFromProgID(L"Word.Application", &clsid)) ||
            FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_LOCAL_SERVER | CLSCTX_INPROC_SERVER,
                                    IID_IDispatch, reinterpret_cast<void **>(&raw))))
            return 1;
        ComDispatch application(raw);
        ComDispatch documents(application.get("Documents").takeDispatch());
        ComDispatch document(documents.call("Open", {ComVariant(args[2])}).takeDispatch());
        application.call("Quit", {ComVariant(false)});
        std::printf("opened\n");
        return 0;
    }
    return 2;
}
