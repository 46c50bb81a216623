// The one helper for a second core: what it runs where, and that a failure on either side
// reaches the caller only once both sides have ended.
#include "platform/second_core.h"

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <stdexcept>
#include <thread>
#include <vector>

namespace tav {
namespace {

TEST(SecondCore, ThePolicyDecidesWhetherWorkIsSplit)
{
    {
        const ScopedSecondCorePolicy off(SecondCore::Off);
        EXPECT_FALSE(useSecondCore(true));
    }
    {
        const ScopedSecondCorePolicy forced(SecondCore::Forced);
        EXPECT_TRUE(useSecondCore(false));
        EXPECT_TRUE(useSecondCore(true));
    }
    EXPECT_EQ(secondCorePolicy(), SecondCore::Automatic);
    EXPECT_FALSE(useSecondCore(false));
}

TEST(SecondCore, RunsBothPiecesOnTwoThreadsOrInTurn)
{
    for (bool split : {false, true}) {
        std::thread::id here = std::this_thread::get_id(), firstOn, secondOn;
        std::atomic<int> order{0};
        int firstAt = 0, secondAt = 0;
        runBoth(split, [&] { firstOn = std::this_thread::get_id(), firstAt = ++order; },
            [&] { secondOn = std::this_thread::get_id(), secondAt = ++order; });
        EXPECT_EQ(firstOn, here);
        EXPECT_EQ(secondOn == here, !split);
        if (!split) {
            EXPECT_EQ(firstAt, 1);
            EXPECT_EQ(secondAt, 2);
        }
    }
}

TEST(SecondCore, AFailureOnEitherSideIsRaisedOnceBothHaveEnded)
{
    for (bool split : {false, true}) {
        std::atomic<bool> secondEnded{false};
        EXPECT_THROW(runBoth(split, [] { throw std::runtime_error("first"); }, [&] { secondEnded = true; }),
            std::runtime_error);
        // Split, the second piece has finished before the failure reached the caller; in turn,
        // the failure of the first ends the work.
        EXPECT_EQ(secondEnded.load(), split);

        bool firstEnded = false;
        try {
            runBoth(split, [&] { firstEnded = true; }, [] { throw std::logic_error("second"); });
            ADD_FAILURE() << "no failure";
        } catch (const std::logic_error& e) {
            EXPECT_STREQ(e.what(), "second");
        }
        EXPECT_TRUE(firstEnded);

        try {
            runBoth(split, [] { throw std::runtime_error("first"); }, [] { throw std::runtime_error("second"); });
            ADD_FAILURE() << "no failure";
        } catch (const std::runtime_error& e) {
            EXPECT_STREQ(e.what(), "first");
        }
    }
}

TEST(SecondCore, APipelineConsumesEveryStepInOrderAndNeverOverwritesASlotInUse)
{
    constexpr int kSteps = 200, kDepth = 3;
    for (bool split : {false, true}) {
        std::array<std::int64_t, kDepth> slots{};
        std::atomic<std::int64_t> consumed{0};
        std::vector<std::int64_t> seen;
        std::atomic<bool> overtaken{false};
        runPipelined(
            split, kSteps, kDepth,
            [&](std::int64_t i) {
                // The slot's last step must have been consumed before it is made again.
                if (i - kDepth >= consumed.load())
                    overtaken = true;
                slots[std::size_t(i % kDepth)] = i * 7;
            },
            [&](std::int64_t i) {
                seen.push_back(slots[std::size_t(i % kDepth)] / 7);
                consumed = i + 1;
            });
        EXPECT_FALSE(overtaken.load());
        ASSERT_EQ(seen.size(), std::size_t(kSteps));
        for (std::int64_t i = 0; i < kSteps; ++i)
            EXPECT_EQ(seen[std::size_t(i)], i);
    }
}

TEST(SecondCore, APipelineFailureOnEitherSideStopsBothAndIsRaisedHere)
{
    for (bool split : {false, true}) {
        // The producer fails at step 5: the steps before it are still consumed, none after.
        std::int64_t consumedUpTo = -1;
        try {
            runPipelined(
                split, 100, 4,
                [](std::int64_t i) {
                    if (i == 5)
                        throw std::runtime_error("produce");
                },
                [&](std::int64_t i) { consumedUpTo = i; });
            ADD_FAILURE() << "no failure";
        } catch (const std::runtime_error& e) {
            EXPECT_STREQ(e.what(), "produce");
        }
        EXPECT_EQ(consumedUpTo, 4);

        // The consumer fails at step 3: the producer stops within its few steps ahead.
        std::atomic<std::int64_t> producedUpTo{-1};
        try {
            runPipelined(
                split, 100, 4, [&](std::int64_t i) { producedUpTo = i; },
                [](std::int64_t i) {
                    if (i == 3)
                        throw std::logic_error("consume");
                });
            ADD_FAILURE() << "no failure";
        } catch (const std::logic_error& e) {
            EXPECT_STREQ(e.what(), "consume");
        }
        EXPECT_GE(producedUpTo.load(), 3);
        EXPECT_LT(producedUpTo.load(), 3 + 4);
    }
}

}  // namespace
}  // namespace tav
