#include "platform/memory_advice.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

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
        EXPECT_TRUE(freeLarge(memory));
    }
}

// Freed blocks of one huge page are handed out again: zeroed when asked, as left when not, and
// to arrays too small for a block of their own; larger blocks go back, a block that no kept one
// holds gives the kept ones back first, and no more than four are kept.
TEST(MemoryAdviceTest, FreedBlocksAreReused)
{
    const auto kept = [] {
        std::vector<void*> blocks;
        while (void* block = reuseLarge(1))
            blocks.push_back(block);
        for (void* block : blocks)
            EXPECT_TRUE(freeLarge(block));
        return blocks.size();
    };
    // A block larger than one huge page: mapped afresh, after the kept ones are given back.
    void* twoPages = allocateLarge(kHugePageBytes + 1);
    ASSERT_NE(twoPages, nullptr);
    EXPECT_EQ(kept(), 0u);

    auto* block = static_cast<std::uint8_t*>(allocateLarge(kHugePageBytes));
    ASSERT_NE(block, nullptr);
    std::fill_n(block, kHugePageBytes, std::uint8_t(0x5A));
    EXPECT_TRUE(freeLarge(block));
    EXPECT_TRUE(freeLarge(twoPages));
    EXPECT_EQ(kept(), 1u);  // the larger one went back

    auto* asLeft = static_cast<std::uint8_t*>(allocateLarge(1000, LargeContents::AsLeft));
    EXPECT_EQ(asLeft, block);
    EXPECT_EQ(asLeft[kHugePageBytes - 1], 0x5A);
    EXPECT_TRUE(freeLarge(asLeft));
    auto* zeroed = static_cast<std::uint8_t*>(allocateLarge(1000));
    EXPECT_EQ(zeroed, block);
    EXPECT_TRUE(std::all_of(zeroed, zeroed + 1000, [](std::uint8_t b) { return b == 0; }));
    EXPECT_EQ(zeroed[1000], 0x5A);  // past what was asked for, left alone
    EXPECT_TRUE(freeLarge(zeroed));

    {
        // An array too small for a block of its own takes a kept one and gives it back.
        UninitialisedBytes array(64 << 10);
        EXPECT_EQ(array.data(), block);
        EXPECT_EQ(kept(), 0u);
    }
    EXPECT_EQ(kept(), 1u);
    EXPECT_EQ(reuseLarge(kHugePageBytes + 1), nullptr);  // more than a kept block holds

    // Memory that is not a block is left to its owner.
    int onStack = 0;
    EXPECT_FALSE(freeLarge(&onStack));
    EXPECT_FALSE(freeLarge(nullptr));
    EXPECT_FALSE(freeLarge(twoPages));  // already freed

    std::vector<void*> many;
    for (int i = 0; i < 6; ++i)
        many.push_back(allocateLarge(kHugePageBytes));
    for (void* each : many)
        EXPECT_TRUE(freeLarge(each));
    EXPECT_EQ(kept(), 4u);
}

TEST(MemoryAdviceTest, ImpossibleSizesGiveNoMemory)
{
    EXPECT_EQ(allocateLarge(SIZE_MAX), nullptr);
    EXPECT_EQ(allocateLarge(SIZE_MAX - kHugePageBytes), nullptr);
    EXPECT_EQ(allocateLarge(std::size_t(1) << 50), nullptr);  // more than any machine maps
}

}  // namespace
}  // namespace tav
