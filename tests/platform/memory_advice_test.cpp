#include "platform/memory_advice.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>

namespace tav {
namespace {

// Large blocks come aligned to a huge page, zeroed and writable to their last byte, whatever
// their size: below one huge page, exactly one, and between whole ones.
TEST(MemoryAdviceTest, LargeBlocksAreAlignedZeroedAndWritable)
{
    for (const std::size_t bytes : {std::size_t(1), std::size_t(619047), std::size_t(kHugePageBytes),
             std::size_t(kHugePageBytes) + 4096, std::size_t(3 * kHugePageBytes) - 1}) {
        SCOPED_TRACE(bytes);
        auto* memory = static_cast<std::uint8_t*>(allocateLarge(bytes));
        ASSERT_NE(memory, nullptr);
        EXPECT_EQ(reinterpret_cast<std::uintptr_t>(memory) % kHugePageBytes, 0u);
        EXPECT_TRUE(std::all_of(memory, memory + bytes, [](std::uint8_t b) { return b == 0; }));
        memory[bytes - 1] = 0xA5;
        EXPECT_EQ(memory[bytes - 1], 0xA5);
        freeLarge(memory, bytes);
    }
}

TEST(MemoryAdviceTest, ImpossibleSizesGiveNoMemory)
{
    EXPECT_EQ(allocateLarge(SIZE_MAX), nullptr);
    EXPECT_EQ(allocateLarge(SIZE_MAX - kHugePageBytes), nullptr);
    EXPECT_EQ(allocateLarge(std::size_t(1) << 50), nullptr);  // more than any machine maps
}

}  // namespace
}  // namespace tav
