// Fuzzes the encoder: a picture of 1 to 300 pixels on each side with the input's pixels, any
// quality (out of range ones are ignored by design), sampling factors of 0 to 5 (refused with
// "Invalid Sampling Value" outside 1 to 4, unless all colour factors are 0 for grey) and a short
// comment. Sampling must succeed, assembling may only refuse a comment without a Windows-1252
// form, and every stream must decode with libjpeg-turbo at the picture's size, without a warning.
#include "fuzz_support.h"
#include "jpeg/cjpeg.h"
#include "jpeg/errors.h"
#include "platform/memory_surface.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

// jpeglib.h needs the standard headers before it.
#include <jpeglib.h>

namespace {

// Any error or warning of the reference decoder on one of our streams is a finding.
void decoderComplains(j_common_ptr cinfo)
{
    char text[JMSG_LENGTH_MAX];
    (*cinfo->err->format_message)(cinfo, text);
    std::fprintf(stderr, "libjpeg-turbo: %s\n", text);
    std::abort();
}

void decoderMessage(j_common_ptr cinfo, int level)
{
    if (level < 0)
        decoderComplains(cinfo);
}

// Bytes of the input in order; zeros once it is used up.
struct Reader {
    const std::uint8_t* data;
    std::size_t size;
    std::size_t at = 0;
    std::uint8_t byte() { return at < size ? data[at++] : 0; }
    int range(int low, int high) { return low + int((byte() | byte() << 8) % unsigned(high - low + 1)); }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace tav;
    Reader in {data, size};
    const int width = in.range(1, 300), height = in.range(1, 300);
    const std::uint8_t qualityByte = in.byte();
    const std::int32_t quality = qualityByte < 0xF0 ? 1 + qualityByte % 100 : std::int32_t(qualityByte) * 2 - 400;
    int factors[6];
    for (int& f : factors)
        f = in.byte() % 6;
    const std::size_t commentLength = in.byte() % 16;
    std::string comment;
    for (std::size_t i = 0; i < commentLength; ++i)
        comment += char(in.byte());

    const auto surface = MemorySurface::create(width, height, 24);
    FUZZ_CHECK(surface);
    const std::size_t pixelBytes = size - in.at;
    for (int y = 0; y < height; ++y)  // the rest of the input, repeated
        for (int x = 0; x < 3 * width; ++x)
            surface->bitmap().row(y)[x] = pixelBytes ? data[in.at + (std::size_t(y) * 3 * width + x) % pixelBytes] : 0;
    const HDC dc = surface->hdc();

    cJpeg jpeg;
    jpeg.Quality(quality);
    bool grey = false;
    try {
        jpeg.SetSamplingFrequencies(factors[0], factors[1], factors[2], factors[3], factors[4], factors[5]);
        grey = factors[2] == 0 && factors[3] == 0 && factors[4] == 0 && factors[5] == 0;
    } catch (const RunTimeError& e) {
        FUZZ_CHECK(e.number() == kErrEncoder && std::strcmp(e.what(), kMsgInvalidSamplingValue) == 0);
    }
    jpeg.Comment(comment);  // far below the length limit
    FUZZ_CHECK(jpeg.SampleHDC(dc, width, height, 0, 0) == cJpeg::SampleStatus::Sampled);
    std::vector<std::uint8_t> stream;
    try {
        stream = jpeg.assembleStream();
    } catch (const RunTimeError& e) {
        FUZZ_CHECK(e.number() == kErrOverflow && !comment.empty());
        return 0;
    }

    jpeg_decompress_struct cinfo;
    jpeg_error_mgr err;
    cinfo.err = jpeg_std_error(&err);
    err.error_exit = decoderComplains;
    err.emit_message = decoderMessage;
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, stream.data(), static_cast<unsigned long>(stream.size()));
    jpeg_read_header(&cinfo, TRUE);
    FUZZ_CHECK(int(cinfo.image_width) == width && int(cinfo.image_height) == height);
    FUZZ_CHECK(cinfo.num_components == (grey ? 1 : 3));
    // libjpeg-turbo upsamples only by whole factors; a stream with another ratio (valid JPEG) is
    // checked down to every block's coefficients instead of to pixels.
    bool wholeRatios = true;
    for (int c = 0; c < cinfo.num_components; ++c)
        wholeRatios = wholeRatios && cinfo.max_h_samp_factor % cinfo.comp_info[c].h_samp_factor == 0
            && cinfo.max_v_samp_factor % cinfo.comp_info[c].v_samp_factor == 0;
    if (wholeRatios) {
        jpeg_start_decompress(&cinfo);
        std::vector<JSAMPLE> row(std::size_t(cinfo.output_width) * std::size_t(cinfo.output_components));
        for (JSAMPROW rows[1] = {row.data()}; cinfo.output_scanline < cinfo.output_height;)
            jpeg_read_scanlines(&cinfo, rows, 1);
    } else {
        FUZZ_CHECK(jpeg_read_coefficients(&cinfo) != nullptr);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return 0;
}
