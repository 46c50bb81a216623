// Entropy-coded scans: the grouping of components into scans, the block order of each scan
// (raster order, or MCU order with dummy blocks), the counting pass that sizes the output and
// feeds the Huffman table builder, and the writing pass. Both passes walk the blocks through
// the same code, so the symbols counted are exactly the symbols written.
#pragma once

#include "jpeg/bit_writer.h"
#include "jpeg/jpeg_types.h"

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace tav {

inline constexpr int kMaxBlocksPerMcu = 10;  // T.81 B.2.3
inline constexpr int kMaxComponentsPerScan = 3;
inline constexpr int kHuffmanTableSlots = 4;

// What the scans need to know about the image: its size in pixels and the largest sampling
// factors, which fix the MCU grid and each component's sampled size.
struct ScanGeometry {
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::int32_t hmax = 1;
    std::int32_t vmax = 1;
};

// One entry of the component list: which component and the ids of its Huffman tables.
struct ScanComponent {
    const JpegComponent* component = nullptr;
    int dcTable = 0;
    int acTable = 0;
};

// A scan: the list entries first to last (inclusive).
struct ScanRange {
    int first = 0;
    int last = 0;
    bool interleaved() const { return last > first; }
};

// Groups list entries first..last into scans of consecutive components: at most 3 per scan and
// at most 10 blocks per MCU; a component with more than 10 blocks per MCU is a scan of its own.
std::vector<ScanRange> planScans(std::span<const ScanComponent> list, int first, int last);

// The block grid of a component: the sampled size ceil(Hi * X / Hmax) x ceil(Vi * Y / Vmax)
// rounded up to whole blocks.
std::int64_t blocksPerRow(const JpegComponent& component, const ScanGeometry& geometry);
std::int64_t blocksPerColumn(const JpegComponent& component, const ScanGeometry& geometry);

using HuffmanTableSet = std::array<HuffmanTable, kHuffmanTableSlots>;

// Counts the symbols of every scan per table, builds and expands the DC and AC tables in use
// and returns the size of the entropy-coded data in bytes (stuffed bytes, padding and segment
// headers left out). Raises error 9 when a component holds no coefficients or not as many as
// its block grid needs; "Bad Huffman Table" when a table cannot be built.
std::int64_t OptimizeTables(std::span<const ScanComponent> list, int first, int last, const ScanGeometry& geometry,
    int precision, HuffmanTableSet& dcTables, HuffmanTableSet& acTables);

// Writes every scan (SOS segment and entropy-coded data) with the tables OptimizeTables built.
void WriteScans(std::span<const ScanComponent> list, int first, int last, const ScanGeometry& geometry,
    const HuffmanTableSet& dcTables, const HuffmanTableSet& acTables, OutputBuffer& out);

// An image that codes as one scan, coded a band at a time by an encoder that makes a band's
// coefficients, codes them and drops them: the counting pass of OptimizeTables and the writing
// pass of WriteScans, over the same blocks in the same order, cut into bands. A band is an MCU
// row of an interleaved scan, a block row of a one-component scan. Every band is counted, in
// order, before the tables are built; then every band is written, in order.
class BandedScan {
public:
    // Null when the entries first..last of the list code as more than one scan.
    static std::unique_ptr<BandedScan> plan(std::span<const ScanComponent> list, int first, int last,
        const ScanGeometry& geometry);
    ~BandedScan();

    std::int64_t bands() const { return m_bands; }
    std::size_t components() const;
    // Block rows of component c (in scan order) in one band, and its block grid.
    int blockRowsPerBand(std::size_t c) const;
    std::int64_t blocksAcross(std::size_t c) const;
    std::int64_t blocksDown(std::size_t c) const;

    // `coefficients[c]` holds component c's block rows of band `band` (as many of
    // blockRowsPerBand(c) as lie inside its grid).
    void count(std::int64_t band, std::span<const std::int16_t* const> coefficients);
    // The tables OptimizeTables would build from the same coefficients, and its size estimate.
    std::int64_t buildTables(int precision, HuffmanTableSet& dcTables, HuffmanTableSet& acTables);
    // The scan header, then the bands through write, then finish (which completes the last byte).
    void startWriting(OutputBuffer& out, const HuffmanTableSet& dcTables, const HuffmanTableSet& acTables);
    void write(std::int64_t band, std::span<const std::int16_t* const> coefficients);
    void finishWriting();

private:
    struct State;
    explicit BandedScan(std::unique_ptr<State> state, std::int64_t bands);
    std::unique_ptr<State> m_state;
    std::int64_t m_bands;
};

}  // namespace tav
