// Waiting for a companion thread that is about to deliver. A thread put to sleep on a condition
// took 0.1 to 1 ms to run again after it was woken on the virtual machines this was measured on
// (its idle core must be given back by the host first), longer than the rows it waited for. So a
// waiter that has nothing else to do first spins for a bounded time, its core kept busy, and
// only then sleeps.
#pragma once

#include <chrono>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

namespace tav {

// Tells the core that this is a spin (a sibling hardware thread gets the core meanwhile).
inline void cpuRelax()
{
#if defined(__x86_64__) || defined(__i386__)
    _mm_pause();
#elif defined(__aarch64__)
    asm volatile("yield");
#endif
}

// Spins until ready() or for `limit`: true when ready() held.
template <typename Ready> bool spinUntil(Ready ready, std::chrono::microseconds limit)
{
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!ready()) {
        if (std::chrono::steady_clock::now() >= end)
            return false;
        for (int i = 0; i < 32; ++i)
            cpuRelax();
    }
    return true;
}

}  // namespace tav
