#include "second_core.h"

#include <atomic>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>

#ifdef __linux__
#include <sched.h>
#endif

namespace tav {

namespace {

std::atomic<SecondCore> g_policy{SecondCore::Automatic};

// The affinity mask counts the cores this process may run on, which taskset or a container's
// cpuset limits; hardware_concurrency() counts the machine's.
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

// A thread running `work`, or none where the system has no thread to give (a process limit,
// no memory for its stack).
template <class Work> std::thread startThread(Work&& work)
{
    try {
        return std::thread(std::forward<Work>(work));
    } catch (const std::system_error&) {
        return {};
    }
}

// Where the two sides of a pipeline stand, under one lock.
class PipelineState {
public:
    explicit PipelineState(int depth) : m_depth(depth) { }

    // Waits until step `i` may be produced; false when the consumer has stopped.
    bool mayProduce(std::int64_t i)
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [&] { return m_stopped || i - m_consumed < m_depth; });
        return !m_stopped;
    }
    void produced(std::int64_t i)
    {
        const std::lock_guard lock(m_mutex);
        m_produced = i + 1;
        m_changed.notify_all();
    }
    void producerFailed(std::exception_ptr failure)
    {
        const std::lock_guard lock(m_mutex);
        m_failure = std::move(failure);
        m_changed.notify_all();
    }
    // Waits until step `i` is made; raises the producer's failure instead.
    void waitForProduct(std::int64_t i)
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [&] { return m_failure || m_produced > i; });
        if (m_produced <= i)
            std::rethrow_exception(m_failure);
    }
    void consumed(std::int64_t i)
    {
        const std::lock_guard lock(m_mutex);
        m_consumed = i + 1;
        m_changed.notify_all();
    }
    void stop()
    {
        const std::lock_guard lock(m_mutex);
        m_stopped = true;
        m_changed.notify_all();
    }

private:
    const int m_depth;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::int64_t m_produced = 0;
    std::int64_t m_consumed = 0;
    bool m_stopped = false;
    std::exception_ptr m_failure;
};

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

void runBoth(bool split, const std::function<void()>& first, const std::function<void()>& second)
{
    std::exception_ptr secondFailure;
    std::thread helper;
    if (split)
        helper = startThread([&] {
            try {
                second();
            } catch (...) {
                secondFailure = std::current_exception();
            }
        });
    try {
        first();
    } catch (...) {
        if (helper.joinable())
            helper.join();
        throw;
    }
    if (!helper.joinable()) {
        second();
        return;
    }
    helper.join();
    if (secondFailure)
        std::rethrow_exception(secondFailure);
}

void runPipelined(bool split, std::int64_t steps, int depth, const std::function<void(std::int64_t)>& produce,
    const std::function<void(std::int64_t)>& consume)
{
    PipelineState state(depth);
    std::thread producer;
    if (split && steps > 1 && depth > 1)
        producer = startThread([&] {
            try {
                for (std::int64_t i = 0; i < steps && state.mayProduce(i); ++i) {
                    produce(i);
                    state.produced(i);
                }
            } catch (...) {
                state.producerFailed(std::current_exception());
            }
        });
    if (!producer.joinable()) {
        for (std::int64_t i = 0; i < steps; ++i) {
            produce(i);
            consume(i);
        }
        return;
    }
    const auto finish = [&] {
        state.stop();
        producer.join();
    };
    try {
        for (std::int64_t i = 0; i < steps; ++i) {
            state.waitForProduct(i);
            consume(i);
            state.consumed(i);
        }
    } catch (...) {
        finish();
        throw;
    }
    finish();
}

}  // namespace tav
