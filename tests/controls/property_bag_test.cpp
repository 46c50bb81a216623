// The in-memory property bag: its "equal to the default is not written" rule and the
// conversions of read values.
#include "controls/property_bag.h"

#include "platform/run_time_error.h"

#include <gtest/gtest.h>

#include <functional>

namespace tav {
namespace {

int errorNumberOf(const std::function<void()>& action)
{
    try {
        action();
    } catch (const RunTimeError& e) {
        return e.number();
    }
    return 0;
}

TEST(MemoryPropertyBag, ValuesEqualToTheirDefaultAreNotWritten)
{
    MemoryPropertyBag bag;
    bag.writeProperty("Same", std::int32_t(22), std::int16_t(22));  // 32-bit 22 equals 16-bit 22
    bag.writeProperty("Other", std::int32_t(23), std::int16_t(22));
    bag.writeProperty("Flag", true, true);
    bag.writeProperty("Text", u"a", u"a");
    bag.writeProperty("TrueAsNumber", true, std::int32_t(-1));
    EXPECT_EQ(bag.keys(), std::vector<std::string>{"Other"});
    EXPECT_EQ(propertyToInt32(bag.readProperty("Same", std::int16_t(7))), 7) << "absent: the reader's default";
}

TEST(MemoryPropertyBag, WritingTheDefaultAgainRemovesAnOlderValue)
{
    MemoryPropertyBag bag;
    bag.writeProperty("Style", std::int32_t(3), std::int32_t(1));
    ASSERT_TRUE(bag.contains("Style"));
    bag.writeProperty("Style", std::int32_t(1), std::int32_t(1));
    EXPECT_FALSE(bag.contains("Style"));
}

TEST(PropertyConversions, IntegersBooleansAndText)
{
    EXPECT_EQ(propertyToInt32(true), -1);
    EXPECT_EQ(propertyToInt32(std::int16_t(-5)), -5);
    EXPECT_TRUE(propertyToBool(std::int32_t(2)));
    EXPECT_FALSE(propertyToBool(std::int16_t(0)));
    EXPECT_EQ(propertyToString(std::int32_t(42)), u"42");
    EXPECT_EQ(propertyToString(false), u"False");
    EXPECT_EQ(propertyToInt16(std::int32_t(-32768)), -32768);
}

TEST(PropertyConversions, MismatchesAndOverflowsRaiseTheirErrors)
{
    EXPECT_EQ(errorNumberOf([] { propertyToInt32(u"12"); }), kErrTypeMismatch);
    EXPECT_EQ(errorNumberOf([] { propertyToFont(std::int32_t(1)); }), kErrTypeMismatch);
    EXPECT_EQ(errorNumberOf([] { propertyToPicture(u"icon"); }), kErrTypeMismatch);
    EXPECT_EQ(errorNumberOf([] { propertyToInt16(std::int32_t(40000)); }), kErrOverflow);
}

}  // namespace
}  // namespace tav
