// Picture objects: loading a picture file into a bitmap, and saving a bitmap as a BMP file.
//
// LoadPicture reads the whole file, recognises the format by its signature (never by the
// file name) and hands the bytes to the format's decoder. SavePicture writes the simplest
// bitmap file every reader understands: BITMAPFILEHEADER, BITMAPINFOHEADER, bottom-up rows of
// 24-bit BI_RGB pixels padded to 4 bytes; indexed and 16-bit bitmaps are widened through
// their colour table or channel expansion on the way.
#include "picture.h"
#include "program_environment.h"

#include "dib.h"
#include "file_access.h"
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
constexpr std::uint8_t kGif87Signature[] = {'G', 'I', 'F', '8', '7', 'a'};
constexpr std::uint8_t kGif89Signature[] = {'G', 'I', 'F', '8', '9', 'a'};
constexpr std::uint8_t kJpegSignature[] = {0xFF, 0xD8, 0xFF};
constexpr std::uint8_t kPngSignature[] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
static_assert(sizeof(kPngSignature) <= kPictureSignatureBytes && sizeof(kGif87Signature) <= kPictureSignatureBytes);

constexpr std::uint32_t kFileHeaderSize = 14;
constexpr std::uint32_t kInfoHeaderSize = 40;

template <std::size_t N>
bool startsWith(std::span<const std::uint8_t> head, const std::uint8_t (&signature)[N])
{
    return head.size() >= N && std::memcmp(head.data(), signature, N) == 0;
}

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

}  // namespace

Picture::Picture(std::unique_ptr<DIBSection> bitmap) : m_bitmap(std::move(bitmap)) {}

Picture::~Picture() = default;

int Picture::width() const { return m_bitmap ? m_bitmap->width() : 0; }

int Picture::height() const { return m_bitmap ? m_bitmap->height() : 0; }

PictureFormat sniffPictureFormat(std::span<const std::uint8_t> head)
{
    if (startsWith(head, kBmpSignature))
        return PictureFormat::Bmp;
    if (startsWith(head, kGif87Signature) || startsWith(head, kGif89Signature))
        return PictureFormat::Gif;
    if (startsWith(head, kJpegSignature))
        return PictureFormat::Jpeg;
    if (startsWith(head, kPngSignature))
        return PictureFormat::Png;
    return PictureFormat::Unknown;
}

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

std::unique_ptr<Picture> LoadPicture(const std::filesystem::path& path) { return LoadPicture(openNamed(path)); }

std::unique_ptr<Picture> LoadPicture(const InputFile& file)
{
    const std::filesystem::path& path = file.path();
    std::unique_ptr<DIBSection> bitmap;
    try {
        const std::vector<std::uint8_t> bytes =
            file.readRest(0, kMaxPictureFileBytes, kErrInvalidPicture, "file too large for a picture");
        if (bytes.empty())
            invalidPicture("empty file");
        switch (sniffPictureFormat(bytes)) {
        case PictureFormat::Bmp: bitmap = decodeBmp(bytes); break;
        case PictureFormat::Gif: bitmap = decodeGif(bytes); break;
        case PictureFormat::Jpeg: bitmap = decodeJpeg(bytes); break;
        case PictureFormat::Png: bitmap = decodePng(bytes); break;
        case PictureFormat::Unknown: invalidPicture("not a BMP, GIF, JPEG or PNG file");
        }
    } catch (const RunTimeError& e) {
        fileError(e.number(), e.what(), path);
    } catch (const std::bad_alloc&) {
        fileError(kErrInvalidPicture, "not enough memory to decode the picture", path);
    }
    if (!bitmap)
        fileError(kErrInvalidPicture, "the decoder produced no picture", path);
    return std::make_unique<Picture>(std::move(bitmap));
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
