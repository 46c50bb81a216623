#include "platform/usable_cores.h"

#include <gtest/gtest.h>

#include <sched.h>

namespace tav {
namespace {

// A process held to one core (taskset, a container) gets no second thread for a picture.
TEST(UsableCoresTest, CountsTheCoresThisThreadMayRunOn)
{
    cpu_set_t before;
    ASSERT_EQ(sched_getaffinity(0, sizeof before, &before), 0);
    EXPECT_EQ(usableCores(), unsigned(CPU_COUNT(&before)));
    int first = 0;
    while (!CPU_ISSET(first, &before))
        ++first;
    cpu_set_t one;
    CPU_ZERO(&one);
    CPU_SET(first, &one);
    ASSERT_EQ(sched_setaffinity(0, sizeof one, &one), 0);
    EXPECT_EQ(usableCores(), 1u);
    ASSERT_EQ(sched_setaffinity(0, sizeof before, &before), 0);
}

}  // namespace
}  // namespace tav
