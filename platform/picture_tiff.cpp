// TIFF reader: the first page (directory) of a TIFF or BigTIFF file, through libtiff reading
// from memory.
//
// Pixels come through libtiff's RGBA interface (TIFFRGBAImage), which reads strips and tiles,
// interleaved and planar samples, 1 to 16 bits, grey (min-is-black and min-is-white), RGB,
// palette, YCbCr and CIE L*a*b*, with every codec libtiff was built with. The interface is
// asked for the orientation the file already has, so it flips nothing: the bitmap holds the
// stored rows in stored order, and the orientation tag is reported for the loader to apply. It
// is read one strip or one row of tiles at a time, so the only buffer of the picture's size is
// the bitmap.
//
// Alpha: the interface premultiplies unassociated alpha with its own rounding. So that such
// files follow the rule of transparency.h exactly, their alpha is declared associated to libtiff
// (in memory only), which then hands the colours over as stored, and they are composed here as
// straight colours. Associated alpha, and a fourth RGB sample of no declared meaning (which
// libtiff takes for associated alpha), is composed as premultiplied.
//
// 8-bit interleaved CMYK is read as raw samples: so that a colour profile converts the inks
// themselves, and so that without one the naive conversion is the one JPEG files get
// (plainCmykToBgr, which rounds; libtiff's own truncates). Other CMYK layouts take libtiff's
// naive conversion, without their profile (with a warning).
//
// libtiff's errors go to a handler of this reading only, and the first becomes the
// invalid-picture error; its warnings (unknown tags and the like) pass quietly. Its allocations
// are capped, so a header cannot make it claim more than a picture within the limits needs.
#include "picture_decoders.h"

#include "bgra_rows.h"
#include "colour_profile.h"
#include "picture.h"
#include "transparency.h"

#include <tiffio.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace tav {

namespace {

// The most libtiff may allocate at once: 4 bytes a pixel of the largest picture, which holds
// any strip or tile of 8-bit samples of a picture within the limits, and 16-bit ones up to
// RGB of half the largest picture in one strip.
constexpr tmsize_t kMaxLibtiffAllocation = 4 * tmsize_t(kMaxPicturePixels);

struct Session {
    std::span<const std::uint8_t> data;
    std::uint64_t position = 0;
    std::string error;  // libtiff's first error message
};

[[noreturn]] void invalidTiff(const std::string& problem) { invalidPicture(("TIFF: " + problem).c_str()); }

[[noreturn]] void failed(const Session& session, const char* otherwise)
{
    invalidTiff(session.error.empty() ? otherwise : session.error);
}

int onError(TIFF*, void* user, const char*, const char* format, va_list arguments)
{
    auto* session = static_cast<Session*>(user);
    if (session->error.empty()) {
        char text[512];
        std::vsnprintf(text, sizeof text, format, arguments);
        session->error = text;
    }
    return 1;  // handled: libtiff's global handler (standard error) is not called
}

int onWarning(TIFF*, void*, const char*, const char*, va_list) { return 1; }

tmsize_t readMemory(thandle_t handle, void* buffer, tmsize_t size)
{
    auto* s = static_cast<Session*>(handle);
    if (size <= 0 || s->position >= s->data.size())
        return 0;
    const std::size_t count = std::min<std::uint64_t>(std::uint64_t(size), s->data.size() - s->position);
    std::memcpy(buffer, s->data.data() + s->position, count);
    s->position += count;
    return tmsize_t(count);
}

tmsize_t writeMemory(thandle_t, void*, tmsize_t) { return -1; }

// Positions past the end are allowed (reads there give nothing), as for a file.
toff_t seekMemory(thandle_t handle, toff_t offset, int whence)
{
    auto* s = static_cast<Session*>(handle);
    switch (whence) {
    case SEEK_SET: s->position = offset; break;
    case SEEK_CUR: s->position += offset; break;  // libtiff passes a backward step modulo 2^64
    case SEEK_END: s->position = s->data.size() + offset; break;
    default: return toff_t(-1);
    }
    return s->position;
}

int closeMemory(thandle_t) { return 0; }

toff_t sizeOfMemory(thandle_t handle) { return static_cast<Session*>(handle)->data.size(); }

// The file "mapped": libtiff then reads strips and tiles in place. It never writes to a mapping
// (its own maps files read-only). Reading through readMemory instead also works, except that
// libtiff 4.5's RGBA reader then refuses uncompressed tiles smaller than its rounded-up read
// buffer.
int mapMemory(thandle_t handle, void** base, toff_t* size)
{
    auto* s = static_cast<Session*>(handle);
    *base = const_cast<std::uint8_t*>(s->data.data());
    *size = s->data.size();
    return 1;
}

void unmapMemory(thandle_t, void*, toff_t) {}

struct OptionsDeleter {
    void operator()(TIFFOpenOptions* options) const { TIFFOpenOptionsFree(options); }
};
struct TiffDeleter {
    void operator()(TIFF* tif) const { TIFFClose(tif); }
};
using Tiff = std::unique_ptr<TIFF, TiffDeleter>;

Tiff openTiff(Session& session)
{
    const std::unique_ptr<TIFFOpenOptions, OptionsDeleter> options(TIFFOpenOptionsAlloc());
    if (!options)
        invalidTiff("libtiff could not be initialised");
    TIFFOpenOptionsSetMaxSingleMemAlloc(options.get(), kMaxLibtiffAllocation);
    TIFFOpenOptionsSetErrorHandlerExtR(options.get(), onError, &session);
    TIFFOpenOptionsSetWarningHandlerExtR(options.get(), onWarning, &session);
    Tiff tif(TIFFClientOpenExt("TIFF", "r", &session, readMemory, writeMemory, seekMemory, closeMemory,
        sizeOfMemory, mapMemory, unmapMemory, options.get()));
    if (!tif)
        failed(session, "not a readable TIFF file");
    return tif;
}

template <typename T> T tagOr(TIFF* tif, ttag_t tag, T otherwise)
{
    T value{};
    return TIFFGetField(tif, tag, &value) == 1 ? value : otherwise;
}

template <typename T> T tagOrDefault(TIFF* tif, ttag_t tag)
{
    T value{};
    TIFFGetFieldDefaulted(tif, tag, &value);
    return value;
}

// The extra samples as the file declares them (alpha and the like).
std::vector<std::uint16_t> extraSamples(TIFF* tif)
{
    std::uint16_t count = 0;
    const std::uint16_t* kinds = nullptr;
    if (TIFFGetField(tif, TIFFTAG_EXTRASAMPLES, &count, &kinds) != 1 || !kinds)
        return {};
    return std::vector<std::uint16_t>(kinds, kinds + count);
}

bool isAlpha(std::uint16_t kind) { return kind == EXTRASAMPLE_ASSOCALPHA || kind == EXTRASAMPLE_UNASSALPHA; }

// The rows of the first directory (strip or tile height) that libtiff decodes together.
std::uint32_t rowsPerRead(TIFF* tif, std::uint32_t height)
{
    const std::uint32_t rows = TIFFIsTiled(tif) ? tagOr<std::uint32_t>(tif, TIFFTAG_TILELENGTH, 1)
                                                : tagOrDefault<std::uint32_t>(tif, TIFFTAG_ROWSPERSTRIP);
    return std::clamp<std::uint32_t>(rows, 1, height);
}

// One strip or tile of 8-bit interleaved samples at a time: calls put(y, x, samples, count) for
// each row of it that lies inside the picture. False when libtiff fails.
template <typename Put>
bool forEachStoredRun(TIFF* tif, std::uint32_t width, std::uint32_t height, int samples, Put put)
{
    const bool tiled = TIFFIsTiled(tif);
    const tmsize_t size = tiled ? TIFFTileSize(tif) : TIFFStripSize(tif);
    if (size <= 0 || size > kMaxLibtiffAllocation)
        return false;
    const auto buffer = std::make_unique_for_overwrite<std::uint8_t[]>(std::size_t(size));
    const std::uint32_t tileWidth = tiled ? tagOr<std::uint32_t>(tif, TIFFTAG_TILEWIDTH, 0) : width;
    const std::uint32_t rows = rowsPerRead(tif, height);
    if (tileWidth == 0)
        return false;
    const std::uint64_t rowBytes = std::uint64_t(tileWidth) * unsigned(samples);
    for (std::uint32_t y = 0; y < height; y += rows) {
        const std::uint32_t rowsHere = std::min(rows, height - y);
        for (std::uint32_t x = 0; x < width; x += tileWidth) {
            const std::uint32_t count = std::min(tileWidth, width - x);
            const tmsize_t got = tiled ? TIFFReadEncodedTile(tif, TIFFComputeTile(tif, x, y, 0, 0), buffer.get(), size)
                                       : TIFFReadEncodedStrip(tif, TIFFComputeStrip(tif, y, 0), buffer.get(), size);
            if (got < 0 || std::uint64_t(got) < (rowsHere - 1) * rowBytes + std::uint64_t(count) * unsigned(samples))
                return false;
            for (std::uint32_t r = 0; r < rowsHere; ++r)
                put(y + r, x, buffer.get() + r * rowBytes, count);
        }
    }
    return true;
}

// 8-bit interleaved CMYK, four inks and perhaps extra samples, raw.
void readCmyk(TIFF* tif, Session& session, const ColourConversion* conversion, const PictureOptions& options,
    DIBSection& bitmap)
{
    const int samples = tagOrDefault<std::uint16_t>(tif, TIFFTAG_SAMPLESPERPIXEL);
    const std::vector<std::uint16_t> extras = extraSamples(tif);
    // Associated alpha is composed as straight here too: TIFF does not say what ink multiplied
    // by its opacity would mean, and no writer we know of makes such files.
    const bool alpha = !extras.empty() && isAlpha(extras[0]);
    const int width = bitmap.width();
    std::vector<std::uint8_t> cmyk(std::size_t(width) * 4);
    std::vector<std::uint8_t> bgra(std::size_t(width) * 4);
    const auto put = [&](std::uint32_t y, std::uint32_t x, const std::uint8_t* in, std::uint32_t count) {
        const int n = int(count);
        const std::uint8_t* inks = in;
        if (samples != 4) {
            for (int i = 0; i < n; ++i)
                std::copy_n(in + i * samples, 4, cmyk.data() + 4 * i);
            inks = cmyk.data();
        }
        std::uint8_t* out = bitmap.row(int(y)) + 3 * x;
        std::uint8_t* bgr = alpha ? bgra.data() : out;
        if (conversion)
            conversion->convert(inks, bgr, n);
        else
            plainCmykToBgr(inks, bgr, n, false);
        if (!alpha)
            return;
        // Spread the BGR out to BGRA from the end, so no pixel is overwritten before it is read.
        for (int i = n - 1; i >= 0; --i) {
            bgra[4 * i + 3] = in[i * samples + 4];
            std::copy_backward(bgr + 3 * i, bgr + 3 * i + 3, bgra.data() + 4 * i + 3);
        }
        composeBgraRow(bgra.data(), n, options.background, out);
    };
    if (!forEachStoredRun(tif, std::uint32_t(width), std::uint32_t(bitmap.height()), samples, put))
        failed(session, "the picture data cannot be read");
}

struct RgbaImage {
    TIFFRGBAImage image{};
    bool begun = false;
    RgbaImage() = default;
    RgbaImage(const RgbaImage&) = delete;
    RgbaImage& operator=(const RgbaImage&) = delete;
    ~RgbaImage()
    {
        if (begun)
            TIFFRGBAImageEnd(&image);
    }
};

// Everything else, through libtiff's RGBA interface.
void readRgba(TIFF* tif, Session& session, const ColourConversion* conversion, const PictureOptions& options,
    DIBSection& bitmap)
{
    char message[1024] = {};
    if (!TIFFRGBAImageOK(tif, message))
        invalidTiff(message);
    AlphaMode mode = AlphaMode::Premultiplied;
    std::vector<std::uint16_t> extras = extraSamples(tif);
    if (!extras.empty() && extras[0] == EXTRASAMPLE_UNASSALPHA) {
        extras[0] = EXTRASAMPLE_ASSOCALPHA;
        if (TIFFSetField(tif, TIFFTAG_EXTRASAMPLES, std::uint16_t(extras.size()), extras.data()) != 1)
            failed(session, "the extra samples cannot be read");
        mode = AlphaMode::Straight;
    }
    RgbaImage rgba;
    if (!TIFFRGBAImageBegin(&rgba.image, tif, 1, message))
        invalidTiff(message);
    rgba.begun = true;
    rgba.image.req_orientation = rgba.image.orientation;  // flip nothing: the rows as stored

    const int width = bitmap.width();
    const std::uint32_t height = std::uint32_t(bitmap.height());
    const std::uint32_t band = rowsPerRead(tif, height);
    const auto raster = std::make_unique_for_overwrite<std::uint32_t[]>(std::size_t(width) * band);
    for (std::uint32_t y = 0; y < height; y += band) {
        const std::uint32_t rows = std::min(band, height - y);
        rgba.image.row_offset = int(y);
        rgba.image.col_offset = 0;
        if (!TIFFRGBAImageGet(&rgba.image, raster.get(), std::uint32_t(width), rows))
            failed(session, "the picture data cannot be read");
        for (std::uint32_t r = 0; r < rows; ++r) {
            // The raster's words to BGRA bytes, in place: each word is read before it is written.
            std::uint32_t* words = raster.get() + std::size_t(r) * std::size_t(width);
            auto* bytes = reinterpret_cast<std::uint8_t*>(words);
            for (int x = 0; x < width; ++x) {
                const std::uint32_t abgr = words[x];
                bytes[4 * x + 0] = std::uint8_t(TIFFGetB(abgr));
                bytes[4 * x + 1] = std::uint8_t(TIFFGetG(abgr));
                bytes[4 * x + 2] = std::uint8_t(TIFFGetR(abgr));
                bytes[4 * x + 3] = std::uint8_t(TIFFGetA(abgr));
            }
            composeDecodedRow(bytes, width, mode, conversion, options.background, bitmap.row(int(y + r)));
        }
    }
}

}  // namespace

DecodedPicture decodeTiff(std::span<const std::uint8_t> data, const PictureOptions& options)
{
    Session session;
    session.data = data;
    const Tiff tif = openTiff(session);
    TIFF* t = tif.get();
    const std::uint32_t width = tagOr<std::uint32_t>(t, TIFFTAG_IMAGEWIDTH, 0);
    const std::uint32_t height = tagOr<std::uint32_t>(t, TIFFTAG_IMAGELENGTH, 0);
    checkPictureSize(width, height);

    DecodedPicture picture;
    const std::uint16_t orientation = tagOr<std::uint16_t>(t, TIFFTAG_ORIENTATION, 1);
    picture.orientation = orientation >= 1 && orientation <= 8 ? orientation : 1;

    const std::uint16_t photometric = tagOr<std::uint16_t>(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
    const bool cmyk = photometric == PHOTOMETRIC_SEPARATED &&
        tagOrDefault<std::uint16_t>(t, TIFFTAG_INKSET) == INKSET_CMYK;
    const bool rawCmyk = cmyk && tagOrDefault<std::uint16_t>(t, TIFFTAG_BITSPERSAMPLE) == 8 &&
        tagOrDefault<std::uint16_t>(t, TIFFTAG_PLANARCONFIG) == PLANARCONFIG_CONTIG &&
        tagOrDefault<std::uint16_t>(t, TIFFTAG_SAMPLESPERPIXEL) == 4 + extraSamples(t).size();

    std::unique_ptr<ColourConversion> conversion;
    std::uint32_t profileSize = 0;
    const std::uint8_t* profile = nullptr;
    if (TIFFGetField(t, TIFFTAG_ICCPROFILE, &profileSize, &profile) == 1 && profile && profileSize > 0) {
        if (cmyk && !rawCmyk) {
            picture.warnings.push_back(
                "its colour profile was ignored: only 8-bit interleaved CMYK is converted by one");
        } else {
            std::string warning;
            conversion = ColourConversion::toSrgb(std::span(profile, profileSize),
                rawCmyk ? SampleLayout::Cmyk : SampleLayout::Bgra, warning);
            if (!warning.empty())
                picture.warnings.push_back(warning);
        }
    }

    picture.bitmap = DIBSection::create(makeBitmapInfo(int(width), int(height), 24));
    if (!picture.bitmap)
        invalidTiff("not enough memory for the picture");
    if (rawCmyk)
        readCmyk(t, session, conversion.get(), options, *picture.bitmap);
    else
        readRgba(t, session, conversion.get(), options, *picture.bitmap);
    return picture;
}

}  // namespace tav
