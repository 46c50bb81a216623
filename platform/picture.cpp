// Picture objects: loading a picture file into a bitmap, and saving a bitmap as a BMP file.
//
// LoadPicture reads the whole file, recognises the format by its signature (never by the
// file name), hands the bytes to the format's decoder and turns the result upright.
// SavePicture writes the simplest bitmap file every reader understands: BITMAPFILEHEADER,
// BITMAPINFOHEADER, bottom-up rows of 24-bit BI_RGB pixels padded to 4 bytes; indexed and
// 16-bit bitmaps are widened through their colour table or channel expansion on the way.
#include "picture.h"
#include "program_environment.h"

#include "dib.h"
#include "file_access.h"
#include "orientation.h"
#include "picture_decoders.h"
#include "pixel_rows.h"
#include "run_time_error.h"

#include <cstring>
#include <limits>
#include <string>
#include <vector>

namespace tav {

namespace {

// A picture file is read into memory whole. No picture this program reads needs more than
// the largest BMP (32-bit offsets), so a longer file is refused rather than read.
constexpr std::uint64_t kMaxPictureFileBytes = std::numeric_limits<std::int32_t>::max();

constexpr std::uint8_t kBmpSignature[] = {'B', 'M'};
constexpr std::uint32_t kFileHeaderSize = 14;
constexpr std::uint32_t kInfoHeaderSize = 40;

std::string pathText(const std::filesystem::path& path) { return utf8(path); }

[[noreturn]] void fileError(int number, const char* text, const std::filesystem::path& path)
{
    throw RunTimeError(number, pathText(path) + ": " + text);
}

void putLe16(std::uint8_t* p, std::uint32_t v)
{
    p[0] = std::uint8_t(v);
    p[1] = std::uint8_t(v >> 8);
}

void putLe32(std::uint8_t* p, std::uint32_t v)
{
    putLe16(p, v);
    putLe16(p + 2, v >> 16);
}

// The bitmap file of `bitmap`; empty when its size does not fit the format.
std::vector<std::uint8_t> bmpFile(const DIBSection& bitmap)
{
    const int width = bitmap.width();
    const int height = bitmap.height();
    const std::int64_t stride = DibStride(width, 24);
    const std::int64_t imageSize = stride * height;
    const std::int64_t fileSize = kFileHeaderSize + kInfoHeaderSize + imageSize;
    if (stride < 0 || fileSize > std::numeric_limits<std::uint32_t>::max())
        return {};

    std::vector<std::uint8_t> file(std::size_t(fileSize), 0);  // the row padding stays zero
    std::uint8_t* header = file.data();
    header[0] = kBmpSignature[0];
    header[1] = kBmpSignature[1];
    putLe32(header + 2, std::uint32_t(fileSize));
    putLe32(header + 10, kFileHeaderSize + kInfoHeaderSize);  // bfOffBits: no colour table
    std::uint8_t* info = header + kFileHeaderSize;
    putLe32(info + 0, kInfoHeaderSize);
    putLe32(info + 4, std::uint32_t(width));
    putLe32(info + 8, std::uint32_t(height));  // positive: bottom-up rows
    putLe16(info + 12, 1);                     // planes
    putLe16(info + 14, 24);                    // bits per pixel
    putLe32(info + 16, BI_RGB);
    putLe32(info + 20, std::uint32_t(imageSize));
    // Resolution and colour counts stay 0: unknown resolution, no colour table.

    std::vector<std::uint32_t> rgb(static_cast<std::size_t>(width));
    std::uint8_t* row = info + kInfoHeaderSize;
    for (int y = height - 1; y >= 0; --y, row += stride) {
        readRgbRow(bitmap, y, 0, width, rgb.data());
        std::uint8_t* p = row;
        for (int x = 0; x < width; ++x, p += 3) {
            p[0] = std::uint8_t(rgb[std::size_t(x)]);
            p[1] = std::uint8_t(rgb[std::size_t(x)] >> 8);
            p[2] = std::uint8_t(rgb[std::size_t(x)] >> 16);
        }
    }
    return file;
}

// The refusal of a file in no format the decoders read, naming the format when it is a known one.
[[noreturn]] void refuseUnreadablePicture(const std::filesystem::path& path, std::span<const std::uint8_t> head)
{
    if (const char* format = foreignPictureFormat(head))
        throw RunTimeError(kErrInvalidPicture,
            pathText(path) + " is " + format + "; Tavrenix reads " + kReadablePictureFormats);
    fileError(kErrInvalidPicture,
        (std::string("not a picture Tavrenix reads (") + kReadablePictureFormats + ")").c_str(), path);
}

}  // namespace

Picture::Picture(std::unique_ptr<DIBSection> bitmap, std::vector<std::string> warnings)
    : m_bitmap(std::move(bitmap))
    , m_warnings(std::move(warnings))
{
}

Picture::~Picture() = default;

int Picture::width() const { return m_bitmap ? m_bitmap->width() : 0; }

int Picture::height() const { return m_bitmap ? m_bitmap->height() : 0; }

void checkPictureSize(std::int64_t width, std::int64_t height)
{
    const std::string size = "picture size " + std::to_string(width) + " x " + std::to_string(height);
    if (width <= 0 || height <= 0)
        invalidPicture((size + " has no pixels").c_str());
    // Each side is checked first, so the product cannot overflow.
    if (width > kMaxPictureSide || height > kMaxPictureSide || width * height > kMaxPicturePixels)
        invalidPicture((size + " is over the limit of " + std::to_string(kMaxPictureSide) + " pixels a side and " +
            std::to_string(kMaxPicturePixels) + " pixels")
                           .c_str());
}

void invalidPicture(const char* problem) { throw RunTimeError(kErrInvalidPicture, problem); }

std::unique_ptr<Picture> LoadPicture(const std::filesystem::path& path, const PictureOptions& options)
{
    return LoadPicture(openNamed(path), options);
}

std::unique_ptr<Picture> LoadPicture(const InputFile& file, const PictureOptions& options)
{
    const std::filesystem::path& path = file.path();
    DecodedPicture decoded;
    std::vector<std::uint8_t> bytes;
    bool unreadable = false;  // in no format the decoders read
    try {
        bytes = file.readRest(0, kMaxPictureFileBytes, kErrInvalidPicture, "file too large for a picture");
        if (bytes.empty())
            invalidPicture("empty file");
        switch (sniffPictureFormat(bytes)) {
        case PictureFormat::Bmp: decoded = decodeBmp(bytes, options); break;
        case PictureFormat::Gif: decoded = decodeGif(bytes, options); break;
        case PictureFormat::Jpeg: decoded = decodeJpeg(bytes, options); break;
        case PictureFormat::Png: decoded = decodePng(bytes, options); break;
        case PictureFormat::Tiff: decoded = decodeTiff(bytes, options); break;
        case PictureFormat::Webp: decoded = decodeWebp(bytes, options); break;
        case PictureFormat::Unknown: unreadable = true; break;
        }
        const bool turn = options.applyOrientation && decoded.orientation != 1;
        if (decoded.bitmap && decoded.bitmap->bitCount() == 24 && turn) {
            decoded.bitmap = orientUpright(*decoded.bitmap, decoded.orientation);
            if (!decoded.bitmap)
                invalidPicture("not enough memory to turn the picture upright");
        }
    } catch (const RunTimeError& e) {
        fileError(e.number(), e.what(), path);
    } catch (const std::bad_alloc&) {
        fileError(kErrInvalidPicture, "not enough memory to decode the picture", path);
    }
    if (unreadable)
        refuseUnreadablePicture(path, bytes);
    if (!decoded.bitmap)
        fileError(kErrInvalidPicture, "the decoder produced no picture", path);
    return std::make_unique<Picture>(std::move(decoded.bitmap), std::move(decoded.warnings));
}

void SavePicture(const DIBSection& bitmap, const std::filesystem::path& path)
{
    std::vector<std::uint8_t> file;
    try {
        file = bmpFile(bitmap);
    } catch (const std::bad_alloc&) {
    }
    if (file.empty())
        fileError(kErrPathFileAccess, kMsgPathFileAccess, path);
    replaceFile(path, file);
}

}  // namespace tav
