#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <future>
#include <mutex>
#include <thread>

namespace automation {

class BackgroundStarter;

// The start of an office ahead of its document, on a starter's thread: it can
// be called off at any point, and when its document's turn comes it is
// waited for, at most a grace, and its failure handed on. The wait runs on a
// call thread while the caller's thread may call the start off (an
// interruption): each side waits on a copy of the start's state, and only
// its owner resets it.
class WarmStart
{
public:
    // Runs `start` on the starter's thread. `start` makes its process under
    // processLock(), after checking calledOff(), so that stop() either
    // finds the process to end or keeps it from being made.
    void begin(BackgroundStarter &starter, std::function<void()> start);
    [[nodiscard]] bool pending() const;
    [[nodiscard]] bool onStarterThread() const;
    [[nodiscard]] std::mutex &processLock() { return m_processLock; }
    [[nodiscard]] bool calledOff() const { return m_calledOff; }

    // Waits for the start, at most `grace`, through `wait` (which may keep
    // a window painted meanwhile); false when it has not ended by then.
    [[nodiscard]] bool waitFor(std::chrono::milliseconds grace,
                               const std::function<void(const std::function<void()> &)> &wait);
    // Once the start has ended: rethrows its failure, if any.
    void collect();
    // Calls the start off: `end` (run under processLock()) ends what it has
    // made so far; then waits for the start to return.
    void stop(const std::function<void()> &end);

private:
    [[nodiscard]] std::shared_future<void> done() const;

    mutable std::mutex m_doneLock;
    std::shared_future<void> m_done;
    std::thread::id m_starterThread;
    std::mutex m_processLock;
    std::atomic<bool> m_calledOff = false;
};

} // namespace automation
