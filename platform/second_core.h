// The one way the program uses a second core: work in two pieces, one on this thread and one on
// a thread of its own, both finished before the call returns. Whether work is split at all
// follows one policy, which tests set to run both branches on any machine. This is the only
// place that starts threads.
#pragma once

#include <cstdint>
#include <functional>

namespace tav {

enum class SecondCore {
    Off,        // everything on the calling thread
    Automatic,  // split work that is worth it, where this process may run on two cores
    Forced,     // split whatever can be split (tests)
};

// The policy in force for the process; Automatic unless set.
SecondCore secondCorePolicy();
void setSecondCorePolicy(SecondCore policy);

// Whether work of which the caller says `worthIt` is to be split in two under the policy.
bool useSecondCore(bool worthIt);

// Runs first() here and second() on another thread when `split`, else one after the other.
// When both pieces ran, an exception of either is raised here (the first's when both failed).
// Where no thread can be started, both run here in turn: the pieces must not wait for each
// other.
void runBoth(bool split, const std::function<void()>& first, const std::function<void()>& second);

// Steps 0 .. steps - 1 of a producer and a consumer: consume(i) runs after produce(i), each
// side in order, and produce(i) only once consume(i - depth) has ended, so what it makes may
// live in slot i % depth of `depth` slots. When `split`, produce runs on another thread, up to
// `depth` - 1 steps ahead; else (or where no thread can be started) produce(i) and consume(i)
// run here in turn. A failure on either side stops both and is raised here.
void runPipelined(bool split, std::int64_t steps, int depth, const std::function<void(std::int64_t)>& produce,
    const std::function<void(std::int64_t)>& consume);

// Sets the policy for as long as it lives (tests).
class ScopedSecondCorePolicy {
public:
    explicit ScopedSecondCorePolicy(SecondCore policy) : m_previous(secondCorePolicy()) { setSecondCorePolicy(policy); }
    ~ScopedSecondCorePolicy() { setSecondCorePolicy(m_previous); }
    ScopedSecondCorePolicy(const ScopedSecondCorePolicy&) = delete;
    ScopedSecondCorePolicy& operator=(const ScopedSecondCorePolicy&) = delete;

private:
    SecondCore m_previous;
};

}  // namespace tav
