#include "ComDispatch.h"

#include "WordAutomation.h"

#include <cstdio>

namespace automation {

namespace {

// A busy server (Word starting, or a dialog open in it) refuses calls for a
// while; they are asked again at this pace.
constexpr DWORD BusyRetryMs = 250;

bool serverBusy(HRESULT hr)
{
    return hr == RPC_E_CALL_REJECTED || hr == RPC_E_SERVERCALL_RETRYLATER;
}

// Sentences for what users meet with Word, where the system may have none.
const char *knownSentence(HRESULT hr)
{
    switch (hr) {
    case RPC_E_CALL_REJECTED:
    case RPC_E_SERVERCALL_RETRYLATER:
        return "Word is busy and did not accept the request.";
    case RPC_E_DISCONNECTED:
    case RPC_E_SERVERFAULT:
    case static_cast<HRESULT>(0x800706BAL): // RPC_S_SERVER_UNAVAILABLE
    case static_cast<HRESULT>(0x800706BEL): // RPC_S_CALL_FAILED
    case static_cast<HRESULT>(0x800706BFL): // RPC_S_CALL_FAILED_DNE
    case RPC_E_CALL_CANCELED:
        return "Word ended unexpectedly.";
    case CO_E_SERVER_EXEC_FAILURE:
        return "Word could not be started: it did not answer the system when it started. A Word "
               "that is still ending, or a question Word shows when it starts, can cause this: "
               "close Word, start it once yourself, and print again.";
    case CO_E_APPNOTFOUND:
        return "Word is registered on this computer, but its program cannot be found. Repair "
               "Microsoft Office and print again.";
    case E_ACCESSDENIED:
        return "Word refused access.";
    default:
        return nullptr;
    }
}

} // namespace

ComVariant::ComVariant(bool value) : ComVariant()
{
    m_value.vt = VT_BOOL;
    m_value.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
}

ComVariant::ComVariant(long value) : ComVariant()
{
    m_value.vt = VT_I4;
    m_value.lVal = value;
}

ComVariant::ComVariant(const std::string &utf8) : ComVariant()
{
    const std::wstring text = ComDispatch::wide(utf8);
    m_value.vt = VT_BSTR;
    m_value.bstrVal = SysAllocStringLen(text.data(), UINT(text.size()));
}

ComVariant::ComVariant(const ComVariant &other) : ComVariant()
{
    VariantCopy(&m_value, const_cast<VARIANT *>(&other.m_value));
}

ComVariant &ComVariant::operator=(const ComVariant &other)
{
    if (this != &other) {
        VariantClear(&m_value);
        VariantCopy(&m_value, const_cast<VARIANT *>(&other.m_value));
    }
    return *this;
}

std::string ComVariant::toUtf8() const
{
    VARIANT text;
    VariantInit(&text);
    const HRESULT hr = VariantChangeType(&text, const_cast<VARIANT *>(&m_value), 0, VT_BSTR);
    if (FAILED(hr))
        throw AutomationError(ComDispatch::describe(hr, nullptr));
    std::string result = ComDispatch::narrow(text.bstrVal, int(SysStringLen(text.bstrVal)));
    VariantClear(&text);
    return result;
}

long ComVariant::toLong() const
{
    VARIANT number;
    VariantInit(&number);
    const HRESULT hr = VariantChangeType(&number, const_cast<VARIANT *>(&m_value), 0, VT_I4);
    if (FAILED(hr))
        throw AutomationError(ComDispatch::describe(hr, nullptr));
    return number.lVal;
}

IDispatch *ComVariant::takeDispatch()
{
    if (m_value.vt != VT_DISPATCH || !m_value.pdispVal)
        throw AutomationError("Object required");
    IDispatch *dispatch = m_value.pdispVal;
    dispatch->AddRef();
    return dispatch;
}

ComDispatch &ComDispatch::operator=(ComDispatch &&other) noexcept
{
    if (this != &other) {
        if (m_dispatch)
            m_dispatch->Release();
        m_dispatch = std::exchange(other.m_dispatch, nullptr);
        m_busyLimit = other.m_busyLimit;
    }
    return *this;
}

ComDispatch::~ComDispatch()
{
    if (m_dispatch)
        m_dispatch->Release();
}

std::wstring ComDispatch::wide(const std::string &utf8)
{
    if (utf8.empty())
        return {};
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), nullptr, 0);
    std::wstring text(size_t(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), text.data(), n);
    return text;
}

std::string ComDispatch::narrow(const wchar_t *wide, int length)
{
    if (!wide || length == 0)
        return {};
    const int n = WideCharToMultiByte(CP_UTF8, 0, wide, length, nullptr, 0, nullptr, nullptr);
    std::string text(size_t(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide, length, text.data(), n, nullptr, nullptr);
    if (length < 0 && !text.empty() && text.back() == '\0')
        text.pop_back();
    return text;
}

bool ComDispatch::notInstalled(HRESULT hr)
{
    return hr == CO_E_CLASSSTRING || hr == REGDB_E_CLASSNOTREG;
}

std::string ComDispatch::describe(HRESULT hr, const EXCEPINFO *info)
{
    if (info && info->bstrDescription && SysStringLen(info->bstrDescription) > 0)
        return narrow(info->bstrDescription, int(SysStringLen(info->bstrDescription)));
    if (notInstalled(hr))
        return "Word is not installed on this computer. You need to have it installed to use "
               "this software without error.";
    if (const char *sentence = knownSentence(hr))
        return sentence;
    wchar_t *system = nullptr;
    const DWORD n = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, DWORD(hr), 0, reinterpret_cast<wchar_t *>(&system), 0, nullptr);
    if (n > 0 && system) {
        std::string text = narrow(system, int(n));
        LocalFree(system);
        while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' '))
            text.pop_back();
        if (!text.empty())
            return text;
    }
    char sentence[64];
    std::snprintf(sentence, sizeof sentence, "Word reported error 0x%08lX.",
                  static_cast<unsigned long>(hr));
    return sentence;
}

ComVariant ComDispatch::invoke(WORD flags, std::vector<ComVariant> &positional,
                               std::vector<NamedArgument> &named, const std::string &member)
{
    if (!m_dispatch)
        throw AutomationError("Object variable not set (" + member + ")");
    // One lookup names the member and its named arguments; the default
    // member needs none.
    std::vector<DISPID> ids{DISPID_VALUE};
    if (!member.empty()) {
        std::vector<std::wstring> names{wide(member)};
        for (const auto &arg : named)
            names.push_back(wide(arg.first));
        std::vector<LPOLESTR> pointers;
        for (auto &n : names)
            pointers.push_back(n.data());
        ids.resize(names.size());
        const ULONGLONG busyUntil = GetTickCount64() + ULONGLONG(m_busyLimit.count());
        for (;;) {
            const HRESULT hr = m_dispatch->GetIDsOfNames(
                IID_NULL, pointers.data(), UINT(pointers.size()), LOCALE_USER_DEFAULT, ids.data());
            if (SUCCEEDED(hr))
                break;
            if (serverBusy(hr) && GetTickCount64() < busyUntil) {
                Sleep(BusyRetryMs);
                continue;
            }
            throw AutomationError(describe(hr, nullptr));
        }
    }
    // Arguments go in reverse order: the named ones (matching their ids),
    // then the positional ones from last to first.
    std::vector<VARIANT> args;
    std::vector<DISPID> namedIds;
    for (size_t i = named.size(); i-- > 0;) {
        args.push_back(*named[i].second.get());
        namedIds.push_back(ids[i + 1]);
    }
    for (auto it = positional.rbegin(); it != positional.rend(); ++it)
        args.push_back(*it->get());
    if (flags == DISPATCH_PROPERTYPUT)
        namedIds.assign(1, DISPID_PROPERTYPUT);
    DISPPARAMS params{args.data(), namedIds.data(), UINT(args.size()), UINT(namedIds.size())};

    ComVariant result;
    const ULONGLONG busyUntil = GetTickCount64() + ULONGLONG(m_busyLimit.count());
    for (;;) {
        EXCEPINFO info{};
        UINT argError = 0;
        const HRESULT hr = m_dispatch->Invoke(
            ids[0], IID_NULL, LOCALE_USER_DEFAULT, flags, &params,
            flags == DISPATCH_PROPERTYPUT ? nullptr : result.get(), &info, &argError);
        if (SUCCEEDED(hr))
            return result;
        if (hr == DISP_E_EXCEPTION && info.pfnDeferredFillIn)
            info.pfnDeferredFillIn(&info);
        const HRESULT cause = hr == DISP_E_EXCEPTION && FAILED(info.scode) ? info.scode : hr;
        const std::string description = describe(cause, hr == DISP_E_EXCEPTION ? &info : nullptr);
        SysFreeString(info.bstrSource);
        SysFreeString(info.bstrDescription);
        SysFreeString(info.bstrHelpFile);
        if (serverBusy(hr) && GetTickCount64() < busyUntil) {
            Sleep(BusyRetryMs);
            continue;
        }
        throw AutomationError(description);
    }
}

bool ComDispatch::has(const std::string &member)
{
    std::wstring name = wide(member);
    LPOLESTR names[] = {name.data()};
    DISPID id = DISPID_UNKNOWN;
    return m_dispatch &&
           SUCCEEDED(m_dispatch->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id));
}

ComVariant ComDispatch::call(const std::string &member, std::vector<ComVariant> positional,
                             std::vector<NamedArgument> named)
{
    return invoke(DISPATCH_METHOD, positional, named, member);
}

ComVariant ComDispatch::get(const std::string &member)
{
    std::vector<ComVariant> none;
    std::vector<NamedArgument> noNames;
    return invoke(DISPATCH_PROPERTYGET, none, noNames, member);
}

void ComDispatch::put(const std::string &member, ComVariant value)
{
    std::vector<ComVariant> args{std::move(value)};
    std::vector<NamedArgument> noNames;
    invoke(DISPATCH_PROPERTYPUT, args, noNames, member);
}

ComVariant ComDispatch::getDefault()
{
    std::vector<ComVariant> none;
    std::vector<NamedArgument> noNames;
    return invoke(DISPATCH_PROPERTYGET | DISPATCH_METHOD, none, noNames, std::string());
}

} // namespace automation
