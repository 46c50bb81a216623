#include "jpeg_scan_split.h"

#include <algorithm>
#include <cstring>

namespace tav {

namespace {

constexpr int kMaxCodeLength = 16;
constexpr int kCoefficients = 64;
constexpr std::uint8_t kEndOfBlock = 0x00;
constexpr std::uint8_t kZeroRun = 0xF0;  // sixteen zero coefficients
constexpr int kMaxAcSize = 10;  // bits of the largest AC coefficient of 8-bit samples
constexpr std::size_t kMaxScanComponents = 4;
// At most this many filler blocks carry one extra coefficient to set the filler's length.
constexpr int kMaxAlignmentCoefficients = 7;

// A Huffman table's codes, assigned in canonical order (shortest first, in HUFFVAL order).
struct CanonicalCode {
    std::array<std::uint16_t, 256> code{};
    std::array<std::uint8_t, 256> length{};  // 0: no code for this symbol
    std::array<std::int32_t, kMaxCodeLength + 1> maxCode{};
    std::array<std::int32_t, kMaxCodeLength + 1> valueOffset{};  // HUFFVAL index minus code
    std::vector<std::uint8_t> huffval;
};

// Nothing for a table whose codes do not fit their lengths (libjpeg refuses those as well).
std::optional<CanonicalCode> canonicalCode(const JpegScanLayout::HuffmanSpec& spec)
{
    CanonicalCode c;
    c.huffval = spec.huffval;
    std::int32_t code = 0;
    std::size_t k = 0;
    for (int length = 1; length <= kMaxCodeLength; ++length) {
        const int count = spec.bits[std::size_t(length)];
        c.maxCode[std::size_t(length)] = -1;
        c.valueOffset[std::size_t(length)] = std::int32_t(k) - code;
        for (int i = 0; i < count; ++i, ++k, ++code) {
            if (k >= spec.huffval.size() || code >= (1 << length))
                return std::nullopt;
            const std::uint8_t symbol = spec.huffval[k];
            c.code[symbol] = std::uint16_t(code);
            c.length[symbol] = std::uint8_t(length);
        }
        if (count > 0)
            c.maxCode[std::size_t(length)] = code - 1;
        code <<= 1;
    }
    return c;
}

// Huffman-coded bits, most significant first, with the stuffed zero after each 0xFF removed.
// A marker or the end of the data ends the bits: reading on gives zeros and sets hitEnd().
// After every step 57 to 64 bits are held: there is no branch on whether to load, which would
// mispredict, and the bytes behind a code load while it is looked up.
class BitCursor {
public:
    BitCursor(const std::uint8_t* begin, const std::uint8_t* end)
        : m_begin(begin), m_next(begin), m_end(end), m_plainEnd(firstFF(begin, end))
    {
        loadByBytes();
        m_early = m_acc;
    }

    // The next `count` bits, at most 26 (of a code).
    std::uint32_t peek(int count) const { return std::uint32_t(m_early >> (64 - count)); }
    // The `count` (0 to 15) bits after the next `offset` (at most 16) ones.
    std::uint32_t peek(int offset, int count) const { return std::uint32_t((m_acc << offset) >> 1 >> (63 - count)); }
    // Consumes `count` (1 to 31) bits.
    void skip(int count)
    {
        m_acc <<= count;
        // The next code is read from the bits held before the load: one step less in the
        // chain from one look-up to the next.
        m_early = m_acc;
        m_bits -= count;
        load();
    }
    bool hitEnd() const { return m_hitEnd; }
    // Bits consumed since the start.
    std::uint64_t consumed() const { return loaded() - std::uint64_t(m_bits); }
    // Bits the data has, once hitEnd().
    std::uint64_t available() const { return m_available; }

    // Where the next bit lies: the offset of its byte in the data and how many bits of that
    // byte are already used. Only meaningful while hitEnd() is false.
    std::pair<std::size_t, int> position() const
    {
        // The unread bits are the last bytes loaded (each whole but the first, which may be
        // partly used); walk back over them, a stuffed zero and its 0xFF counting as one.
        const int partial = m_bits % 8;
        int back = m_bits / 8 + (partial > 0 ? 1 : 0);
        const std::uint8_t* at = m_next;
        while (back-- > 0)
            at -= (at - m_begin >= 2 && at[-1] == 0x00 && at[-2] == 0xFF) ? 2 : 1;
        return {std::size_t(at - m_begin), partial > 0 ? 8 - partial : 0};
    }

private:
    // Whole bytes, up to 57 to 64 bits held (26 to 63 are held before).
    void load()
    {
        const int take = (64 - m_bits) >> 3;
        // The common case: no 0xFF among the bytes taken, so no stuffing to remove. All eight
        // bytes read go in, past the bits counted as held as well: up to an 0xFF they are the
        // data's own, loaded again into the same place later, and loadByBytes() clears them
        // before it goes past one.
        if (__builtin_expect(take <= m_plainEnd - m_next && m_end - m_next >= 8, 1)) {
            m_acc |= bigEndianWord(m_next) >> m_bits;
            m_next += take;
            m_bits += 8 * take;
            return;
        }
        loadByBytes();
    }

    // Bits loaded since the start.
    std::uint64_t loaded() const { return 8 * std::uint64_t((m_next - m_begin) + m_loadedPastNext); }

    static std::uint64_t bigEndianWord(const std::uint8_t* at)
    {
        std::uint64_t word = 0;
        for (int i = 0; i < 8; ++i)
            word = word << 8 | at[i];
        return word;
    }

    static const std::uint8_t* firstFF(const std::uint8_t* from, const std::uint8_t* end)
    {
        const void* ff = std::memchr(from, 0xFF, std::size_t(end - from));
        return ff ? static_cast<const std::uint8_t*>(ff) : end;
    }

    void loadByBytes()
    {
        // Past an 0xFF the bytes read as well are not the data's: cleared.
        m_acc &= ~(~std::uint64_t(0) >> m_bits);
        while (m_bits <= 56) {
            std::uint64_t byte = 0;
            if (m_next < m_end && (*m_next != 0xFF || (m_next + 1 < m_end && m_next[1] == 0x00))) {
                byte = *m_next;
                if (byte == 0xFF) {
                    ++m_next;
                    --m_loadedPastNext;
                }
                ++m_next;
            } else {
                if (!m_hitEnd)
                    m_available = loaded();
                m_hitEnd = true;
                ++m_loadedPastNext;
            }
            m_acc |= byte << (56 - m_bits);
            m_bits += 8;
        }
        if (m_next > m_plainEnd)
            m_plainEnd = firstFF(m_next, m_end);
    }

    const std::uint8_t* m_begin;
    const std::uint8_t* m_next;
    const std::uint8_t* m_end;
    const std::uint8_t* m_plainEnd;  // the first 0xFF from m_next on, or m_end
    std::uint64_t m_acc = 0;
    std::uint64_t m_early = 0;  // m_acc before the last load: its first 26 bits are held
    int m_bits = 0;
    // Bytes loaded, less those from m_begin to m_next: zeros past the end, less stuffed ones.
    std::int64_t m_loadedPastNext = 0;
    std::uint64_t m_available = 0;
    bool m_hitEnd = false;
};

constexpr int kLookupBits = 11;
// Bits a look-up needs: the longest code and the most extra bits a symbol can ask for.
constexpr int kSymbolBits = kMaxCodeLength + 15;

// Whether a row runs into the end of the data is judged by where a reader would have loaded
// to that loads bytes up to 57 to 64 bits whenever fewer than kSymbolBits are left as it
// starts a DC code or a look-up of AC symbols, each look-up taking the symbols that lie whole
// within kLookupBits bits (AcSkipper's SymbolsWithin). BitCursor loads ahead differently and
// AcSkipper takes more symbols at once; this follows that reach, which matters only once
// BitCursor has met the end.
class LoadReach {
public:
    // A symbol starts after `consumed` bits.
    void atSymbol(std::uint64_t consumed)
    {
        // A mask, not a condition, which the compiler would make a branch that mispredicts.
        const std::uint64_t reload = std::uint64_t(0) - std::uint64_t(m_reach - consumed < kSymbolBits);
        m_reach ^= (m_reach ^ ((consumed + 64) & ~std::uint64_t(7))) & reload;
    }
    bool beyond(const BitCursor& bits) const { return bits.hitEnd() && m_reach > bits.available(); }

private:
    std::uint64_t m_reach = 0;  // in bits from the start
};

// A symbol of a code longer than the look-up's: the symbol and its code's length; -1 for bits
// that are no code of the table.
struct LongCode {
    int symbol = -1;
    int length = 0;
};

LongCode readLongCode(const CanonicalCode& code, const BitCursor& bits)
{
    const std::uint32_t next16 = bits.peek(kMaxCodeLength);
    for (int length = kLookupBits + 1; length <= kMaxCodeLength; ++length) {
        const auto value = std::int32_t(next16 >> (kMaxCodeLength - length));
        if (value <= code.maxCode[std::size_t(length)]) {
            const std::int32_t index = code.valueOffset[std::size_t(length)] + value;
            if (index < 0 || std::size_t(index) >= code.huffval.size())
                return {};
            return {code.huffval[std::size_t(index)], length};
        }
    }
    return {};
}

// A DC difference of `category` bits from its coded bits, as the standard extends it. Without
// a branch: the sign of a difference is anyone's guess.
int extend(std::uint32_t bits, int category)
{
    const int negative = -int(bits < (1u << category >> 1));
    return int(bits) - (((1 << category) - 1) & negative);
}

// A DC table's differences: one look-up for codes up to kLookupBits long.
class DcReader {
public:
    explicit DcReader(const CanonicalCode& code) : m_code(code)
    {
        for (int symbol = 0; symbol < 256; ++symbol)
            forEachLookup(code, symbol, [&](std::size_t at, int length) { m_lookup[at] = entry(length, symbol); });
    }
    // The next difference, its code and bits consumed; false for no code.
    bool read(BitCursor& bits, int& difference) const
    {
        std::uint32_t hit = m_lookup[bits.peek(kLookupBits)];
        if (!hit) {
            const LongCode longCode = readLongCode(m_code, bits);
            if (longCode.symbol < 0)
                return false;
            hit = entry(longCode.length, longCode.symbol);
        }
        const int category = int(hit >> 11);
        if (category > 15)
            return false;
        difference = extend(bits.peek(int(hit >> 6) & 31, category), category);
        bits.skip(int(hit & 63));
        return true;
    }

    // Calls visit(index, length) for every look-up index that starts with the symbol's code.
    template<typename Visit> static void forEachLookup(const CanonicalCode& code, int symbol, Visit visit)
    {
        const int length = code.length[std::size_t(symbol)];
        if (length == 0 || length > kLookupBits)
            return;
        const int first = code.code[std::size_t(symbol)] << (kLookupBits - length);
        for (int i = 0; i < (1 << (kLookupBits - length)); ++i)
            visit(std::size_t(first + i), length);
    }

private:
    // Bits of the code and the difference | code length << 6 | category << 11.
    static std::uint32_t entry(int length, int category)
    {
        return std::uint32_t(length + (category & 15)) | std::uint32_t(length) << 6 | std::uint32_t(category) << 11;
    }

    const CanonicalCode& m_code;
    std::array<std::uint32_t, 1 << kLookupBits> m_lookup{};  // entry(); 0 for a longer code
};

// An AC table's symbols, skipped. One look-up at the next kLookupBits bits gives the bits and
// the coefficients covered by the first symbol, and by every symbol whose code lies whole
// within them (up to an end of block, and the last may have coefficient bits past them), with
// the coefficients covered before the last of them: when those already end the block, only
// the first symbol is taken.
class AcSkipper {
public:
    explicit AcSkipper(const CanonicalCode& code) : m_code(code)
    {
        for (int rs = 0; rs < 256; ++rs)
            DcReader::forEachLookup(code, rs, [&](std::size_t at, int length) {
                m_first[at] = std::uint16_t(length | rs << 5);
            });
        m_lookup = groups(m_first, Grouping::CodesWithin);
    }

    // Builds the look-up LoadReach is defined with, once it is needed.
    void prepareReach()
    {
        if (!m_reachLookup)
            m_reachLookup = std::make_unique<Lookup>(groups(m_first, Grouping::SymbolsWithin));
    }

    // Skips the next symbols of a block that has covered coefficients up to k, with their
    // coefficient bits; the coefficients they cover (64 or more for an end of block), or -1
    // for no code. With kReach, grouped as LoadReach is defined.
    template<bool kReach> int skip(BitCursor& bits, int k) const
    {
        const std::uint32_t at = bits.peek(kLookupBits);
        const Entry entry = kReach ? (*m_reachLookup)[at] : m_lookup[at];
        if (__builtin_expect(k < entry.below, 1)) {
            bits.skip(entry.bits);
            return entry.covered;
        }
        // The first symbol alone (the others lie past the block's end), or a code longer than
        // the look-up.
        LongCode symbol{m_first[at] >> 5, m_first[at] & 31};
        if (!m_first[at]) {
            symbol = readLongCode(m_code, bits);
            if (symbol.symbol < 0)
                return -1;
        }
        bits.skip(symbol.length + (symbol.symbol & 15));
        return advance(symbol.symbol);
    }

private:
    // Bytes, so that each is read without shifts and masks.
    struct Entry {
        std::uint8_t bits = 0;     // of all the symbols
        std::uint8_t covered = 0;  // coefficients
        std::uint8_t below = 0;    // all are taken in a block that has covered fewer coefficients
        std::uint8_t unused = 0;
    };
    using First = std::array<std::uint16_t, 1 << kLookupBits>;  // code length | rs << 5; 0: longer
    using Lookup = std::array<Entry, 1 << kLookupBits>;         // below 0 for a longer code

    // Which symbols after the first a look-up takes: those whose code lies within its bits
    // (the more, the fewer look-ups: about an eighth fewer on a photograph), or those whose
    // coefficient bits do as well.
    enum class Grouping { CodesWithin, SymbolsWithin };

    static Lookup groups(const First& first, Grouping grouping)
    {
        Lookup lookup{};
        for (std::uint32_t at = 0; at < first.size(); ++at) {
            if (!first[at])
                continue;
            const int rs = first[at] >> 5;
            int bits = (first[at] & 31) + (rs & 15);
            int covered = advance(rs);
            int before = 0;
            while (covered < kCoefficients && bits < kLookupBits) {
                const std::uint16_t next = first[(at << bits) & ((1u << kLookupBits) - 1)];
                if (!next || (next & 31) > kLookupBits - bits)
                    break;
                const int nextBits = (next & 31) + ((next >> 5) & 15);
                if (grouping == Grouping::SymbolsWithin && bits + nextBits > kLookupBits)
                    break;
                before = covered;
                covered += advance(next >> 5);
                bits += nextBits;
            }
            lookup[at] = {std::uint8_t(bits), std::uint8_t(covered), std::uint8_t(kCoefficients - before)};
        }
        return lookup;
    }

    // As libjpeg reads a block: a coefficient after a run of zeros, sixteen zeros, or the end.
    static int advance(int rs)
    {
        if ((rs & 15) != 0)
            return (rs >> 4) + 1;
        return rs == kZeroRun ? 16 : kCoefficients;
    }

    const CanonicalCode& m_code;
    First m_first{};
    Lookup m_lookup{};
    std::unique_ptr<Lookup> m_reachLookup;
};

// One block: its DC difference added to `prediction`, its AC codes skipped. False for a code
// that is not in its table. As libjpeg decodes it: a run past the 64th coefficient ends the
// block, as there. With kReach, `reach` follows the symbols.
template<bool kReach>
bool skipBlock(const DcReader& dc, const AcSkipper& ac, BitCursor& bits, LoadReach& reach, int& prediction)
{
    if constexpr (kReach)
        reach.atSymbol(bits.consumed());
    int difference = 0;
    if (!dc.read(bits, difference))
        return false;
    prediction += difference;
    for (int k = 1; k < kCoefficients;) {
        if constexpr (kReach)
            reach.atSymbol(bits.consumed());
        const int advance = ac.skip<kReach>(bits, k);
        if (advance < 0)
            return false;
        k += advance;
    }
    return true;
}

struct CutPoint {
    std::size_t byte = 0;  // offset in the file
    int bitsUsed = 0;      // of that byte, by the row above the cut
    std::vector<int> predictions;  // DC, one per scan component
};

struct ComponentCodes {
    const CanonicalCode* dc = nullptr;
    const CanonicalCode* ac = nullptr;
};

// Bits written most significant first, a zero stuffed after each 0xFF.
class BitSink {
public:
    void put(std::uint32_t value, int count)
    {
        for (int i = count - 1; i >= 0; --i) {
            m_byte = std::uint8_t(m_byte << 1 | ((value >> i) & 1));
            if (++m_used == 8) {
                emit(m_byte);
                m_byte = 0;
                m_used = 0;
            }
        }
    }
    void emit(std::uint8_t byte)
    {
        m_out.push_back(byte);
        if (byte == 0xFF)
            m_out.push_back(0x00);
    }
    int pendingBits() const { return m_used; }
    std::uint8_t pendingByte() const { return std::uint8_t(m_byte << (8 - m_used)); }  // in the high bits
    std::vector<std::uint8_t>& out() { return m_out; }

private:
    std::vector<std::uint8_t> m_out;
    std::uint8_t m_byte = 0;
    int m_used = 0;
};

int category(int value)
{
    int magnitude = value < 0 ? -value : value;
    int bits = 0;
    while (magnitude > 0) {
        ++bits;
        magnitude >>= 1;
    }
    return bits;
}

// DC differences, one per block of a component in the filler row, that add up to `target`,
// each of a category the table codes: as few as will do, then zeros, or where the table has no
// code for zero, pairs that cancel (and one difference split in two, or a triple that cancels,
// when an odd number of blocks is left). Nothing when the blocks are too few or the table's
// categories cannot make it.
std::optional<std::vector<int>> fillerDifferences(const CanonicalCode& dc, int blocks, int target)
{
    std::vector<int> categories;
    for (int c = 1; c <= 15; ++c)
        if (dc.length[std::size_t(c)] != 0)
            categories.push_back(c);
    const auto codable = [&](int value) {
        const int size = category(value);
        return value != 0 && size <= 15 && dc.length[std::size_t(size)] != 0;
    };
    std::vector<int> differences;
    int rest = target;
    while (rest != 0) {
        if (categories.empty() || int(differences.size()) == blocks)
            return std::nullopt;
        const int sign = rest < 0 ? -1 : 1;
        const int magnitude = rest * sign;
        int value = 0;
        for (int c : categories)
            if ((1 << (c - 1)) <= magnitude)
                value = std::min(magnitude, (1 << c) - 1);
        if (value == 0)  // below the smallest category: overshoot, and come back next block
            value = (1 << (categories.front() - 1)) + magnitude;
        differences.push_back(sign * value);
        rest -= sign * value;
    }
    if (dc.length[0] != 0) {
        differences.resize(std::size_t(blocks), 0);
        return differences;
    }
    if (categories.empty())
        return std::nullopt;
    if ((blocks - int(differences.size())) % 2 != 0) {
        bool odd = false;
        for (std::size_t i = 0; i < differences.size() && !odd; ++i) {
            for (int c : categories) {
                const int part = 1 << (c - 1);
                if (codable(differences[i] - part)) {
                    differences[i] -= part;
                    differences.push_back(part);
                    odd = true;
                    break;
                }
            }
        }
        if (!odd && categories.size() >= 2) {
            const int a = 1 << (categories[0] - 1);
            const int b = 1 << (categories[1] - 1);
            differences.insert(differences.end(), {a, b, -(a + b)});
            odd = codable(-(a + b));
        }
        if (!odd)
            return std::nullopt;
    }
    const int pair = 1 << (categories.front() - 1);
    while (int(differences.size()) + 2 <= blocks)
        differences.insert(differences.end(), {pair, -pair});
    if (int(differences.size()) != blocks)
        return std::nullopt;
    return differences;
}

// One extra coefficient in a filler block: which component's block, and its run/size symbol.
struct Extra {
    std::size_t component = 0;
    std::uint8_t rs = 0;
};

// Extra coefficients whose codes lengthen the filler by `bits` modulo 8: a breadth-first
// search over the remainders, each step one more coefficient in a block of its own.
std::optional<std::vector<Extra>> alignmentExtras(
    const std::vector<ComponentCodes>& codes, const std::vector<int>& blocksInRow, int bits)
{
    // Per remainder, one symbol giving it: any run that keeps the block's end-of-block code.
    std::vector<std::pair<int, Extra>> steps;
    for (std::size_t c = 0; c < codes.size(); ++c) {
        std::array<bool, 8> seen{};
        for (int rs = 1; rs < 256; ++rs) {
            const int length = codes[c].ac->length[std::size_t(rs)];
            const int size = rs & 15;
            const int remainder = (length + size) % 8;
            if (length == 0 || size == 0 || size > kMaxAcSize || (rs >> 4) > kCoefficients - 3 ||
                seen[std::size_t(remainder)])
                continue;
            seen[std::size_t(remainder)] = true;
            steps.push_back({remainder, Extra{c, std::uint8_t(rs)}});
        }
    }
    std::array<std::optional<std::vector<Extra>>, 8> reach;
    reach[0] = std::vector<Extra>{};
    for (int depth = 0; depth < kMaxAlignmentCoefficients && !reach[std::size_t(bits)]; ++depth) {
        auto next = reach;
        for (int r = 0; r < 8; ++r) {
            if (!reach[std::size_t(r)] || int(reach[std::size_t(r)]->size()) != depth)
                continue;
            for (const auto& [step, extra] : steps) {
                const int to = (r + step) % 8;
                if (next[std::size_t(to)])
                    continue;
                std::vector<Extra> path = *reach[std::size_t(r)];
                path.push_back(extra);
                const std::size_t component = extra.component;
                const auto inComponent = std::count_if(
                    path.begin(), path.end(), [component](const Extra& e) { return e.component == component; });
                if (inComponent <= blocksInRow[component])
                    next[std::size_t(to)] = std::move(path);
            }
        }
        reach = std::move(next);
    }
    return reach[std::size_t(bits)];
}

// One MCU row whose DC differences leave each component's prediction at cut.predictions,
// every block otherwise empty, as many bits long as the cut's byte has used (modulo 8). The
// bytes are appended to `sink`.
bool writeFiller(const JpegScanLayout& layout, const std::vector<ComponentCodes>& codes, const CutPoint& cut,
    BitSink& sink)
{
    const std::size_t components = layout.components.size();
    std::vector<int> blocksInRow(components);
    std::vector<std::vector<int>> differences(components);
    int length = 0;
    for (std::size_t c = 0; c < components; ++c) {
        const JpegScanLayout::Component& comp = layout.components[c];
        blocksInRow[c] = comp.h * comp.v * layout.mcusPerRow;
        if (codes[c].ac->length[kEndOfBlock] == 0)
            return false;
        auto d = fillerDifferences(*codes[c].dc, blocksInRow[c], cut.predictions[c]);
        if (!d)
            return false;
        for (int value : *d) {
            const int size = category(value);
            length += codes[c].dc->length[std::size_t(size)] + size + codes[c].ac->length[kEndOfBlock];
        }
        differences[c] = std::move(*d);
    }
    const auto extras = alignmentExtras(codes, blocksInRow, ((cut.bitsUsed - length) % 8 + 8) % 8);
    if (!extras)
        return false;
    std::vector<std::vector<std::uint8_t>> extraInBlock(components);
    for (std::size_t c = 0; c < components; ++c)
        extraInBlock[c].assign(std::size_t(blocksInRow[c]), 0);
    std::vector<int> used(components, 0);
    for (const Extra& e : *extras)
        extraInBlock[e.component][std::size_t(used[e.component]++)] = e.rs;

    std::vector<int> next(components, 0);
    for (int mcu = 0; mcu < layout.mcusPerRow; ++mcu) {
        for (std::size_t c = 0; c < components; ++c) {
            const CanonicalCode& dc = *codes[c].dc;
            const CanonicalCode& ac = *codes[c].ac;
            for (int b = 0; b < layout.components[c].h * layout.components[c].v; ++b) {
                const auto block = std::size_t(next[c]++);
                const int value = differences[c][block];
                const int size = category(value);
                sink.put(dc.code[std::size_t(size)], dc.length[std::size_t(size)]);
                sink.put(std::uint32_t(value < 0 ? value + (1 << size) - 1 : value), size);
                if (const std::uint8_t rs = extraInBlock[c][block]) {
                    sink.put(ac.code[rs], ac.length[rs]);
                    sink.put((1u << (rs & 15)) - 1, rs & 15);
                }
                sink.put(ac.code[kEndOfBlock], ac.length[kEndOfBlock]);
            }
        }
    }
    return sink.pendingBits() == cut.bitsUsed;
}

}  // namespace

std::optional<std::size_t> sequentialFrameHeightField(std::span<const std::uint8_t> file)
{
    std::size_t at = 2;  // after the start-of-image marker
    while (at + 4 <= file.size() && file[at] == 0xFF) {
        const std::uint8_t marker = file[at + 1];
        if (marker == 0xC0 || marker == 0xC1)
            return at + 5;
        if (marker == 0xDA || (marker >= 0xC2 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC))
            return std::nullopt;
        at += 2 + (std::size_t(file[at + 2]) << 8 | file[at + 3]);
    }
    return std::nullopt;
}

struct JpegScanParser::State {
    State(std::span<const std::uint8_t> bytes, JpegScanLayout scan)
        : file(bytes), layout(std::move(scan)), bits(scanStart()), predictions(layout.components.size(), 0)
    {
    }

    BitCursor scanStart() const { return {file.data() + layout.entropyStart, file.data() + file.size()}; }

    // The next MCU row from `bits` on, its DC differences summed into the predictions; false for
    // a code that is not in its table.
    template<bool kReach> bool skipRow(BitCursor& bits, LoadReach& reach)
    {
        for (int mcu = 0; mcu < layout.mcusPerRow; ++mcu) {
            for (const McuBlock& block : mcuBlocks) {
                if (!skipBlock<kReach>(*block.dc, *block.ac, bits, reach, predictions[block.component]))
                    return false;
            }
        }
        return true;
    }

    // The next MCU row; false where a code is not in its table or the row runs into the end of
    // the data.
    bool nextRow()
    {
        if (!keepReach) {
            BitCursor next = bits;  // a copy, so that it stays in registers
            LoadReach unused;
            if (!skipRow<false>(next, unused))
                return false;
            if (!next.hitEnd()) {
                bits = next;
                return true;
            }
            // A row that took bits past the end ran into it, wherever the reach (which a row
            // never ends past: each symbol starts with kSymbolBits in reach).
            if (next.consumed() > next.available())
                return false;
            // The end is among the bits loaded. Whether the row ran into it takes the reach,
            // kept from here on: the rows are parsed again from the start.
            keepReach = true;
            for (AcSkipper& skipper : ac)
                skipper.prepareReach();
            bits = scanStart();
            std::fill(predictions.begin(), predictions.end(), 0);
            for (int above = 0; above < row; ++above)
                nextRowKeepingReach();  // parsed before
        }
        return nextRowKeepingReach();
    }

    bool nextRowKeepingReach()
    {
        BitCursor next = bits;
        LoadReach nextReach = reach;
        if (!skipRow<true>(next, nextReach) || nextReach.beyond(next))
            return false;
        bits = next;
        reach = nextReach;
        return true;
    }

    void keepRowStart()
    {
        RowStart& start = rowStarts.emplace_back(RowStart{bits, {}});
        std::copy(predictions.begin(), predictions.end(), start.predictions.begin());
    }

    std::span<const std::uint8_t> file;
    JpegScanLayout layout;
    std::vector<CanonicalCode> codes;  // of each table used
    std::vector<ComponentCodes> components;
    std::vector<DcReader> dc;  // one per table used
    std::vector<AcSkipper> ac;
    struct McuBlock {
        const DcReader* dc = nullptr;
        const AcSkipper* ac = nullptr;
        std::size_t component = 0;
    };
    std::vector<McuBlock> mcuBlocks;  // in the order of the data
    BitCursor bits;
    LoadReach reach;
    std::vector<int> predictions;  // DC, one per scan component
    // Where each MCU row parsed so far starts, so that a stream can start at any of them.
    struct RowStart {
        BitCursor bits;
        std::array<int, kMaxScanComponents> predictions{};
    };
    std::vector<RowStart> rowStarts;  // reserved for every row: read while the parser goes on
    int row = 0;
    bool failed = false;
    bool keepReach = false;  // once the end of the data is among the bits loaded
};

JpegScanParser::JpegScanParser() = default;
JpegScanParser::~JpegScanParser() = default;

std::unique_ptr<JpegScanParser> JpegScanParser::create(std::span<const std::uint8_t> file, JpegScanLayout layout)
{
    if (layout.components.empty() || layout.components.size() > kMaxScanComponents ||
        layout.entropyStart > file.size() ||
        layout.heightField + 2 > layout.entropyStart)
        return nullptr;
    auto state = std::make_unique<State>(file, std::move(layout));
    // Reserved: the readers refer to the codes, and growing the look-ups' vectors would copy
    // kilobytes of fresh memory.
    const std::size_t components = state->layout.components.size();
    state->codes.reserve(2 * components);
    state->dc.reserve(components);
    state->ac.reserve(components);
    // Components that share a table share its reader (the two chroma ones, mostly): one look-up
    // less to build and to keep in the cache.
    std::array<const DcReader*, 4> dcReaders{};
    std::array<const AcSkipper*, 4> acSkippers{};
    std::array<const CanonicalCode*, 4> dcCodes{};
    std::array<const CanonicalCode*, 4> acCodes{};
    // Makes a table's code and reader the first time a component uses it; false for a
    // malformed table.
    const auto readerOf = [&](std::size_t table, const JpegScanLayout::HuffmanSpec& spec, auto& codes, auto& readers,
                              auto& made) {
        if (readers[table])
            return true;
        auto code = canonicalCode(spec);
        if (!code)
            return false;
        codes[table] = &state->codes.emplace_back(std::move(*code));
        readers[table] = &made.emplace_back(*codes[table]);
        return true;
    };
    for (std::size_t i = 0; i < components; ++i) {
        const JpegScanLayout::Component& c = state->layout.components[i];
        const auto dcTable = std::size_t(c.dcTable);
        const auto acTable = std::size_t(c.acTable);
        const auto& dcSpec = state->layout.dcTables.at(dcTable);
        const auto& acSpec = state->layout.acTables.at(acTable);
        if (!dcSpec || !acSpec)
            return nullptr;
        if (!readerOf(dcTable, *dcSpec, dcCodes, dcReaders, state->dc) ||
            !readerOf(acTable, *acSpec, acCodes, acSkippers, state->ac))
            return nullptr;
        state->components.push_back({dcCodes[dcTable], acCodes[acTable]});
        for (int b = 0; b < c.h * c.v; ++b)
            state->mcuBlocks.push_back({dcReaders[dcTable], acSkippers[acTable], i});
    }
    state->rowStarts.reserve(std::size_t(std::max(state->layout.mcuRows, 0)) + 1);
    state->keepRowStart();
    std::unique_ptr<JpegScanParser> parser(new JpegScanParser);
    parser->m_state = std::move(state);
    return parser;
}

int JpegScanParser::row() const { return m_state->row; }

bool JpegScanParser::parseRow()
{
    State& s = *m_state;
    if (s.failed || s.row >= s.layout.mcuRows)
        return false;
    if (!s.nextRow()) {
        s.failed = true;
        return false;
    }
    ++s.row;
    s.keepRowStart();
    return true;
}

std::optional<JpegLowerStream> JpegScanParser::lowerStream(int firstRow) const
{
    const State& s = *m_state;
    if (firstRow < 1 || firstRow > s.row || firstRow >= s.layout.mcuRows)
        return std::nullopt;
    const State::RowStart& start = s.rowStarts[std::size_t(firstRow)];
    // Not where the data ends within the 57 to 64 bits held past the cut.
    if (start.bits.hitEnd())
        return std::nullopt;
    const auto [offset, used] = start.bits.position();
    CutPoint cut;
    cut.byte = s.layout.entropyStart + offset;
    cut.bitsUsed = used;
    cut.predictions.assign(start.predictions.begin(), start.predictions.begin() + std::ptrdiff_t(s.predictions.size()));

    JpegLowerStream lower;
    lower.height = s.layout.height - (firstRow - 1) * s.layout.mcuHeight;
    BitSink sink;
    std::vector<std::uint8_t>& head = sink.out();
    head.assign(s.file.begin(), s.file.begin() + std::ptrdiff_t(s.layout.entropyStart));
    head[s.layout.heightField] = std::uint8_t(lower.height >> 8);
    head[s.layout.heightField + 1] = std::uint8_t(lower.height);
    if (!writeFiller(s.layout, s.components, cut, sink))
        return std::nullopt;
    lower.tailOffset = cut.byte;
    if (cut.bitsUsed > 0) {
        // The filler's last bits and the rest of the cut's byte make one byte.
        const std::uint8_t shared = s.file[cut.byte];
        sink.emit(std::uint8_t(sink.pendingByte() | (shared & (0xFF >> cut.bitsUsed))));
        lower.tailOffset += shared == 0xFF ? 2 : 1;  // past the zero stuffed after it
    }
    lower.head = std::move(head);
    return lower;
}

std::optional<JpegLowerStream> makeLowerStream(
    std::span<const std::uint8_t> file, const JpegScanLayout& layout, int firstRow)
{
    const std::unique_ptr<JpegScanParser> parser = JpegScanParser::create(file, layout);
    if (!parser)
        return std::nullopt;
    while (parser->row() < firstRow)
        if (!parser->parseRow())
            return std::nullopt;
    return parser->lowerStream(firstRow);
}

}  // namespace tav
