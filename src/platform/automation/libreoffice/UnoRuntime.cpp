#include "UnoRuntime.h"

#include "UnoText.h"
#include "WordAutomation.h"

#include <com/sun/star/bridge/UnoUrlResolver.hpp>
#include <com/sun/star/bridge/XUnoUrlResolver.hpp>
#include <cppuhelper/bootstrap.hxx>
#include <typelib/typedescription.h>

#include <cstdlib>

using namespace css;

namespace automation {

namespace {

bool typeKnown(const char *name)
{
    typelib_TypeDescription *description = nullptr;
    const rtl::OUString typeName = rtl::OUString::createFromAscii(name);
    typelib_typedescription_getByName(&description, typeName.pData);
    if (!description)
        return false;
    typelib_typedescription_release(description);
    return true;
}

} // namespace

UnoRuntime::UnoRuntime(const std::filesystem::path &programDir)
{
    // The local type manager must know the office's types, or the first
    // remote call crashes inside the bridge.
    const std::string rc = "vnd.sun.star.pathname:" + (programDir / "fundamentalrc").string();
    setenv("URE_BOOTSTRAP", rc.c_str(), 1);
    try {
        m_local = cppu::defaultBootstrap_InitialComponentContext();
    } catch (const uno::Exception &e) {
        throw SystemFailure("The word processor's interface could not be loaded: " +
                            toUtf8(e.Message));
    }
    if (!m_local.is() || !typeKnown("com.sun.star.frame.XDesktop2"))
        throw SystemFailure("The word processor's interface types could not be loaded.");
}

uno::Reference<uno::XComponentContext> UnoRuntime::connect(const std::string &pipeName) const
{
    const uno::Reference<bridge::XUnoUrlResolver> resolver =
        bridge::UnoUrlResolver::create(m_local);
    const std::string url = "uno:pipe,name=" + pipeName + ";urp;StarOffice.ComponentContext";
    return uno::Reference<uno::XComponentContext>(resolver->resolve(fromUtf8(url)),
                                                  uno::UNO_QUERY_THROW);
}

} // namespace automation
