#include "StandInObject.h"

#include "StandInWord.h"

#include <cstdio>
#include <cstdlib>
#include <utility>

namespace standin {

Instance word;
LONG liveObjects = 0;
bool served = false;
ULONGLONG startedAt = 0;

namespace {

std::wstring fileNameOf(const std::wstring &path)
{
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

bool contains(const std::wstring &text, const wchar_t *part)
{
    return text.find(part) != std::wstring::npos;
}

} // namespace

void readUserOptions()
{
    const std::string options = env("WORD_STANDIN_OPTIONS") + ",";
    for (size_t start = 0, end; (end = options.find(',', start)) != std::string::npos;
         start = end + 1) {
        const std::string option = options.substr(start, end - start);
        const bool on = option.size() > 2 && option.back() == '1';
        if (option.rfind("UpdateFieldsAtPrint=", 0) == 0)
            word.updateFieldsAtPrint = on;
        else if (option.rfind("UpdateLinksAtOpen=", 0) == 0)
            word.updateLinksAtOpen = on;
    }
}

void logRelease()
{
    static bool logged = false;
    if (std::exchange(logged, true))
        return;
    log("released: DisplayAlerts=" + std::to_string(word.alerts) +
        " UpdateLinksAtOpen=" + (word.updateLinksAtOpen ? "true" : "false") +
        " UpdateFieldsAtPrint=" + (word.updateFieldsAtPrint ? "true" : "false") +
        " AutomationSecurity=" + std::to_string(word.security));
}

// Refused as a busy Word refuses: during its start, or as often as told.
bool refusedAsBusy(const std::string &member)
{
    const int startSeconds = envNumber("WORD_STANDIN_BUSY_START");
    if (GetTickCount64() - startedAt < ULONGLONG(startSeconds) * 1000)
        return true;
    static int refused = 0;
    const std::string rule = env("WORD_STANDIN_BUSY");
    const auto eq = rule.find('=');
    if (member.empty() || eq == std::string::npos || rule.substr(0, eq) != member ||
        refused >= std::atoi(rule.c_str() + eq + 1))
        return false;
    ++refused;
    return true;
}

void takeOverIfTold(const std::string &member)
{
    const std::string rule = env("WORD_STANDIN_TAKEOVER");
    if (rule.empty() || word.userDocuments > 0 || rule.substr(0, rule.find(',')) != member)
        return;
    // One user, one Word: the first instance that meets the member.
    if (const std::string once = env("WORD_STANDIN_TAKEOVER_ONCE"); !once.empty()) {
        if (GetFileAttributesA(once.c_str()) != INVALID_FILE_ATTRIBUTES)
            return;
        if (FILE *mark = std::fopen(once.c_str(), "wb"))
            std::fclose(mark);
    }
    word.userDocuments = 1;
    SetWindowTextW(documentWindow, L"Document1 - Word");
    ShowWindow(documentWindow, SW_SHOWNOACTIVATE);
    log("taken over by a user");
    if (rule.find(",dialog") != std::string::npos)
        openDialog(L"Font");
}

HRESULT StandIn::open(const std::vector<const VARIANT *> &args, bool noRepairDialog,
                      VARIANT *result, EXCEPINFO *info)
{
    if (!args[0] || args[0]->vt != VT_BSTR)
        return DISP_E_PARAMNOTOPTIONAL;
    const std::wstring path = args[0]->bstrVal;
    const std::wstring name = fileNameOf(path);
    if (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES)
        return error(info,
                     "Sorry, we couldn't find your file. Was it moved, renamed, or deleted?\r(" +
                         narrow(path.c_str()) + ")",
                     0x800A1436); // 5174
    if (contains(name, L"dialog"))
        askNobody(L"File Conversion - " + name);
    if (contains(name, L"protected")) {
        if (!args[4])
            askNobody(L"Password");
        return error(info, "The password is incorrect. Word cannot open the document.");
    }
    if (contains(name, L"damaged")) {
        if (!noRepairDialog)
            askNobody(L"Microsoft Word: Word found unreadable content in " + name);
        return error(info, "The file " + narrow(name.c_str()) +
                               " cannot be opened because there are problems with the contents.");
    }
    if (contains(name, L"links") && word.updateLinksAtOpen)
        askNobody(L"Microsoft Word: This document contains links that may refer to other files.");
    if (contains(name, L"macro") && word.security != 3)
        if (FILE *f = std::fopen(env("WORD_STANDIN_MARKER").c_str(), "wb"))
            std::fclose(f);
    word.documents.push_back(path);
    return object(result, new StandIn(Kind::Document, m_application, path));
}

HRESULT StandIn::printOut(const std::vector<const VARIANT *> &args, EXCEPINFO *info)
{
    // Background, Range, Copies, Pages, Collate, FileName (Word's positions).
    const VARIANT *background = args[0], *range = args[2], *copies = args[7], *pages = args[8],
                  *collate = args[11], *fileName = args[12];
    if ((background && background->vt != VT_BOOL) || (collate && collate->vt != VT_BOOL) ||
        (fileName && fileName->vt != VT_BSTR) || (pages && pages->vt != VT_BSTR))
        return DISP_E_TYPEMISMATCH;
    const long count = copies ? number(*copies) : 1;
    const long rangeKind = range ? number(*range) : 0;
    if (count < 1 || rangeKind < 0 || rangeKind > 4 || (rangeKind == 4 && !pages))
        return error(info, "The requested member of the collection does not exist.",
                     0x800A1745); // 5941
    std::wstring document = word.documents.empty() ? L"" : word.documents.back();
    if (fileName) {
        document.clear();
        for (const std::wstring &open : word.documents)
            if (_wcsicmp(open.c_str(), fileName->bstrVal) == 0)
                document = open;
    }
    if (document.empty())
        return error(info, "Bad file name.", 0x800A1040); // 4160
    const std::wstring printer = word.printer.empty() ? defaultPrinter() : word.printer;
    if (portAsksForFile(printer))
        askNobody(L"Save Print Output As");
    const std::wstring name = fileNameOf(document);
    if (contains(name, L"fillin") && word.updateFieldsAtPrint)
        askNobody(L"Microsoft Word: Fill-in");
    work(envNumber("WORD_STANDIN_SPOOL"));
    if (!printJob(printer, name, int(count)))
        return error(info, "There is a printer error.", 0x800A1200); // 4608
    log("job: " + narrow(name.c_str()) + " on " + narrow(printer.c_str()));
    word.pending = envNumber("WORD_STANDIN_PENDING", 2);
    return S_OK;
}

HRESULT StandIn::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS *params, VARIANT *result,
                        EXCEPINFO *info, UINT *)
{
    const MemberInfo *called = member(id);
    if (!called)
        return DISP_E_MEMBERNOTFOUND;
    const std::string name = narrow(called->name);
    const bool put = flags & DISPATCH_PROPERTYPUT;
    const UINT named = params ? params->cNamedArgs : 0;
    const UINT total = params ? params->cArgs : 0;
    if (put && total != 1)
        return DISP_E_BADPARAMCOUNT;
    // The arguments by their positions in Word's list; logged as the caller
    // wrote them: positional first, then named.
    std::vector<const VARIANT *> args(called->arguments.size(), nullptr);
    std::string shown;
    if (total - named > args.size() && !put)
        return DISP_E_BADPARAMCOUNT;
    if (put)
        shown = show(params->rgvarg[0]);
    for (UINT i = total, position = 0; i-- > named && !put; ++position) {
        args[position] = &params->rgvarg[i];
        shown += (shown.empty() ? "" : ", ") + show(params->rgvarg[i]);
    }
    for (UINT i = named; i-- > 0 && !put;) {
        const DISPID position = params->rgdispidNamedArgs[i];
        if (position < 0 || size_t(position) >= args.size())
            return DISP_E_PARAMNOTFOUND;
        args[size_t(position)] = &params->rgvarg[i];
        const std::wstring argument = called->arguments.begin()[position];
        // Passwords are not written down, only that one was given.
        const bool secret = argument.find(L"Password") != std::wstring::npos;
        shown += (shown.empty() ? "" : ", ") + narrow(argument.c_str()) + "=" +
                 (secret ? std::string("<given>") : show(params->rgvarg[i]));
    }
    if (put)
        log(name + "=" + shown);
    else if (flags & DISPATCH_METHOD && !(flags & DISPATCH_PROPERTYGET))
        log(name + "(" + shown + ")");
    else
        log(name);

    // A dialog open: refused as Word's message filter refuses calls then.
    if (refusedAsBusy(name) || dialogOpen)
        return RPC_E_CALL_REJECTED;
    takeOverIfTold(name);
    const std::string rules = env("WORD_STANDIN_FAIL") + "|";
    for (size_t start = 0, end; (end = rules.find('|', start)) != std::string::npos;
         start = end + 1) {
        const std::string rule = rules.substr(start, end - start);
        const auto eq = rule.find('=');
        if (eq != std::string::npos && rule.substr(0, eq) == name)
            return error(info, rule.substr(eq + 1));
    }
    if (result)
        VariantInit(result);
    else if (!put)
        return S_OK;
    StandIn *application = m_kind == Kind::Application ? this : m_application;
    const std::wstring member = called->name;
    auto is = [&member](const wchar_t *n) { return member == n; };
    if (is(L"Application")) {
        application->AddRef();
        return object(result, application);
    }
    switch (m_kind) {
    case Kind::Application:
        if (is(L"Name"))
            return text(result, wide(env("WORD_STANDIN_NAME", "Microsoft Word")));
        if (is(L"Documents"))
            return object(result, new StandIn(Kind::Documents, this));
        if (is(L"WordBasic"))
            return object(result, new StandIn(Kind::WordBasic, this));
        if (is(L"Options"))
            return object(result, new StandIn(Kind::Options, this));
        if (is(L"ActivePrinter")) {
            if (!put)
                return text(result, word.printer.empty() ? defaultPrinter() : word.printer);
            word.printer = wide(show(params->rgvarg[0]));
            makeDefaultPrinter(word.printer);
            return S_OK;
        }
        if (is(L"AutomationSecurity") || is(L"DisplayAlerts")) {
            long &value = is(L"DisplayAlerts") ? word.alerts : word.security;
            if (put) {
                value = number(params->rgvarg[0]);
                return S_OK;
            }
            result->vt = VT_I4;
            result->lVal = value;
            return S_OK;
        }
        if (is(L"Visible"))
            return boolean(result, IsWindowVisible(documentWindow));
        if (is(L"PrintOut"))
            return printOut(args, info);
        if (is(L"BackgroundPrintingStatus")) {
            result->vt = VT_I4;
            result->lVal = word.pending > 0 ? word.pending-- : 0;
            return S_OK;
        }
        if (is(L"Quit")) {
            if (!env("WORD_STANDIN_QUIT_PROMPT").empty())
                askNobody(L"Microsoft Word: Do you want to save changes to Normal.dotm?");
            work(envNumber("WORD_STANDIN_SLOW_QUIT"));
            logRelease();
            // The process ends once the answer is sent.
            PostQuitMessage(0);
            return S_OK;
        }
        break;
    case Kind::Documents:
        if (is(L"Open") || is(L"OpenNoRepairDialog"))
            return open(args, is(L"OpenNoRepairDialog"), result, info);
        if (is(L"Count")) {
            result->vt = VT_I4;
            result->lVal = long(word.documents.size()) + word.userDocuments;
            return S_OK;
        }
        break;
    case Kind::Document:
        if (is(L"Close")) {
            for (auto it = word.documents.begin(); it != word.documents.end(); ++it)
                if (*it == m_path) {
                    word.documents.erase(it);
                    break;
                }
            return S_OK;
        }
        if (is(L"ActiveWindow"))
            return object(result, new StandIn(Kind::Window, application));
        if (is(L"Name"))
            return text(result, fileNameOf(m_path));
        if (is(L"FullName"))
            return text(result, m_path);
        break;
    case Kind::Window:
        if (is(L"Hwnd")) {
            result->vt = VT_I4;
            result->lVal = LONG(reinterpret_cast<LONG_PTR>(documentWindow));
            return S_OK;
        }
        if (is(L"Visible"))
            return boolean(result, IsWindowVisible(documentWindow));
        break;
    case Kind::WordBasic: { // FilePrintSetup
        const VARIANT *printer = args[0], *notDefault = args[3];
        if (!printer)
            return DISP_E_PARAMNOTOPTIONAL;
        if (!printerExists(wide(show(*printer))))
            return error(info, "There is a printer error.", 0x800A1200);
        word.printer = wide(show(*printer));
        if (!notDefault || number(*notDefault) != 1)
            makeDefaultPrinter(word.printer);
        return S_OK;
    }
    case Kind::Options: {
        bool &option = is(L"UpdateLinksAtOpen")     ? word.updateLinksAtOpen
                       : is(L"UpdateFieldsAtPrint") ? word.updateFieldsAtPrint
                                                    : word.updateLinksAtPrint;
        if (!put)
            return boolean(result, option);
        option = number(params->rgvarg[0]) != 0;
        return S_OK;
    }
    }
    return DISP_E_MEMBERNOTFOUND;
}

} // namespace standin
