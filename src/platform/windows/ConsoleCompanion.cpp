// marrowlake.com: the program from a console. The program itself is a
// windowed (GUI-subsystem) program, so that no console window opens beside
// it when it is started from Explorer or the Start menu; a console finds
// this companion first on PATH (.com before .exe), which runs marrowlake.exe
// beside it with the same arguments and the console's handles, and, for the
// command-line modes, waits for it and hands its exit status on. Ctrl+C and
// the like reach the program through the console it attaches to; this
// process leaves them to it.

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

// Whether the program answers without a window (an option of ours or /?),
// as it decides itself: then its output and status matter here.
bool withoutWindow(int argc, wchar_t **argv)
{
    for (int i = 1; i < argc; ++i) {
        const wchar_t *argument = argv[i];
        if (wcscmp(argument, L"--") == 0)
            return false;
        if (wcsncmp(argument, L"--", 2) == 0 || wcscmp(argument, L"/?") == 0)
            return true;
    }
    return false;
}

} // namespace

int wmain(int argc, wchar_t **argv)
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
    // Ctrl+C and Ctrl+Break are the program's to handle.
    SetConsoleCtrlHandler(nullptr, TRUE);
    if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr,
                        nullptr, &startup, &process)) {
        const std::wstring message = L"marrowlake: " + program + L" could not be started.\r\n";
        DWORD written = 0;
        WriteConsoleW(GetStdHandle(STD_ERROR_HANDLE), message.c_str(), DWORD(message.size()),
                      &written, nullptr);
        return 2;
    }
    CloseHandle(process.hThread);
    DWORD status = 0;
    if (withoutWindow(argc, argv)) {
        WaitForSingleObject(process.hProcess, INFINITE);
        GetExitCodeProcess(process.hProcess, &status);
    }
    CloseHandle(process.hProcess);
    return int(status);
}
