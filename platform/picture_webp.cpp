// WebP reader: the first frame of a still or animated, lossy or lossless file, through libwebp.
//
// The container is read first by libwebp's demuxer. It checks every chunk against the length of
// the file (so a file cut short is refused), gives the canvas size before any pixel memory is
// had, and finds the first frame, the EXIF chunk (the orientation) and the ICCP chunk (the
// colour profile).
//
// A still picture without alpha is decoded straight into the bitmap: libwebp's flip option
// writes its rows from the end of the buffer, which is where a bottom-up bitmap keeps its top
// row. Any other first frame is decoded to BGRA and composed onto the background where it lies
// on the canvas. That is the whole of an animation's first frame as a viewer shows it: the
// canvas starts transparent (the background colour of the ANIM chunk is only a hint, which
// viewers do not follow), blending onto a transparent canvas leaves the frame as it is, and
// disposal only acts after a frame has been shown. libwebp's WebPAnimDecoder would give the same
// canvas, but it keeps two whole canvases of 4 bytes a pixel besides the frame, which a header
// of a few bytes can make 1.6 GB.
//
// The frame is decoded before the bitmap is had, so that libwebp's own buffers (a lossless
// picture keeps 4 bytes a pixel while it decodes) are free again by then.
#include "picture_decoders.h"

#include "bgra_rows.h"
#include "colour_profile.h"
#include "orientation.h"
#include "transparency.h"

#include <webp/decode.h>
#include <webp/demux.h>

#include <algorithm>
#include <memory>
#include <string>

namespace tav {

namespace {

[[noreturn]] void invalidWebp(const std::string& problem) { invalidPicture(("WebP: " + problem).c_str()); }

struct DemuxerDeleter {
    void operator()(WebPDemuxer* demuxer) const { WebPDemuxDelete(demuxer); }
};
using Demuxer = std::unique_ptr<WebPDemuxer, DemuxerDeleter>;

// The demuxer's view of one frame: where it lies on the canvas and its image chunks.
class FirstFrame {
public:
    explicit FirstFrame(WebPDemuxer* demuxer) : m_found(WebPDemuxGetFrame(demuxer, 1, &m_frame) != 0) {}
    ~FirstFrame() { WebPDemuxReleaseIterator(&m_frame); }
    FirstFrame(const FirstFrame&) = delete;
    FirstFrame& operator=(const FirstFrame&) = delete;

    bool found() const { return m_found; }
    const WebPIterator& operator*() const { return m_frame; }
    const WebPIterator* operator->() const { return &m_frame; }

private:
    WebPIterator m_frame{};
    bool m_found;
};

const char* statusText(VP8StatusCode status)
{
    switch (status) {
    case VP8_STATUS_OUT_OF_MEMORY: return "not enough memory to decode the picture";
    case VP8_STATUS_UNSUPPORTED_FEATURE: return "the file uses a feature this reader does not support";
    case VP8_STATUS_NOT_ENOUGH_DATA: return "the file ends early";
    default: return "the compressed picture data is damaged";
    }
}

Demuxer openDemuxer(const WebPData& file)
{
    WebPDemuxState state = WEBP_DEMUX_PARSE_ERROR;
    Demuxer demuxer(WebPDemuxPartial(&file, &state));
    if (state == WEBP_DEMUX_PARSING_HEADER || state == WEBP_DEMUX_PARSED_HEADER)
        invalidWebp("the file ends early");
    if (!demuxer || state != WEBP_DEMUX_DONE)
        invalidWebp("not a valid WebP file");
    return demuxer;
}

// Hands the bytes of the first chunk named `fourcc` to `use`; nothing when there is none.
template <typename Use> void withChunk(WebPDemuxer* demuxer, const char* fourcc, Use use)
{
    WebPChunkIterator chunk;
    if (!WebPDemuxGetChunk(demuxer, fourcc, 1, &chunk))
        return;
    use(std::span<const std::uint8_t>(chunk.chunk.bytes, chunk.chunk.size));
    WebPDemuxReleaseChunkIterator(&chunk);
}

void decodeInto(const WebPData& image, WebPDecoderConfig& config, WEBP_CSP_MODE mode, std::uint8_t* memory,
    int stride, std::size_t size)
{
    config.output.colorspace = mode;
    config.output.is_external_memory = 1;
    config.output.u.RGBA.rgba = memory;
    config.output.u.RGBA.stride = stride;
    config.output.u.RGBA.size = size;
    const VP8StatusCode status = WebPDecode(image.bytes, image.size, &config);
    WebPFreeDecBuffer(&config.output);
    if (status != VP8_STATUS_OK)
        invalidWebp(statusText(status));
}

// The frame as BGRA rows of its own width.
std::unique_ptr<std::uint8_t[]> decodeBgra(const WebPData& image, WebPDecoderConfig& config, int width, int height)
{
    const std::size_t stride = std::size_t(width) * 4;
    const std::size_t size = stride * std::size_t(height);
    auto bgra = std::make_unique_for_overwrite<std::uint8_t[]>(size);
    decodeInto(image, config, MODE_BGRA, bgra.get(), int(stride), size);
    return bgra;
}

// The BGRA frame composed where it lies on the canvas; the rest of the canvas is transparent,
// which is the background.
void composeOnCanvas(std::uint8_t* bgra, const WebPIterator& frame, const ColourConversion* conversion,
    COLORREF background, DIBSection& bitmap)
{
    const BgrPixel bg = bgrOf(background);
    const auto fill = [&](std::uint8_t* bgr, int count) {
        for (int x = 0; x < count; ++x, bgr += 3) {
            bgr[0] = bg.b;
            bgr[1] = bg.g;
            bgr[2] = bg.r;
        }
    };
    const int width = bitmap.width();
    for (int y = 0; y < bitmap.height(); ++y) {
        std::uint8_t* row = bitmap.row(y);
        const int frameRow = y - frame.y_offset;
        if (frameRow < 0 || frameRow >= frame.height) {
            fill(row, width);
            continue;
        }
        fill(row, frame.x_offset);
        composeDecodedRow(bgra + std::size_t(frameRow) * std::size_t(frame.width) * 4, frame.width,
            AlphaMode::Straight, conversion, background, row + 3 * frame.x_offset);
        fill(row + 3 * (frame.x_offset + frame.width), width - frame.x_offset - frame.width);
    }
}

}  // namespace

DecodedPicture decodeWebp(std::span<const std::uint8_t> data, const PictureOptions& options)
{
    const WebPData file{data.data(), data.size()};
    const Demuxer demuxer = openDemuxer(file);
    const int width = int(WebPDemuxGetI(demuxer.get(), WEBP_FF_CANVAS_WIDTH));
    const int height = int(WebPDemuxGetI(demuxer.get(), WEBP_FF_CANVAS_HEIGHT));
    checkPictureSize(width, height);
    const bool animated = (WebPDemuxGetI(demuxer.get(), WEBP_FF_FORMAT_FLAGS) & ANIMATION_FLAG) != 0;

    const FirstFrame frame(demuxer.get());
    if (!frame.found())
        invalidWebp("the file holds no picture");
    const WebPData image{frame->fragment.bytes, frame->fragment.size};
    WebPDecoderConfig config;
    if (!WebPInitDecoderConfig(&config))
        invalidWebp("libwebp could not be initialised");
    const VP8StatusCode status = WebPGetFeatures(image.bytes, image.size, &config.input);
    if (status != VP8_STATUS_OK)
        invalidWebp(statusText(status));
    if (config.input.width != frame->width || config.input.height != frame->height || frame->x_offset < 0 ||
        frame->y_offset < 0 || frame->x_offset + frame->width > width || frame->y_offset + frame->height > height)
        invalidWebp("the first frame does not fit its canvas");
    const bool opaqueStill = !animated && !config.input.has_alpha;

    DecodedPicture picture;
    withChunk(demuxer.get(), "EXIF", [&](std::span<const std::uint8_t> exif) {
        picture.orientation = exifOrientation(exif);
    });
    std::unique_ptr<ColourConversion> conversion;
    withChunk(demuxer.get(), "ICCP", [&](std::span<const std::uint8_t> profile) {
        std::string warning;
        conversion =
            ColourConversion::toSrgb(profile, opaqueStill ? SampleLayout::Bgr : SampleLayout::Bgra, warning);
        if (!warning.empty())
            picture.warnings.push_back(warning);
    });

    if (opaqueStill) {
        picture.bitmap = DIBSection::create(makeBitmapInfo(width, height, 24));
        if (!picture.bitmap)
            invalidWebp("not enough memory for the picture");
        DIBSection& bitmap = *picture.bitmap;
        config.options.flip = bitmap.topDown() ? 0 : 1;
        decodeInto(image, config, MODE_BGR, bitmap.bits(), bitmap.stride(), bitmap.sizeImage());
        if (conversion)
            for (int y = 0; y < height; ++y)
                conversion->convert(bitmap.row(y), bitmap.row(y), width);
        return picture;
    }
    const auto bgra = decodeBgra(image, config, frame->width, frame->height);
    picture.bitmap = DIBSection::create(makeBitmapInfo(width, height, 24));
    if (!picture.bitmap)
        invalidWebp("not enough memory for the picture");
    composeOnCanvas(bgra.get(), *frame, conversion.get(), options.background, *picture.bitmap);
    return picture;
}

}  // namespace tav
