#include "InstanceRegistry.h"

#include "OfficeProcess.h"

#include <vector>

namespace automation {

void InstanceRegistry::add(const void *instance, LiveEnder ender)
{
    std::lock_guard lock(m_mutex);
    m_enders[instance] = std::move(ender);
}

void InstanceRegistry::remove(const void *instance)
{
    std::lock_guard lock(m_mutex);
    m_enders.erase(instance);
}

InstanceRegistry::~InstanceRegistry()
{
    endAll();
}

void InstanceRegistry::retire(std::unique_ptr<OfficeProcess> process, Ender cleanUp,
                              std::chrono::milliseconds timeout)
{
    joinRetiring(false);
    auto done = std::make_shared<std::atomic<bool>>(false);
    std::thread thread([this, process = std::move(process), cleanUp = std::move(cleanUp), timeout,
                        done]() mutable {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (process->running() && !m_stopRetiring && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        process.reset(); // kills it if it is still there
        cleanUp();
        *done = true;
    });
    std::lock_guard lock(m_mutex);
    m_retiring.push_back({std::move(thread), std::move(done)});
}

void InstanceRegistry::joinRetiring(bool all)
{
    std::list<Retiring> finished;
    {
        std::lock_guard lock(m_mutex);
        for (auto it = m_retiring.begin(); it != m_retiring.end();) {
            if (all || *it->done)
                finished.splice(finished.end(), m_retiring, it++);
            else
                ++it;
        }
    }
    for (auto &r : finished)
        r.thread.join();
}

void InstanceRegistry::endAll(bool letJobsArrive)
{
    std::vector<LiveEnder> enders;
    {
        std::lock_guard lock(m_mutex);
        for (auto &[instance, ender] : m_enders)
            enders.push_back(ender);
        m_enders.clear();
    }
    for (auto &ender : enders)
        ender(letJobsArrive);
    m_stopRetiring = true;
    joinRetiring(true);
    m_stopRetiring = false;
}

} // namespace automation
