// Fuzzes the JPEG decoder behind LoadPicture on raw bytes (see picture_check.h for what every
// decoder is held to). A picture it accepts must also be TurboJPEG's, pixel for pixel: both use
// libjpeg-turbo's accurate IDCT and smooth upsampling. Four-component files are left out (the
// decoder converts CMYK itself) and so are large pictures (a second copy would cost the memory).
// The row decoder gives what the whole-picture decoder gives: an error for the same files, the
// same rows for the others.
#include "picture_check.h"
#include "platform/jpeg_row_decoder.h"

#include <turbojpeg.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

struct RowOutcome {
    std::string error;
    std::vector<std::uint8_t> rows;
    bool skipped = false;  // too large to hold a second copy of
};

RowOutcome decodeRows(const std::uint8_t* data, std::size_t size)
{
    RowOutcome out;
    try {
        auto decoder = tav::JpegRowDecoder::open(std::vector<std::uint8_t>(data, data + size), 0, 0);
        if (std::int64_t(decoder->width()) * decoder->height() > 4'000'000) {
            out.skipped = true;
            return out;
        }
        const std::size_t rowBytes = std::size_t(decoder->width()) * 3;
        out.rows.resize(rowBytes * std::size_t(decoder->height()));
        for (int y = 0; y < decoder->height(); y += 5) {
            std::uint8_t* rows[5];
            const int count = std::min(5, decoder->height() - y);
            for (int i = 0; i < count; ++i)
                rows[i] = &out.rows[std::size_t(y + i) * rowBytes];
            decoder->read(rows, count);
        }
    } catch (const tav::RunTimeError& e) {
        FUZZ_CHECK(e.number() == tav::kErrInvalidPicture);
        out.error = e.what();
        out.rows.clear();  // rows read before the error are not a result
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const RowOutcome rows = decodeRows(data, size);

    std::unique_ptr<tav::DIBSection> bitmap;
    try {
        bitmap = tav::decodeJpeg(std::span<const std::uint8_t>(data, size)).bitmap;
    } catch (const tav::RunTimeError& e) {
        FUZZ_CHECK(e.number() == tav::kErrInvalidPicture);
        FUZZ_CHECK(rows.skipped || !rows.error.empty());
        return 0;
    }
    tav::fuzz::checkBitmap(bitmap.get());
    const int width = bitmap->width(), height = bitmap->height();
    // Pictures the row decoder skipped for their size aside, it gives the same rows.
    FUZZ_CHECK(rows.error.empty());
    if (!rows.skipped) {
        FUZZ_CHECK(rows.rows.size() == std::size_t(width) * std::size_t(height) * 3);
        for (int y = 0; y < height; ++y)
            FUZZ_CHECK(std::equal(bitmap->row(y), bitmap->row(y) + width * 3,
                rows.rows.begin() + std::ptrdiff_t(y) * width * 3));
    }
    tjhandle tj = tjInitDecompress();
    int w = 0, h = 0, subsampling = 0, colourspace = 0;
    const bool compare
        = tjDecompressHeader3(tj, data, static_cast<unsigned long>(size), &w, &h, &subsampling, &colourspace) == 0
        && colourspace != TJCS_CMYK && colourspace != TJCS_YCCK && std::int64_t(width) * height <= 4'000'000;
    if (compare) {
        std::vector<unsigned char> bgr(std::size_t(width) * std::size_t(height) * 3);
        // A harmless warning (extraneous bytes) still gives the picture.
        const bool decoded
            = tjDecompress2(tj, data, static_cast<unsigned long>(size), bgr.data(), width, 0, height, TJPF_BGR, 0) == 0
            || tjGetErrorCode(tj) == TJERR_WARNING;
        FUZZ_CHECK(decoded && w == width && h == height);
        for (int y = 0; y < height; ++y)
            FUZZ_CHECK(std::equal(bgr.begin() + std::ptrdiff_t(y) * width * 3,
                bgr.begin() + std::ptrdiff_t(y + 1) * width * 3, bitmap->row(y)));
    }
    tjDestroy(tj);
    return 0;
}
