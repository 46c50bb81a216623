// cJpeg: a baseline JPEG encoder object. Set Quality, the sampling factors and a Comment, let
// it sample a rectangle of a device context (SampleHDC: colour conversion, subsampling by the
// platform's stretch, forward DCT and quantization of every block), then SaveFile: Huffman
// tables optimised for the image, the whole JFIF stream assembled in memory and written to a
// new file in one piece.
//
// Errors are raised as RunTimeError: number 1 with the texts of jpeg/errors.h, 6 overflow, 9
// subscript out of range, 75 when the file cannot be created or written.
#pragma once

#include "jpeg/jpeg_types.h"
#include "jpeg/quant_tables.h"
#include "jpeg/scan_writer.h"
#include "platform/gdi_types.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace tav {

// The encoder's second comment segment, written into every file: three lines separated by
// CR LF, none at the end.
inline constexpr const char* kCreditText = "JPEG Encoder Class\r\n"
                                           "Written for Tavrenix\r\n"
                                           "Source: the Tavrenix source tree, folder jpeg/";

// Longest caller's comment in characters: the COM length field counts itself (2 bytes) and
// holds at most 65535.
inline constexpr std::size_t kMaxCommentLength = 65533;

class cJpeg {
public:
    enum class SampleStatus : std::int32_t { Sampled = 0, NoSurface = 1 };
    enum class SaveStatus : std::int32_t { Written = 0, NoFileName = 1, FileExists = 2 };

    // Quality 75, sampling Y 2 x 2, Cb and Cr 1 x 1, no comment.
    cJpeg();

    // A quality of 1 to 100 is stored and rebuilds quantization tables 0 and 1; any other
    // value is ignored without an error. It takes effect at the next SampleHDC: SaveFile
    // writes the tables the coefficients were quantized with, whatever was set since.
    void Quality(std::int32_t value);
    std::int32_t Quality() const { return m_quality; }

    // Three components with these factors, or one grey component (1 x 1) when H2, V2, H3 and
    // V3 are all 0. Every factor checked must be 1 to 4 ("Invalid Sampling Value"; the
    // previous components stay). Discards the coefficients of an earlier SampleHDC.
    void SetSamplingFrequencies(std::int32_t H1, std::int32_t V1, std::int32_t H2, std::int32_t V2, std::int32_t H3,
        std::int32_t V3);

    // Samples the lWidth x lHeight rectangle at (lSrcLeft, lSrcTop) of lHDC into the
    // quantized coefficients of every component. NoSurface when the working memory context
    // or 24-bit DIB section cannot be made (also for an empty or impossibly large rectangle);
    // the components are then untouched.
    SampleStatus SampleHDC(HDC lHDC, std::int32_t lWidth, std::int32_t lHeight, std::int32_t lSrcLeft,
        std::int32_t lSrcTop);

    // The caller's comment, UTF-8. More than 65533 characters raises "Illegal Comment Length"
    // and keeps the previous comment. Written as one byte per character in Windows-1252; a
    // character without a single-byte form there makes SaveFile raise error 6.
    void Comment(const std::string& Value);
    const std::string& Comment() const { return m_comment; }

    // Writes the stream to a new file. NoFileName for an empty name, FileExists when anything
    // but a folder already has that name (left untouched). No file is created unless the
    // whole stream was assembled.
    SaveStatus SaveFile(const std::filesystem::path& FileName);

    // The stream SaveFile writes, assembled in memory (same checks and errors, no file).
    std::vector<std::uint8_t> assembleStream();

    // Read-only views of the encoder's state.
    const QuantTable& quantTable(int id) const { return m_quantTables.at(std::size_t(id)); }
    const HuffmanTable& dcTable(int id) const { return m_dcTables.at(std::size_t(id)); }
    const HuffmanTable& acTable(int id) const { return m_acTables.at(std::size_t(id)); }
    const std::vector<JpegComponent>& components() const { return m_components; }
    const ZigZagTable& zigZag() const { return m_zigZag; }
    std::int32_t hmax() const { return m_hmax; }
    std::int32_t vmax() const { return m_vmax; }

private:
    friend struct cJpegInternals;
    void recomputeMaxFactors();

    std::array<std::int16_t, 64> m_baseLuminance{};
    std::array<std::int16_t, 64> m_baseChrominance{};
    ZigZagTable m_zigZag{};
    std::int32_t m_precision = 0;
    std::int32_t m_height = 0;
    std::int32_t m_width = 0;
    std::int32_t m_hmax = -1;
    std::int32_t m_vmax = -1;
    std::array<QuantTable, 4> m_quantTables{};
    std::array<QuantTable, 4> m_sampledTables{};  // the tables the coefficients were quantized with
    HuffmanTableSet m_dcTables{};
    HuffmanTableSet m_acTables{};
    std::vector<JpegComponent> m_components;
    std::int32_t m_quality = 0;
    std::string m_comment;
};

}  // namespace tav
