// Quantization tables: the zigzag sequence, the base tables, quality scaling with its ties and
// clamps, and the multipliers with their check.
#include "jpeg/quant_tables.h"

#include "jpeg/cjpeg.h"
#include "jpeg/errors.h"
#include "tests/support/fixed_texts.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace tav {
namespace {

std::vector<int> firstEntries(const QuantTable& table, int n)
{
    return std::vector<int>(table.Qk.begin(), table.Qk.begin() + n);
}

TEST(ZigZag, IsTheSequenceOfFigureA6)
{
    // Zigzag position of each coefficient, row v top to bottom, column u left to right.
    const std::array<int, 64> expected = {
        0, 1, 5, 6, 14, 15, 27, 28,  //
        2, 4, 7, 13, 16, 26, 29, 42,  //
        3, 8, 12, 17, 25, 30, 41, 43,  //
        9, 11, 18, 24, 31, 40, 44, 53,  //
        10, 19, 23, 32, 39, 45, 52, 54,  //
        20, 22, 33, 38, 46, 51, 55, 60,  //
        21, 34, 37, 47, 50, 56, 59, 61,  //
        35, 36, 48, 49, 57, 58, 62, 63,  //
    };
    const ZigZagTable zigZag = buildZigZag();
    for (std::size_t i = 0; i < 64; ++i)
        EXPECT_EQ(zigZag[i], expected[i]) << "u " << i % 8 << " v " << i / 8;
}

TEST(BaseTables, AreK1AndK2InZigZagOrder)
{
    const ZigZagTable zigZag = buildZigZag();
    const auto luminance = baseLuminanceTable(zigZag);
    const auto chrominance = baseChrominanceTable(zigZag);
    EXPECT_EQ(std::vector<int>(luminance.begin(), luminance.begin() + 8),
        (std::vector<int>{16, 11, 12, 14, 12, 10, 16, 14}));
    EXPECT_EQ(luminance[63], 99);
    EXPECT_EQ(std::vector<int>(chrominance.begin(), chrominance.begin() + 8),
        (std::vector<int>{17, 18, 18, 24, 21, 24, 47, 26}));
    EXPECT_TRUE(std::all_of(chrominance.begin() + 15, chrominance.end(), [](int q) { return q == 99; }));
    EXPECT_EQ(std::count(chrominance.begin(), chrominance.end(), 99), 49 + 2);  // and (0, 4), (4, 0)
}

TEST(QualityScale, RoundsTheQuotientHalvesToEven)
{
    const struct {
        int quality;
        int scale;
    } rows[] = {{1, 5000}, {3, 1667}, {30, 167}, {49, 102}, {50, 100}, {75, 50}, {99, 2}, {100, 0}};
    for (const auto& row : rows)
        EXPECT_EQ(qualityScale(row.quality), row.scale) << row.quality;
}

struct TableRow {
    const char* name;
    int quality;
    std::vector<int> luminance;  // leading entries of table 0
    std::vector<int> chrominance;  // leading entries of table 1
};

class QualityTables : public ::testing::TestWithParam<TableRow> { };

TEST_P(QualityTables, LeadingEntries)
{
    const TableRow& row = GetParam();
    cJpeg jpeg;
    jpeg.Quality(row.quality);
    EXPECT_EQ(jpeg.Quality(), row.quality);
    EXPECT_EQ(firstEntries(jpeg.quantTable(0), int(row.luminance.size())), row.luminance);
    EXPECT_EQ(firstEntries(jpeg.quantTable(1), int(row.chrominance.size())), row.chrominance);
}

INSTANTIATE_TEST_SUITE_P(Examples, QualityTables,
    ::testing::Values(
        // 16 * 50 + 50 = 850 -> 8.5 -> 8 (tie to even); 11 -> 6.
        TableRow{"q75", 75, {8, 6, 6, 8, 6, 6, 8, 8, 7, 8, 10, 9, 8, 10, 12, 20},
            {9, 10, 10, 12, 11, 12, 24, 14, 14, 24, 50, 34, 28, 34, 50, 50}},
        // Odd base values go up by one (11.5 -> 12), even ones stay (16.5 -> 16).
        TableRow{"q50", 50, {16, 12, 12, 14, 12, 10, 16, 14, 14, 14, 18, 18, 16, 20, 24, 40}, {}},
        TableRow{"q30", 30, {27, 19, 21, 24}, {}}, TableRow{"q3", 3, {255, 184, 201, 234}, {255, 255, 255, 255}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(QualityTables, ExtremesAndClamps)
{
    cJpeg jpeg;
    jpeg.Quality(100);  // every entry 0.5 -> 0, clamped to 1
    for (int t = 0; t < 2; ++t)
        EXPECT_TRUE(
            std::all_of(jpeg.quantTable(t).Qk.begin(), jpeg.quantTable(t).Qk.end(), [](int q) { return q == 1; }));
    EXPECT_EQ(jpeg.quantTable(0).FScale[0], 0.125f);

    for (int quality : {1, 3}) {
        jpeg.Quality(quality);
        const auto& qk = jpeg.quantTable(1).Qk;
        EXPECT_TRUE(std::all_of(qk.begin(), qk.end(), [](int q) { return q == 255; })) << quality;
    }
}

TEST(QualityTables, Quality99FollowsTheFormula)
{
    // Scale 2: base * 2 / 100 + 0.5. Base 121 gives 2.92 -> 3, so table 0 is not 1 throughout;
    // base 100 gives exactly 2.5 -> 2 (tie to even) and base 101 gives 2.52 -> 3.
    cJpeg jpeg;
    jpeg.Quality(99);
    const ZigZagTable& zz = jpeg.zigZag();
    const auto& luminance = jpeg.quantTable(0).Qk;
    const auto at = [&](int u, int v) { return int(luminance[std::size_t(zz[std::size_t(u + 8 * v)])]); };
    EXPECT_EQ(at(5, 6), 3);  // base 121
    EXPECT_EQ(at(5, 7), 2);  // base 100
    EXPECT_EQ(at(7, 6), 3);  // base 101
    EXPECT_EQ(at(0, 0), 1);  // base 16: 0.82 -> 1
    EXPECT_EQ(std::count(luminance.begin(), luminance.end(), 3), 10);

    const auto& chrominance = jpeg.quantTable(1).Qk;
    for (std::size_t k = 0; k < 64; ++k)
        EXPECT_EQ(chrominance[k], k < 10 ? 1 : 2) << k;
}

TEST(QualityTables, RejectedQualityChangesNothing)
{
    cJpeg jpeg;
    jpeg.Quality(40);
    const QuantTable before0 = jpeg.quantTable(0);
    const QuantTable before1 = jpeg.quantTable(1);
    for (int quality : {0, 101, -5}) {
        jpeg.Quality(quality);
        EXPECT_EQ(jpeg.Quality(), 40);
        EXPECT_EQ(std::memcmp(&before0, &jpeg.quantTable(0), sizeof(QuantTable)), 0) << quality;
        EXPECT_EQ(std::memcmp(&before1, &jpeg.quantTable(1), sizeof(QuantTable)), 0) << quality;
    }
    EXPECT_TRUE(std::all_of(jpeg.quantTable(2).Qk.begin(), jpeg.quantTable(2).Qk.end(), [](int q) { return q == 0; }));
}

TEST(ExpandQuantTable, MultipliersFoldTheTransformScale)
{
    const ZigZagTable zz = buildZigZag();
    QuantTable table;
    for (std::size_t k = 0; k < 64; ++k)
        table.Qk[k] = std::int16_t(k + 1);
    ExpandQuantTable(table, zz, 8);
    for (int u = 0; u < 8; ++u) {
        for (int v = 0; v < 8; ++v) {
            const auto k = std::size_t(zz[std::size_t(u + 8 * v)]);
            const float expected = float(kAanScale[std::size_t(u)] * kAanScale[std::size_t(v)] / double(k + 1));
            EXPECT_EQ(table.FScale[k], expected) << u << "," << v;
        }
    }
    // AanScale(7)^2 / 64 in double, then single precision: not the float product of floats.
    EXPECT_EQ(table.FScale[63], float(1.28145772387074 * 1.28145772387074 / 64.0));
}

TEST(ExpandQuantTable, RefusesEntriesOutsideTheLimit)
{
    const ZigZagTable zz = buildZigZag();
    const struct {
        int value;
        int precision;
        bool accepted;
    } rows[] = {{0, 8, false}, {-3, 8, false}, {256, 8, false}, {256, 0, false}, {255, 8, true}, {256, 12, true},
        {1, 8, true}};
    for (const auto& row : rows) {
        QuantTable table;
        table.Qk.fill(2);
        table.Qk[1] = std::int16_t(row.value);  // coefficient (1, 0)
        try {
            ExpandQuantTable(table, zz, row.precision);
            EXPECT_TRUE(row.accepted) << row.value << " at precision " << row.precision;
        } catch (const RunTimeError& e) {
            EXPECT_FALSE(row.accepted) << row.value << " at precision " << row.precision;
            EXPECT_EQ(e.number(), 1);
            EXPECT_EQ(std::string_view(e.what()), fixed::kBadQuantizationTable);
            // Column u = 0 was handled before (1, 0): its multipliers are new, (1, 1) is not.
            EXPECT_EQ(table.FScale[0], float(kAanScale[0] * kAanScale[0] / 2.0));
            EXPECT_EQ(table.FScale[std::size_t(zz[7 * 8])], float(kAanScale[0] * kAanScale[7] / 2.0));
            EXPECT_EQ(table.FScale[std::size_t(zz[1 + 8])], 0.0f);
        }
    }
}

}  // namespace
}  // namespace tav
