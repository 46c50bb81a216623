// The affinity mask counts the cores this process may run on, which taskset or a container's
// cpuset limits; std::thread::hardware_concurrency() counts the machine's.
#include "second_core.h"

#include <atomic>

#ifdef __linux__
#include <sched.h>
#endif

namespace tav {

namespace {

std::atomic<SecondCore> g_policy{SecondCore::Automatic};

unsigned usableCores()
{
#ifdef __linux__
    cpu_set_t allowed;
    CPU_ZERO(&allowed);
    if (sched_getaffinity(0, sizeof allowed, &allowed) == 0)
        return unsigned(CPU_COUNT(&allowed));
#endif
    return std::thread::hardware_concurrency();
}

}  // namespace

SecondCore secondCorePolicy() { return g_policy.load(std::memory_order_relaxed); }

void setSecondCorePolicy(SecondCore policy) { g_policy.store(policy, std::memory_order_relaxed); }

bool useSecondCore(bool worthIt)
{
    switch (secondCorePolicy()) {
    case SecondCore::Off: return false;
    case SecondCore::Forced: return true;
    case SecondCore::Automatic: break;
    }
    return worthIt && usableCores() >= 2;
}

}  // namespace tav
