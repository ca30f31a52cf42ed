#include "CallingConsole.h"

#include <windows.h>

#include <csignal>
#include <cstdio>

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
