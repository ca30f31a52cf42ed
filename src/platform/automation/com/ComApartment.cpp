#include "ComApartment.h"

#include "WordAutomation.h"

#include <objbase.h>

#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>

namespace automation {

namespace {

// How long a call ended by onLate may take to come back failed.
constexpr auto LateGrace = std::chrono::seconds(10);

// Word rejects calls while it starts or shows a dialog; COM asks the
// caller's message filter whether to try again.
class RetryingMessageFilter : public IMessageFilter
{
public:
    explicit RetryingMessageFilter(std::chrono::milliseconds limit) : m_limit(limit) {}
    virtual ~RetryingMessageFilter() = default;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void **out) override
    {
        if (riid == IID_IUnknown || riid == IID_IMessageFilter) {
            *out = static_cast<IMessageFilter *>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ULONG(InterlockedIncrement(&m_refs)); }
    ULONG STDMETHODCALLTYPE Release() override
    {
        const LONG n = InterlockedDecrement(&m_refs);
        if (n == 0)
            delete this;
        return ULONG(n);
    }
    DWORD STDMETHODCALLTYPE HandleInComingCall(DWORD, HTASK, DWORD, LPINTERFACEINFO) override
    {
        return SERVERCALL_ISHANDLED;
    }
    DWORD STDMETHODCALLTYPE RetryRejectedCall(HTASK, DWORD elapsedMs, DWORD rejectType) override
    {
        // Microsoft's guidance: retry silently for about 30 seconds.
        (void)rejectType;
        return elapsedMs < DWORD(m_limit.count()) ? 250 : DWORD(-1);
    }
    DWORD STDMETHODCALLTYPE MessagePending(HTASK, DWORD, DWORD) override
    {
        return PENDINGMSG_WAITDEFPROCESS;
    }

private:
    LONG m_refs = 1;
    std::chrono::milliseconds m_limit;
};

} // namespace

struct ComApartment::Shared
{
    std::mutex mutex;
    std::condition_variable changed;
    const std::function<void()> *task = nullptr;
    std::exception_ptr failure;
    bool done = false;
    bool stop = false;
    bool waiting = false;
    bool abandoned = false;
};

ComApartment::ComApartment(std::chrono::milliseconds busyLimit)
    : m_shared(std::make_shared<Shared>())
{
    // The thread holds the state itself: an abandoned thread outlives us.
    std::thread([shared = m_shared, busyLimit] {
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        auto *filter = new RetryingMessageFilter(busyLimit);
        IMessageFilter *previous = nullptr;
        CoRegisterMessageFilter(filter, &previous);
        std::unique_lock lock(shared->mutex);
        for (;;) {
            shared->changed.wait(lock, [&] { return shared->stop || shared->task; });
            if (shared->stop)
                break;
            const std::function<void()> task = *shared->task;
            shared->task = nullptr;
            lock.unlock();
            std::exception_ptr failure;
            try {
                task();
            } catch (...) {
                failure = std::current_exception();
            }
            lock.lock();
            shared->failure = failure;
            shared->done = true;
            shared->changed.notify_all();
        }
        lock.unlock();
        CoRegisterMessageFilter(previous, nullptr);
        filter->Release();
        CoUninitialize();
    }).detach();
}

ComApartment::~ComApartment()
{
    std::lock_guard lock(m_shared->mutex);
    m_shared->stop = true;
    m_shared->changed.notify_all();
}

bool ComApartment::run(const std::function<void()> &task, std::chrono::milliseconds limit,
                       const std::function<void()> &whileWaiting,
                       const std::function<void()> &onLate, const std::function<bool()> &stuck)
{
    std::unique_lock lock(m_shared->mutex);
    if (m_shared->abandoned)
        return false;
    // Asked again while a call is under way (from the waiting thread's own
    // events): Word is not to be asked twice at once.
    if (m_shared->waiting)
        throw AutomationError("Word is busy with another request.");
    m_shared->task = &task;
    m_shared->done = false;
    m_shared->failure = nullptr;
    m_shared->waiting = true;
    m_shared->changed.notify_all();
    auto deadline = std::chrono::steady_clock::now() + limit;
    bool late = false;
    while (!m_shared->done) {
        auto now = std::chrono::steady_clock::now();
        if (!late && now < deadline && stuck) {
            lock.unlock();
            const bool givenUp = stuck();
            lock.lock();
            if (m_shared->done)
                break;
            if (givenUp)
                deadline = now = std::chrono::steady_clock::now();
        }
        if (!late && now >= deadline) {
            late = true;
            lock.unlock();
            if (onLate)
                onLate();
            lock.lock();
            continue;
        }
        if (late && now >= deadline + LateGrace) {
            m_shared->abandoned = true;
            break;
        }
        m_shared->changed.wait_for(lock, std::chrono::milliseconds(15));
        if (m_shared->done)
            break;
        if (whileWaiting) {
            lock.unlock();
            whileWaiting();
            lock.lock();
        }
    }
    m_shared->waiting = false;
    if (late)
        return false;
    if (m_shared->failure)
        std::rethrow_exception(m_shared->failure);
    return true;
}

bool ComApartment::busy() const
{
    std::lock_guard lock(m_shared->mutex);
    return m_shared->waiting;
}

bool ComApartment::abandoned() const
{
    std::lock_guard lock(m_shared->mutex);
    return m_shared->abandoned;
}

} // namespace automation
