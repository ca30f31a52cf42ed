#pragma once

#include <com/sun/star/uno/Reference.hxx>
#include <com/sun/star/uno/XComponentContext.hpp>

#include <filesystem>
#include <string>

namespace automation {

// Our side of UNO: the local component context (bootstrapped once per
// processor) that bridges to the office instances.
class UnoRuntime
{
public:
    explicit UnoRuntime(const std::filesystem::path &programDir);

    // Connects to an office listening on the named pipe; throws
    // css::connection::NoConnectException while it does not accept yet.
    [[nodiscard]] css::uno::Reference<css::uno::XComponentContext>
    connect(const std::string &pipeName) const;

private:
    css::uno::Reference<css::uno::XComponentContext> m_local;
};

} // namespace automation
