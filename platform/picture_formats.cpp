// Telling a picture's format by its signature: the formats this program reads, and the common
// ones it does not read, so that a refusal can say what the file is.
#include "picture_decoders.h"

#include <algorithm>
#include <cstring>
#include <string_view>

namespace tav {

namespace {

constexpr std::uint8_t kBmpSignature[] = {'B', 'M'};
constexpr std::uint8_t kGif87Signature[] = {'G', 'I', 'F', '8', '7', 'a'};
constexpr std::uint8_t kGif89Signature[] = {'G', 'I', 'F', '8', '9', 'a'};
constexpr std::uint8_t kJpegSignature[] = {0xFF, 0xD8, 0xFF};
constexpr std::uint8_t kPngSignature[] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
// Classic TIFF (42) and BigTIFF (43), in either byte order.
constexpr std::uint8_t kTiffLittleSignature[] = {'I', 'I', 42, 0};
constexpr std::uint8_t kTiffBigSignature[] = {'M', 'M', 0, 42};
constexpr std::uint8_t kBigTiffLittleSignature[] = {'I', 'I', 43, 0};
constexpr std::uint8_t kBigTiffBigSignature[] = {'M', 'M', 0, 43};
// A RIFF file (four bytes of length follow) of the form WEBP.
constexpr std::uint8_t kRiffSignature[] = {'R', 'I', 'F', 'F'};
constexpr std::uint8_t kWebpForm[] = {'W', 'E', 'B', 'P'};
constexpr std::size_t kWebpFormOffset = 8;
static_assert(sizeof kPngSignature <= kPictureSignatureBytes && 12 <= kPictureSignatureBytes);

constexpr std::uint8_t kJpeg2000Signature[] = {0, 0, 0, 0x0C, 'j', 'P', ' ', ' ', 0x0D, 0x0A, 0x87, 0x0A};
constexpr std::uint8_t kJpeg2000Codestream[] = {0xFF, 0x4F, 0xFF, 0x51};
constexpr std::uint8_t kJpegXlSignature[] = {0, 0, 0, 0x0C, 'J', 'X', 'L', ' ', 0x0D, 0x0A, 0x87, 0x0A};
constexpr std::uint8_t kJpegXlCodestream[] = {0xFF, 0x0A};
constexpr std::uint8_t kPsdSignature[] = {'8', 'B', 'P', 'S', 0};
constexpr std::uint8_t kIcoSignature[] = {0, 0, 1, 0};
constexpr std::uint8_t kCurSignature[] = {0, 0, 2, 0};
constexpr std::uint8_t kPdfSignature[] = {'%', 'P', 'D', 'F', '-'};

template <std::size_t N>
bool startsWith(std::span<const std::uint8_t> head, const std::uint8_t (&signature)[N], std::size_t at = 0)
{
    return head.size() >= at + N && std::memcmp(head.data() + at, signature, N) == 0;
}

std::string_view text(std::span<const std::uint8_t> bytes)
{
    return std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

// The brands of an ISO base media file (HEIF, AVIF): its leading "ftyp" box's major brand and
// compatible brands. Empty when the file does not start with one.
std::string_view fileTypeBrands(std::span<const std::uint8_t> head)
{
    if (head.size() < 16 || text(head.subspan(4, 4)) != "ftyp")
        return {};
    const std::size_t boxSize = (std::size_t(head[0]) << 24) | (std::size_t(head[1]) << 16) |
        (std::size_t(head[2]) << 8) | head[3];
    if (boxSize < 16)
        return {};
    return text(head.subspan(8, std::min(boxSize, head.size()) - 8));
}

bool hasBrand(std::string_view brands, std::string_view brand)
{
    // The major brand, then the minor version, then compatible brands, four bytes each.
    for (std::size_t at = 0; at + 4 <= brands.size(); at += 4) {
        if (at != 4 && brands.substr(at, 4) == brand)
            return true;
    }
    return false;
}

bool isSvg(std::span<const std::uint8_t> head)
{
    std::string_view start = text(head.first(std::min<std::size_t>(head.size(), 4096)));
    if (start.starts_with("\xEF\xBB\xBF"))
        start.remove_prefix(3);
    start.remove_prefix(std::min(start.size(), start.find_first_not_of(" \t\r\n")));
    if (!start.starts_with("<"))
        return false;
    return start.starts_with("<svg") || start.find("<svg") != std::string_view::npos;
}

}  // namespace

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
    if (startsWith(head, kTiffLittleSignature) || startsWith(head, kTiffBigSignature) ||
        startsWith(head, kBigTiffLittleSignature) || startsWith(head, kBigTiffBigSignature))
        return PictureFormat::Tiff;
    if (startsWith(head, kRiffSignature) && startsWith(head, kWebpForm, kWebpFormOffset))
        return PictureFormat::Webp;
    return PictureFormat::Unknown;
}

const char* foreignPictureFormat(std::span<const std::uint8_t> head)
{
    const std::string_view brands = fileTypeBrands(head);
    if (!brands.empty()) {
        if (hasBrand(brands, "avif") || hasBrand(brands, "avis"))
            return "an AVIF picture";
        for (std::string_view heic : {"heic", "heix", "heim", "heis", "hevc", "hevx", "hevm", "hevs", "mif1", "msf1"}) {
            if (hasBrand(brands, heic))
                return "a HEIC picture";
        }
    }
    if (startsWith(head, kJpegXlSignature) || startsWith(head, kJpegXlCodestream))
        return "a JPEG XL picture";
    if (startsWith(head, kJpeg2000Signature) || startsWith(head, kJpeg2000Codestream))
        return "a JPEG 2000 picture";
    if (startsWith(head, kPsdSignature) && head.size() >= 6 && (head[5] == 1 || head[5] == 2))
        return "a Photoshop (PSD) picture";
    // Icons and cursors: a reserved zero word, the type, and at least one image.
    if ((startsWith(head, kIcoSignature) || startsWith(head, kCurSignature)) && head.size() >= 6 &&
        (head[4] != 0 || head[5] != 0))
        return head[2] == 1 ? "an icon (ICO) picture" : "a cursor (CUR) picture";
    if (startsWith(head, kPdfSignature))
        return "a PDF document";
    // PCX: the manufacturer byte 10, a known version, run-length encoding 1.
    if (head.size() >= 4 && head[0] == 0x0A && head[1] <= 5 && head[1] != 1 && head[2] == 1)
        return "a PCX picture";
    if (isSvg(head))
        return "an SVG drawing";
    return nullptr;
}

}  // namespace tav
