// Huffman tables: optimal code lengths with their tie-breaks, the 16-bit length limit, and the
// checks of the expansion.
#include "jpeg/huffman.h"

#include "jpeg/errors.h"

#include <gtest/gtest.h>

#include <algorithm>
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
            EXPECT_STREQ(e.what(), "Bad Huffman Table") << row.name;
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
