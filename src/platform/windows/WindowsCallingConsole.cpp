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
        interruptHandler(SIGTERM);
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
    std::fwrite(utf8.data(), 1, utf8.size(), stream);
    std::fflush(stream);
}

void releaseCallingConsole()
{
    // The companion hands an event to set, by its number, in the
    // environment; nobody else waits for the window.
    const char *value = std::getenv("MARROWLAKE_CONSOLE_RELEASE");
    if (!value || !*value)
        return;
    const HANDLE event = reinterpret_cast<HANDLE>(std::strtoull(value, nullptr, 10));
    SetEvent(event);
    CloseHandle(event);
    _putenv("MARROWLAKE_CONSOLE_RELEASE=");
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
