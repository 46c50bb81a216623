// Cutting a baseline JPEG's one scan in two at an MCU row, so that two libjpeg sessions decode
// the two halves at once: the upper one reads the file as it is and stops at the cut, the lower
// one reads a stream made here. Huffman-coded data has no boundaries to start from, so the file
// is first parsed (Huffman codes skipped, DC differences summed) up to the cut; that costs a
// fraction of decoding it. The lower stream is the file's headers with a smaller height, one
// MCU row of filler whose DC differences add up to the predictions the real data continues
// from, and then the file's own bytes from the cut on, bit for bit: the filler is made just long
// enough that the cut falls where its last byte ends. libjpeg decodes every block of the lower
// stream's real rows exactly as it does in the whole file.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

namespace tav {

// What the parser and the filler need of the headers, as libjpeg read them.
struct JpegScanLayout {
    struct Component {
        int h = 1;  // sampling factors
        int v = 1;
        int dcTable = 0;
        int acTable = 0;
    };
    struct HuffmanSpec {
        std::array<std::uint8_t, 17> bits{};  // BITS: codes of each length 1 .. 16 (index 0 unused)
        std::vector<std::uint8_t> huffval;    // HUFFVAL, in code order
    };
    std::vector<Component> components;  // in the scan's order
    std::array<std::optional<HuffmanSpec>, 4> dcTables;
    std::array<std::optional<HuffmanSpec>, 4> acTables;
    int mcusPerRow = 0;
    int mcuRows = 0;
    int mcuHeight = 0;  // in pixels
    int height = 0;     // the frame's
    std::size_t heightField = 0;   // offset of the frame header's two height bytes
    std::size_t entropyStart = 0;  // offset of the first byte after the scan header
};

// The offset of the height in a baseline or extended sequential frame header, if the file has
// one before its scan.
std::optional<std::size_t> sequentialFrameHeightField(std::span<const std::uint8_t> file);

struct JpegLowerStream {
    std::vector<std::uint8_t> head;  // headers, filler row, the byte where filler and file meet
    std::size_t tailOffset = 0;      // the file's bytes from here to its end follow `head`
    int height = 0;                  // in pixels, filler row included
};

// A scan parsed one MCU row at a time, from its start: the Huffman codes skipped, the DC
// differences summed, as libjpeg decodes it.
class JpegScanParser {
public:
    // Nothing when a table the scan uses is missing or malformed. `file` must outlive the parser.
    static std::unique_ptr<JpegScanParser> create(std::span<const std::uint8_t> file, JpegScanLayout layout);
    ~JpegScanParser();
    JpegScanParser(const JpegScanParser&) = delete;
    JpegScanParser& operator=(const JpegScanParser&) = delete;

    // Parses the next MCU row. False for codes that are not in their table or data that ends
    // first; the parser then stays where it failed.
    bool parseRow();
    // The MCU row the next bit belongs to.
    int row() const;
    // The picture from MCU row `firstRow` (parsed, at least 1, below the last) down, after one
    // MCU row of filler: MCU row 1 of the stream is row `firstRow` of the file. Nothing when the
    // tables cannot code a suitable filler or the row was not parsed; the caller then decodes
    // the file as one.
    std::optional<JpegLowerStream> lowerStream(int firstRow) const;

private:
    JpegScanParser();
    struct State;
    std::unique_ptr<State> m_state;
};

// The same, parsed from the start up to MCU row `firstRow`.
std::optional<JpegLowerStream> makeLowerStream(
    std::span<const std::uint8_t> file, const JpegScanLayout& layout, int firstRow);

}  // namespace tav
