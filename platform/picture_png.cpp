// PNG reader: libpng decodes every colour type and depth, interlaced or not, to 8-bit BGR or
// BGRA (palette and low grey depths expanded, tRNS turned into alpha, 16-bit samples cut to
// their high byte, grey copied to three channels). An iCCP profile converts the colours to
// sRGB, then alpha is composed onto the background (transparency.h); the orientation comes
// from the eXIf chunk. Gamma and chromaticity chunks without a profile are ignored.
//
// libpng reports errors by longjmp. Each call into it sits in a small function that owns the
// setjmp and holds no C++ object with a destructor; the failure is turned into our error
// outside it. The file is read to its IEND chunk, so a file cut short anywhere is refused.
#include "picture_decoders.h"

#include "colour_profile.h"
#include "orientation.h"
#include "picture.h"
#include "transparency.h"

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
    bool profileRefused = false;  // libpng dropped an iCCP chunk it found damaged

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

// Benign problems (bad ancillary chunks) pass; a dropped profile is remembered for a warning.
void onWarning(png_structp png, png_const_charp text)
{
    if (text && std::strncmp(text, "iCCP", 4) == 0)
        static_cast<Session*>(png_get_error_ptr(png))->profileRefused = true;
}

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

// How the decoded rows become the pixels shown.
struct Look {
    std::unique_ptr<ColourConversion> conversion;
    COLORREF background = RGB(255, 255, 255);
};

// One decoded row (BGR or BGRA, `row`) made into the BGR pixels shown (`out`, which may be
// `row` for BGR).
void finishRow(const Look& look, std::uint8_t* row, png_uint_32 width, int channels, std::uint8_t* out)
{
    if (look.conversion)
        look.conversion->convert(row, row, int(width));
    if (channels == 4)
        composeBgraRow(row, int(width), look.background, out);
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

// The iCCP profile, if any, and whether the chunk was there at all. False on failure.
bool readProfile(Session& s, std::span<const std::uint8_t>& profile, bool& present)
{
    if (setjmp(png_jmpbuf(s.png)))
        return false;
    png_charp name = nullptr;
    int compression = 0;
    png_bytep data = nullptr;
    png_uint_32 length = 0;
    present = (png_get_valid(s.png, s.info, PNG_INFO_iCCP) != 0);
    if (png_get_iCCP(s.png, s.info, &name, &compression, &data, &length) == PNG_INFO_iCCP && data)
        profile = std::span<const std::uint8_t>(data, length);
    return true;
}

// Decodes every row. Rows of 3 channels go straight into the bitmap; rows with alpha go into
// `scratch` (one row, or the whole image when interlaced, since later passes fill in earlier
// rows). Each row is finished once complete. Chunks after the image data are read into the
// info too (an eXIf chunk may come there). False on failure.
bool readPixels(Session& s, const Layout& layout, const Look& look, DIBSection& out, std::uint8_t* scratch)
{
    if (setjmp(png_jmpbuf(s.png)))
        return false;
    const bool direct = layout.channels == 3;
    const auto rowOf = [&](png_uint_32 y) {
        return direct ? out.row(int(y)) : scratch + (layout.interlaced ? y * layout.rowBytes : 0);
    };
    for (int pass = 0; pass < layout.passes; ++pass) {
        for (png_uint_32 y = 0; y < layout.height; ++y) {
            png_read_row(s.png, rowOf(y), nullptr);
            if (!layout.interlaced)
                finishRow(look, rowOf(y), layout.width, layout.channels, out.row(int(y)));
        }
    }
    if (layout.interlaced) {
        for (png_uint_32 y = 0; y < layout.height; ++y)
            finishRow(look, rowOf(y), layout.width, layout.channels, out.row(int(y)));
    }
    png_read_end(s.png, s.info);
    return true;
}

// The Exif orientation of an eXIf chunk; 1 without one.
int readOrientation(Session& s)
{
    png_uint_32 length = 0;
    png_bytep exif = nullptr;
    if (png_get_eXIf_1(s.png, s.info, &length, &exif) == 0 || !exif)
        return 1;
    return exifOrientation(std::span<const std::uint8_t>(exif, length));
}

[[noreturn]] void invalidPng(const char* problem) { invalidPicture((std::string("PNG: ") + problem).c_str()); }

}  // namespace

DecodedPicture decodePng(std::span<const std::uint8_t> data, const PictureOptions& options)
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

    DecodedPicture decoded;
    Look look;
    look.background = options.background;
    std::span<const std::uint8_t> profile;
    bool profilePresent = false;
    if (!readProfile(s, profile, profilePresent))
        invalidPng(s.message);
    std::string warning;
    if (!profile.empty())
        look.conversion = ColourConversion::toSrgb(
            profile, layout.channels == 4 ? SampleLayout::Bgra : SampleLayout::Bgr, warning);
    else if (profilePresent || s.profileRefused)
        warning = "its colour profile is damaged and was ignored";
    if (!warning.empty())
        decoded.warnings.push_back(warning);

    decoded.bitmap = DIBSection::create(makeBitmapInfo(int(layout.width), int(layout.height), 24));
    if (!decoded.bitmap)
        invalidPng("not enough memory for the picture");
    std::vector<std::uint8_t> scratch;
    if (layout.channels == 4)
        scratch.resize(layout.rowBytes * (layout.interlaced ? layout.height : 1));
    if (!readPixels(s, layout, look, *decoded.bitmap, scratch.data()))
        invalidPng(s.message);
    decoded.orientation = readOrientation(s);
    return decoded;
}

}  // namespace tav
