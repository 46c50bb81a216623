// Waiting for a companion thread that is about to deliver. A thread put to sleep on a condition
// took 0.1 to 1 ms to run again after it was woken on the virtual machines this was measured on
// (its idle core must be given back by the host first), longer than the rows it waited for. So a
// waiter that has nothing else to do first spins for a bounded time, keeping its core, and only
// then sleeps.
#pragma once

#include <atomic>
#include <chrono>
#include <thread>

namespace tav {

// Spins until ready() or for `limit`: true when ready() held. Between looks it yields, so a
// thread it waits for that shares its core (a busy machine) is not held up by the spin.
template <typename Ready> bool spinUntil(Ready ready, std::chrono::microseconds limit)
{
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!ready()) {
        if (std::chrono::steady_clock::now() >= end)
            return false;
        std::this_thread::yield();
    }
    return true;
}

// Two threads meeting again and again, as std::barrier of two, but the first to arrive spins
// for up to `spin` before it sleeps.
class TwoThreadMeeting {
public:
    explicit TwoThreadMeeting(std::chrono::microseconds spin) : m_spin(spin) { }

    void arriveAndWait()
    {
        const unsigned meeting = m_meeting.load(std::memory_order_acquire);
        if (m_arrived.fetch_add(1, std::memory_order_acq_rel) == 1) {
            // The second to arrive ends the meeting; the count is reset before anyone can see
            // the next meeting begin.
            m_arrived.store(0, std::memory_order_relaxed);
            m_meeting.store(meeting + 1, std::memory_order_release);
            m_meeting.notify_one();
            return;
        }
        if (!spinUntil([&] { return m_meeting.load(std::memory_order_acquire) != meeting; }, m_spin))
            m_meeting.wait(meeting, std::memory_order_acquire);
    }

private:
    const std::chrono::microseconds m_spin;
    std::atomic<unsigned> m_arrived{0};
    std::atomic<unsigned> m_meeting{0};
};

}  // namespace tav
