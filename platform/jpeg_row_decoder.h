// A JPEG file decoded a few rows at a time, for pictures that are stretched as they are decoded
// and never held whole.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace tav {

// A JPEG file decoded a few rows at a time, top to bottom, as 24-bit rows (blue, green, red),
// at full size or at a reduced scale chosen by reducedScaleDenominator; errors as decodeJpeg's
// (picture_decoders.h). The rows are the stored ones, colours converted as decodeJpeg converts
// them; the orientation is reported, not applied.
class JpegRowDecoder {
public:
    // Reads the headers of `file` (the whole file) and starts decoding. With `uprightTarget`
    // the target size is that of the upright picture (so turned with it for orientations 5
    // to 8). Throws the invalid-picture error.
    static std::unique_ptr<JpegRowDecoder> open(
        std::vector<std::uint8_t> file, int targetWidth, int targetHeight, bool uprightTarget = true);
    ~JpegRowDecoder();
    JpegRowDecoder(const JpegRowDecoder&) = delete;
    JpegRowDecoder& operator=(const JpegRowDecoder&) = delete;

    int width() const { return m_width; }  // of the decoded rows
    int height() const { return m_height; }
    int pictureWidth() const { return m_pictureWidth; }  // the file's own size
    int pictureHeight() const { return m_pictureHeight; }
    int denominator() const { return m_denominator; }
    int orientation() const;  // the file's orientation tag, 1 to 8
    const std::vector<std::string>& warnings() const;
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
}  // namespace tav
