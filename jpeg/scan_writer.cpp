// Scan output (T.81 Annex F.1.2 for the coding of a block, A.2 for the order of blocks).
//
// The scan plan, the block walk and the coding of a block are written once and instantiated
// twice: with a sink that counts symbols (for Huffman table optimisation and the size
// estimate) and with a sink that writes codes through the bit writer. The two passes cannot
// disagree about a single symbol.
//
// Block order of an interleaved scan (A.2.3): MCUs left to right, top to bottom; inside an
// MCU each component in scan order contributes Vi rows of Hi blocks. Where an MCU reaches past
// a component's block grid (right or bottom edge), a dummy block stands in for the missing
// one: DC equal to the component's predictor, all AC zero, which codes as a DC difference of
// 0 and an end-of-block, and leaves the predictor as it was. A non-interleaved scan codes the
// component's own block grid in raster order (A.2.2) and needs no dummy blocks.
#include "jpeg/scan_writer.h"
#include "jpeg/scan_writer_internals.h"

#include "jpeg/huffman.h"
#include "jpeg/markers.h"
#include "platform/run_time_error.h"
#include "platform/second_core.h"

#include <bit>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#include <cstdlib>
#include <exception>

namespace tav {

namespace {

constexpr int kEndOfBlock = 0x00;
constexpr int kZeroRun16 = 0xF0;  // ZRL: sixteen zero coefficients
constexpr int kMaxZeroRun = 15;

struct ScanLayout {
    const JpegComponent* component = nullptr;
    int dcTable = 0;
    int acTable = 0;
    std::int64_t blocksAcross = 0;
    std::int64_t blocksDown = 0;
    // The coefficients held: block row firstRow of the component's grid at `coefficients`, the
    // rows after it following (all of them, unless a band of block rows is coded).
    const std::int16_t* coefficients = nullptr;
    std::int64_t firstRow = 0;
};

std::vector<ScanLayout> layoutScan(std::span<const ScanComponent> list, const ScanRange& scan,
    const ScanGeometry& geometry)
{
    std::vector<ScanLayout> layouts;
    for (int i = scan.first; i <= scan.last; ++i) {
        const ScanComponent& entry = list[std::size_t(i)];
        layouts.push_back({entry.component, entry.dcTable, entry.acTable, blocksPerRow(*entry.component, geometry),
            blocksPerColumn(*entry.component, geometry), entry.component->Coefficients.data(), 0});
    }
    return layouts;
}

// The units a scan's walk can be cut into: blocks of a non-interleaved scan, MCU rows of an
// interleaved one.
std::int64_t scanUnits(const std::vector<ScanLayout>& layouts, const ScanGeometry& geometry)
{
    if (layouts.size() == 1)
        return layouts.front().blocksAcross * layouts.front().blocksDown;
    const std::int64_t mcuHeight = 8 * std::int64_t(geometry.vmax);
    return (std::int64_t(geometry.height) + mcuHeight - 1) / mcuHeight;
}

// Calls visit(index of the component in the scan, block) for every block of units
// [unitBegin, unitEnd) of the scan in coding order; the block is null for a dummy block.
template <class Visit>
void walkScan(const std::vector<ScanLayout>& layouts, const ScanGeometry& geometry, std::int64_t unitBegin,
    std::int64_t unitEnd, Visit&& visit)
{
    if (layouts.size() == 1) {
        const ScanLayout& only = layouts.front();
        const std::int16_t* block = only.coefficients + (unitBegin - only.firstRow * only.blocksAcross) * 64;
        for (std::int64_t i = unitBegin; i < unitEnd; ++i, block += 64)
            visit(std::size_t(0), block);
        return;
    }
    const std::int64_t mcuWidth = 8 * std::int64_t(geometry.hmax);
    const std::int64_t mcuCols = (std::int64_t(geometry.width) + mcuWidth - 1) / mcuWidth;
    for (std::int64_t mcuRow = unitBegin; mcuRow < unitEnd; ++mcuRow) {
        for (std::int64_t mcuCol = 0; mcuCol < mcuCols; ++mcuCol) {
            for (std::size_t c = 0; c < layouts.size(); ++c) {
                const ScanLayout& layout = layouts[c];
                const int hi = layout.component->Hi;
                const int vi = layout.component->Vi;
                for (int v = 0; v < vi; ++v) {
                    // A block is real when both its block row and block column lie inside
                    // the component's grid; only the last MCU row and column can miss some.
                    const std::int64_t blockRow = mcuRow * vi + v;
                    const bool rowInside = blockRow < layout.blocksDown;
                    const std::int16_t* rowStart = layout.coefficients +
                        (rowInside ? (blockRow - layout.firstRow) * layout.blocksAcross * 64 : 0);
                    for (int h = 0; h < hi; ++h) {
                        const std::int64_t blockCol = mcuCol * hi + h;
                        const bool real = rowInside && blockCol < layout.blocksAcross;
                        visit(c, real ? rowStart + blockCol * 64 : nullptr);
                    }
                }
            }
        }
    }
}

template <class Visit> void walkScan(const std::vector<ScanLayout>& layouts, const ScanGeometry& geometry, Visit&& visit)
{
    walkScan(layouts, geometry, 0, scanUnits(layouts, geometry), visit);
}

// Each component's DC predictor where the walk reaches `unit`: the DC of its last real block
// before it (dummy blocks leave the predictor alone), 0 when there is none.
std::vector<int> predictorsAt(const std::vector<ScanLayout>& layouts, const ScanGeometry& geometry, std::int64_t unit)
{
    std::vector<int> predictors(layouts.size(), 0);
    std::vector<bool> found(layouts.size(), false);
    std::size_t missing = layouts.size();
    for (std::int64_t u = unit - 1; u >= 0 && missing > 0; --u) {
        std::vector<int> last(layouts.size(), 0);
        std::vector<bool> seen(layouts.size(), false);
        walkScan(layouts, geometry, u, u + 1, [&](std::size_t c, const std::int16_t* block) {
            if (block) {
                last[c] = block[0];
                seen[c] = true;
            }
        });
        for (std::size_t c = 0; c < layouts.size(); ++c) {
            if (!found[c] && seen[c]) {
                predictors[c] = last[c];
                found[c] = true;
                --missing;
            }
        }
    }
    return predictors;
}

// Scans with fewer blocks than this are coded by one thread.
constexpr std::int64_t kParallelScanBlocks = 4096;

std::int64_t scanBlocks(const std::vector<ScanLayout>& layouts)
{
    std::int64_t blocks = 0;
    for (const ScanLayout& layout : layouts)
        blocks += layout.blocksAcross * layout.blocksDown;
    return blocks;
}

// Number of significant bits of |value| (T.81 Table F.1 / F.2 category).
inline int magnitudeCategory(int value) { return std::bit_width(std::uint32_t(std::abs(value))); }

// The extra bits of a value of category s: the value itself when positive, value - 1 (its
// one's complement in s bits) when negative (F.1.2.1.1). Only the low s bits are written.
inline std::uint32_t extraBits(int value) { return std::uint32_t(value < 0 ? value - 1 : value); }

}  // namespace

std::uint64_t nonZeroMask(const std::int16_t* block)
{
#if defined(__SSE2__)
    // Eight coefficients per compare; the byte masks of all 64 packed into one word.
    const __m128i zero = _mm_setzero_si128();
    std::uint64_t mask = 0;
    for (int i = 0; i < 4; ++i) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block + 16 * i));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block + 16 * i + 8));
        const __m128i isZero = _mm_packs_epi16(_mm_cmpeq_epi16(a, zero), _mm_cmpeq_epi16(b, zero));
        mask |= std::uint64_t(std::uint16_t(~_mm_movemask_epi8(isZero))) << (16 * i);
    }
    return mask;
#else
    return nonZeroMaskScalar(block);
#endif
}

std::uint64_t nonZeroMaskScalar(const std::int16_t* block)
{
    std::uint64_t mask = 0;
    for (int k = 0; k < 64; ++k)
        mask |= std::uint64_t(block[k] != 0) << k;
    return mask;
}

namespace {

// Codes one block: sink.dc(category, extra bits) then sink.ac(symbol, extra-bit count, extra
// bits) for each AC symbol (F.1.2.1 and F.1.2.2). A null block is a dummy block. The AC loop
// visits only the non-zero coefficients, found from a bit mask of the block; the zeros between
// them are the runs.
template <class Sink> inline void codeBlock(const std::int16_t* block, int& predictor, Sink& sink)
{
    if (block == nullptr) {
        sink.dc(0, 0);
        sink.ac(kEndOfBlock, 0, 0);
        return;
    }
    const int diff = block[0] - predictor;
    predictor = block[0];
    sink.dc(magnitudeCategory(diff), extraBits(diff));

    std::uint64_t mask = nonZeroMask(block) & ~std::uint64_t(1);  // AC coefficients only
    int last = 0;  // index of the last coefficient coded
    while (mask != 0) {
        const int k = std::countr_zero(mask);
        mask &= mask - 1;
        int run = k - last - 1;
        while (run > kMaxZeroRun) {
            sink.ac(kZeroRun16, 0, 0);
            run -= 16;
        }
        const int value = block[k];
        const int size = magnitudeCategory(value);
        sink.ac(run * 16 + size, size, extraBits(value));
        last = k;
    }
    // Trailing zeros end with an end-of-block; no ZRL precedes it.
    if (last != 63)
        sink.ac(kEndOfBlock, 0, 0);
}

// Counting sink: the symbol counts of the DC and AC table of one component.
struct CountingSink {
    void dc(int category, std::uint32_t) { ++(*dcCounts)[std::size_t(category)]; }
    void ac(int symbol, int, std::uint32_t) { ++(*acCounts)[std::size_t(symbol)]; }
    SymbolCounts* dcCounts = nullptr;
    SymbolCounts* acCounts = nullptr;
};

// A table's codes in the form the writer wants them.
struct CodeTable {
    std::array<std::uint32_t, 256> code{};
    std::array<int, 256> length{};
};

CodeTable codeTable(const HuffmanTable& table)
{
    CodeTable out;
    for (int s = 0; s < 256; ++s) {
        out.length[std::size_t(s)] = codeLength(table, s);
        out.code[std::size_t(s)] = out.length[std::size_t(s)] > 0 ? std::uint32_t(table.EHUFCO[std::size_t(s)]) : 0;
    }
    return out;
}

// Writing sink: a symbol's code and its extra bits go out as one write of at most 32 bits.
template <class Writer> struct WritingSink {
    Writer* writer = nullptr;
    const CodeTable* dcCodes = nullptr;
    const CodeTable* acCodes = nullptr;
    bool missingCode = false;

    void put(const CodeTable& codes, int symbol, int extraLength, std::uint32_t extra)
    {
        const int length = codes.length[std::size_t(symbol)];
        missingCode |= length == 0;
        const std::uint32_t low = extra & ((std::uint32_t(1) << extraLength) - 1);
        writer->write((codes.code[std::size_t(symbol)] << extraLength) | low, length + extraLength);
    }
    void dc(int category, std::uint32_t extra) { put(*dcCodes, category, category, extra); }
    void ac(int symbol, int extraLength, std::uint32_t extra) { put(*acCodes, symbol, extraLength, extra); }
};

struct RecordingSink {
    std::vector<CodedSymbol>* out = nullptr;
    void dc(int category, std::uint32_t extra)
    {
        out->push_back({category, category, extra & ((std::uint32_t(1) << category) - 1), true});
    }
    void ac(int symbol, int extraLength, std::uint32_t extra)
    {
        out->push_back({symbol, extraLength, extra & ((std::uint32_t(1) << extraLength) - 1), false});
    }
};

void checkCoefficients(std::span<const ScanComponent> list, int first, int last, const ScanGeometry& geometry)
{
    // A component that was never sampled, or whose coefficients were made for another image
    // size (a later sampling that failed), cannot be coded.
    for (int i = first; i <= last; ++i) {
        const JpegComponent& component = *list[std::size_t(i)].component;
        const std::int64_t expected = blocksPerRow(component, geometry) * blocksPerColumn(component, geometry) * 64;
        if (component.Coefficients.empty() || std::int64_t(component.Coefficients.size()) != expected)
            raiseSubscriptOutOfRange();
    }
}

// Builds and expands the tables in use from the symbol counts of every scan and returns the
// size of the entropy-coded data in bytes.
std::int64_t buildTables(std::array<SymbolCounts, kHuffmanTableSlots>& dcCounts,
    std::array<SymbolCounts, kHuffmanTableSlots>& acCounts, const std::array<bool, kHuffmanTableSlots>& dcUsed,
    const std::array<bool, kHuffmanTableSlots>& acUsed, int precision, HuffmanTableSet& dcTables,
    HuffmanTableSet& acTables)
{
    // Tables in the order DC 0, AC 0, DC 1, AC 1, ...; each adds its coded bits to the total:
    // per symbol its code length plus its extra bits (the category for DC, the low nibble of
    // the symbol for AC).
    std::int64_t totalBits = 0;
    const int largestDc = precision == 12 ? kLargestDcSymbol12Bit : kLargestDcSymbol;
    for (std::size_t t = 0; t < std::size_t(kHuffmanTableSlots); ++t) {
        if (dcUsed[t]) {
            const SymbolCounts copy = dcCounts[t];
            OptimizeHuffman(dcTables[t], dcCounts[t]);
            ExpandHuffman(dcTables[t], largestDc);
            for (int s = 0; s <= 15; ++s)
                totalBits += copy[std::size_t(s)] * (codeLength(dcTables[t], s) + s);
        }
        if (acUsed[t]) {
            const SymbolCounts copy = acCounts[t];
            OptimizeHuffman(acTables[t], acCounts[t]);
            ExpandHuffman(acTables[t], kLargestAcSymbol);
            for (int s = 0; s <= 255; ++s)
                totalBits += copy[std::size_t(s)] * (codeLength(acTables[t], s) + s % 16);
        }
    }
    return (totalBits + 7) / 8;
}

// SOS (B.2.3): Ns, then per component Cs and Td/Ta; Ss = 0, Se = 63, Ah/Al = 0.
void writeScanHeader(OutputBuffer& out, const std::vector<ScanLayout>& layouts)
{
    out.put(kMarkerPrefix);
    out.put(kMarkerSOS);
    out.put16(unsigned(6 + 2 * layouts.size()));
    out.put(std::uint8_t(layouts.size()));
    for (const ScanLayout& layout : layouts) {
        out.put(std::uint8_t(layout.component->Ci));
        out.put(std::uint8_t(layout.dcTable * 16 + layout.acTable));
    }
    out.put(0);
    out.put(63);
    out.put(0);
}

}  // namespace

std::vector<ScanRange> planScans(std::span<const ScanComponent> list, int first, int last)
{
    std::vector<ScanRange> scans;
    int start = first;
    int i = first;
    int blocks = 0;
    while (start <= last) {
        const JpegComponent& component = *list[std::size_t(i)].component;
        blocks += component.Hi * component.Vi;
        ++i;
        bool ends = false;
        if (blocks > kMaxBlocksPerMcu) {
            ends = true;
            if (start < i - 1)
                --i;  // the component that did not fit opens the next scan
        } else {
            ends = i > last || i - start == kMaxComponentsPerScan;
        }
        if (ends) {
            scans.push_back({start, i - 1});
            start = i;
            blocks = 0;
        }
    }
    return scans;
}

std::int64_t blocksPerRow(const JpegComponent& component, const ScanGeometry& geometry)
{
    if (geometry.width <= 0 || geometry.hmax <= 0)
        return 0;
    const std::int64_t sampled = ceilDiv(std::int64_t(component.Hi) * geometry.width, geometry.hmax);
    return ceilDiv(sampled, 8);
}

std::int64_t blocksPerColumn(const JpegComponent& component, const ScanGeometry& geometry)
{
    if (geometry.height <= 0 || geometry.vmax <= 0)
        return 0;
    const std::int64_t sampled = ceilDiv(std::int64_t(component.Vi) * geometry.height, geometry.vmax);
    return ceilDiv(sampled, 8);
}

std::int64_t OptimizeTables(std::span<const ScanComponent> list, int first, int last, const ScanGeometry& geometry,
    int precision, HuffmanTableSet& dcTables, HuffmanTableSet& acTables)
{
    checkCoefficients(list, first, last, geometry);

    std::array<SymbolCounts, kHuffmanTableSlots> dcCounts{};
    std::array<SymbolCounts, kHuffmanTableSlots> acCounts{};
    std::array<bool, kHuffmanTableSlots> dcUsed{};
    std::array<bool, kHuffmanTableSlots> acUsed{};

    for (const ScanRange& scan : planScans(list, first, last)) {
        const std::vector<ScanLayout> layouts = layoutScan(list, scan, geometry);
        // A large scan is counted in two halves at once, the second starting from the
        // predictors the first leaves; the counts add up to those of one walk.
        const std::int64_t units = scanUnits(layouts, geometry);
        const bool parallel = units >= 2 && useSecondCore(scanBlocks(layouts) >= kParallelScanBlocks);
        const std::int64_t middle = parallel ? units / 2 : units;
        // The second half counts apart only when it runs on a thread of its own. Its 16 KB of
        // counts live on the heap: on the stack they were fresh pages, a page fault each, for
        // every picture, also the small ones that are counted in one walk.
        using CountSet = std::array<SymbolCounts, kHuffmanTableSlots>;
        const std::unique_ptr<CountSet> dcSecond = parallel ? std::make_unique<CountSet>() : nullptr;
        const std::unique_ptr<CountSet> acSecond = parallel ? std::make_unique<CountSet>() : nullptr;
        std::vector<CountingSink> sinks(layouts.size()), secondSinks(layouts.size());
        std::vector<int> predictors(layouts.size(), 0);
        std::vector<int> secondPredictors = parallel ? predictorsAt(layouts, geometry, middle) : predictors;
        for (std::size_t c = 0; c < layouts.size(); ++c) {
            sinks[c].dcCounts = &dcCounts[std::size_t(layouts[c].dcTable)];
            sinks[c].acCounts = &acCounts[std::size_t(layouts[c].acTable)];
            if (parallel) {
                secondSinks[c].dcCounts = &(*dcSecond)[std::size_t(layouts[c].dcTable)];
                secondSinks[c].acCounts = &(*acSecond)[std::size_t(layouts[c].acTable)];
            }
            dcUsed[std::size_t(layouts[c].dcTable)] = true;
            acUsed[std::size_t(layouts[c].acTable)] = true;
        }
        runBoth(
            parallel,
            [&] {
                walkScan(layouts, geometry, 0, middle,
                    [&](std::size_t c, const std::int16_t* block) { codeBlock(block, predictors[c], sinks[c]); });
            },
            [&] {
                walkScan(layouts, geometry, middle, units, [&](std::size_t c, const std::int16_t* block) {
                    codeBlock(block, secondPredictors[c], secondSinks[c]);
                });
            });
        for (std::size_t t = 0; parallel && t < std::size_t(kHuffmanTableSlots); ++t) {
            for (std::size_t s = 0; s < dcCounts[t].size(); ++s) {
                dcCounts[t][s] += (*dcSecond)[t][s];
                acCounts[t][s] += (*acSecond)[t][s];
            }
        }
    }

    return buildTables(dcCounts, acCounts, dcUsed, acUsed, precision, dcTables, acTables);
}

void WriteScans(std::span<const ScanComponent> list, int first, int last, const ScanGeometry& geometry,
    const HuffmanTableSet& dcTables, const HuffmanTableSet& acTables, OutputBuffer& out)
{
    checkCoefficients(list, first, last, geometry);

    std::array<CodeTable, kHuffmanTableSlots> dcCodes;
    std::array<CodeTable, kHuffmanTableSlots> acCodes;
    for (std::size_t t = 0; t < std::size_t(kHuffmanTableSlots); ++t) {
        dcCodes[t] = codeTable(dcTables[t]);
        acCodes[t] = codeTable(acTables[t]);
    }

    for (const ScanRange& scan : planScans(list, first, last)) {
        const std::vector<ScanLayout> layouts = layoutScan(list, scan, geometry);
        writeScanHeader(out, layouts);

        // A large scan is coded in two halves at once: the second half's bits go to a buffer
        // of their own, unstuffed, and are then appended to the first half's through its
        // writer, which stuffs and aligns them exactly as if one walk had written them.
        const std::int64_t units = scanUnits(layouts, geometry);
        const bool parallel = units >= 2 && useSecondCore(scanBlocks(layouts) >= kParallelScanBlocks);
        const std::int64_t middle = parallel ? units / 2 : units;
        BitWriter writer(out);
        OutputBuffer secondBytes(parallel ? out.size() - out.position() : 0);
        RawBitWriter secondWriter(secondBytes);
        std::vector<WritingSink<BitWriter>> sinks(layouts.size());
        std::vector<WritingSink<RawBitWriter>> secondSinks(layouts.size());
        std::vector<int> predictors(layouts.size(), 0);
        std::vector<int> secondPredictors = parallel ? predictorsAt(layouts, geometry, middle) : predictors;
        for (std::size_t c = 0; c < layouts.size(); ++c) {
            sinks[c].writer = &writer;
            secondSinks[c].writer = &secondWriter;
            sinks[c].dcCodes = secondSinks[c].dcCodes = &dcCodes[std::size_t(layouts[c].dcTable)];
            sinks[c].acCodes = secondSinks[c].acCodes = &acCodes[std::size_t(layouts[c].acTable)];
        }
        std::uint32_t secondTail = 0;
        int secondTailBits = 0;
        runBoth(
            parallel,
            [&] {
                walkScan(layouts, geometry, 0, middle,
                    [&](std::size_t c, const std::int16_t* block) { codeBlock(block, predictors[c], sinks[c]); });
            },
            [&] {
                walkScan(layouts, geometry, middle, units, [&](std::size_t c, const std::int16_t* block) {
                    codeBlock(block, secondPredictors[c], secondSinks[c]);
                });
                secondWriter.finish(secondTail, secondTailBits);
            });
        if (parallel) {
            writer.writeBytes(secondBytes.data(), secondBytes.position());
            writer.write(secondTail, secondTailBits);
        }
        writer.flush();
        for (std::size_t c = 0; c < layouts.size(); ++c) {
            if (sinks[c].missingCode || secondSinks[c].missingCode)
                raiseSubscriptOutOfRange();  // a symbol its table has no code for
        }
    }
}

struct BandedScan::State {
    std::vector<ScanLayout> layouts;
    ScanGeometry geometry;
    std::vector<int> predictors;
    std::array<SymbolCounts, kHuffmanTableSlots> dcCounts{};
    std::array<SymbolCounts, kHuffmanTableSlots> acCounts{};
    std::array<bool, kHuffmanTableSlots> dcUsed{};
    std::array<bool, kHuffmanTableSlots> acUsed{};
    std::vector<CountingSink> counters;
    std::array<CodeTable, kHuffmanTableSlots> dcCodes;
    std::array<CodeTable, kHuffmanTableSlots> acCodes;
    std::unique_ptr<BitWriter> writer;
    std::vector<WritingSink<BitWriter>> writers;

    // The layouts pointed at this band's coefficients.
    void hold(std::int64_t band, std::span<const std::int16_t* const> coefficients)
    {
        for (std::size_t c = 0; c < layouts.size(); ++c) {
            layouts[c].coefficients = coefficients[c];
            layouts[c].firstRow = band * rowsPerBand(c);
        }
    }
    int rowsPerBand(std::size_t c) const { return layouts.size() == 1 ? 1 : layouts[c].component->Vi; }
    // The walk's units of a band: its MCU row, or the blocks of its block row.
    std::pair<std::int64_t, std::int64_t> units(std::int64_t band) const
    {
        if (layouts.size() > 1)
            return {band, band + 1};
        return {band * layouts[0].blocksAcross, (band + 1) * layouts[0].blocksAcross};
    }
};

std::unique_ptr<BandedScan> BandedScan::plan(std::span<const ScanComponent> list, int first, int last,
    const ScanGeometry& geometry)
{
    const std::vector<ScanRange> scans = planScans(list, first, last);
    if (scans.size() != 1)
        return nullptr;
    auto state = std::make_unique<State>();
    state->layouts = layoutScan(list, scans[0], geometry);
    state->geometry = geometry;
    state->predictors.assign(state->layouts.size(), 0);
    state->counters.resize(state->layouts.size());
    for (std::size_t c = 0; c < state->layouts.size(); ++c) {
        const ScanLayout& layout = state->layouts[c];
        state->counters[c].dcCounts = &state->dcCounts[std::size_t(layout.dcTable)];
        state->counters[c].acCounts = &state->acCounts[std::size_t(layout.acTable)];
        state->dcUsed[std::size_t(layout.dcTable)] = true;
        state->acUsed[std::size_t(layout.acTable)] = true;
    }
    const std::int64_t bands = state->layouts.size() == 1 ? state->layouts[0].blocksDown
                                                          : scanUnits(state->layouts, geometry);
    return std::unique_ptr<BandedScan>(new BandedScan(std::move(state), bands));
}

BandedScan::BandedScan(std::unique_ptr<State> state, std::int64_t bands)
    : m_state(std::move(state))
    , m_bands(bands)
{
}

BandedScan::~BandedScan() = default;

std::size_t BandedScan::components() const { return m_state->layouts.size(); }
int BandedScan::blockRowsPerBand(std::size_t c) const { return m_state->rowsPerBand(c); }
std::int64_t BandedScan::blocksAcross(std::size_t c) const { return m_state->layouts[c].blocksAcross; }
std::int64_t BandedScan::blocksDown(std::size_t c) const { return m_state->layouts[c].blocksDown; }

void BandedScan::count(std::int64_t band, std::span<const std::int16_t* const> coefficients)
{
    State& s = *m_state;
    s.hold(band, coefficients);
    const auto [begin, end] = s.units(band);
    walkScan(s.layouts, s.geometry, begin, end,
        [&](std::size_t c, const std::int16_t* block) { codeBlock(block, s.predictors[c], s.counters[c]); });
}

std::int64_t BandedScan::buildTables(int precision, HuffmanTableSet& dcTables, HuffmanTableSet& acTables)
{
    State& s = *m_state;
    return tav::buildTables(s.dcCounts, s.acCounts, s.dcUsed, s.acUsed, precision, dcTables, acTables);
}

void BandedScan::startWriting(OutputBuffer& out, const HuffmanTableSet& dcTables, const HuffmanTableSet& acTables)
{
    State& s = *m_state;
    for (std::size_t t = 0; t < std::size_t(kHuffmanTableSlots); ++t) {
        s.dcCodes[t] = codeTable(dcTables[t]);
        s.acCodes[t] = codeTable(acTables[t]);
    }
    writeScanHeader(out, s.layouts);
    s.writer = std::make_unique<BitWriter>(out);
    s.writers.assign(s.layouts.size(), {});
    for (std::size_t c = 0; c < s.layouts.size(); ++c) {
        s.writers[c].writer = s.writer.get();
        s.writers[c].dcCodes = &s.dcCodes[std::size_t(s.layouts[c].dcTable)];
        s.writers[c].acCodes = &s.acCodes[std::size_t(s.layouts[c].acTable)];
    }
    s.predictors.assign(s.layouts.size(), 0);
}

void BandedScan::write(std::int64_t band, std::span<const std::int16_t* const> coefficients)
{
    State& s = *m_state;
    s.hold(band, coefficients);
    const auto [begin, end] = s.units(band);
    walkScan(s.layouts, s.geometry, begin, end,
        [&](std::size_t c, const std::int16_t* block) { codeBlock(block, s.predictors[c], s.writers[c]); });
}

void BandedScan::finishWriting()
{
    State& s = *m_state;
    s.writer->flush();
    for (const auto& sink : s.writers) {
        if (sink.missingCode)
            raiseSubscriptOutOfRange();  // a symbol its table has no code for
    }
}

std::vector<CodedSymbol> blockSymbols(const std::int16_t* block, int& predictor)
{
    std::vector<CodedSymbol> symbols;
    RecordingSink sink{&symbols};
    codeBlock(block, predictor, sink);
    return symbols;
}

std::vector<ScanBlock> scanBlockOrder(std::span<const ScanComponent> list, const ScanRange& scan,
    const ScanGeometry& geometry)
{
    const std::vector<ScanLayout> layouts = layoutScan(list, scan, geometry);
    std::vector<ScanBlock> order;
    walkScan(layouts, geometry, [&](std::size_t c, const std::int16_t* block) {
        const std::int16_t* start = layouts[c].component->Coefficients.data();
        order.push_back({scan.first + int(c), block == nullptr ? -1 : (block - start) / 64});
    });
    return order;
}

}  // namespace tav
