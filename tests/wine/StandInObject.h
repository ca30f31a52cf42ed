#pragma once

// The stand-in's objects: Application, Documents, Document, Window, WordBasic
// and Options, each answering only its own members (StandInTables.h), and
// the one instance's state they share.

#include "StandInTables.h"
#include "StandInWord.h"

#include <oleauto.h>

#include <string>
#include <vector>

namespace standin {

struct Instance
{
    long security = 1;             // msoAutomationSecurityLow: Word's default under automation
    long alerts = -1;              // wdAlertsAll
    bool updateLinksAtOpen = true; // Word's defaults
    bool updateFieldsAtPrint = false;
    bool updateLinksAtPrint = false;
    std::wstring printer;                // this instance's (FilePrintSetup); empty: the default
    std::vector<std::wstring> documents; // full paths of the documents opened
    int userDocuments = 0;
    int pending = 0;
};

// One instance a process.
extern Instance word;
extern LONG liveObjects;
// An instance was handed out: the process ends when it is let go.
extern bool served;
extern ULONGLONG startedAt;

// The user's options as Word keeps them (WORD_STANDIN_OPTIONS).
void readUserOptions();
// What the instance's settings are as the program lets go of it.
void logRelease();
// A user takes the instance over when WORD_STANDIN_TAKEOVER names member.
void takeOverIfTold(const std::string &member);
// Refused as a busy Word refuses: during its start, or as often as told.
[[nodiscard]] bool refusedAsBusy(const std::string &member);

class StandIn : public IDispatch
{
public:
    StandIn(Kind kind, StandIn *application, std::wstring path = {})
        : m_kind(kind), m_application(application), m_path(std::move(path))
    {
        InterlockedIncrement(&liveObjects);
        if (m_application)
            m_application->AddRef();
    }
    virtual ~StandIn()
    {
        if (m_application)
            m_application->Release();
        // The last reference gone: an automation instance ends, unless a
        // user has a document open in it.
        if (InterlockedDecrement(&liveObjects) == 0 && served) {
            logRelease();
            if (word.userDocuments == 0)
                PostQuitMessage(0);
        }
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void **out) override
    {
        if (riid == IID_IUnknown || riid == IID_IDispatch) {
            *out = static_cast<IDispatch *>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ULONG(InterlockedIncrement(&m_refs)); }
    ULONG STDMETHODCALLTYPE Release() override
    {
        const LONG n = InterlockedDecrement(&m_refs);
        if (n == 0)
            delete this;
        return ULONG(n);
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT *count) override
    {
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo **) override { return E_NOTIMPL; }
    // The first name is the member, looked up in this object's table; the
    // others are its named arguments, looked up in the member's list.
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR *names, UINT count, LCID,
                                            DISPID *ids) override
    {
        if (refusedAsBusy("") || dialogOpen)
            return RPC_E_CALL_REJECTED;
        for (UINT i = 0; i < count; ++i)
            ids[i] = DISPID_UNKNOWN;
        const MemberInfo *found = member(names[0]);
        if (!found) {
            log("unknown name: " + narrow(names[0]));
            return DISP_E_UNKNOWNNAME;
        }
        ids[0] = found->id;
        HRESULT result = S_OK;
        for (UINT i = 1; i < count; ++i) {
            DISPID position = 0;
            for (const wchar_t *argument : found->arguments) {
                if (_wcsicmp(argument, names[i]) == 0)
                    ids[i] = position;
                ++position;
            }
            if (ids[i] == DISPID_UNKNOWN) {
                log("unknown name: " + narrow(names[0]) + "(" + narrow(names[i]) + ")");
                result = DISP_E_UNKNOWNNAME;
            }
        }
        return result;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS *params,
                                     VARIANT *result, EXCEPINFO *info, UINT *) override;

private:
    const MemberInfo *member(const wchar_t *name) const
    {
        const MemberInfo *found = nullptr;
        forEachMember(m_kind, [&](const MemberInfo &m) {
            if (_wcsicmp(m.name, name) == 0)
                found = &m;
        });
        return found;
    }
    const MemberInfo *member(DISPID id) const
    {
        const MemberInfo *found = nullptr;
        forEachMember(m_kind, [&](const MemberInfo &m) {
            if (m.id == id)
                found = &m;
        });
        return found;
    }
    // Fails as Word fails: its error number and its description.
    static HRESULT error(EXCEPINFO *info, const std::string &description, SCODE code = 0x800A1066)
    {
        if (info) {
            *info = EXCEPINFO{};
            info->scode = code;
            info->bstrSource = SysAllocString(L"Microsoft Word");
            info->bstrDescription = SysAllocString(wide(description).c_str());
        }
        return DISP_E_EXCEPTION;
    }
    static HRESULT object(VARIANT *result, IDispatch *dispatch)
    {
        result->vt = VT_DISPATCH;
        result->pdispVal = dispatch;
        return S_OK;
    }
    static HRESULT boolean(VARIANT *result, bool value)
    {
        result->vt = VT_BOOL;
        result->boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
        return S_OK;
    }
    static HRESULT text(VARIANT *result, const std::wstring &value)
    {
        result->vt = VT_BSTR;
        result->bstrVal = SysAllocString(value.c_str());
        return S_OK;
    }
    HRESULT open(const std::vector<const VARIANT *> &args, bool noRepairDialog, VARIANT *result,
                 EXCEPINFO *info);
    HRESULT printOut(const std::vector<const VARIANT *> &args, EXCEPINFO *info);

    LONG m_refs = 1;
    Kind m_kind;
    StandIn *m_application;
    std::wstring m_path; // a document's
};

} // namespace standin
