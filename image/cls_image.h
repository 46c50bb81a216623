// clsImage: reads an image file's header and reports the picture's width, height and colour
// depth, the format it recognised and the file's length, without decoding any pixels.
//
// Six formats are recognised by their leading bytes, tested in a fixed order: PNG, GIF, BMP,
// PCX, TIFF little-endian, TIFF big-endian; when none of them matched, the file is searched
// byte by byte for a JPEG start-of-image and its markers are walked to the first frame header.
// The 16-bit readers are signed, so a width of 32768 or more comes out negative, and a
// top-down BMP keeps its negative height: callers that need a drawable size check the sign.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace tav {

class InputFile;

// Values of clsImage::ImageType().
enum ImageTypeCode : std::int32_t {
    kImageUnknown = 0,
    kImageGif = 1,
    kImageJpeg = 2,
    kImagePng = 3,
    kImageBmp = 4,
    kImagePcx = 5,
    kImageTiff = 6,
};

// The short name of a format ("GIF", "JPEG", ...); "unknown" for 0 and any other value.
std::string_view imageTypeName(std::int32_t imageType);

class clsImage {
public:
    // Reads the header of the file at `sFileName`. Throws RunTimeError:
    //  53 when the path names no file (nothing is created);
    //  75 when it names something that cannot be opened or read as a file (a folder, a device,
    //     a file without read permission); all properties are 0 then;
    //   6 when a depth does not fit in 8 bits, or the file is longer than FileSize can hold;
    //   9 when the file ends inside the header of the format it was recognised as (files of
    //     0 to 2 bytes always); the properties keep what was set before the failing read.
    void ReadImageInfo(const std::filesystem::path& sFileName);
    // The same for a file already open; it is read only during the call.
    void ReadImageInfo(const InputFile& file);

    std::int32_t Width() const { return m_width; }
    std::int32_t Height() const { return m_height; }
    std::uint8_t Depth() const { return m_depth; }
    std::int32_t ImageType() const { return m_imageType; }
    std::int32_t FileSize() const { return m_fileSize; }

private:
    // One byte of the file; index L (the file length) is the extra zero byte. Any other index
    // outside the array raises the subscript-out-of-range error.
    std::uint8_t b(std::int64_t offset) const;
    std::int32_t ReadWordLE(std::int64_t offset) const;
    std::int32_t ReadWordBE(std::int64_t offset) const;
    std::int32_t ReadLongLE(std::int64_t offset) const;
    std::int32_t ReadLongBE(std::int64_t offset) const;

    void clear();
    void loadFile();
    void testPng();
    void testGif();
    void testBmp();
    void testPcx();
    enum class ByteOrder { LittleEndian, BigEndian };
    void walkTiff(ByteOrder order);
    std::uint8_t tiffDepth(ByteOrder order, std::int64_t entry) const;
    void searchJpeg();

    void loadMore(std::int64_t offset) const;

    // The file's first bytes, more of them once a read beyond those needed them (a TIFF
    // directory, a JPEG search), and all of them with the zero byte after them once the end
    // was reached: a header reader has no business copying a picture of many megabytes to look
    // at its first few dozen bytes.
    mutable std::vector<std::uint8_t> m_fileBytes;
    mutable bool m_wholeFile = true;
    const InputFile* m_file = nullptr;  // during ReadImageInfo only
    std::int32_t m_width = 0;
    std::int32_t m_height = 0;
    std::uint8_t m_depth = 0;
    std::int32_t m_imageType = 0;
    std::int32_t m_fileSize = 0;
};

class RunTimeError;

// A sentence for the user about an error that ReadImageInfo raised, given the reader's state
// after it: the error's own text, and for a short file or a depth overflow what it means
// ("Subscript out of range: the file ends inside its GIF header").
std::string describeReadError(const RunTimeError& error, const clsImage& info);

}  // namespace tav
