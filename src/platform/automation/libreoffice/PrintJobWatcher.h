#pragma once

#include <com/sun/star/lang/EventObject.hpp>
#include <com/sun/star/view/PrintJobEvent.hpp>
#include <com/sun/star/view/PrintableState.hpp>
#include <com/sun/star/view/XPrintJobListener.hpp>
#include <cppuhelper/implbase1.hxx>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>

namespace automation {

// Counts the print jobs that are not yet handed to the spooler, and whether
// any of them failed. Events arrive on a bridge thread.
class PrintJobWatcher : public cppu::WeakImplHelper1<css::view::XPrintJobListener>
{
public:
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
            if (m_pending > 0)
                --m_pending;
        }
        m_done.notify_all();
    }

    std::mutex m_mutex;
    std::condition_variable m_done;

    std::atomic<long> m_pending{0};
    std::atomic<bool> m_failed{false};
};

} // namespace automation
