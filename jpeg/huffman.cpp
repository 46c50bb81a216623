// Huffman table construction.
//
// OptimizeHuffman is the procedure of T.81 K.2 (Figures K.1 to K.4): repeatedly merge the two
// least frequent trees, lengthening the codes of every symbol in both, then limit the code
// lengths to 16 bits and list the symbols by length. The order in which equal counts are
// picked decides which symbol gets the longer code, and with it the bytes of the file, so the
// tie-break is fixed: among equal counts the highest symbol number is taken first.
//
// ExpandHuffman generates the codes of T.81 C.2 (Figures C.1 to C.3) from BITS and HUFFVAL,
// checking on the way that BITS and HUFFVAL describe a prefix code.
#include "jpeg/huffman.h"

#include "jpeg/errors.h"

#include <algorithm>
#include <bit>
#include <vector>

namespace tav {

namespace {

constexpr int kSymbolCount = 257;  // 256 symbols and the reserved one
constexpr int kReservedSymbol = 256;

// The symbols that still hold a count, in increasing order. Each merge takes one away, so the
// search for the two smallest shrinks with the tree instead of visiting all 257 symbols twice
// per merge (most of the time of building the tables of a small picture).
struct LiveSymbols {
    std::array<int, kSymbolCount> symbol;
    int size = 0;

    void remove(int s) { size = int(std::remove(symbol.begin(), symbol.begin() + size, s) - symbol.begin()); }
};

// The symbol with the smallest non-zero count (`first`) and the one with the smallest among
// the others (`second`); among equal counts the highest symbol comes first (a later symbol
// whose count is not above a kept one goes before it). -1 for each that does not exist.
void twoSmallestCounts(const SymbolCounts& counts, const LiveSymbols& live, int& first, int& second)
{
    first = -1;
    second = -1;
    std::int64_t firstCount = 0;
    std::int64_t secondCount = 0;
    for (int i = 0; i < live.size; ++i) {
        const int s = live.symbol[std::size_t(i)];
        const std::int64_t c = counts[std::size_t(s)];
        if (first < 0 || c <= firstCount) {
            second = first;
            secondCount = firstCount;
            first = s;
            firstCount = c;
        } else if (second < 0 || c <= secondCount) {
            second = s;
            secondCount = c;
        }
    }
}

}  // namespace

void OptimizeHuffman(HuffmanTable& table, SymbolCounts& counts)
{
    // Figure K.1: code sizes. others(s) chains the symbols of one tree together.
    std::array<int, kSymbolCount> others;
    std::array<int, kSymbolCount> codesize{};
    others.fill(-1);
    counts[kReservedSymbol] = 1;
    LiveSymbols live;
    for (int s = 0; s < kSymbolCount; ++s) {
        if (counts[std::size_t(s)] != 0)
            live.symbol[std::size_t(live.size++)] = s;
    }

    int c1 = -1;
    for (;;) {
        int c2 = -1;
        twoSmallestCounts(counts, live, c1, c2);
        if (c2 < 0)
            break;
        counts[std::size_t(c1)] += counts[std::size_t(c2)];
        counts[std::size_t(c2)] = 0;
        live.remove(c2);
        ++codesize[std::size_t(c1)];
        while (others[std::size_t(c1)] >= 0) {
            c1 = others[std::size_t(c1)];
            ++codesize[std::size_t(c1)];
        }
        others[std::size_t(c1)] = c2;
        int c = c2;
        ++codesize[std::size_t(c)];
        while (others[std::size_t(c)] >= 0) {
            c = others[std::size_t(c)];
            ++codesize[std::size_t(c)];
        }
    }
    if (c1 >= 0)
        counts[std::size_t(c1)] = 0;

    // Figure K.2: number of codes of each length. A chain of merges can in principle make a
    // code as long as the number of symbols, hence the full-size working array.
    std::array<int, kSymbolCount> bits{};
    int maxLength = 0;
    for (int s = 0; s < kSymbolCount; ++s) {
        const int n = codesize[std::size_t(s)];
        if (n > 0) {
            ++bits[std::size_t(n)];
            maxLength = std::max(maxLength, n);
        }
    }

    // Figure K.3: limit the lengths to 16. Two codes of length i are replaced by one of
    // length i - 1 (their common prefix) and one code of the longest length j < i - 1 that
    // exists is split into two of length j + 1.
    for (int i = maxLength; i > kMaxCodeLength; --i) {
        while (bits[std::size_t(i)] > 0) {
            int j = i - 2;
            while (j >= 1 && bits[std::size_t(j)] == 0)
                --j;
            bits[std::size_t(i)] -= 2;
            bits[std::size_t(i - 1)] += 1;
            bits[std::size_t(j + 1)] += 2;
            bits[std::size_t(j)] -= 1;
        }
    }
    // The reserved symbol has one of the longest codes; it is not part of the table.
    bits[std::size_t(std::min(maxLength, kMaxCodeLength))] -= 1;

    for (int length = 1; length <= kMaxCodeLength; ++length)
        table.BITS[std::size_t(length - 1)] = std::uint8_t(bits[std::size_t(length)]);

    // Figure K.4: the symbols by increasing length before limiting. Limiting only shortens
    // some of the longest codes, so this order is still an order by final length.
    std::size_t next = 0;
    for (int n = 1; n <= maxLength; ++n) {
        for (int s = 0; s < 256; ++s) {
            if (codesize[std::size_t(s)] == n)
                table.HUFFVAL[next++] = std::uint8_t(s);
        }
    }
}

void ExpandHuffman(HuffmanTable& table, int largestSymbol)
{
    table.EHUFSI.fill(0);
    table.EHUFCO.fill(-1);
    int k = 0;
    int code = 0;
    int weight = 1;  // 2^(L - 1) for the codes of length L
    for (int length = 1; length <= kMaxCodeLength; ++length) {
        const int end = k + table.BITS[std::size_t(length - 1)];
        if (end > 256)
            raiseEncoderError(kMsgBadHuffmanTable);
        for (; k < end; ++k) {
            const int s = table.HUFFVAL[std::size_t(k)];
            if (s > largestSymbol || table.EHUFCO[std::size_t(s)] >= 0)
                raiseEncoderError(kMsgBadHuffmanTable);
            table.EHUFSI[std::size_t(s)] = weight;
            table.EHUFCO[std::size_t(s)] = code;
            ++code;
        }
        weight *= 2;
        // The codes of this length must fit in `length` bits without taking the all-ones code.
        if (code >= weight)
            raiseEncoderError(kMsgBadHuffmanTable);
        code *= 2;
    }
    if (k == 0)
        raiseEncoderError(kMsgBadHuffmanTable);
}

int codeLength(const HuffmanTable& table, int symbol)
{
    const auto weight = std::uint32_t(table.EHUFSI[std::size_t(symbol)]);
    return std::bit_width(weight);
}

}  // namespace tav
