#include "WarmStart.h"

#include "BackgroundStarter.h"

#include <utility>

namespace automation {

void WarmStart::begin(BackgroundStarter &starter, std::function<void()> start)
{
    m_starterThread = starter.threadId();
    std::shared_future<void> started = starter.post(std::move(start)).share();
    std::lock_guard lock(m_doneLock);
    m_done = std::move(started);
}

std::shared_future<void> WarmStart::done() const
{
    std::lock_guard lock(m_doneLock);
    return m_done;
}

bool WarmStart::pending() const
{
    return done().valid();
}

bool WarmStart::onStarterThread() const
{
    return std::this_thread::get_id() == m_starterThread;
}

bool WarmStart::waitFor(std::chrono::milliseconds grace,
                        const std::function<void(const std::function<void()> &)> &wait)
{
    const std::shared_future<void> started = done();
    if (!started.valid())
        return true;
    bool ready = false;
    wait([&] { ready = started.wait_for(grace) == std::future_status::ready; });
    return ready;
}

void WarmStart::collect()
{
    std::shared_future<void> started;
    {
        std::lock_guard lock(m_doneLock);
        started = std::exchange(m_done, {});
    }
    if (started.valid())
        started.get();
}

void WarmStart::stop(const std::function<void()> &end)
{
    const std::shared_future<void> started = done();
    if (!started.valid())
        return;
    {
        std::lock_guard lock(m_processLock);
        m_calledOff = true;
        end();
    }
    started.wait();
    std::lock_guard lock(m_doneLock);
    m_done = {};
}

} // namespace automation
