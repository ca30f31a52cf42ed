#include "WarmStart.h"

#include "BackgroundStarter.h"

namespace automation {

void WarmStart::begin(BackgroundStarter &starter, std::function<void()> start)
{
    m_starterThread = starter.threadId();
    m_done = starter.post(std::move(start));
}

bool WarmStart::onStarterThread() const
{
    return std::this_thread::get_id() == m_starterThread;
}

bool WarmStart::waitFor(std::chrono::milliseconds grace,
                        const std::function<void(const std::function<void()> &)> &wait)
{
    bool ready = false;
    wait([&] { ready = m_done.wait_for(grace) == std::future_status::ready; });
    return ready;
}

void WarmStart::collect()
{
    std::future<void> done = std::move(m_done);
    done.get();
}

void WarmStart::stop(const std::function<void()> &end)
{
    if (!m_done.valid())
        return;
    {
        std::lock_guard lock(m_processLock);
        m_calledOff = true;
        end();
    }
    m_done.wait();
    m_done = {};
}

} // namespace automation
