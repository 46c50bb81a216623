// Huffman tables: optimal code lengths with their tie-breaks, the 16-bit length limit, and the
// checks of the expansion.
#include "jpeg/huffman.h"

#include "jpeg/errors.h"
#include "tests/support/fixed_texts.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

namespace tav {
namespace {

std::vector<int> bitsOf(const HuffmanTable& table) { return std::vector<int>(table.BITS.begin(), table.BITS.end()); }
std::vector<int> huffvalOf(const HuffmanTable& table)
{
    int n = 0;
    for (int b : table.BITS)
        n += b;
    return std::vector<int>(table.HUFFVAL.begin(), table.HUFFVAL.begin() + n);
}

std::vector<int> withTrailingZeros(std::vector<int> v)
{
    v.resize(16, 0);
    return v;
}

TEST(OptimizeHuffman, SingleSymbolGetsTheOneBitCodeZero)
{
    SymbolCounts counts{};
    counts[0] = 1234;
    HuffmanTable table;
    OptimizeHuffman(table, counts);
    EXPECT_EQ(bitsOf(table), withTrailingZeros({1}));
    EXPECT_EQ(huffvalOf(table), std::vector<int>{0});
    ExpandHuffman(table, kLargestDcSymbol);
    EXPECT_EQ(table.EHUFSI[0], 1);
    EXPECT_EQ(table.EHUFCO[0], 0);
    EXPECT_TRUE(std::all_of(counts.begin(), counts.end(), [](auto c) { return c == 0; }));
}

TEST(OptimizeHuffman, EqualCountsFavourTheLowerSymbol)
{
    // Among equal counts the highest symbol is merged first and so gets the longer code.
    SymbolCounts counts{};
    counts[0] = 5;
    counts[1] = 5;
    HuffmanTable table;
    OptimizeHuffman(table, counts);
    EXPECT_EQ(bitsOf(table), withTrailingZeros({1, 1}));
    EXPECT_EQ(huffvalOf(table), (std::vector<int>{0, 1}));
    ExpandHuffman(table, kLargestAcSymbol);
    EXPECT_EQ(table.EHUFCO[0], 0);  // 0
    EXPECT_EQ(table.EHUFSI[0], 1);
    EXPECT_EQ(table.EHUFCO[1], 2);  // 10
    EXPECT_EQ(table.EHUFSI[1], 2);
    EXPECT_EQ(table.EHUFSI[2], 0);
    EXPECT_EQ(table.EHUFCO[2], -1);
}

TEST(OptimizeHuffman, TiesBetweenRealAndMergedTrees)
{
    // Counts 3 (symbol 0) and 1 (symbol 10): the reserved symbol (1) and symbol 10 merge
    // first, the highest symbol number leading; symbol 0 gets the 1-bit code.
    SymbolCounts counts{};
    counts[0] = 3;
    counts[10] = 1;
    HuffmanTable table;
    OptimizeHuffman(table, counts);
    EXPECT_EQ(bitsOf(table), withTrailingZeros({1, 1}));
    EXPECT_EQ(huffvalOf(table), (std::vector<int>{0, 10}));

    // Four equal counts: the reserved symbol pairs with the highest symbol, which alone gets
    // the 3-bit code; the other three share the 2-bit codes.
    SymbolCounts four{};
    for (int s : {4, 7, 9, 200})
        four[std::size_t(s)] = 6;
    OptimizeHuffman(table, four);
    EXPECT_EQ(bitsOf(table), withTrailingZeros({0, 3, 1}));
    EXPECT_EQ(huffvalOf(table), (std::vector<int>{4, 7, 9, 200}));
}

// Code sizes by Figure K.1 as written: both trees to merge found by a full scan of the 257
// counts, the highest symbol first among equal counts.
std::array<int, 257> referenceCodeSizes(SymbolCounts counts)
{
    std::array<int, 257> codesize{};
    std::array<int, 257> others;
    others.fill(-1);
    counts[256] = 1;
    const auto smallest = [&](int exclude) {
        int best = -1;
        for (int s = 0; s < 257; ++s) {
            if (counts[std::size_t(s)] != 0 && s != exclude &&
                (best < 0 || counts[std::size_t(s)] <= counts[std::size_t(best)]))
                best = s;
        }
        return best;
    };
    for (;;) {
        int c1 = smallest(-1);
        const int c2 = smallest(c1);
        if (c2 < 0)
            return codesize;
        counts[std::size_t(c1)] += counts[std::size_t(c2)];
        counts[std::size_t(c2)] = 0;
        for (int c = c1;; c = others[std::size_t(c)]) {
            ++codesize[std::size_t(c)];
            if (others[std::size_t(c)] < 0) {
                others[std::size_t(c)] = c2;
                break;
            }
        }
        for (int c = c2; c >= 0; c = others[std::size_t(c)])
            ++codesize[std::size_t(c)];
    }
}

TEST(OptimizeHuffman, MatchesTheFullScanOnManyTies)
{
    // Counts of 1 to 4 on random subsets of the symbols tie all the time, between symbols
    // and between merged trees; no code gets longer than 16 bits, so BITS and HUFFVAL follow
    // from the code sizes alone.
    std::uint32_t seed = 12345;
    const auto next = [&] {
        seed = seed * 1664525u + 1013904223u;
        return seed >> 8;
    };
    for (int round = 0; round < 300; ++round) {
        SymbolCounts counts{};
        const std::uint32_t density = 1 + next() % 8;
        for (int s = 0; s < 256; ++s) {
            if (next() % 8 < density)
                counts[std::size_t(s)] = 1 + next() % 4;
        }
        const std::array<int, 257> sizes = referenceCodeSizes(counts);
        std::vector<int> expectedBits(16, 0);
        std::vector<int> expectedHuffval;
        for (int length = 1; length <= 16; ++length) {
            for (int s = 0; s < 256; ++s) {
                if (sizes[std::size_t(s)] == length)
                    expectedHuffval.push_back(s);
            }
            expectedBits[std::size_t(length - 1)] = int(std::count(sizes.begin(), sizes.end(), length));
        }
        const int longest = *std::max_element(sizes.begin(), sizes.end());
        ASSERT_LE(longest, 16) << round;
        if (longest > 0)
            --expectedBits[std::size_t(longest - 1)];  // the reserved symbol's code
        HuffmanTable table;
        OptimizeHuffman(table, counts);
        ASSERT_EQ(bitsOf(table), expectedBits) << round;
        ASSERT_EQ(huffvalOf(table), expectedHuffval) << round;
    }
}

TEST(OptimizeHuffman, LimitsCodesToSixteenBits)
{
    // Counts 1, 2, 4, ... 2^19 give lengths up to 20 before the limit.
    SymbolCounts counts{};
    for (int s = 0; s < 20; ++s)
        counts[std::size_t(s)] = std::int64_t(1) << s;
    HuffmanTable table;
    OptimizeHuffman(table, counts);
    EXPECT_EQ(bitsOf(table), (std::vector<int>{1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0, 0, 7}));
    // Listed by length before limiting: the most frequent symbol first.
    std::vector<int> expectedOrder;
    for (int s = 19; s >= 0; --s)
        expectedOrder.push_back(s);
    EXPECT_EQ(huffvalOf(table), expectedOrder);
    EXPECT_NO_THROW(ExpandHuffman(table, kLargestAcSymbol));
    EXPECT_EQ(table.EHUFSI[19], 1);
    EXPECT_EQ(table.EHUFSI[0], 32768);
    EXPECT_EQ(table.EHUFCO[0], 0xFFFE);  // the last 16-bit code but the all-ones one
    EXPECT_TRUE(std::all_of(counts.begin(), counts.end(), [](auto c) { return c == 0; }));
}

TEST(OptimizeHuffman, AllSymbolsPresentPassTheExpansion)
{
    // 256 symbols with skewed counts: every symbol gets a code, no code is all 1-bits and the
    // code space is not over-full (Kraft sum below 1).
    SymbolCounts counts{};
    for (int s = 0; s < 256; ++s)
        counts[std::size_t(s)] = 1 + (s * 7919) % 1000 + (s < 8 ? 1000000 : 0);
    HuffmanTable table;
    OptimizeHuffman(table, counts);
    ASSERT_NO_THROW(ExpandHuffman(table, kLargestAcSymbol));
    double kraft = 0;
    for (int s = 0; s < 256; ++s) {
        ASSERT_GT(codeLength(table, s), 0) << s;
        ASSERT_LE(codeLength(table, s), 16) << s;
        ASSERT_NE(table.EHUFCO[std::size_t(s)], (1 << codeLength(table, s)) - 1) << s;
        kraft += 1.0 / double(1 << codeLength(table, s));
    }
    EXPECT_LT(kraft, 1.0);
}

TEST(OptimizeHuffman, NoCountsGiveAnEmptySpecification)
{
    SymbolCounts counts{};
    HuffmanTable table;
    OptimizeHuffman(table, counts);
    EXPECT_EQ(bitsOf(table), withTrailingZeros({}));
    EXPECT_THROW(ExpandHuffman(table, kLargestAcSymbol), RunTimeError);
}

TEST(ExpandHuffman, RefusesBadSpecifications)
{
    const struct Row {
        const char* name;
        std::vector<int> bits;
        std::vector<int> huffval;
        int largest;
    } rows[] = {
        {"more than 256 codes", {0, 0, 0, 0, 0, 0, 0, 0, 255, 2}, {}, kLargestAcSymbol},
        {"symbol listed twice", {0, 2}, {3, 3}, kLargestAcSymbol},
        {"DC symbol 12 at 8 bits", {0, 2}, {11, 12}, kLargestDcSymbol},
        {"two 1-bit codes", {2}, {0, 1}, kLargestAcSymbol},
        {"all-ones 3-bit code", {0, 3, 2}, {0, 1, 2, 3, 4}, kLargestAcSymbol},
        {"no symbols", {}, {}, kLargestAcSymbol},
    };
    for (const Row& row : rows) {
        HuffmanTable table;
        for (std::size_t i = 0; i < row.bits.size(); ++i)
            table.BITS[i] = std::uint8_t(row.bits[i]);
        for (std::size_t i = 0; i < 256; ++i)
            table.HUFFVAL[i] = std::uint8_t(i < row.huffval.size() ? row.huffval[i] : i);
        try {
            ExpandHuffman(table, row.largest);
            ADD_FAILURE() << row.name << ": accepted";
        } catch (const RunTimeError& e) {
            EXPECT_EQ(e.number(), 1) << row.name;
            EXPECT_EQ(std::string_view(e.what()), fixed::kBadHuffmanTable) << row.name;
        }
    }
    // The limits themselves pass: DC symbol 11 at 8 bits, 15 at 12 bits, three 2-bit codes.
    HuffmanTable ok;
    ok.BITS[1] = 3;
    ok.HUFFVAL[0] = 11;
    ok.HUFFVAL[1] = 15;
    ok.HUFFVAL[2] = 0;
    EXPECT_THROW(ExpandHuffman(ok, kLargestDcSymbol), RunTimeError);
    EXPECT_NO_THROW(ExpandHuffman(ok, kLargestDcSymbol12Bit));
    EXPECT_EQ(ok.EHUFCO[11], 0);
    EXPECT_EQ(ok.EHUFCO[15], 1);
    EXPECT_EQ(ok.EHUFCO[0], 2);
    EXPECT_EQ(ok.EHUFSI[0], 2);
}

}  // namespace
}  // namespace tav
