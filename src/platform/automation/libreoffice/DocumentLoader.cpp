#include "DocumentLoader.h"

#include "DocumentChecks.h"
#include "RefusingInteractionHandler.h"
#include "UnoText.h"
#include "WordAutomation.h"

#include <com/sun/star/document/MacroExecMode.hpp>
#include <com/sun/star/document/UpdateDocMode.hpp>
#include <com/sun/star/frame/XComponentLoader.hpp>
#include <com/sun/star/frame/XModel.hpp>
#include <com/sun/star/lang/XServiceInfo.hpp>
#include <com/sun/star/util/XCloseable.hpp>
#include <osl/file.hxx>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <filesystem>

using namespace css;
namespace fs = std::filesystem;

namespace automation {

const std::string ProtectedDocument =
    "The document could not be opened; it may be damaged or protected by a password (";

beans::PropertyValue property(const char *name, const uno::Any &value)
{
    beans::PropertyValue p;
    p.Name = rtl::OUString::createFromAscii(name);
    p.Value = value;
    return p;
}

rtl::OUString checkedDocumentUrl(const std::string &path)
{
    std::error_code error;
    if (!fs::exists(path, error))
        throw AutomationError("This file could not be found: " + path);
    if (fs::is_directory(path, error))
        throw AutomationError("This is a folder, not a document: " + path);
    if (!fs::is_regular_file(path, error))
        throw AutomationError("This is not a document file: " + path);
    // The office opens an empty file as a new, empty document; it would
    // print a blank page for a file that holds nothing.
    if (fs::file_size(path, error) == 0)
        throw AutomationError("This file is empty: " + path);
    // Encrypted and rights-managed documents: the office would ask for a
    // password (refused) or print a placeholder page instead of the text.
    if (isProtectedCompoundFile(path))
        throw AutomationError(ProtectedDocument + path + ")");
    // The URL is made from the name's bytes, so that a name that is not
    // UTF-8 opens its own file (the office decodes %XX back to the byte).
    static constexpr char Hex[] = "0123456789ABCDEF";
    std::string url = "file://";
    for (const unsigned char c : fs::absolute(path).string()) {
        if (std::isalnum(c) || std::strchr("/-._~", c))
            url += char(c);
        else
            url += {'%', Hex[c >> 4], Hex[c & 15]};
    }
    return rtl::OUString::createFromAscii(url.c_str());
}

uno::Reference<lang::XComponent> loadHidden(const uno::Reference<frame::XDesktop2> &desktop,
                                            const rtl::OUString &url)
{
    const uno::Reference<frame::XComponentLoader> loader(desktop, uno::UNO_QUERY_THROW);
    const uno::Reference<task::XInteractionHandler> refuse(new RefusingInteractionHandler);
    return loader->loadComponentFromURL(
        url, "_blank", 0,
        properties(
            property("Hidden", uno::Any(true)), property("ReadOnly", uno::Any(true)),
            property("MacroExecutionMode",
                     uno::Any(sal_Int16(document::MacroExecMode::NEVER_EXECUTE))),
            property("UpdateDocMode", uno::Any(sal_Int16(document::UpdateDocMode::NO_UPDATE))),
            property("InteractionHandler", uno::Any(refuse))));
}

bool keepIfPrintable(const uno::Reference<lang::XComponent> &component, const std::string &path)
{
    const uno::Reference<lang::XServiceInfo> info(component, uno::UNO_QUERY_THROW);
    bool printable = info->supportsService("com.sun.star.text.TextDocument");
    std::string extension = fs::path(path).extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (printable && extension != ".txt") {
        const uno::Reference<frame::XModel> model(component, uno::UNO_QUERY_THROW);
        for (const auto &arg : model->getArgs()) {
            rtl::OUString filter;
            if (arg.Name == "FilterName" && (arg.Value >>= filter) && filter.startsWith("Text"))
                printable = false;
        }
    }
    if (!printable)
        closeQuietly(component);
    return printable;
}

void closeQuietly(const uno::Reference<lang::XComponent> &component)
{
    try {
        const uno::Reference<util::XCloseable> closeable(component, uno::UNO_QUERY);
        if (closeable.is())
            closeable->close(true);
    } catch (const uno::Exception &) {
        // Closed with the office at the latest.
    }
}

} // namespace automation
