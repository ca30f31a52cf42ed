#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <future>
#include <mutex>
#include <thread>

namespace automation {

// One thread that lives as long as its owner and runs jobs in turn. Offices
// started ahead of time are started from here: a process started from a
// thread that ends would be killed with it (its parent-death signal follows
// the thread that started it).
class BackgroundStarter
{
public:
    BackgroundStarter();
    ~BackgroundStarter();
    BackgroundStarter(const BackgroundStarter &) = delete;
    BackgroundStarter &operator=(const BackgroundStarter &) = delete;

    [[nodiscard]] std::future<void> post(std::function<void()> job);
    [[nodiscard]] std::thread::id threadId() const { return m_thread.get_id(); }

private:
    void run();

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<std::packaged_task<void()>> m_jobs;
    bool m_stopping = false;
    std::thread m_thread;
};

} // namespace automation
