// Huffman tables: optimal length-limited codes from symbol counts (T.81 K.2) and the
// expansion of a code specification into per-symbol codes (T.81 C), with its checks.
#pragma once

#include "jpeg/jpeg_types.h"

#include <array>
#include <cstdint>

namespace tav {

// Counts of the 256 symbols and, at index 256, of the reserved symbol that keeps every real
// code from being all 1-bits. 64-bit so that the merged counts of a very large image cannot
// overflow.
using SymbolCounts = std::array<std::int64_t, 257>;

inline constexpr int kLargestDcSymbol = 11;  // 8-bit samples
inline constexpr int kLargestDcSymbol12Bit = 15;  // 12-bit samples
inline constexpr int kLargestAcSymbol = 255;
inline constexpr int kMaxCodeLength = 16;

// Fills BITS and HUFFVAL of `table` from `counts`, which are consumed (all 0 on return).
void OptimizeHuffman(HuffmanTable& table, SymbolCounts& counts);

// Checks BITS and HUFFVAL and fills EHUFSI and EHUFCO. Raises "Bad Huffman Table" when the
// specification holds more than 256 codes, a symbol above `largestSymbol`, a symbol twice,
// codes that do not fit their length (or take the all-ones code), or no symbol at all.
void ExpandHuffman(HuffmanTable& table, int largestSymbol);

// Code length of a symbol in an expanded table, 0 when it has no code.
int codeLength(const HuffmanTable& table, int symbol);

}  // namespace tav
