#include "platform/spin_wait.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace tav {
namespace {

// Two threads in lockstep: between two meetings each does one step, and at every meeting both
// have done the same number of steps. Both with the spin and with an immediate sleep.
TEST(TwoThreadMeetingTest, KeepsBothThreadsInStep)
{
    for (const auto spin : {std::chrono::microseconds(0), std::chrono::microseconds(2000)}) {
        SCOPED_TRACE(spin.count());
        TwoThreadMeeting meet(spin);
        constexpr int kRounds = 5000;
        std::atomic<int> a{0}, b{0};
        std::atomic<int> outOfStep{0};
        const auto steps = [&](std::atomic<int>& mine, const std::atomic<int>& theirs) {
            for (int i = 0; i < kRounds; ++i) {
                mine.fetch_add(1);
                meet.arriveAndWait();
                if (theirs.load() != i + 1)
                    outOfStep.fetch_add(1);
                meet.arriveAndWait();
            }
        };
        std::thread other([&] { steps(b, a); });
        steps(a, b);
        other.join();
        EXPECT_EQ(outOfStep.load(), 0);
    }
}

TEST(SpinUntilTest, GivesUpAfterItsLimit)
{
    EXPECT_TRUE(spinUntil([] { return true; }, std::chrono::microseconds(0)));
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(spinUntil([] { return false; }, std::chrono::microseconds(3000)));
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::microseconds(3000));
}

}  // namespace
}  // namespace tav
