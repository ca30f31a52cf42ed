// Test helper working through a private office instance.
// office_helper IN OUT PASSWORD
//   Stores the document IN as OUT, encrypted with PASSWORD (OUT's extension
//   picks .docx or .odt).
// office_helper --macro IN OUT MARKER
//   Stores IN as OUT with a Basic macro bound to the document's load event
//   that creates the file MARKER when it runs.
// office_helper --open-with-macros IN
//   Opens IN visibly with every macro allowed, as a careless office would:
//   the control that shows a document's macro is live.

#include "OfficeProcess.h"
#include "OfficeProfiles.h"
#include "UnoRuntime.h"
#include "UnoText.h"

#include <com/sun/star/beans/PropertyValue.hpp>
#include <com/sun/star/connection/NoConnectException.hpp>
#include <com/sun/star/container/XNameContainer.hpp>
#include <com/sun/star/container/XNameReplace.hpp>
#include <com/sun/star/document/XEmbeddedScripts.hpp>
#include <com/sun/star/document/XEventsSupplier.hpp>
#include <com/sun/star/frame/Desktop.hpp>
#include <com/sun/star/frame/XComponentLoader.hpp>
#include <com/sun/star/frame/XStorable.hpp>
#include <com/sun/star/script/XLibraryContainer.hpp>
#include <com/sun/star/util/XCloseable.hpp>
#include <osl/file.hxx>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <thread>

using namespace css;
using namespace automation;

static beans::PropertyValue prop(const char *name, const uno::Any &value)
{
    beans::PropertyValue p;
    p.Name = rtl::OUString::createFromAscii(name);
    p.Value = value;
    return p;
}

static rtl::OUString url(const std::string &path)
{
    rtl::OUString u;
    osl::FileBase::getFileURLFromSystemPath(fromUtf8(std::filesystem::absolute(path).string()), u);
    return u;
}

// Adds Module1.AutoOpen, which writes the marker file, and runs it on load.
static void addAutoRunMacro(const uno::Reference<lang::XComponent> &document,
                            const std::string &marker)
{
    const uno::Reference<document::XEmbeddedScripts> scripts(document, uno::UNO_QUERY_THROW);
    const uno::Reference<script::XLibraryContainer> libraries(scripts->getBasicLibraries(),
                                                              uno::UNO_QUERY_THROW);
    if (!libraries->hasByName("Standard"))
        libraries->createLibrary("Standard");
    const uno::Reference<container::XNameContainer> library(libraries->getByName("Standard"),
                                                            uno::UNO_QUERY_THROW);
    const std::string source = "Sub AutoOpen\nOpen \"" + marker +
                               "\" For Output As #1\nPrint #1, \"ran\"\nClose #1\nEnd Sub\n";
    library->insertByName("Module1", uno::Any(fromUtf8(source)));
    const beans::PropertyValue event[] = {
        prop("EventType", uno::Any(rtl::OUString::createFromAscii("Script"))),
        prop("Script", uno::Any(rtl::OUString::createFromAscii(
                           "vnd.sun.star.script:Standard.Module1.AutoOpen?language=Basic&"
                           "location=document")))};
    const uno::Reference<document::XEventsSupplier> events(document, uno::UNO_QUERY_THROW);
    events->getEvents()->replaceByName("OnLoad", uno::Any(uno::Sequence(event, 2)));
}

int main(int argc, char *argv[])
{
    const bool macro = argc == 5 && std::string(argv[1]) == "--macro";
    const bool runMacros = argc == 3 && std::string(argv[1]) == "--open-with-macros";
    if (argc != 4 && !macro && !runMacros) {
        std::fprintf(stderr, "usage: office_helper [--macro] IN OUT PASSWORD|MARKER\n"
                             "       office_helper --open-with-macros IN\n");
        return 2;
    }
    if (macro || runMacros)
        ++argv;
    const std::string in = argv[1], out = runMacros ? "" : argv[2],
                      password = runMacros ? "" : argv[3];
    const std::string program = "/usr/lib/libreoffice/program";
    const auto profile =
        std::filesystem::temp_directory_path() / ("office-helper-" + randomToken());
    // Named like our own instances, so that no test takes it for the user's office.
    const std::string pipe = "marrowlake-helper-" + randomToken();
    std::unique_ptr<OfficeProcess> process;
    auto finish = [&](int status) {
        if (process && !process->waitForExit(std::chrono::seconds(5)))
            process->kill();
        process.reset();
        std::error_code ignored;
        std::filesystem::remove_all(profile, ignored);
        return status;
    };
    try {
        UnoRuntime runtime(program);
        uno::Reference<uno::XComponentContext> remote;
        for (int launch = 0; launch < 3 && !remote.is(); ++launch) {
            process = std::make_unique<OfficeProcess>(
                program + "/soffice.bin",
                std::vector<std::string>{
                    "--headless", "--invisible", "--norestore", "--nodefault", "--nolockcheck",
                    "-env:UserInstallation=" + OfficeProfiles::fileUrl(profile),
                    "--accept=pipe,name=" + pipe + ";urp;StarOffice.ComponentContext"});
            for (int i = 0; i < 600 && process->running() && !remote.is(); ++i) {
                try {
                    remote = runtime.connect(pipe);
                } catch (const connection::NoConnectException &) {
                    std::this_thread::sleep_for(std::chrono::milliseconds(50));
                }
            }
            if (!remote.is())
                process.reset(); // ended to restart with its new profile; try again
        }
        if (!remote.is())
            throw std::runtime_error("the office did not start");
        const auto desktop = frame::Desktop::create(remote);
        const uno::Reference<frame::XComponentLoader> loader(desktop, uno::UNO_QUERY_THROW);
        const beans::PropertyValue load[] = {
            prop("Hidden", uno::Any(!runMacros)),
            prop("MacroExecutionMode", uno::Any(sal_Int16(runMacros ? 4 : 0)))};
        const auto document =
            loader->loadComponentFromURL(url(in), "_blank", 0, uno::Sequence(load, 2));
        if (runMacros) {
            std::this_thread::sleep_for(std::chrono::seconds(1)); // events run after loading
            uno::Reference<util::XCloseable>(document, uno::UNO_QUERY_THROW)->close(true);
            try {
                desktop->terminate();
            } catch (const uno::Exception &) {
            }
            return finish(0);
        }
        const uno::Reference<frame::XStorable> storable(document, uno::UNO_QUERY_THROW);
        const bool odt = out.size() > 4 && out.substr(out.size() - 4) == ".odt";
        const beans::PropertyValue store[] = {
            prop("FilterName",
                 uno::Any(rtl::OUString::createFromAscii(odt ? "writer8" : "MS Word 2007 XML"))),
            prop("Password", uno::Any(fromUtf8(password)))};
        if (macro)
            addAutoRunMacro(document, password);
        storable->storeToURL(url(out), uno::Sequence(store, macro ? 1 : 2));
        uno::Reference<util::XCloseable>(document, uno::UNO_QUERY_THROW)->close(true);
        try {
            desktop->terminate();
        } catch (const uno::Exception &) {
        }
    } catch (const uno::Exception &e) {
        std::fprintf(stderr, "office_helper: %s\n", toUtf8(e.Message).c_str());
        return finish(1);
    } catch (const std::exception &e) {
        std::fprintf(stderr, "office_helper: %s\n", e.what());
        return finish(1);
    }
    return finish(0);
}
