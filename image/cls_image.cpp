// clsImage: header reading by signature tests, a TIFF directory walk and a JPEG marker walk.
//
// The tests run one after the other and each reads its signature bytes whatever the earlier
// tests found, so a short file fails at the same read whatever its content. Every byte access
// is bounds-checked against the file bytes plus one trailing zero byte, so a three-byte file
// can still be tested at offset 3, while a file cut short inside its header raises the
// subscript-out-of-range error instead of reading garbage.
#include "image/cls_image.h"

#include "platform/file_access.h"
#include "platform/run_time_error.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <span>
#include <string>

namespace tav {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kImageTypeNames[] = {"unknown", "GIF", "JPEG", "PNG", "BMP", "PCX", "TIFF"};

// TIFF tags of the image directory, and field types (TIFF 6.0, section 2).
constexpr std::int32_t kTiffTagImageWidth = 256;
constexpr std::int32_t kTiffTagImageLength = 257;
constexpr std::int32_t kTiffTagBitsPerSample = 258;
constexpr std::int32_t kTiffTypeByte = 1;
constexpr std::int32_t kTiffTypeShort = 3;
constexpr std::int32_t kTiffTypeLong = 4;
// An entry is tag (2), type (2), count (4), value or value offset (4).
constexpr std::int64_t kTiffEntrySize = 12;
constexpr std::int64_t kTiffValueFieldSize = 4;

// JPEG markers (T.81, table B.1): SOI, and SOF0 to SOF3, the four Huffman-coded frame kinds
// (baseline, extended sequential, progressive, lossless).
constexpr std::uint8_t kMarkerPrefix = 0xFF;
constexpr std::uint8_t kMarkerSoi = 0xD8;
constexpr std::uint8_t kMarkerSof0 = 0xC0;
constexpr std::uint8_t kMarkerSof3 = 0xC3;
// The marker walk stops this many bytes before the end of the file.
constexpr std::int64_t kJpegTailMargin = 10;

constexpr std::uint8_t kPcxManufacturer = 10;

// Depth values are 8-bit: a larger value is the overflow error, as for any 8-bit assignment.
std::uint8_t toDepth(std::int64_t value)
{
    if (value < 0 || value > std::numeric_limits<std::uint8_t>::max())
        raiseOverflow();
    return std::uint8_t(value);
}

}  // namespace

std::string_view imageTypeName(std::int32_t imageType)
{
    if (imageType < 0 || imageType >= std::int32_t(std::size(kImageTypeNames)))
        return kImageTypeNames[0];
    return kImageTypeNames[imageType];
}

std::string describeReadError(const RunTimeError& error, const clsImage& info)
{
    std::string text = error.what();
    switch (error.number()) {
    case kErrSubscriptOutOfRange:
        if (info.ImageType() != kImageUnknown)
            text += ": the file ends inside its " + std::string(imageTypeName(info.ImageType())) + " header";
        else if (info.FileSize() < 3)
            text += ": the file is too short to be a picture";
        else
            text += ": the header points past the end of the file";
        break;
    case kErrOverflow:
        // The length check comes before FileSize is set; a depth check comes after.
        if (info.FileSize() == 0)
            text += ": the file is too large";
        else
            text += ": the colour depth in the header does not fit in 8 bits";
        break;
    default:
        break;
    }
    return text;
}

std::uint8_t clsImage::b(std::int64_t offset) const
{
    if (!m_wholeFile && offset >= std::int64_t(m_fileBytes.size()))
        loadMore(offset);
    if (offset < 0 || offset >= std::int64_t(m_fileBytes.size()))
        raiseSubscriptOutOfRange();
    return m_fileBytes[std::size_t(offset)];
}

// The 16-bit readers return the value as signed, widened with its sign: 0x8000 and above come
// out negative.
std::int32_t clsImage::ReadWordLE(std::int64_t offset) const
{
    const std::uint8_t lo = b(offset);
    const std::uint8_t hi = b(offset + 1);
    return std::int16_t(std::uint16_t(lo | (hi << 8)));
}

std::int32_t clsImage::ReadWordBE(std::int64_t offset) const
{
    const std::uint8_t hi = b(offset);
    const std::uint8_t lo = b(offset + 1);
    return std::int16_t(std::uint16_t(lo | (hi << 8)));
}

std::int32_t clsImage::ReadLongLE(std::int64_t offset) const
{
    std::uint32_t v = 0;
    for (int i = 0; i < 4; ++i)
        v |= std::uint32_t(b(offset + i)) << (8 * i);
    return std::int32_t(v);
}

std::int32_t clsImage::ReadLongBE(std::int64_t offset) const
{
    std::uint32_t v = 0;
    for (int i = 0; i < 4; ++i)
        v = (v << 8) | b(offset + i);
    return std::int32_t(v);
}

namespace {

// The headers of nearly every file lie within its first 4 KB: one read of one page, and one
// page of memory to touch, whose first touch is a page fault.
// Anything further (a TIFF directory, a JPEG frame header behind large metadata) is read when
// it is asked for, growing what is held sixteenfold each time (64 KB, 1 MB, ...) or to the
// byte asked for if that is further, so a walk through a long file takes a few reads, never
// one per segment.
constexpr std::int64_t kFirstBytes = 4096;
constexpr std::int64_t kGrowthFactor = 16;

// The file ended before the length it had when it was opened.
[[noreturn]] void raiseCutShort()
{
    throw RunTimeError(kErrPathFileAccess, std::string(kMsgPathFileAccess) + ": the file was cut short while it was read");
}

}  // namespace

void clsImage::ReadImageInfo(const fs::path& sFileName)
{
    clear();
    const InputFile file(sFileName);
    ReadImageInfo(file);
}

void clsImage::ReadImageInfo(const InputFile& file)
{
    clear();
    // The file is read only while its header is read; the pointer does not outlive the call.
    m_file = &file;
    struct Release {
        clsImage& info;
        ~Release() { info.m_file = nullptr; }
    } release{*this};

    loadFile();

    testPng();
    testGif();
    testBmp();
    testPcx();
    walkTiff(ByteOrder::LittleEndian);
    walkTiff(ByteOrder::BigEndian);
    if (m_imageType == kImageUnknown)
        searchJpeg();

    // The bytes are needed no longer.
    m_fileBytes.assign(1, 0);
    m_fileBytes.shrink_to_fit();
    m_wholeFile = true;
}

void clsImage::clear()
{
    m_width = 0;
    m_height = 0;
    m_depth = 0;
    m_fileSize = 0;
    m_imageType = kImageUnknown;
    m_fileBytes.clear();
    m_fileBytes.shrink_to_fit();
    m_wholeFile = true;
}

// Reads the file's first bytes, or the whole file with one zero byte after it when it is that
// short.
void clsImage::loadFile()
{
    const std::uint64_t length = m_file->size();
    // FileSize is a signed 32-bit value; a longer file cannot be described.
    if (length > std::uint64_t(std::numeric_limits<std::int32_t>::max()))
        raiseOverflow();

    const bool whole = length <= std::uint64_t(kFirstBytes);
    const std::size_t count = std::size_t(whole ? length : std::uint64_t(kFirstBytes));
    std::vector<std::uint8_t> bytes(whole ? count + 1 : count, 0);
    if (m_file->readAt(0, std::span(bytes.data(), count)) != count)
        raiseCutShort();

    m_fileSize = std::int32_t(length);
    m_fileBytes = std::move(bytes);
    m_wholeFile = whole;
}

// Reads on from where the bytes held end, so that `offset` is held, with the zero byte after
// the file once its end is reached: the bytes are those loadFile would have read at once.
void clsImage::loadMore(std::int64_t offset) const
{
    const std::int64_t held = std::int64_t(m_fileBytes.size());
    std::int64_t wanted = std::max(offset + 1, held * kGrowthFactor);
    const bool whole = wanted >= m_fileSize;
    if (whole)
        wanted = m_fileSize;

    m_fileBytes.resize(std::size_t(whole ? wanted + 1 : wanted), 0);
    const std::size_t count = std::size_t(wanted - held);
    if (!m_file || m_file->readAt(std::uint64_t(held), std::span(m_fileBytes.data() + held, count)) != count) {
        m_fileBytes.resize(std::size_t(held));
        raiseCutShort();
    }
    m_wholeFile = whole;
}

// The signature tests evaluate all their conditions (no short cut), so each reads every byte
// it names; this keeps the failure point of a short file independent of its content.

void clsImage::testPng()
{
    const bool b0 = b(0) == 0x89;
    const bool b1 = b(1) == 'P';
    const bool b2 = b(2) == 'N';
    if (!(b0 && b1 && b2))
        return;
    m_imageType = kImagePng;
    // IHDR: width at 16, height at 20 (big-endian 32-bit), bit depth at 24, colour type at 25.
    std::int64_t depth = 0;
    switch (b(25)) {
    case 0:  // greyscale
        depth = b(24);
        break;
    case 2:  // truecolour
        depth = std::int64_t(b(24)) * 3;
        break;
    case 3:  // palette: 8 whatever the bit depth
        depth = 8;
        break;
    case 4:  // greyscale with alpha
        depth = std::int64_t(b(24)) * 2;
        break;
    case 6:  // truecolour with alpha
        depth = std::int64_t(b(24)) * 4;
        break;
    default:
        m_imageType = kImageUnknown;
        return;
    }
    m_depth = toDepth(depth);
    // The low halves of the 32-bit width and height.
    m_width = ReadWordBE(18);
    m_height = ReadWordBE(22);
}

void clsImage::testGif()
{
    const bool b0 = b(0) == 'G';
    const bool b1 = b(1) == 'I';
    const bool b2 = b(2) == 'F';
    if (!(b0 && b1 && b2))
        return;
    m_imageType = kImageGif;
    // Logical screen descriptor; the low three bits of the packed field are the global
    // colour table's bits per entry minus one.
    m_width = ReadWordLE(6);
    m_height = ReadWordLE(8);
    m_depth = std::uint8_t((b(10) & 7) + 1);
}

void clsImage::testBmp()
{
    const bool b0 = b(0) == 'B';
    const bool b1 = b(1) == 'M';
    if (!(b0 && b1))
        return;
    m_imageType = kImageBmp;
    // The low halves of the info header's 32-bit width and height: a small negative height
    // of a top-down bitmap keeps its sign.
    m_width = ReadWordLE(18);
    m_height = ReadWordLE(22);
    m_depth = b(28);
}

void clsImage::testPcx()
{
    if (b(0) != kPcxManufacturer)
        return;
    m_imageType = kImagePcx;
    const std::int32_t xMin = ReadWordLE(4);
    const std::int32_t yMin = ReadWordLE(6);
    const std::int32_t xMax = ReadWordLE(8);
    const std::int32_t yMax = ReadWordLE(10);
    m_width = xMax - xMin + 1;
    m_height = yMax - yMin + 1;
    // Bits per pixel per plane times planes, kept to its low 8 bits.
    const unsigned bitsPerPlane = b(3);
    const unsigned planes = b(65);
    m_depth = std::uint8_t(bitsPerPlane * planes);
}

void clsImage::walkTiff(ByteOrder order)
{
    const bool little = order == ByteOrder::LittleEndian;
    if (little) {
        const bool b0 = b(0) == 'I';
        const bool b1 = b(1) == 'I';
        const bool b2 = b(2) == '*';
        if (!(b0 && b1 && b2))
            return;
    } else {
        // Big-endian 42 has its low byte at offset 3.
        const bool b0 = b(0) == 'M';
        const bool b1 = b(1) == 'M';
        const bool b3 = b(3) == '*';
        if (!(b0 && b1 && b3))
            return;
    }
    const auto u16 = [&](std::int64_t at) { return little ? ReadWordLE(at) : ReadWordBE(at); };
    const auto u32 = [&](std::int64_t at) { return little ? ReadLongLE(at) : ReadLongBE(at); };
    const auto singleValue = [&](std::int64_t entry) -> std::int32_t {
        switch (u16(entry + 2)) {
        case kTiffTypeByte:
            return b(entry + 8);
        case kTiffTypeShort:
            return u16(entry + 8);
        case kTiffTypeLong:
            return u32(entry + 8);
        default:
            return 0;
        }
    };

    const std::int64_t directory = u32(4);
    const std::int32_t entryCount = u16(directory);
    for (std::int32_t i = 0; i < entryCount; ++i) {
        const std::int64_t entry = directory + 2 + kTiffEntrySize * i;
        const std::int32_t tag = u16(entry);
        // Three separate tests, so an entry can match only its own tag.
        if (tag == kTiffTagImageWidth)
            m_width = singleValue(entry);
        if (tag == kTiffTagImageLength)
            m_height = singleValue(entry);
        if (tag == kTiffTagBitsPerSample)
            m_depth = tiffDepth(order, entry);
    }

    if (m_depth > 0 && m_width > 0 && m_height > 0) {
        m_imageType = kImageTiff;
    } else {
        m_imageType = kImageUnknown;
        m_width = 0;
        m_height = 0;
        m_depth = 0;
    }
}

// Bits per sample: one value is read from the value field by its type and must fit in 8 bits.
// With several values (three for RGB) the field holds them, or their offset when they do not
// fit in its four bytes; the depth is then the sum of the samples' bits (24 for 8, 8, 8), or 0
// when they cannot all be read from the file, which rejects the file.
std::uint8_t clsImage::tiffDepth(ByteOrder order, std::int64_t entry) const
{
    const bool little = order == ByteOrder::LittleEndian;
    const auto u16 = [&](std::int64_t at) { return little ? ReadWordLE(at) : ReadWordBE(at); };
    const auto u32 = [&](std::int64_t at) { return little ? ReadLongLE(at) : ReadLongBE(at); };

    const std::int32_t type = u16(entry + 2);
    std::int64_t valueSize = 0;
    switch (type) {
    case kTiffTypeByte:
        valueSize = 1;
        break;
    case kTiffTypeShort:
        valueSize = 2;
        break;
    case kTiffTypeLong:
        valueSize = 4;
        break;
    default:
        return 0;
    }
    const auto valueAt = [&](std::int64_t at) -> std::int32_t {
        return type == kTiffTypeByte ? b(at) : type == kTiffTypeShort ? u16(at) : u32(at);
    };
    const std::int32_t count = u32(entry + 4);
    // The value field is read as for a single value whatever the count, so a file cut short
    // inside the entry fails at the same place either way.
    const std::int32_t field = valueAt(entry + 8);
    if (count <= 1)
        return toDepth(field);

    // Values that do not fit the value field are elsewhere; the field then holds their offset,
    // always a LONG whatever the values' type.
    const std::int64_t total = std::int64_t(count) * valueSize;
    std::int64_t start = entry + 8;
    if (total > kTiffValueFieldSize) {
        if (entry + 8 + kTiffValueFieldSize > std::int64_t(m_fileSize))
            return 0;
        start = std::uint32_t(u32(entry + 8));
    }
    // The values must lie inside the file proper (not the trailing zero byte).
    if (start < 0 || start + total > std::int64_t(m_fileSize))
        return 0;
    std::int64_t sum = 0;
    for (std::int64_t i = 0; i < count; ++i) {
        sum += toDepth(valueAt(start + i * valueSize));
    }
    return toDepth(sum);
}

void clsImage::searchJpeg()
{
    const std::int64_t length = m_fileSize;
    const std::int64_t stop = length - kJpegTailMargin;

    // Start-of-image: FF D8 followed by the FF of the next marker.
    std::int64_t p = 0;
    for (;;) {
        const bool b0 = b(p) == kMarkerPrefix;
        const bool b1 = b(p + 1) == kMarkerSoi;
        const bool b2 = b(p + 2) == kMarkerPrefix;
        if ((b0 && b1 && b2) || p >= stop)
            break;
        ++p;
    }
    p += 2;
    if (p >= stop)
        return;

    for (;;) {
        const bool prefix = b(p) == kMarkerPrefix;
        const std::uint8_t marker = b(p + 1);
        if (prefix && marker != kMarkerPrefix) {
            if (marker >= kMarkerSof0 && marker <= kMarkerSof3) {
                // Frame header (B.2.2): length, precision, lines, samples per line, components.
                m_imageType = kImageJpeg;
                m_height = ReadWordBE(p + 5);
                m_width = ReadWordBE(p + 7);
                m_depth = toDepth(std::int64_t(b(p + 9)) * 8);
                return;
            }
            // Every other marker is taken to carry a length; move to the segment's last byte
            // and let the byte-wise scan find the next marker.
            const std::int64_t segmentLength = (std::int64_t(b(p + 2)) << 8) | b(p + 3);
            p = p + 1 + segmentLength;
        } else {
            ++p;
        }
        if (p >= stop)
            return;
    }
}

}  // namespace tav
