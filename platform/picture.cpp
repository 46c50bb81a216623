// Picture objects: loading a picture file into a bitmap, and saving a bitmap as a BMP file.
//
// LoadPicture reads the whole file, recognises the format by its signature (never by the
// file name) and hands the bytes to the format's decoder. SavePicture writes the simplest
// bitmap file every reader understands: BITMAPFILEHEADER, BITMAPINFOHEADER, bottom-up rows of
// 24-bit BI_RGB pixels padded to 4 bytes; indexed and 16-bit bitmaps are widened through
// their colour table or channel expansion on the way.
#include "picture.h"

#include "dib.h"
#include "picture_decoders.h"
#include "pixel_rows.h"
#include "run_time_error.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string>
#include <system_error>
#include <vector>

#include <unistd.h>

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

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

template <std::size_t N>
bool startsWith(std::span<const std::uint8_t> head, const std::uint8_t (&signature)[N])
{
    return head.size() >= N && std::memcmp(head.data(), signature, N) == 0;
}

std::string pathText(const std::filesystem::path& path) { return path.string(); }

[[noreturn]] void fileError(int number, const char* text, const std::filesystem::path& path)
{
    throw RunTimeError(number, pathText(path) + ": " + text);
}

std::vector<std::uint8_t> readWholeFile(const std::filesystem::path& path)
{
    std::error_code ec;
    const auto status = std::filesystem::status(path, ec);
    if (status.type() == std::filesystem::file_type::not_found)
        fileError(kErrFileNotFound, kMsgFileNotFound, path);
    // Folders, devices and pipes are not picture files (and a device may never end).
    if (ec || status.type() != std::filesystem::file_type::regular)
        fileError(kErrPathFileAccess, kMsgPathFileAccess, path);

    FilePtr file(std::fopen(path.c_str(), "rb"));
    if (!file) {
        if (errno == ENOENT)  // removed since the status check
            fileError(kErrFileNotFound, kMsgFileNotFound, path);
        fileError(kErrPathFileAccess, kMsgPathFileAccess, path);
    }

    // The size is only a hint: the file may change while it is read, so read to its end.
    std::vector<std::uint8_t> bytes;
    const std::uintmax_t hint = std::filesystem::file_size(path, ec);
    constexpr std::size_t kChunk = 1 << 20;
    if (!ec && hint <= kMaxPictureFileBytes)
        bytes.reserve(std::size_t(hint) + kChunk);  // room for the last read that finds the end
    for (;;) {
        const std::size_t used = bytes.size();
        if (used > kMaxPictureFileBytes)
            fileError(kErrInvalidPicture, "file too large for a picture", path);
        bytes.resize(used + kChunk);
        const std::size_t got = std::fread(bytes.data() + used, 1, kChunk, file.get());
        bytes.resize(used + got);
        if (got < kChunk) {
            if (std::ferror(file.get()))
                fileError(kErrPathFileAccess, kMsgPathFileAccess, path);
            break;
        }
    }
    if (bytes.size() > kMaxPictureFileBytes)
        fileError(kErrInvalidPicture, "file too large for a picture", path);
    return bytes;
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

// Writes the bitmap file to an open stream; false on any write failure.
bool writeBmp(const DIBSection& bitmap, std::FILE* out)
{
    const int width = bitmap.width();
    const int height = bitmap.height();
    const std::int64_t stride = DibStride(width, 24);
    const std::int64_t imageSize = stride * height;
    const std::int64_t fileSize = kFileHeaderSize + kInfoHeaderSize + imageSize;
    if (stride < 0 || fileSize > std::numeric_limits<std::uint32_t>::max())
        return false;

    std::uint8_t header[kFileHeaderSize + kInfoHeaderSize] = {};
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
    if (std::fwrite(header, 1, sizeof header, out) != sizeof header)
        return false;

    std::vector<std::uint32_t> rgb(static_cast<std::size_t>(width));
    std::vector<std::uint8_t> row(static_cast<std::size_t>(stride), 0);  // the padding stays zero
    for (int y = height - 1; y >= 0; --y) {
        readRgbRow(bitmap, y, 0, width, rgb.data());
        std::uint8_t* p = row.data();
        for (int x = 0; x < width; ++x, p += 3) {
            p[0] = std::uint8_t(rgb[std::size_t(x)]);
            p[1] = std::uint8_t(rgb[std::size_t(x)] >> 8);
            p[2] = std::uint8_t(rgb[std::size_t(x)] >> 16);
        }
        if (std::fwrite(row.data(), 1, row.size(), out) != row.size())
            return false;
    }
    return std::fflush(out) == 0;
}

// A name beside the target for writing the new file before it replaces the target, so a
// failed save never leaves a half-written file under the target's name.
std::filesystem::path temporarySibling(const std::filesystem::path& path)
{
    static std::atomic<unsigned> counter{0};
    // Appended piece by piece: GCC 12 at -O3 misreports "." + std::string as overlapping memcpy.
    std::string name = ".";
    name += path.filename().string();
    name += ".tmp-" + std::to_string(::getpid()) + "-" + std::to_string(counter++);
    return path.parent_path() / name;
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

std::unique_ptr<Picture> LoadPicture(const std::filesystem::path& path)
{
    const std::vector<std::uint8_t> bytes = readWholeFile(path);
    if (bytes.empty())
        fileError(kErrInvalidPicture, "empty file", path);

    std::unique_ptr<DIBSection> bitmap;
    try {
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
    // Exclusive creation ("x"): never write into a file someone else made under our name.
    std::filesystem::path temporary;
    FilePtr file;
    for (unsigned attempt = 0; attempt < 16 && !file; ++attempt) {
        temporary = temporarySibling(path);
        file.reset(std::fopen(temporary.c_str(), "wbx"));
        if (!file && errno != EEXIST)
            break;
    }
    if (!file)
        fileError(kErrPathFileAccess, kMsgPathFileAccess, path);

    bool written = false;
    try {
        written = writeBmp(bitmap, file.get());
    } catch (const std::bad_alloc&) {
        written = false;
    }
    const bool closed = std::fclose(file.release()) == 0;
    std::error_code ec;
    if (written && closed)
        std::filesystem::rename(temporary, path, ec);
    if (!written || !closed || ec) {
        std::filesystem::remove(temporary, ec);
        fileError(kErrPathFileAccess, kMsgPathFileAccess, path);
    }
}

}  // namespace tav
