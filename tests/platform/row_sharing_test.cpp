#include "platform/row_sharing.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace tav {
namespace {

// When each thread ends, in seconds, after the lower one takes `taken` of the upper one's rows.
double lowerTakesEnd(RowSpeeds speeds, int upperLeft, int taken)
{
    return std::max((kPartOverheadRows + taken) / speeds.lower, (upperLeft - taken) / speeds.upper);
}

TEST(RowSharingTest, TheLowerThreadTakesWhatEndsBothTogether)
{
    // Equal speeds: about half, less the overhead of a part.
    const int even = rowsForLowerThread({10, 10}, 40, 100);
    EXPECT_GE(even, 18);
    EXPECT_LE(even, 19);
    // An upper thread at half speed gives away more; one that has stopped, everything allowed.
    EXPECT_EQ(rowsForLowerThread({5, 10}, 40, 100), 26);
    EXPECT_EQ(rowsForLowerThread({0, 10}, 40, 100), 40);
    EXPECT_EQ(rowsForLowerThread({0, 10}, 40, 30), 30);
    // Whatever the speeds, no other share ends sooner.
    for (const RowSpeeds speeds : {RowSpeeds{10, 10}, {5, 10}, {10, 5}, {10, 1}, {3, 17}}) {
        const int taken = rowsForLowerThread(speeds, 40, 100);
        if (taken == 0)
            continue;
        for (int other = kMinPartRows; other <= 40; ++other)
            EXPECT_LE(lowerTakesEnd(speeds, 40, taken), lowerTakesEnd(speeds, 40, other))
                << speeds.upper << " " << speeds.lower << " " << other;
    }
    // Not worth a part: few rows, a lower thread much slower, or one that has made none.
    EXPECT_EQ(rowsForLowerThread({10, 10}, 8, 100), 0);
    EXPECT_EQ(rowsForLowerThread({10, 1}, 40, 100), 0);
    EXPECT_EQ(rowsForLowerThread({10, 0}, 40, 100), 0);
    EXPECT_EQ(rowsForLowerThread({10, 10}, 0, 100), 0);
}

TEST(RowSharingTest, TheUpperThreadTakesTheLastRowsOnlyWhenThatEndsBothSooner)
{
    // The lower thread at half speed with 20 rows to go, all parsed: the upper one takes about
    // 12, and both end after about 8 rows of the lower thread's time instead of 20.
    const int taken = rowsForUpperThread({2, 1}, 20, 0, 100);
    EXPECT_GE(taken, 12);
    EXPECT_LE(taken, 13);
    // Rows still to parse before them cost time: it takes fewer.
    EXPECT_LT(rowsForUpperThread({2, 1}, 20, 40, 100), taken);
    EXPECT_EQ(rowsForUpperThread({2, 1}, 20, 0, 5), 5);
    // At equal speeds the overhead of a session is not worth a few rows, nor any rows for an
    // upper thread much slower, and nothing is known of a thread that has made none.
    EXPECT_EQ(rowsForUpperThread({1, 1}, 6, 0, 100), 0);
    EXPECT_EQ(rowsForUpperThread({1, 10}, 40, 0, 100), 0);
    EXPECT_EQ(rowsForUpperThread({0, 1}, 40, 0, 100), 0);
    EXPECT_EQ(rowsForUpperThread({1, 0}, 40, 0, 100), 0);
}

}  // namespace
}  // namespace tav
