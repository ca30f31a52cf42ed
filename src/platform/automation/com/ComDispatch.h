#pragma once

// Late-bound calls on a COM IDispatch object: members and named arguments
// are looked up by name at run time, as Word's automation expects.

// windows.h first: the other Windows headers need its types.
#include <windows.h>

#include <oleauto.h>

#include <chrono>
#include <string>
#include <utility>
#include <vector>

namespace automation {

// An owned VARIANT.
class ComVariant
{
public:
    ComVariant() { VariantInit(&m_value); }
    explicit ComVariant(bool value);
    explicit ComVariant(long value);
    explicit ComVariant(const std::string &utf8);
    ComVariant(const ComVariant &other);
    ComVariant &operator=(const ComVariant &other);
    ~ComVariant() { VariantClear(&m_value); }

    [[nodiscard]] VARIANT *get() { return &m_value; }
    [[nodiscard]] const VARIANT &value() const { return m_value; }
    [[nodiscard]] std::string toUtf8() const; // throws AutomationError
    [[nodiscard]] long toLong() const;        // throws AutomationError
    // Takes the IDispatch out of the variant (AddRef'd), or throws.
    [[nodiscard]] IDispatch *takeDispatch();

private:
    VARIANT m_value;
};

class ComDispatch
{
public:
    using NamedArgument = std::pair<std::string, ComVariant>;

    ComDispatch() = default;
    explicit ComDispatch(IDispatch *owned) : m_dispatch(owned) {}
    ComDispatch(ComDispatch &&other) noexcept
        : m_dispatch(std::exchange(other.m_dispatch, nullptr)), m_busyLimit(other.m_busyLimit)
    {
    }
    ComDispatch &operator=(ComDispatch &&other) noexcept;
    ComDispatch(const ComDispatch &) = delete;
    ComDispatch &operator=(const ComDispatch &) = delete;
    ~ComDispatch();

    [[nodiscard]] bool isNull() const { return m_dispatch == nullptr; }
    // The object has a member of this name (an older Word may lack one).
    [[nodiscard]] bool has(const std::string &member);
    // How long a call that a busy server refuses is tried again.
    void setBusyLimit(std::chrono::milliseconds limit) { m_busyLimit = limit; }
    [[nodiscard]] IDispatch *raw() const { return m_dispatch; }

    // A method call by name, with positional and then named arguments.
    ComVariant call(const std::string &member, std::vector<ComVariant> positional = {},
                    std::vector<NamedArgument> named = {});
    ComVariant get(const std::string &member);
    void put(const std::string &member, ComVariant value);
    // The default member (DISPID_VALUE), read as a property.
    ComVariant getDefault();

    static std::wstring wide(const std::string &utf8);
    static std::string narrow(const wchar_t *wide, int length = -1);
    // The description of a failed call as a sentence: Word's own text when
    // it gave one, ours for what a user meets with Word, the system's text
    // for the HRESULT, or a sentence with the code.
    static std::string describe(HRESULT hr, const EXCEPINFO *info);
    // Word is not installed (no "Word.Application" class is registered).
    static bool notInstalled(HRESULT hr);

private:
    // member empty: the default member.
    ComVariant invoke(WORD flags, std::vector<ComVariant> &positional,
                      std::vector<NamedArgument> &named, const std::string &member);

    IDispatch *m_dispatch = nullptr;
    std::chrono::milliseconds m_busyLimit{30'000};
};

} // namespace automation
