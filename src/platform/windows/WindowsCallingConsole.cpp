#include "CallingConsole.h"

#include <windows.h>

#include <QCollator>
#include <QCoreApplication>
#include <QDir>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <io.h>
#include <tlhelp32.h>

namespace {

void (*interruptHandler)(int) = nullptr;

BOOL WINAPI consoleControl(DWORD event)
{
    if (!interruptHandler)
        return FALSE;
    switch (event) {
    case CTRL_C_EVENT:
        interruptHandler(SIGINT);
        return TRUE;
    case CTRL_BREAK_EVENT:
        interruptHandler(SIGBREAK);
        return TRUE;
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
        interruptHandler(ConsoleClosed);
        // The system ends the process once this returns: give the program
        // its moment to end Word first.
        Sleep(5000);
        return TRUE;
    default:
        return FALSE;
    }
}

bool usable(DWORD which)
{
    const HANDLE handle = GetStdHandle(which);
    return handle != nullptr && handle != INVALID_HANDLE_VALUE;
}

} // namespace

void useCallingConsole()
{
    const bool hadOutput = usable(STD_OUTPUT_HANDLE);
    const bool hadErrors = usable(STD_ERROR_HANDLE);
    if (!AttachConsole(ATTACH_PARENT_PROCESS))
        return;
    // Started from a console without its companion: write to the console.
    if (!hadOutput)
        (void)std::freopen("CONOUT$", "w", stdout);
    if (!hadErrors)
        (void)std::freopen("CONOUT$", "w", stderr);
}

void onInterruptRequests(void (*onInterrupt)(int signal))
{
    interruptHandler = onInterrupt;
    std::signal(SIGINT, onInterrupt);
    std::signal(SIGTERM, onInterrupt);
    SetConsoleCtrlHandler(consoleControl, TRUE);
}

void writeToConsole(std::FILE *stream, const std::string &utf8)
{
    std::fflush(stream);
    const HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
    DWORD mode = 0;
    if (handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode)) {
        const std::wstring text = QString::fromUtf8(utf8).toStdWString();
        DWORD written = 0;
        WriteConsoleW(handle, text.data(), DWORD(text.size()), &written, nullptr);
        return;
    }
    // Redirected: in the console's code page, as cmd's own commands write;
    // what it cannot hold becomes "?". Without a console: UTF-8.
    const UINT codePage = GetConsoleOutputCP();
    std::string bytes = utf8;
    if (codePage != 0 && codePage != CP_UTF8) {
        const std::wstring text = QString::fromUtf8(utf8).toStdWString();
        const int n = WideCharToMultiByte(codePage, 0, text.data(), int(text.size()), nullptr, 0,
                                          nullptr, nullptr);
        bytes.assign(size_t(std::max(n, 0)), '\0');
        WideCharToMultiByte(codePage, 0, text.data(), int(text.size()), bytes.data(), n, nullptr,
                            nullptr);
    }
    std::fwrite(bytes.data(), 1, bytes.size(), stream);
    std::fflush(stream);
}

namespace {

// The process that started this one, when it is still the one that did.
DWORD parentProcess()
{
    DWORD parent = 0;
    const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return 0;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot, &entry); more;
         more = Process32NextW(snapshot, &entry))
        if (entry.th32ProcessID == GetCurrentProcessId())
            parent = entry.th32ParentProcessID;
    CloseHandle(snapshot);
    return parent;
}

// The console companion beside this program: marrowlake.com of this folder.
bool isOurCompanion(DWORD pid)
{
    const HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    if (!process)
        return false;
    wchar_t image[MAX_PATH];
    DWORD length = MAX_PATH;
    const bool named = QueryFullProcessImageNameW(process, 0, image, &length);
    CloseHandle(process);
    wchar_t self[MAX_PATH];
    const DWORD selfLength = GetModuleFileNameW(nullptr, self, MAX_PATH);
    if (!named || selfLength == 0 || selfLength == MAX_PATH)
        return false;
    std::wstring companion(self, selfLength);
    companion = companion.substr(0, companion.find_last_of(L"\\/") + 1) + L"marrowlake.com";
    return _wcsicmp(std::wstring(image, length).c_str(), companion.c_str()) == 0;
}

} // namespace

void releaseCallingConsole()
{
    // The companion that started this program waits for the window on an
    // event named for both processes; nothing from elsewhere is trusted.
    const DWORD parent = parentProcess();
    if (parent == 0 || !isOurCompanion(parent))
        return;
    const std::wstring name = L"Local\\marrowlake-console-release-" + std::to_wstring(parent) +
                              L"-" + std::to_wstring(GetCurrentProcessId());
    if (const HANDLE event = OpenEventW(EVENT_MODIFY_STATE, FALSE, name.c_str())) {
        SetEvent(event);
        CloseHandle(event);
    }
}

namespace {

QStringList expandedArguments(const QStringList &arguments)
{
    QStringList expanded;
    for (const QString &argument : arguments) {
        const bool option = argument.startsWith(u'-') || argument.startsWith(u'/');
        if (option || (!argument.contains(u'*') && !argument.contains(u'?'))) {
            expanded << argument;
            continue;
        }
        const qsizetype slash = std::max(argument.lastIndexOf(u'\\'), argument.lastIndexOf(u'/'));
        const QString folder = argument.left(slash + 1);
        QStringList names;
        WIN32_FIND_DATAW found{};
        const std::wstring pattern = argument.toStdWString();
        const HANDLE search = FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &found,
                                               FindExSearchNameMatch, nullptr, 0);
        if (search != INVALID_HANDLE_VALUE) {
            do {
                const QString name = QString::fromWCharArray(found.cFileName);
                const bool hidden =
                    found.dwFileAttributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
                if (name != u"." && name != u".." && !hidden)
                    names << name;
            } while (FindNextFileW(search, &found));
            FindClose(search);
        }
        if (names.isEmpty()) {
            expanded << argument;
            continue;
        }
        QCollator order;
        order.setCaseSensitivity(Qt::CaseInsensitive);
        std::sort(names.begin(), names.end(), order);
        for (const QString &name : std::as_const(names))
            expanded << folder + name;
    }
    return expanded;
}

} // namespace

QStringList programArguments(int, char *[])
{
    return expandedArguments(QCoreApplication::arguments().mid(1));
}
