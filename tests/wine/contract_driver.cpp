// Drives the COM automation layer the way the program does, one case per
// run, and prints what happened; run-contract-tests.sh checks the output and
// the stand-in's call log.
//   contract_driver print PATH PRINTER   the steps of printing one document
//   contract_driver check                start an instance and quit it (no argument)
//   contract_driver attach               attach to a running instance, test its name

#include "ComDispatch.h"
#include "WordComProcessor.h"

#include <shellapi.h>
#include <vector>

#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <io.h>

using namespace automation;

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
    std::vector<const char *> argvStore;
    for (const auto &a : args)
        argvStore.push_back(a.c_str());
    const char *const *argv = argvStore.data();
    if (argc < 2)
        return 2;
    WordComProcessor word;
    const std::string mode = argv[1];
    if (mode == "print" && argc == 4) {
        std::unique_ptr<Application> app;
        std::unique_ptr<Document> document;
        try {
            app = word.CreateInstance();
            document = app->GetDocuments().Open(argv[2]);
        } catch (const AutomationError &e) {
            std::printf("not opened: %s\n", e.what());
            return 0;
        }
        try {
            app->SetActivePrinter(argv[3]);
            app->PrintOut(true, false, argv[2]);
            while (app->GetApplication().BackgroundPrintingStatus() != 0) {
            }
            app->Quit(false);
            std::printf("printed\n");
        } catch (const AutomationError &e) {
            std::printf("could not print: %s\n", e.what());
        }
        return 0;
    }
    if (mode == "check") {
        try {
            word.CreateInstance()->Quit(std::nullopt);
            std::printf("installed\n");
        } catch (const AutomationError &e) {
            std::printf("not installed: %s\n", e.what());
        }
        return 0;
    }
    if (mode == "attach") {
        try {
            auto running = word.AttachToRunning();
            const std::string name = running->Name();
            std::printf("running: %s (%s)\n", name.c_str(),
                        name == word.ExpectedName() ? "Word" : "not Word");
        } catch (const AutomationError &e) {
            std::printf("none running: %s\n", e.what());
        }
        return 0;
    }
    return 2;
}
