// Scans: the scan plan, the MCU order with dummy blocks, the symbols of a block, the bit
// writer, and the agreement of the counting and writing passes.
#include "jpeg/scan_writer.h"
#include "jpeg/scan_writer_internals.h"

#include "jpeg/bit_writer.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace tav {
namespace {

std::vector<JpegComponent> components(std::initializer_list<std::pair<int, int>> factors)
{
    std::vector<JpegComponent> out;
    for (auto [h, v] : factors) {
        const int index = int(out.size());
        out.push_back({index + 1, h, v, index == 0 ? 0 : 1, {}});
    }
    return out;
}

std::vector<ScanComponent> listOf(const std::vector<JpegComponent>& comps)
{
    std::vector<ScanComponent> list;
    for (std::size_t i = 0; i < comps.size(); ++i)
        list.push_back({&comps[i], i == 0 ? 0 : 1, i == 0 ? 0 : 1});
    return list;
}

// Gives every component the coefficients of its block grid, filled by `fill`.
void fillCoefficients(std::vector<JpegComponent>& comps, const ScanGeometry& geometry,
    const std::function<std::int16_t(std::size_t)>& fill)
{
    for (JpegComponent& c : comps) {
        const std::int64_t n = blocksPerRow(c, geometry) * blocksPerColumn(c, geometry) * 64;
        c.Coefficients.resize(std::size_t(n));
        for (std::size_t i = 0; i < c.Coefficients.size(); ++i)
            c.Coefficients[i] = fill(i);
    }
}

TEST(ScanPlan, GroupsComponentsByBlocksPerMcu)
{
    const struct Row {
        const char* name;
        std::vector<JpegComponent> comps;
        std::vector<std::pair<int, int>> scans;
    } rows[] = {
        {"2x2 1x1 1x1", components({{2, 2}, {1, 1}, {1, 1}}), {{0, 2}}},
        {"1x1 1x1 1x1", components({{1, 1}, {1, 1}, {1, 1}}), {{0, 2}}},
        {"grey", components({{1, 1}}), {{0, 0}}},
        {"4x4 1x1 1x1", components({{4, 4}, {1, 1}, {1, 1}}), {{0, 0}, {1, 2}}},
        {"2x2 2x2 2x2", components({{2, 2}, {2, 2}, {2, 2}}), {{0, 1}, {2, 2}}},
        {"3x3 1x1 1x1", components({{3, 3}, {1, 1}, {1, 1}}), {{0, 1}, {2, 2}}},
        {"1x1 4x4 1x1", components({{1, 1}, {4, 4}, {1, 1}}), {{0, 0}, {1, 1}, {2, 2}}},
        {"4x2 1x2 1x1", components({{4, 2}, {1, 2}, {1, 1}}), {{0, 1}, {2, 2}}},
    };
    for (const Row& row : rows) {
        const std::vector<ScanComponent> list = listOf(row.comps);
        std::vector<std::pair<int, int>> got;
        for (const ScanRange& scan : planScans(list, 0, int(list.size()) - 1))
            got.emplace_back(scan.first, scan.last);
        EXPECT_EQ(got, row.scans) << row.name;
    }
}

TEST(ScanOrder, DefaultSampling100By50)
{
    // Y is 13 x 7 blocks, Cb and Cr 7 x 4; 7 x 4 MCUs of 2 x 2 Y blocks and one Cb and Cr.
    std::vector<JpegComponent> comps = components({{2, 2}, {1, 1}, {1, 1}});
    const ScanGeometry geometry{100, 50, 2, 2};
    fillCoefficients(comps, geometry, [](std::size_t) { return std::int16_t(0); });
    ASSERT_EQ(blocksPerRow(comps[0], geometry), 13);
    ASSERT_EQ(blocksPerColumn(comps[0], geometry), 7);
    ASSERT_EQ(blocksPerRow(comps[1], geometry), 7);
    ASSERT_EQ(blocksPerColumn(comps[1], geometry), 4);
    const std::vector<ScanComponent> list = listOf(comps);
    const std::vector<ScanBlock> order = scanBlockOrder(list, {0, 2}, geometry);
    ASSERT_EQ(order.size(), 7u * 4u * 6u);

    const auto mcu = [&](int row, int col) {
        const auto at = order.begin() + (row * 7 + col) * 6;
        return std::vector<ScanBlock>(at, at + 6);
    };
    const std::vector<ScanBlock> first = {{0, 0}, {0, 1}, {0, 13}, {0, 14}, {1, 0}, {2, 0}};
    const std::vector<ScanBlock> lastColumn = {{0, 12}, {0, -1}, {0, 25}, {0, -1}, {1, 6}, {2, 6}};
    const std::vector<ScanBlock> lastRow = {{0, 78}, {0, 79}, {0, -1}, {0, -1}, {1, 21}, {2, 21}};
    const std::vector<ScanBlock> last = {{0, 90}, {0, -1}, {0, -1}, {0, -1}, {1, 27}, {2, 27}};
    EXPECT_EQ(mcu(0, 0), first);
    EXPECT_EQ(mcu(0, 6), lastColumn);
    EXPECT_EQ(mcu(3, 0), lastRow);
    EXPECT_EQ(mcu(3, 6), last);

    // Every real block exactly once, each component's blocks in raster order per block row.
    std::vector<int> seen[3] = {std::vector<int>(91), std::vector<int>(28), std::vector<int>(28)};
    int dummies = 0;
    for (const ScanBlock& b : order) {
        if (b.block < 0)
            ++dummies;
        else
            ++seen[b.entry][std::size_t(b.block)];
    }
    EXPECT_EQ(dummies, 21);
    for (const auto& counts : seen)
        for (int n : counts)
            EXPECT_EQ(n, 1);
}

TEST(ScanOrder, NonInterleavedScanHasNoDummies)
{
    std::vector<JpegComponent> comps = components({{4, 4}, {1, 1}, {1, 1}});
    const ScanGeometry geometry{20, 12, 4, 4};
    fillCoefficients(comps, geometry, [](std::size_t) { return std::int16_t(0); });
    const std::vector<ScanComponent> list = listOf(comps);
    const std::vector<ScanBlock> luma = scanBlockOrder(list, {0, 0}, geometry);
    ASSERT_EQ(luma.size(), 3u * 2u);  // 20 x 12 pixels: 3 x 2 blocks in stored order
    for (std::size_t i = 0; i < luma.size(); ++i)
        EXPECT_EQ(luma[i], (ScanBlock{0, std::int64_t(i)}));
    // Cb and Cr (5 x 3 pixels, one block each) in one MCU of the 4 x 4 grid.
    const std::vector<ScanBlock> chroma = scanBlockOrder(list, {1, 2}, geometry);
    EXPECT_EQ(chroma, (std::vector<ScanBlock>{{1, 0}, {2, 0}}));
}

TEST(BlockSymbols, RunsEndOfBlockAndExtraBits)
{
    const auto block = [](std::initializer_list<std::pair<int, int>> values) {
        std::vector<std::int16_t> b(64, 0);
        for (auto [k, v] : values)
            b[std::size_t(k)] = std::int16_t(v);
        return b;
    };
    using S = CodedSymbol;
    const struct Row {
        const char* name;
        std::vector<std::int16_t> block;
        int predictor;
        std::vector<CodedSymbol> symbols;
    } rows[] = {
        {"flat", block({{0, 5}}), 5, {S{0, 0, 0, true}, S{0x00, 0, 0, false}}},
        {"negative DC difference", block({{0, -3}}), 0, {S{2, 2, 0b00, true}, S{0x00, 0, 0, false}}},
        {"positive DC difference", block({{0, 9}}), 4, {S{3, 3, 0b101, true}, S{0x00, 0, 0, false}}},
        {"sixteen zeros", block({{17, 1}}), 0,
            {S{0, 0, 0, true}, S{0xF0, 0, 0, false}, S{0x01, 1, 1, false}, S{0x00, 0, 0, false}}},
        {"fifteen zeros", block({{16, -1}}), 0, {S{0, 0, 0, true}, S{0xF1, 1, 0, false}, S{0x00, 0, 0, false}}},
        {"last coefficient set", block({{63, 2}}), 0,
            {S{0, 0, 0, true}, S{0xF0, 0, 0, false}, S{0xF0, 0, 0, false}, S{0xF0, 0, 0, false},
                S{0xE2, 2, 0b10, false}}},
        {"zeros before end of block", block({{1, 1023}}), 0,
            {S{0, 0, 0, true}, S{0x0A, 10, 1023, false}, S{0x00, 0, 0, false}}},
        {"negative AC", block({{2, -1023}}), 0, {S{0, 0, 0, true}, S{0x1A, 10, 0, false}, S{0x00, 0, 0, false}}},
    };
    for (const Row& row : rows) {
        int predictor = row.predictor;
        EXPECT_EQ(blockSymbols(row.block.data(), predictor), row.symbols) << row.name;
        EXPECT_EQ(predictor, row.block[0]) << row.name;
    }
}

// The bit writer as the format describes it: one bit at a time under a moving mask.
class ReferenceBitWriter {
public:
    void writeBits(int weight, int value)
    {
        for (int b = weight; b >= 1; b /= 2) {
            if (value & b)
                m_accumulator |= m_mask;
            if (m_mask == 1) {
                bytes.push_back(std::uint8_t(m_accumulator));
                if (m_accumulator == 255)
                    bytes.push_back(0);
                m_accumulator = 0;
                m_mask = 128;
            } else {
                m_mask /= 2;
            }
        }
    }
    void flush()
    {
        if (m_mask != 128)
            writeBits(m_mask, -1);
    }
    std::vector<std::uint8_t> bytes;

private:
    int m_accumulator = 0;
    int m_mask = 128;
};

TEST(BitWriter, MatchesTheBitAtATimeWriter)
{
    std::mt19937 random(7);
    for (int trial = 0; trial < 200; ++trial) {
        ReferenceBitWriter reference;
        OutputBuffer buffer(4096);
        BitWriter writer(buffer);
        const int writes = int(random() % 300);
        // Mostly 1-bits so that 0xFF bytes are common.
        for (int i = 0; i < writes; ++i) {
            const int length = int(random() % 28);
            const std::uint32_t value = (random() % 4 == 0) ? std::uint32_t(random()) : 0xFFFFFFFFu;
            reference.writeBits(length == 0 ? 0 : 1 << (length - 1), int(value));
            writer.write(value, length);
        }
        reference.flush();
        writer.flush();
        ASSERT_EQ(std::vector<std::uint8_t>(buffer.data(), buffer.data() + buffer.position()), reference.bytes)
            << "trial " << trial;
    }
}

TEST(BitWriter, StuffingAndPadding)
{
    OutputBuffer buffer(16);
    BitWriter writer(buffer);
    writer.write(0xFF, 8);  // FF 00
    writer.write(0b101, 3);  // 101 + five 1-bits of padding: BF
    writer.flush();
    writer.flush();  // nothing pending: nothing written
    writer.write(0b0, 1);
    writer.write(0b1111111, 7);  // 7F
    writer.write(0b1, 1);  // 1 + seven 1-bits of padding: FF 00
    writer.flush();
    EXPECT_EQ(std::vector<std::uint8_t>(buffer.data(), buffer.data() + buffer.position()),
        (std::vector<std::uint8_t>{0xFF, 0x00, 0xBF, 0x7F, 0xFF, 0x00}));
}

TEST(BitWriter, WritingPastTheEndRaisesError9)
{
    OutputBuffer buffer(1);
    BitWriter writer(buffer);
    try {
        writer.write(0xFF, 8);  // the byte fits, its stuffed 0 does not
        writer.flush();
        FAIL() << "no error";
    } catch (const RunTimeError& e) {
        EXPECT_EQ(e.number(), kErrSubscriptOutOfRange);
    }
}

// Bytes of the entropy-coded data of each scan, stuffed zeros removed.
std::vector<std::size_t> scanDataSizes(const std::uint8_t* data, std::size_t size)
{
    std::vector<std::size_t> sizes;
    std::size_t i = 0;
    while (i + 1 < size) {
        if (data[i] == 0xFF && data[i + 1] == 0xDA) {
            i += 2 + (std::size_t(data[i + 2]) << 8 | data[i + 3]);
            std::size_t n = 0;
            while (i < size && !(data[i] == 0xFF && i + 1 < size && data[i + 1] != 0x00)) {
                ++n;
                i += data[i] == 0xFF ? 2 : 1;
            }
            sizes.push_back(n);
        } else {
            ++i;
        }
    }
    return sizes;
}

TEST(ScanPasses, CountsAgreeWithTheWrittenSymbols)
{
    // The estimate is the exact number of coded bits rounded up to bytes; a one-scan image
    // writes exactly that many bytes (before stuffing), so any symbol counted but not written
    // or written but not counted shows.
    const struct Row {
        const char* name;
        std::vector<std::pair<int, int>> factors;
        ScanGeometry geometry;
    } rows[] = {
        {"default 100x50", {{2, 2}, {1, 1}, {1, 1}}, {100, 50, 2, 2}},
        {"3x3 odd size", {{3, 3}, {1, 1}, {1, 1}}, {29, 41, 3, 3}},
        {"1x1 7x13", {{1, 1}, {1, 1}, {1, 1}}, {7, 13, 1, 1}},
        {"grey", {{1, 1}}, {45, 17, 1, 1}},
        {"2x2 2x2 2x2", {{2, 2}, {2, 2}, {2, 2}}, {33, 35, 2, 2}},
        {"4x4 1x1 1x1", {{4, 4}, {1, 1}, {1, 1}}, {70, 9, 4, 4}},
        {"mixed 3x1 1x3 2x2", {{3, 1}, {1, 3}, {2, 2}}, {51, 37, 3, 3}},
    };
    for (const Row& row : rows) {
        std::vector<JpegComponent> comps;
        for (auto [h, v] : row.factors) {
            const int index = int(comps.size());
            comps.push_back({index + 1, h, v, index == 0 ? 0 : 1, {}});
        }
        std::mt19937 random(11);
        // Sparse coefficients with occasional large values and long zero runs.
        fillCoefficients(comps, row.geometry, [&](std::size_t i) {
            const unsigned r = random();
            if (i % 64 == 0)
                return std::int16_t(int(r % 2001) - 1000);
            if (r % 7 != 0)
                return std::int16_t(0);
            return std::int16_t(int((r >> 8) % 1023) - 511);
        });
        const std::vector<ScanComponent> list = listOf(comps);
        HuffmanTableSet dc;
        HuffmanTableSet ac;
        const std::int64_t estimate = OptimizeTables(list, 0, int(list.size()) - 1, row.geometry, 8, dc, ac);
        OutputBuffer out(std::size_t(3 * estimate + 1000));
        WriteScans(list, 0, int(list.size()) - 1, row.geometry, dc, ac, out);
        const std::vector<std::size_t> sizes = scanDataSizes(out.data(), out.position());
        std::size_t total = 0;
        for (std::size_t n : sizes)
            total += n;
        // Each scan rounds its own bits up to a byte.
        EXPECT_GE(total, std::size_t(estimate)) << row.name;
        EXPECT_LT(total, std::size_t(estimate) + sizes.size()) << row.name;
        if (sizes.size() == 1) {
            EXPECT_EQ(total, std::size_t(estimate)) << row.name;
        }
    }
}

TEST(ScanPasses, MissingOrForeignCoefficientsRaiseError9)
{
    std::vector<JpegComponent> comps = components({{2, 2}, {1, 1}, {1, 1}});
    const ScanGeometry geometry{16, 16, 2, 2};
    fillCoefficients(comps, geometry, [](std::size_t) { return std::int16_t(1); });
    HuffmanTableSet dc;
    HuffmanTableSet ac;
    const auto optimize = [&] {
        const std::vector<ScanComponent> list = listOf(comps);
        OptimizeTables(list, 0, 2, geometry, 8, dc, ac);
    };
    EXPECT_NO_THROW(optimize());
    comps[2].Coefficients.pop_back();  // made for another size
    EXPECT_THROW(optimize(), RunTimeError);
    comps[2].Coefficients.clear();  // never sampled
    try {
        optimize();
        FAIL() << "no error";
    } catch (const RunTimeError& e) {
        EXPECT_EQ(e.number(), kErrSubscriptOutOfRange);
    }
}

}  // namespace
}  // namespace tav
