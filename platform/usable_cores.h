// How many cores this process may run on: a second thread pays only where there is a second
// core for it. The affinity mask counts what taskset or a container's cpuset allows, which
// std::thread::hardware_concurrency() does not (it counts the machine's cores, reading a file
// in /sys to do so, three system calls instead of one).
#pragma once

#include <thread>

#ifdef __linux__
#include <sched.h>
#endif

namespace tav {

inline unsigned usableCores()
{
#ifdef __linux__
    cpu_set_t allowed;
    CPU_ZERO(&allowed);
    if (sched_getaffinity(0, sizeof allowed, &allowed) == 0)
        return unsigned(CPU_COUNT(&allowed));
#endif
    return std::thread::hardware_concurrency();
}

}  // namespace tav
