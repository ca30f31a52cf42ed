#pragma once

#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <list>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <sys/types.h>
#include <thread>

namespace automation {

// The office instances that are alive now, so that all of them can be ended
// at once when the program ends in the middle of a document.
class OfficeProcess;

class InstanceRegistry
{
public:
    using Ender = std::function<void()>;
    // Ends a live instance; letJobsArrive: a job on its way to the scheduler
    // is waited for rather than cancelled.
    using LiveEnder = std::function<void(bool letJobsArrive)>;

    ~InstanceRegistry();

    void add(const void *instance, LiveEnder ender);
    void remove(const void *instance);
    // An instance that was told to quit: its process is awaited in the
    // background (killed after the timeout), then cleanUp runs.
    void retire(std::unique_ptr<OfficeProcess> process, Ender cleanUp,
                std::chrono::milliseconds timeout);
    // Ends every live instance at once, and every retiring one.
    void endAll(bool letJobsArrive = true);

private:
    struct Retiring
    {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> done;
    };
    void joinRetiring(bool all);

    std::mutex m_mutex;
    std::map<const void *, LiveEnder> m_enders;
    std::list<Retiring> m_retiring;
    std::atomic<bool> m_stopRetiring{false};
};

} // namespace automation
