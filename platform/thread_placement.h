// A helper thread that shares one picture's work with its caller must run on another core. A
// new thread is often queued on its creator's core and moved to the idle one only milliseconds
// later (here, in about half of the runs of the startup logo: 15.5 ms instead of 11.5), which
// is longer than the work it was made for. So the helper is told at once to keep off the core
// the caller is running on. Only for a helper that is the caller's one companion: two helpers
// kept off the caller's core share the other one (the season-3 loading screen, whose stretch
// has a helper of its own, took 140 ms instead of 92 with both kept off). Only advice: with one
// core allowed, or elsewhere than on Linux, nothing changes.
#pragma once

#include <thread>

#ifdef __linux__
#include <pthread.h>
#include <sched.h>
#endif

namespace tav {

inline void keepOffCallersCore(std::thread& helper)
{
#ifdef __linux__
    cpu_set_t allowed;
    CPU_ZERO(&allowed);
    const int here = sched_getcpu();
    if (here < 0 || here >= CPU_SETSIZE || sched_getaffinity(0, sizeof allowed, &allowed) != 0)
        return;
    CPU_CLR(here, &allowed);
    if (CPU_COUNT(&allowed) > 0)
        pthread_setaffinity_np(helper.native_handle(), sizeof allowed, &allowed);
#else
    (void)helper;
#endif
}

}  // namespace tav
