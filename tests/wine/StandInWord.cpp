#include "StandInWord.h"

#include <commctrl.h>
#include <winspool.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

namespace standin {

HWND documentWindow = nullptr;
bool dialogOpen = false;

std::string narrow(const wchar_t *text)
{
    if (!text)
        return {};
    const int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string out(size_t(n > 0 ? n - 1 : 0), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), n, nullptr, nullptr);
    return out;
}

std::wstring wide(const std::string &text)
{
    const int n = MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, nullptr, 0);
    std::wstring out(size_t(n > 0 ? n - 1 : 0), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, out.data(), n);
    return out;
}

std::string env(const char *name, const char *fallback)
{
    const char *value = std::getenv(name);
    return value ? value : fallback;
}

int envNumber(const char *name, int fallback)
{
    const std::string value = env(name);
    return value.empty() ? fallback : std::atoi(value.c_str());
}

void log(const std::string &line)
{
    const std::string path = env("WORD_STANDIN_LOG");
    if (path.empty())
        return;
    if (FILE *f = std::fopen(path.c_str(), "ab")) {
        std::fprintf(f, "%s\n", line.c_str());
        std::fclose(f);
    }
}

std::string show(const VARIANT &v)
{
    switch (v.vt) {
    case VT_BOOL:
        return v.boolVal ? "true" : "false";
    case VT_BSTR:
        return narrow(v.bstrVal);
    case VT_I4:
        return std::to_string(v.lVal);
    case VT_I2:
        return std::to_string(v.iVal);
    default:
        return "<vt " + std::to_string(v.vt) + ">";
    }
}

long number(const VARIANT &v)
{
    VARIANT n;
    VariantInit(&n);
    if (FAILED(VariantChangeType(&n, const_cast<VARIANT *>(&v), 0, VT_I4)))
        return -1;
    return n.lVal;
}

namespace {

HWND showDialog(const std::wstring &title)
{
    HWND dialog = CreateWindowExW(WS_EX_DLGMODALFRAME, reinterpret_cast<LPCWSTR>(ULONG_PTR(0x8002)),
                                  title.c_str(), WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_VISIBLE,
                                  100, 100, 400, 160, documentWindow, nullptr, nullptr, nullptr);
    dialogOpen = true;
    log("dialog: " + narrow(title.c_str()));
    return dialog;
}

} // namespace

void askNobody(const std::wstring &title)
{
    showDialog(title);
    // A modal loop: messages are handled (COM's among them, which the
    // message filter refuses), the processor is not used.
    for (;;) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, INFINITE, QS_ALLINPUT);
    }
}

void openDialog(const std::wstring &title)
{
    showDialog(title);
}

void work(int seconds)
{
    const ULONGLONG until = GetTickCount64() + ULONGLONG(seconds) * 1000;
    volatile unsigned long spin = 0;
    while (GetTickCount64() < until)
        for (int i = 0; i < 100000; ++i)
            spin = spin + 1;
}

std::wstring defaultPrinter()
{
    wchar_t name[512];
    DWORD size = 512;
    return GetDefaultPrinterW(name, &size) ? std::wstring(name) : std::wstring();
}

void makeDefaultPrinter(const std::wstring &printer)
{
    const std::wstring device = printer + L",winspool,Ne00:";
    RegSetKeyValueW(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows",
                    L"Device", REG_SZ, device.c_str(),
                    DWORD((device.size() + 1) * sizeof(wchar_t)));
}

bool printerExists(const std::wstring &printer)
{
    HANDLE handle = nullptr;
    if (!OpenPrinterW(const_cast<wchar_t *>(printer.c_str()), &handle, nullptr))
        return false;
    ClosePrinter(handle);
    return true;
}

bool portAsksForFile(const std::wstring &printer)
{
    HANDLE handle = nullptr;
    if (!OpenPrinterW(const_cast<wchar_t *>(printer.c_str()), &handle, nullptr))
        return false;
    DWORD needed = 0;
    GetPrinterW(handle, 2, nullptr, 0, &needed);
    std::vector<BYTE> buffer(needed ? needed : 1);
    std::wstring port;
    if (needed && GetPrinterW(handle, 2, buffer.data(), needed, &needed)) {
        const auto *info = reinterpret_cast<const PRINTER_INFO_2W *>(buffer.data());
        port = info->pPortName ? info->pPortName : L"";
    }
    ClosePrinter(handle);
    return _wcsicmp(port.c_str(), L"FILE:") == 0 || _wcsicmp(port.c_str(), L"PORTPROMPT:") == 0;
}

bool printJob(const std::wstring &printer, const std::wstring &title, int copies)
{
    HDC dc = CreateDCW(L"WINSPOOL", printer.c_str(), nullptr, nullptr);
    if (!dc)
        return false;
    DOCINFOW info{};
    info.cbSize = sizeof info;
    info.lpszDocName = title.c_str();
    bool printed = StartDocW(dc, &info) > 0;
    for (int copy = 0; printed && copy < copies; ++copy) {
        printed = StartPage(dc) > 0;
        TextOutW(dc, 200, 200, title.c_str(), int(title.size()));
        printed = printed && EndPage(dc) > 0;
    }
    printed = printed && EndDoc(dc) > 0;
    if (!printed)
        AbortDoc(dc);
    DeleteDC(dc);
    return printed;
}

} // namespace standin
