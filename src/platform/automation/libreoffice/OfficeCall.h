#pragma once

#include "WordAutomation.h"

#include <chrono>
#include <functional>

namespace automation {

class OfficeProcess;

// The office process's watchdog, armed for one call and disarmed however the
// call ends.
class WatchdogGuard
{
public:
    WatchdogGuard(OfficeProcess &process, std::chrono::milliseconds limit);
    ~WatchdogGuard();
    WatchdogGuard(const WatchdogGuard &) = delete;
    WatchdogGuard &operator=(const WatchdogGuard &) = delete;

private:
    OfficeProcess &m_process;
};

// How a call into an office is made: on a thread of its own while the
// caller's window is kept painted (when there is a window to paint), and, as
// a guarded call, under the process's watchdog.
class OfficeCall
{
public:
    // repaint: keeps the caller's window painted; empty: calls block.
    // direct: whether the current thread calls as it is (the thread that
    // starts an office ahead has no window to paint).
    OfficeCall(YieldFunction repaint, std::function<bool()> direct);

    void operator()(const std::function<void()> &call) const;
    void guarded(OfficeProcess &process, std::chrono::milliseconds limit,
                 const std::function<void()> &call) const;

private:
    YieldFunction m_repaint;
    std::function<bool()> m_direct;
};

} // namespace automation
