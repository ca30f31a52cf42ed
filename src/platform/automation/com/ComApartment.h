#pragma once

// windows.h first: the other Windows headers need its types.
#include <windows.h>

#include <chrono>
#include <functional>
#include <memory>

namespace automation {

// A single-threaded COM apartment of its own for one Word instance: every
// call into the instance runs there, so that the caller's thread can keep its
// window going and give up on a call that does not come back. Calls rejected
// while Word is busy are retried by the apartment's message filter.
class ComApartment
{
public:
    // busyLimit: how long a call that Word rejects as busy is retried.
    explicit ComApartment(std::chrono::milliseconds busyLimit);
    // Ends the apartment's thread, or leaves it behind when a call never
    // came back.
    ~ComApartment();
    ComApartment(const ComApartment &) = delete;
    ComApartment &operator=(const ComApartment &) = delete;

    // Runs task in the apartment and returns (or throws) what it did. The
    // calling thread calls whileWaiting every few milliseconds meanwhile.
    // Past limit, onLate is called once (it ends the server, so that the call
    // comes back failed); a call still not back after a grace is left
    // behind, with the apartment, and abandoned() is true from then on.
    // Returns false when the call was late; a failure of a call in time is
    // thrown, and so is a call asked for while another is under way. When
    // stuck (asked while waiting) says so, the call counts as late at once.
    bool run(const std::function<void()> &task, std::chrono::milliseconds limit,
             const std::function<void()> &whileWaiting, const std::function<void()> &onLate,
             const std::function<bool()> &stuck = {});

    // A call is under way (the caller's thread is waiting in run()).
    [[nodiscard]] bool busy() const;
    // A call never came back: nothing more can be asked here.
    [[nodiscard]] bool abandoned() const;

private:
    struct Shared;
    std::shared_ptr<Shared> m_shared;
};

} // namespace automation
