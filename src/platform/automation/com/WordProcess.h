#pragma once

// What the layer can learn of a Word process without calling into Word:
// which processes run Word, whether one shows a window (then a person is
// using it, and it is never ended), whether it shows a dialog, and whether
// it is getting anywhere. Also what a printer's port asks of a job.

// windows.h first: the other Windows headers need its types.
#include <windows.h>

#include <chrono>
#include <memory>
#include <optional>
#include <set>
#include <string>

namespace automation {

// The running WINWORD.EXE processes.
[[nodiscard]] std::set<DWORD> wordProcesses();
// A handle that may end, wait for and measure the process (empty: none).
[[nodiscard]] std::shared_ptr<void> openWordProcess(DWORD pid);

// The process shows a window of its own on the screen, not only a dialog: a
// person uses it (an invisible Word shows nothing but its questions).
[[nodiscard]] bool showsWindow(DWORD pid);
// The process shows a dialog (a window of the system's dialog class).
[[nodiscard]] bool showsDialog(DWORD pid);

// The port of a printer when it asks for a file name for every job (FILE:,
// PORTPROMPT: of Microsoft Print to PDF and the XPS Document Writer,
// XPSPort:); empty otherwise.
[[nodiscard]] std::string filePromptingPort(const std::string &printer);

// Tells a process that works from one that waits on something nobody will
// do: sampled while a call is under way, it says why the call is to be given
// up, or nothing while the process makes progress (uses the processor, or
// the spooler's jobs on the printer grow).
class ProgressWatch
{
public:
    struct Limits
    {
        // No processor used and no job grown for this long: stuck.
        std::chrono::milliseconds idle{10'000};
        // A dialog shown for this long, the process otherwise idle: a question.
        std::chrono::milliseconds dialog{3'000};
    };

    ProgressWatch(DWORD pid, std::string printer, Limits limits);
    // Why the call is to be given up, or nothing; cheap to call often.
    [[nodiscard]] std::optional<std::string> stuck();

private:
    [[nodiscard]] unsigned long long progressMark() const;

    DWORD m_pid;
    std::string m_printer;
    Limits m_limits;
    std::chrono::steady_clock::time_point m_nextSample;
    std::chrono::steady_clock::time_point m_lastProgress;
    std::optional<std::chrono::steady_clock::time_point> m_dialogSince;
    unsigned long long m_mark = 0;
};

} // namespace automation
