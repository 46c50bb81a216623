// The JPEG file writer: marker segments (T.81 B.2, JFIF 1.02 APP0), the assembly of the whole
// stream in memory, and SaveFile, which creates the file only once the stream is complete and
// never replaces an existing file.
//
// Stream order: SOI, APP0, COM (caller's comment, if any), COM (credit), DQT 0, DQT 1 (colour),
// SOF0, DHT DC 0, DHT AC 0, DHT DC 1 and AC 1 (colour), the scans, EOI. One table per DQT and
// per DHT segment. All multi-byte numbers are big-endian.
#include "jpeg/file_writer.h"
#include "platform/program_environment.h"

#include "jpeg/cjpeg.h"
#include "jpeg/comment_text.h"
#include "jpeg/errors.h"
#include "jpeg/markers.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <numeric>
#include <system_error>

namespace tav {

namespace {

constexpr std::size_t kSegmentHeader = 4;  // marker and length
constexpr unsigned kMaxSegmentLength = 65535;

// Opens the segment at `start` when this is its first table: the marker goes at start and the
// length, patched by closeSegment, after it.
void openSegment(OutputBuffer& out, std::size_t start, std::uint8_t marker)
{
    if (out.position() < start + kSegmentHeader) {
        out.skip(start + kSegmentHeader - out.position());
        out.patch16(start, unsigned(kMarkerPrefix) << 8 | marker);
    }
}

void closeSegment(OutputBuffer& out, std::size_t start)
{
    out.patch16(start + 2, unsigned(out.position() - start - 2));
}

[[noreturn]] void raiseFileError(const std::filesystem::path& path)
{
    throw RunTimeError(kErrPathFileAccess, utf8(path) + ": " + kMsgPathFileAccess);
}

}  // namespace

void WriteMarker(OutputBuffer& out, std::uint8_t code)
{
    out.put(kMarkerPrefix);
    out.put(code);
}

void WriteAPP0(OutputBuffer& out)
{
    if (out.position() + kApp0SegmentSize > out.size())
        raiseSubscriptOutOfRange();
    WriteMarker(out, kMarkerAPP0);
    out.put16(kApp0Length);
    for (std::uint8_t byte : kJfifIdentifier)
        out.put(byte);
    out.put(kJfifVersionMajor);
    out.put(kJfifVersionMinor);
    out.put(kJfifUnitsNone);
    out.put16(kJfifDensity);
    out.put16(kJfifDensity);
    out.put(0);  // no thumbnail
    out.put(0);
}

void WriteCOM(OutputBuffer& out, std::span<const std::uint8_t> text)
{
    if (text.empty())
        return;
    if (text.size() + 2 > kMaxSegmentLength)
        raiseOverflow();
    WriteMarker(out, kMarkerCOM);
    out.put16(unsigned(text.size() + 2));
    for (std::uint8_t byte : text)
        out.put(byte);
}

void WriteDQT(OutputBuffer& out, std::size_t start, const QuantTable& table, int id, int precision)
{
    openSegment(out, start, kMarkerDQT);
    bool wide = false;
    for (std::int16_t q : table.Qk) {
        if (q > 255) {
            wide = true;
            break;
        }
    }
    if (wide) {
        if (precision != 12)
            raiseEncoderError(kMsgIllegalQuantPrecision);
        out.put(std::uint8_t(16 + id));  // Pq = 1: 16-bit entries
        for (std::int16_t q : table.Qk)
            out.put16(unsigned(q));
    } else {
        out.put(std::uint8_t(id));
        for (std::int16_t q : table.Qk)
            out.put(std::uint8_t(q));
    }
    closeSegment(out, start);
}

void WriteDHT(OutputBuffer& out, std::size_t start, const HuffmanTable& table, int id, int tableClass)
{
    openSegment(out, start, kMarkerDHT);
    out.put(std::uint8_t(tableClass * 16 + id));
    int count = 0;
    for (std::uint8_t n : table.BITS) {
        out.put(n);
        count += n;
    }
    for (int k = 0; k < count; ++k)
        out.put(table.HUFFVAL[std::size_t(k)]);
    closeSegment(out, start);
}

void WriteSOF(OutputBuffer& out, std::uint8_t marker, int precision, std::int32_t width, std::int32_t height,
    std::span<const JpegComponent> components)
{
    if (width < 0 || width > kMaxFrameSide || height < 0 || height > kMaxFrameSide)
        raiseOverflow();
    WriteMarker(out, marker);
    out.put16(unsigned(8 + 3 * components.size()));
    out.put(std::uint8_t(precision));
    out.put16(unsigned(height));
    out.put16(unsigned(width));
    out.put(std::uint8_t(components.size()));
    for (const JpegComponent& component : components) {
        out.put(std::uint8_t(component.Ci));
        out.put(std::uint8_t(component.Hi * 16 + component.Vi));
        out.put(std::uint8_t(component.Tqi));
    }
}

std::size_t estimatedBufferSize(std::int64_t estimate, std::size_t commentLength)
{
    // Rounded to the nearest integer, halves to even (std::nearbyint).
    const double lastIndex = std::nearbyint(double(estimate) * 1.3 + 1000.0 + double(commentLength));
    return std::size_t(lastIndex) + 1;
}

std::size_t guaranteedBufferSize(std::int64_t estimate, std::size_t commentBytes, std::size_t creditBytes,
    int scanCount)
{
    constexpr std::size_t kDqt = kSegmentHeader + 1 + 2 * 64;  // 16-bit entries at most
    constexpr std::size_t kDht = kSegmentHeader + 1 + 16 + 256;  // 256 symbols at most
    constexpr std::size_t kSof = kSegmentHeader + 6 + 3 * 3;
    constexpr std::size_t kSos = kSegmentHeader + 4 + 2 * 3;
    const std::size_t segments = 2 + kApp0SegmentSize + (kSegmentHeader + commentBytes) +
        (kSegmentHeader + creditBytes) + 2 * kDqt + kSof + 4 * kDht + std::size_t(scanCount) * kSos + 2;
    // The estimate rounds up the total; each scan adds at most one byte of padding; a stuffed
    // 0x00 can follow every byte.
    const std::size_t entropy = 2 * (std::size_t(estimate) + std::size_t(scanCount));
    return segments + entropy;
}

void WriteStreamHead(OutputBuffer& out, const std::string& comment, std::span<const QuantTable> quantTables,
    int precision, std::int32_t width, std::int32_t height, std::span<const JpegComponent> components,
    const HuffmanTableSet& dcTables, const HuffmanTableSet& acTables)
{
    WriteMarker(out, kMarkerSOI);
    WriteAPP0(out);
    if (!comment.empty()) {
        const std::optional<std::vector<std::uint8_t>> bytes = toCodePage1252(comment);
        if (!bytes)
            raiseOverflow();
        WriteCOM(out, *bytes);
    }
    WriteCOM(out, std::span(reinterpret_cast<const std::uint8_t*>(kCreditText), std::strlen(kCreditText)));
    WriteDQT(out, out.position(), quantTables[0], 0, precision);
    if (components.size() > 1)
        WriteDQT(out, out.position(), quantTables[1], 1, precision);
    WriteSOF(out, kMarkerSOF0, precision, width, height, components);
    WriteDHT(out, out.position(), dcTables[0], 0, kTableClassDc);
    WriteDHT(out, out.position(), acTables[0], 0, kTableClassAc);
    if (components.size() > 1) {
        WriteDHT(out, out.position(), dcTables[1], 1, kTableClassDc);
        WriteDHT(out, out.position(), acTables[1], 1, kTableClassAc);
    }
}

std::vector<std::uint8_t> cJpeg::assembleStream()
{
    // The component list: component 0 codes with tables 0, the others with tables 1.
    std::vector<ScanComponent> list;
    for (std::size_t c = 0; c < m_components.size(); ++c) {
        const int tableId = c == 0 ? 0 : 1;
        list.push_back({&m_components[c], tableId, tableId});
    }
    const int first = 0;
    const int last = int(list.size()) - 1;
    const ScanGeometry geometry{m_width, m_height, m_hmax, m_vmax};
    const std::int64_t estimate = OptimizeTables(list, first, last, geometry, m_precision, m_dcTables, m_acTables);

    const std::size_t creditLength = std::strlen(kCreditText);
    const std::size_t commentLength = characterCount(m_comment);
    // The size the stream has always been given leaves out stuffed 0x00 bytes. Coefficients
    // that code as long runs of 1-bits need more of them than its 30 % margin holds (pictures
    // tried so far stuff under 3 %), so the buffer gets at least the size that no stream with
    // this estimate can outgrow.
    const int scanCount = int(planScans(list, first, last).size());
    const std::size_t size = std::max(estimatedBufferSize(estimate, commentLength),
        guaranteedBufferSize(estimate, commentLength, creditLength, scanCount));
    OutputBuffer out(size);

    WriteStreamHead(out, m_comment, m_sampledTables, m_precision, m_width, m_height, m_components, m_dcTables,
        m_acTables);
    WriteScans(list, first, last, geometry, m_dcTables, m_acTables, out);
    WriteMarker(out, kMarkerEOI);
    return out.takeWritten();
}

std::optional<cJpeg::SaveStatus> unwritableName(const std::filesystem::path& path)
{
    if (path.empty())
        return cJpeg::SaveStatus::NoFileName;
    // Anything of that name but a folder counts as an existing file (a dangling link too: the
    // encoder never writes through one). A folder of that name makes the creation fail.
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::symlink_status(path, error);
    if (std::filesystem::exists(status) && !std::filesystem::is_directory(status))
        return cJpeg::SaveStatus::FileExists;
    return std::nullopt;
}

cJpeg::SaveStatus cJpeg::SaveFile(const std::filesystem::path& FileName)
{
    if (const std::optional<SaveStatus> refused = unwritableName(FileName))
        return *refused;

    const std::vector<std::uint8_t> stream = assembleStream();

    // Exclusive creation: a file that appeared since the check above is not replaced either.
    NewFile file = createNewFile(FileName);
    if (!file)
        return SaveStatus::FileExists;
    const bool written = std::fwrite(stream.data(), 1, stream.size(), file.get()) == stream.size();
    const bool closed = std::fclose(file.release()) == 0;
    if (!written || !closed) {
        // A short file is worse than none: take it away again.
        std::error_code ignored;
        std::filesystem::remove(FileName, ignored);
        raiseFileError(FileName);
    }
    return SaveStatus::Written;
}

}  // namespace tav
