// marrowlake.com: the program from a console. The program itself is a
// windowed (GUI-subsystem) program, so that no console window opens beside
// it when it is started from Explorer or the Start menu; a console finds
// this companion first on PATH (.com before .exe), which runs marrowlake.exe
// beside it with the same arguments and the console's handles, and waits
// until it ends, handing its exit status on, or until it says that it shows
// its window (an event it sets), so that cmd gets its prompt back then.
// Ctrl+C and the like reach the program through the console it attaches to;
// this process outlives them, waiting for the program, and never makes the
// program ignore them. The program runs in a job that ends it when this
// process ends (Task Manager, a scheduler's time-out), until it shows its
// window: that window is the user's from then on.

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
    const HANDLE job = CreateJobObjectW(nullptr, nullptr);
    if (job) {
        JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
        // The program alone: what it starts (a browser for Help, a Word
        // process) is not tied to this console.
        limits.BasicLimitInformation.LimitFlags =
            JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE | JOB_OBJECT_LIMIT_SILENT_BREAKAWAY_OK;
        SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits);
    }
    if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE,
                        CREATE_SUSPENDED, nullptr, nullptr, &startup, &process)) {
        const std::wstring message = L"marrowlake: " + program + L" could not be started.\r\n";
        DWORD written = 0;
        WriteConsoleW(GetStdHandle(STD_ERROR_HANDLE), message.c_str(), DWORD(message.size()),
                      &written, nullptr);
        return 2;
    }
    // Without a job (one this process is in may refuse), the program still
    // runs; it just does not end with this process.
    const bool inJob = job && AssignProcessToJobObject(job, process.hProcess);
    // Set by the program when it shows its window instead of answering here;
    // named for both processes, so that the program knows it from this one.
    const std::wstring name = L"Local\\marrowlake-console-release-" +
                              std::to_wstring(GetCurrentProcessId()) + L"-" +
                              std::to_wstring(process.dwProcessId);
    HANDLE windowShown = CreateEventW(nullptr, TRUE, FALSE, name.c_str());
    if (windowShown && GetLastError() == ERROR_ALREADY_EXISTS) {
        CloseHandle(windowShown); // someone else's
        windowShown = nullptr;
    }
    ResumeThread(process.hThread);
    CloseHandle(process.hThread);
    runningProgram = process.hProcess;
    const HANDLE either[] = {process.hProcess, windowShown};
    const DWORD which = WaitForMultipleObjects(windowShown ? 2 : 1, either, FALSE, INFINITE);
    DWORD status = 0;
    if (which == WAIT_OBJECT_0) {
        GetExitCodeProcess(process.hProcess, &status);
    } else if (inJob) {
        // The window runs on: the program holds its job itself, so that the
        // job does not end it when this process ends.
        HANDLE held = nullptr;
        DuplicateHandle(GetCurrentProcess(), job, process.hProcess, &held, 0, FALSE,
                        DUPLICATE_SAME_ACCESS);
    }
    return int(status);
}
