// protect_document IN OUT PASSWORD
// Stores the document IN as OUT, encrypted with PASSWORD, through a private
// office instance (OUT's extension picks .docx or .odt). A test helper.

#include "OfficeProcess.h"
#include "OfficeProfiles.h"
#include "UnoRuntime.h"
#include "UnoText.h"

#include <com/sun/star/beans/PropertyValue.hpp>
#include <com/sun/star/connection/NoConnectException.hpp>
#include <com/sun/star/frame/Desktop.hpp>
#include <com/sun/star/frame/XComponentLoader.hpp>
#include <com/sun/star/frame/XStorable.hpp>
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

int main(int argc, char *argv[])
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: protect_document IN OUT PASSWORD\n");
        return 2;
    }
    const std::string in = argv[1], out = argv[2], password = argv[3];
    const std::string program = "/usr/lib/libreoffice/program";
    const auto profile = std::filesystem::temp_directory_path() / ("protect-" + randomToken());
    const std::string pipe = "protect-" + randomToken();
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
        const beans::PropertyValue load[] = {prop("Hidden", uno::Any(true))};
        const auto document =
            loader->loadComponentFromURL(url(in), "_blank", 0, uno::Sequence(load, 1));
        const uno::Reference<frame::XStorable> storable(document, uno::UNO_QUERY_THROW);
        const bool odt = out.size() > 4 && out.substr(out.size() - 4) == ".odt";
        const beans::PropertyValue store[] = {
            prop("FilterName",
                 uno::Any(rtl::OUString::createFromAscii(odt ? "writer8" : "MS Word 2007 XML"))),
            prop("Password", uno::Any(fromUtf8(password)))};
        storable->storeToURL(url(out), uno::Sequence(store, 2));
        uno::Reference<util::XCloseable>(document, uno::UNO_QUERY_THROW)->close(true);
        try {
            desktop->terminate();
        } catch (const uno::Exception &) {
        }
    } catch (const uno::Exception &e) {
        std::fprintf(stderr, "protect_document: %s\n", toUtf8(e.Message).c_str());
        return finish(1);
    } catch (const std::exception &e) {
        std::fprintf(stderr, "protect_document: %s\n", e.what());
        return finish(1);
    }
    return finish(0);
}
