#pragma once

#include <com/sun/star/lang/EventObject.hpp>
#include <com/sun/star/view/PrintJobEvent.hpp>
#include <com/sun/star/view/PrintableState.hpp>
#include <com/sun/star/view/XPrintJobListener.hpp>
#include <cppuhelper/implbase1.hxx>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <utility>

namespace automation {

// Counts the print jobs that are not yet handed to the spooler, and whether
// any of them failed. Events arrive on a bridge thread.
class PrintJobWatcher : public cppu::WeakImplHelper1<css::view::XPrintJobListener>
{
public:
    // wake: called on the bridge's thread when a job is done with.
    explicit PrintJobWatcher(std::function<void()> wake = {}) : m_wake(std::move(wake)) {}

    void jobStarted() { ++m_pending; }
    [[nodiscard]] long pending() const { return m_pending; }
    [[nodiscard]] bool failed() const { return m_failed; }
    // Waits, at most the timeout, for the pending jobs to be done with: it
    // returns the moment the office says so.
    void waitUntilDone(std::chrono::milliseconds timeout)
    {
        std::unique_lock lock(m_mutex);
        m_done.wait_for(lock, timeout, [this] { return m_pending == 0 || m_failed; });
    }

    void SAL_CALL printJobEvent(const css::view::PrintJobEvent &event) override
    {
        using namespace css::view;
        switch (event.State) {
        case PrintableState_JOB_SPOOLED:
            finishOne();
            break;
        case PrintableState_JOB_ABORTED:
        case PrintableState_JOB_FAILED:
        case PrintableState_JOB_SPOOLING_FAILED:
            m_failed = true;
            finishOne();
            break;
        default:
            break;
        }
    }
    void SAL_CALL disposing(const css::lang::EventObject &) override {}

private:
    void finishOne()
    {
        {
            std::lock_guard lock(m_mutex);
            long expected = m_pending;
            while (expected > 0 && !m_pending.compare_exchange_weak(expected, expected - 1)) {
            }
        }
        m_done.notify_all();
        if (m_wake)
            m_wake();
    }

    std::mutex m_mutex;
    std::condition_variable m_done;

    std::function<void()> m_wake;

    std::atomic<long> m_pending{0};
    std::atomic<bool> m_failed{false};
};

} // namespace automation
