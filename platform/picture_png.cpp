// PNG reader: libpng decodes every colour type and depth, interlaced or not, to 8-bit BGR or
// BGRA (palette and low grey depths expanded, tRNS turned into alpha, 16-bit samples cut to
// their high byte, grey copied to three channels). Alpha is composed on white here, exactly
// in integers: out = (c * a + 255 * (255 - a) + 127) / 255, rounded to nearest (a quotient
// of 255 never has a fraction of exactly one half). Gamma and colour profiles are ignored,
// as the platform's picture objects ignore them.
//
// libpng reports errors by longjmp. Each call into it sits in a small function that owns the
// setjmp and holds no C++ object with a destructor; the failure is turned into our error
// outside it. The file is read to its IEND chunk, so a file cut short anywhere is refused.
#include "picture_decoders.h"

#include "picture.h"

#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace tav {

namespace {

// Ancillary chunks (text, profiles) may not make libpng allocate more than this.
constexpr png_alloc_size_t kMaxChunkBytes = 8'000'000;

struct Session {
    png_structp png = nullptr;
    png_infop info = nullptr;
    std::span<const std::uint8_t> data;
    std::size_t position = 0;
    char message[256] = {};

    Session() = default;
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;
    ~Session() { png_destroy_read_struct(&png, info ? &info : nullptr, nullptr); }
};

void onError(png_structp png, png_const_charp text)
{
    auto* s = static_cast<Session*>(png_get_error_ptr(png));
    std::snprintf(s->message, sizeof s->message, "%s", text ? text : "unknown libpng error");
    png_longjmp(png, 1);
}

void onWarning(png_structp, png_const_charp) {}  // benign problems (bad ancillary chunks) pass

void readFromMemory(png_structp png, png_bytep out, png_size_t length)
{
    auto* s = static_cast<Session*>(png_get_io_ptr(png));
    if (length > s->data.size() - s->position)
        png_error(png, "file truncated");
    std::memcpy(out, s->data.data() + s->position, length);
    s->position += length;
}

struct Layout {
    png_uint_32 width = 0;
    png_uint_32 height = 0;
    bool interlaced = false;
    int passes = 1;
    int channels = 0;  // after the transformations: 3 (BGR) or 4 (BGRA)
    png_size_t rowBytes = 0;
};

// One BGRA row composed on white into BGR.
void composeOnWhite(const std::uint8_t* bgra, png_uint_32 width, std::uint8_t* bgr)
{
    for (png_uint_32 x = 0; x < width; ++x, bgra += 4, bgr += 3) {
        const unsigned alpha = bgra[3];
        const unsigned white = 255 * (255 - alpha);
        bgr[0] = std::uint8_t((bgra[0] * alpha + white + 127) / 255);
        bgr[1] = std::uint8_t((bgra[1] * alpha + white + 127) / 255);
        bgr[2] = std::uint8_t((bgra[2] * alpha + white + 127) / 255);
    }
}

// Reads the chunks up to the image data and sets up the transformations. False on failure.
bool readHeader(Session& s, Layout& layout)
{
    if (setjmp(png_jmpbuf(s.png)))
        return false;
    png_set_read_fn(s.png, &s, readFromMemory);
    // libpng's own limits match ours, so it refuses oversized headers before allocating.
    png_set_user_limits(s.png, png_uint_32(kMaxPictureSide), png_uint_32(kMaxPictureSide));
    png_set_chunk_malloc_max(s.png, kMaxChunkBytes);
    png_read_info(s.png, s.info);
    layout.width = png_get_image_width(s.png, s.info);
    layout.height = png_get_image_height(s.png, s.info);
    layout.interlaced = png_get_interlace_type(s.png, s.info) != PNG_INTERLACE_NONE;

    png_set_expand(s.png);  // palette to RGB, grey to 8 bits, tRNS to alpha
    png_set_strip_16(s.png);
    png_set_gray_to_rgb(s.png);
    png_set_bgr(s.png);
    layout.passes = png_set_interlace_handling(s.png);
    png_read_update_info(s.png, s.info);
    layout.channels = png_get_channels(s.png, s.info);
    layout.rowBytes = png_get_rowbytes(s.png, s.info);
    return true;
}

// Decodes every row. Rows of 3 channels go straight into the bitmap; rows with alpha go into
// `scratch` (one row, or the whole image when interlaced, since later passes fill in earlier
// rows) and are composed on white. False on failure.
bool readPixels(Session& s, const Layout& layout, DIBSection& out, std::uint8_t* scratch)
{
    if (setjmp(png_jmpbuf(s.png)))
        return false;
    const bool direct = layout.channels == 3;
    for (int pass = 0; pass < layout.passes; ++pass) {
        for (png_uint_32 y = 0; y < layout.height; ++y) {
            png_bytep row = direct ? out.row(int(y)) : scratch + (layout.interlaced ? y * layout.rowBytes : 0);
            png_read_row(s.png, row, nullptr);
            if (!direct && !layout.interlaced)
                composeOnWhite(row, layout.width, out.row(int(y)));
        }
    }
    if (!direct && layout.interlaced) {
        for (png_uint_32 y = 0; y < layout.height; ++y)
            composeOnWhite(scratch + y * layout.rowBytes, layout.width, out.row(int(y)));
    }
    png_read_end(s.png, nullptr);
    return true;
}

[[noreturn]] void invalidPng(const char* problem) { invalidPicture((std::string("PNG: ") + problem).c_str()); }

}  // namespace

std::unique_ptr<DIBSection> decodePng(std::span<const std::uint8_t> data)
{
    Session s;
    s.data = data;
    s.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &s, onError, onWarning);
    if (!s.png)
        invalidPng("libpng could not be initialised");
    s.info = png_create_info_struct(s.png);
    if (!s.info)
        invalidPng("libpng could not be initialised");

    Layout layout;
    if (!readHeader(s, layout))
        invalidPng(s.message);
    checkPictureSize(layout.width, layout.height);
    if (layout.channels != 3 && layout.channels != 4)
        invalidPng("unexpected channel count after expansion");

    auto bitmap = DIBSection::create(makeBitmapInfo(int(layout.width), int(layout.height), 24));
    if (!bitmap)
        invalidPng("not enough memory for the picture");
    std::vector<std::uint8_t> scratch;
    if (layout.channels == 4)
        scratch.resize(layout.rowBytes * (layout.interlaced ? layout.height : 1));
    if (!readPixels(s, layout, *bitmap, scratch.data()))
        invalidPng(s.message);
    return bitmap;
}

}  // namespace tav
