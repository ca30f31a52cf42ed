// marrowlake.com: the program from a console. The program itself is a
// windowed (GUI-subsystem) program, so that no console window opens beside
// it when it is started from Explorer or the Start menu; a console finds
// this companion first on PATH (.com before .exe), which runs marrowlake.exe
// beside it with the same arguments and the console's handles, and waits
// until it ends, handing its exit status on, or until it says that it shows
// its window (an event it sets), so that cmd gets its prompt back then.
// Ctrl+C and the like reach the program through the console it attaches to;
// this process outlives them, waiting for the program, and never makes the
// program ignore them.

#include <windows.h>

#include <cwchar>
#include <string>

namespace {

// The arguments as typed, without the program's own name.
std::wstring argumentsOf(const wchar_t *commandLine)
{
    const wchar_t *p = commandLine;
    bool quoted = false;
    for (; *p && (quoted || (*p != L' ' && *p != L'\t')); ++p)
        if (*p == L'"')
            quoted = !quoted;
    while (*p == L' ' || *p == L'\t')
        ++p;
    return p;
}

HANDLE runningProgram = nullptr;

BOOL WINAPI consoleControl(DWORD event)
{
    // The console closing ends this process once this returns: the program
    // gets its few seconds to end Word first.
    if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT)
        if (runningProgram)
            WaitForSingleObject(runningProgram, 5000);
    return TRUE;
}

} // namespace

int wmain(int, wchar_t **)
{
    wchar_t self[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, self, MAX_PATH);
    if (length == 0 || length == MAX_PATH)
        return 2;
    std::wstring program(self, length);
    program = program.substr(0, program.find_last_of(L"\\/") + 1) + L"marrowlake.exe";

    std::wstring commandLine = L"\"" + program + L"\" " + argumentsOf(GetCommandLineW());
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION process{};
    // Ctrl+C and Ctrl+Break are the program's to handle; this process only
    // survives them. (A null handler would make the program ignore them too.)
    SetConsoleCtrlHandler(consoleControl, TRUE);
    // Set by the program when it shows its window instead of answering here.
    SECURITY_ATTRIBUTES inherited{sizeof inherited, nullptr, TRUE};
    const HANDLE windowShown = CreateEventW(&inherited, TRUE, FALSE, nullptr);
    if (windowShown)
        SetEnvironmentVariableW(L"MARROWLAKE_CONSOLE_RELEASE",
                                std::to_wstring(reinterpret_cast<ULONG_PTR>(windowShown)).c_str());
    if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr,
                        nullptr, &startup, &process)) {
        const std::wstring message = L"marrowlake: " + program + L" could not be started.\r\n";
        DWORD written = 0;
        WriteConsoleW(GetStdHandle(STD_ERROR_HANDLE), message.c_str(), DWORD(message.size()),
                      &written, nullptr);
        return 2;
    }
    CloseHandle(process.hThread);
    runningProgram = process.hProcess;
    const HANDLE either[] = {process.hProcess, windowShown};
    const DWORD which = WaitForMultipleObjects(windowShown ? 2 : 1, either, FALSE, INFINITE);
    DWORD status = 0;
    if (which == WAIT_OBJECT_0)
        GetExitCodeProcess(process.hProcess, &status);
    return int(status);
}
