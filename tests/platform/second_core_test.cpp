// The one helper for a second core: what it runs where, and that a failure on either side
// reaches the caller only once both sides have ended.
#include "platform/second_core.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <thread>

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
        int order = 0, firstAt = 0, secondAt = 0;
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

}  // namespace
}  // namespace tav
