// The one way the program uses a second core: two pieces of work, one on this thread and one
// on a thread of its own, both finished before the call returns. Whether work is split at all
// follows one policy, which tests set to run both branches on any machine.
#pragma once

#include <exception>
#include <system_error>
#include <thread>

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
template <class First, class Second> void runBoth(bool split, First&& first, Second&& second)
{
    std::exception_ptr secondFailure;
    std::thread helper;
    if (split) {
        try {
            helper = std::thread([&] {
                try {
                    second();
                } catch (...) {
                    secondFailure = std::current_exception();
                }
            });
        } catch (const std::system_error&) {
            split = false;  // no thread to be had (a process limit, no memory for its stack)
        }
    }
    try {
        first();
    } catch (...) {
        if (helper.joinable())
            helper.join();
        throw;
    }
    if (!split) {
        second();
        return;
    }
    helper.join();
    if (secondFailure)
        std::rethrow_exception(secondFailure);
}

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
