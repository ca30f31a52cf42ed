#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <string>
#include <sys/types.h>
#include <thread>
#include <vector>

namespace automation {

// One private soffice.bin process: its own process group, killed with us
// (parent-death signal), and a watchdog that kills it when a call into it
// takes longer than allowed.
class OfficeProcess
{
public:
    // environment: "NAME=value" entries that replace or add to ours.
    OfficeProcess(const std::string &executable, const std::vector<std::string> &arguments,
                  const std::vector<std::string> &environment = {});
    ~OfficeProcess();
    OfficeProcess(const OfficeProcess &) = delete;
    OfficeProcess &operator=(const OfficeProcess &) = delete;

    [[nodiscard]] pid_t pid() const { return m_pid; }
    // The exit status once the process has ended (reaped), -1 for a signal.
    [[nodiscard]] std::optional<int> exitStatus();
    [[nodiscard]] bool running() { return !exitStatus().has_value(); }
    // Kills the whole process group and reaps the process.
    void kill();
    // Only sends the kill (from any thread); the owner reaps it.
    void signalKill();
    // Waits up to the given time for the process to end by itself.
    [[nodiscard]] bool waitForExit(std::chrono::milliseconds timeout);

    // The paths of the local sockets the process listens on (the office's
    // pipes, which it leaves behind in the temporary folder).
    [[nodiscard]] std::vector<std::string> socketPaths() const;

    // Kills the process if it is still running when the deadline passes,
    // until disarmed; a hung call into the office then fails instead of hanging.
    // A process that uses no processor time at all for the idle limit
    // (stopped, or waiting for something that never comes) is killed sooner.
    void armWatchdog(std::chrono::milliseconds timeout);
    void disarmWatchdog();
    void setIdleLimit(std::chrono::milliseconds limit) { m_idleLimit = limit; }
    [[nodiscard]] bool killedByWatchdog() const { return m_killedByWatchdog; }
    [[nodiscard]] bool killedAsIdle() const { return m_killedAsIdle; }

private:
    void watch();
    void killByWatchdog(bool idle);
    void sendKill(); // the group and the process, without reaping
    [[nodiscard]] long long cpuTicks() const;

    pid_t m_pid = -1;
    std::optional<int> m_status;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::optional<std::chrono::steady_clock::time_point> m_deadline;
    std::chrono::steady_clock::time_point m_armedAt;
    bool m_stopWatching = false;
    std::atomic<bool> m_killedByWatchdog{false};
    std::atomic<bool> m_killedAsIdle{false};
    std::chrono::milliseconds m_idleLimit{30'000};
    std::thread m_watchdog;
};

} // namespace automation
