// The decoders behind LoadPicture: each turns a whole file's bytes into a bitmap or throws
// RunTimeError(kErrInvalidPicture, problem) with a short description of the problem (the
// caller adds the file name). None allocates pixel memory before the size passed
// checkPictureSize.
#pragma once

#include "dib.h"

#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <span>
#include <vector>

namespace tav {

enum class PictureFormat { Unknown, Bmp, Gif, Jpeg, Png };

// Tells the format by the signature at the start of the file: the first
// kPictureSignatureBytes bytes are all it reads.
inline constexpr std::size_t kPictureSignatureBytes = 8;
PictureFormat sniffPictureFormat(std::span<const std::uint8_t> head);

// Throws the invalid-picture error when the size is not positive or over the limits.
void checkPictureSize(std::int64_t width, std::int64_t height);
[[noreturn]] void invalidPicture(const char* problem);

std::unique_ptr<DIBSection> decodeBmp(std::span<const std::uint8_t> data);

// Where an uncompressed 24-bit BMP keeps its rows, for reading them from the file in place.
struct BmpRows24 {
    int width = 0;
    int height = 0;
    bool topDown = false;
    std::uint64_t pixelOffset = 0;  // of the first row in the file
    std::uint64_t stride = 0;
};
// Nothing for any other kind of BMP, for a damaged one, or when `head` (the file's first bytes)
// does not reach the pixels or the file of `fileSize` bytes is too short for its rows: then
// decodeBmp on the whole file gives the picture or the precise error. Never throws.
std::optional<BmpRows24> plainBmpRows24(std::span<const std::uint8_t> head, std::uint64_t fileSize);

// A JPEG file decoded a few rows at a time, top to bottom, as 24-bit rows (blue, green, red),
// at full size or at a reduced scale chosen by reducedScaleDenominator; errors as decodeJpeg's.
class JpegRowDecoder {
public:
    // Reads the headers of `file` (the whole file) and starts decoding. Throws the
    // invalid-picture error.
    static std::unique_ptr<JpegRowDecoder> open(std::vector<std::uint8_t> file, int targetWidth, int targetHeight);
    ~JpegRowDecoder();
    JpegRowDecoder(const JpegRowDecoder&) = delete;
    JpegRowDecoder& operator=(const JpegRowDecoder&) = delete;

    int width() const { return m_width; }  // of the decoded rows
    int height() const { return m_height; }
    int pictureWidth() const { return m_pictureWidth; }  // the file's own size
    int pictureHeight() const { return m_pictureHeight; }
    int denominator() const { return m_denominator; }
    // Decodes the next `count` rows into rows[0] .. rows[count - 1], each width() * 3 bytes.
    // After the last row the rest of the file is checked. Throws the invalid-picture error.
    void read(std::uint8_t* const* rows, int count);

private:
    JpegRowDecoder();
    struct State;
    std::unique_ptr<State> m_state;
    int m_width = 0;
    int m_height = 0;
    int m_pictureWidth = 0;
    int m_pictureHeight = 0;
    int m_denominator = 1;
};

// The largest of 8, 4 and 2 whose scaled size (each side rounded up, as libjpeg does) keeps at
// least twice the target size on both axes, else 1. So only a picture at least four times the
// target on both axes is reduced, and never below twice the target.
int reducedScaleDenominator(
    std::int64_t width, std::int64_t height, std::int64_t targetWidth, std::int64_t targetHeight);
std::unique_ptr<DIBSection> decodeGif(std::span<const std::uint8_t> data);
std::unique_ptr<DIBSection> decodeJpeg(std::span<const std::uint8_t> data);
std::unique_ptr<DIBSection> decodePng(std::span<const std::uint8_t> data);

}  // namespace tav
