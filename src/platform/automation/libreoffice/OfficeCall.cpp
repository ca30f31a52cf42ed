#include "OfficeCall.h"

#include "OfficeProcess.h"

#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>

namespace automation {

WatchdogGuard::WatchdogGuard(OfficeProcess &process, std::chrono::milliseconds limit)
    : m_process(process)
{
    m_process.armWatchdog(limit);
}

WatchdogGuard::~WatchdogGuard()
{
    m_process.disarmWatchdog();
}

OfficeCall::OfficeCall(YieldFunction repaint, std::function<bool()> direct)
    : m_repaint(std::move(repaint)), m_direct(std::move(direct))
{
}

void OfficeCall::operator()(const std::function<void()> &call) const
{
    if (!m_repaint || (m_direct && m_direct())) {
        call();
        return;
    }
    // The call waits for the office on a thread of its own, so that this
    // thread can keep the window painted however long the office takes.
    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;
    std::exception_ptr failure;
    std::thread worker([&] {
        try {
            call();
        } catch (...) {
            failure = std::current_exception();
        }
        std::lock_guard lock(mutex);
        done = true;
        finished.notify_all();
    });
    std::unique_lock lock(mutex);
    while (!done) {
        lock.unlock();
        m_repaint();
        lock.lock();
        finished.wait_for(lock, std::chrono::milliseconds(15), [&] { return done; });
    }
    lock.unlock();
    worker.join();
    if (failure)
        std::rethrow_exception(failure);
}

void OfficeCall::guarded(OfficeProcess &process, std::chrono::milliseconds limit,
                         const std::function<void()> &call) const
{
    const WatchdogGuard guard(process, limit);
    (*this)(call);
}

} // namespace automation
