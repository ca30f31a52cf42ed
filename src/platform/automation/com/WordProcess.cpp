#include "WordProcess.h"

#include "ComDispatch.h"

#include <tlhelp32.h>
#include <winspool.h>

#include <vector>

namespace automation {

namespace {

enum class Shown
{
    Window, // a window that is not a dialog: Word's own, as a person sees it
    Dialog
};

struct WindowSearch
{
    DWORD pid;
    Shown what;
    bool found = false;
};

BOOL CALLBACK visitWindow(HWND window, LPARAM context)
{
    auto &search = *reinterpret_cast<WindowSearch *>(context);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid != search.pid || !IsWindowVisible(window))
        return TRUE;
    wchar_t name[16] = {};
    GetClassNameW(window, name, 16);
    const bool dialog = wcscmp(name, L"#32770") == 0;
    if (dialog != (search.what == Shown::Dialog))
        return TRUE;
    search.found = true;
    return FALSE;
}

bool findWindow(DWORD pid, Shown what)
{
    if (pid == 0)
        return false;
    WindowSearch search{pid, what};
    EnumWindows(visitWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

unsigned long long ticks(const FILETIME &time)
{
    return (static_cast<unsigned long long>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

// The processor time of the process's threads, as a sum.
unsigned long long processorTime(DWORD pid)
{
    unsigned long long total = 0;
    const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return 0;
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
        if (entry.th32OwnerProcessID != pid)
            continue;
        if (HANDLE thread =
                OpenThread(THREAD_QUERY_LIMITED_INFORMATION, FALSE, entry.th32ThreadID)) {
            FILETIME created, exited, kernel, user;
            if (GetThreadTimes(thread, &created, &exited, &kernel, &user))
                total += ticks(kernel) + ticks(user);
            CloseHandle(thread);
        }
    }
    CloseHandle(snapshot);
    return total;
}

// Holds an open printer for as long as it is needed.
struct Printer
{
    explicit Printer(const std::string &name)
    {
        std::wstring printer = ComDispatch::wide(name);
        if (!OpenPrinterW(printer.data(), &handle, nullptr))
            handle = nullptr;
    }
    ~Printer()
    {
        if (handle)
            ClosePrinter(handle);
    }
    HANDLE handle = nullptr;
};

// How far the printer's jobs have come: their sizes and pages, summed.
unsigned long long spooled(const std::string &printerName)
{
    if (printerName.empty())
        return 0;
    Printer printer(printerName);
    if (!printer.handle)
        return 0;
    DWORD needed = 0, count = 0;
    EnumJobsW(printer.handle, 0, 64, 2, nullptr, 0, &needed, &count);
    if (needed == 0)
        return 0;
    std::vector<BYTE> buffer(needed);
    if (!EnumJobsW(printer.handle, 0, 64, 2, buffer.data(), needed, &needed, &count))
        return 0;
    unsigned long long total = count;
    const auto *jobs = reinterpret_cast<const JOB_INFO_2W *>(buffer.data());
    for (DWORD i = 0; i < count; ++i)
        total += jobs[i].Size + jobs[i].TotalPages + jobs[i].PagesPrinted;
    return total;
}

} // namespace

std::set<DWORD> wordProcesses()
{
    std::set<DWORD> pids;
    const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return pids;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot, &entry); more;
         more = Process32NextW(snapshot, &entry))
        if (_wcsicmp(entry.szExeFile, L"WINWORD.EXE") == 0)
            pids.insert(entry.th32ProcessID);
    CloseHandle(snapshot);
    return pids;
}

std::shared_ptr<void> openWordProcess(DWORD pid)
{
    if (pid == 0)
        return {};
    if (HANDLE handle = OpenProcess(
            PROCESS_TERMINATE | SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid))
        return std::shared_ptr<void>(handle, CloseHandle);
    return {};
}

bool showsWindow(DWORD pid)
{
    return findWindow(pid, Shown::Window);
}

bool showsDialog(DWORD pid)
{
    return findWindow(pid, Shown::Dialog);
}

std::string filePromptingPort(const std::string &printerName)
{
    Printer printer(printerName);
    if (!printer.handle)
        return {};
    DWORD needed = 0;
    GetPrinterW(printer.handle, 2, nullptr, 0, &needed);
    if (needed == 0)
        return {};
    std::vector<BYTE> buffer(needed);
    if (!GetPrinterW(printer.handle, 2, buffer.data(), needed, &needed))
        return {};
    const wchar_t *port = reinterpret_cast<const PRINTER_INFO_2W *>(buffer.data())->pPortName;
    if (!port)
        return {};
    for (const wchar_t *asking : {L"FILE:", L"PORTPROMPT:", L"XPSPort:"})
        if (_wcsicmp(port, asking) == 0)
            return ComDispatch::narrow(port);
    return {};
}

ProgressWatch::ProgressWatch(DWORD pid, std::string printer, Limits limits)
    : m_pid(pid), m_printer(std::move(printer)), m_limits(limits),
      m_nextSample(std::chrono::steady_clock::now()), m_lastProgress(m_nextSample),
      m_mark(progressMark())
{
}

unsigned long long ProgressWatch::progressMark() const
{
    return processorTime(m_pid) + spooled(m_printer);
}

std::optional<std::string> ProgressWatch::stuck()
{
    const auto now = std::chrono::steady_clock::now();
    if (m_pid == 0 || now < m_nextSample)
        return std::nullopt;
    m_nextSample = now + std::chrono::milliseconds(500);
    if (const unsigned long long mark = progressMark(); mark != m_mark) {
        m_mark = mark;
        m_lastProgress = now;
    }
    if (!showsDialog(m_pid))
        m_dialogSince.reset();
    else if (!m_dialogSince)
        m_dialogSince = now;
    const auto idleFor = now - m_lastProgress;
    if (m_dialogSince && now - *m_dialogSince >= m_limits.dialog && idleFor >= m_limits.dialog)
        return "Word is waiting for an answer in a dialog that nobody can see.";
    if (idleFor >= m_limits.idle)
        return "Word stopped working on it (it used no processor for " +
               std::to_string(m_limits.idle.count() / 1000) + " seconds).";
    return std::nullopt;
}

} // namespace automation
