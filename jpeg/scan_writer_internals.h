// The coder's pieces that tests and benchmarks hold against their references: the vector form
// and its scalar twin, the symbols of one block and the coding order of a scan.
#pragma once

#include "jpeg/scan_writer.h"

#include <cstdint>
#include <span>
#include <vector>

namespace tav {

// Bit k set when coefficient k (zigzag order) of the 64 at `block` is not zero: the coder walks
// only the set bits. The vector form and its scalar twin give the same mask.
std::uint64_t nonZeroMask(const std::int16_t* block);
std::uint64_t nonZeroMaskScalar(const std::int16_t* block);

// The symbols and extra bits of one block in zigzag order (T.81 F.1.2), as (symbol, extra-bit
// count, extra bits) triples, DC first: a reference view of the coder for tests and tools.
struct CodedSymbol {
    int symbol = 0;
    int extraLength = 0;
    std::uint32_t extraBits = 0;
    bool dc = false;
    friend bool operator==(const CodedSymbol&, const CodedSymbol&) = default;
};
std::vector<CodedSymbol> blockSymbols(const std::int16_t* block, int& predictor);

// The coding order of one scan: for each block, the list index of its component and the
// block's index in that component's grid, -1 for a dummy block.
struct ScanBlock {
    int entry = 0;
    std::int64_t block = 0;
    friend bool operator==(const ScanBlock&, const ScanBlock&) = default;
};
std::vector<ScanBlock> scanBlockOrder(std::span<const ScanComponent> list, const ScanRange& scan,
    const ScanGeometry& geometry);

}  // namespace tav
