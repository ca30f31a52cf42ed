#pragma once

#include <com/sun/star/beans/PropertyValue.hpp>
#include <com/sun/star/frame/XDesktop2.hpp>
#include <com/sun/star/lang/XComponent.hpp>
#include <com/sun/star/uno/Reference.hxx>
#include <com/sun/star/uno/Sequence.hxx>
#include <rtl/ustring.hxx>

#include <string>

// How a document is put in front of the office and taken away again. Calls
// into the office throw css::uno::Exception; refusals of our own throw
// AutomationError with the text a report shows.
namespace automation {

extern const std::string ProtectedDocument;

[[nodiscard]] css::beans::PropertyValue property(const char *name, const css::uno::Any &value);

template <typename... T>
[[nodiscard]] css::uno::Sequence<css::beans::PropertyValue> properties(const T &...values)
{
    const css::beans::PropertyValue all[] = {values...};
    return css::uno::Sequence<css::beans::PropertyValue>(all, sizeof...(values));
}

// What is checked of a document before the office sees it (there, a file,
// not empty, not locked away); its URL for the office.
[[nodiscard]] rtl::OUString checkedDocumentUrl(const std::string &path);

// Loads a document hidden and read-only, its macros never run, its links not
// updated, and every question the office would ask refused.
[[nodiscard]] css::uno::Reference<css::lang::XComponent>
loadHidden(const css::uno::Reference<css::frame::XDesktop2> &desktop, const rtl::OUString &url);

// Whether a loaded document is one to print: a text document, and not a
// word-processor file the office could only read as plain text (damaged, or
// not what its name says). One that is not is closed.
[[nodiscard]] bool keepIfPrintable(const css::uno::Reference<css::lang::XComponent> &component,
                                   const std::string &path);

void closeQuietly(const css::uno::Reference<css::lang::XComponent> &component);

} // namespace automation
