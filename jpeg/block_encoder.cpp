#include "jpeg/block_encoder.h"

#include "jpeg/quantize.h"
#include "platform/vector_clones.h"

#include <vector>

namespace tav {

TAV_VECTOR_CLONES bool encodeBlocks(const ComponentImage& image, int rowBegin, int rowEnd, int blocksAcross,
    const ColourRow& colour, const std::array<double, 64>& scale, const ZigZagTable& zigZag, std::int16_t* out)
{
    const double kR = colour.red;
    const double kG = colour.green;
    const double kB = colour.blue;
    const double added = colour.added;
    SampleBlock block;
    bool inRange = true;
    // Per row of samples, the column each sample reads: its own, or the last one for padding.
    std::vector<int> column(std::size_t(blocksAcross) * 8);
    for (std::size_t x = 0; x < column.size(); ++x)
        column[x] = std::min(int(x), image.wc - 1) * kBytesPerPixel;
    for (int r = rowBegin; r < rowEnd; ++r) {
        const std::uint8_t* rows[8];
        for (int j = 0; j < 8; ++j)
            rows[j] = image.row(8 * r + j);
        for (int b = 0; b < blocksAcross; ++b) {
            const int* columns = &column[std::size_t(b) * 8];
            for (int j = 0; j < 8; ++j) {
                for (int i = 0; i < 8; ++i) {
                    const std::uint8_t* pixel = rows[j] + columns[i];
                    const double sum =
                        ((double(pixel[2]) * kR + double(pixel[1]) * kG) + double(pixel[0]) * kB) + added;
                    block[std::size_t(i + 8 * j)] = float(sum);
                }
            }
            ForwardDCTLanes(block);
            inRange &= quantizeBlockLanes(block, scale, zigZag, out);
            out += 64;
        }
    }
    return inRange;
}

}  // namespace tav
