// The marker segments of a baseline JFIF stream (T.81 Annex B, JFIF 1.02) and the sizing of
// the buffer the stream is assembled in.
#pragma once

#include "jpeg/bit_writer.h"
#include "jpeg/cjpeg.h"
#include "jpeg/jpeg_types.h"
#include "jpeg/scan_writer.h"
#include "platform/file_access.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace tav {

void WriteMarker(OutputBuffer& out, std::uint8_t code);
// JFIF APP0, 18 bytes. Raises error 9 when the buffer cannot take them.
void WriteAPP0(OutputBuffer& out);
// COM with the given bytes; nothing at all for an empty text.
void WriteCOM(OutputBuffer& out, std::span<const std::uint8_t> text);
// Appends quantization table `id` to the DQT segment that begins at `start`, opening it when
// the write position has not passed start + 4, and rewrites its length. 16-bit entries are
// written when an entry exceeds 255, which only precision 12 allows ("Illegal precission in
// Quantization Table" otherwise).
void WriteDQT(OutputBuffer& out, std::size_t start, const QuantTable& table, int id, int precision);
// Appends Huffman table `id` of class `tableClass` (0 DC, 1 AC) to the DHT segment at `start`.
void WriteDHT(OutputBuffer& out, std::size_t start, const HuffmanTable& table, int id, int tableClass);
// SOF with the given marker code. Raises error 6 when the width or height does not fit 16 bits.
void WriteSOF(OutputBuffer& out, std::uint8_t marker, int precision, std::int32_t width, std::int32_t height,
    std::span<const JpegComponent> components);

inline constexpr std::int32_t kMaxFrameSide = 65535;

// The rules SaveFile writes a new file by. Why no file may be written at `path`: NoFileName for
// an empty name, FileExists when anything but a folder has that name; nothing when one may.
std::optional<cJpeg::SaveStatus> unwritableName(const std::filesystem::path& path);

// Everything before the scans: SOI, APP0, the caller's comment (if any) and the credit, DQT 0
// and 1 (colour), SOF0, DHT DC/AC 0 and 1 (colour).
void WriteStreamHead(OutputBuffer& out, const std::string& comment, std::span<const QuantTable> quantTables,
    int precision, std::int32_t width, std::int32_t height, std::span<const JpegComponent> components,
    const HuffmanTableSet& dcTables, const HuffmanTableSet& acTables);
// The buffer size the stream has always been given: last index round(E * 1.3 + 1000 + C),
// halves to even, E the estimated entropy-coded bytes and C the comment's characters.
std::size_t estimatedBufferSize(std::int64_t estimate, std::size_t commentLength);
// A size that every stream with this estimate fits: the longest possible segments, and every
// entropy-coded byte (with each scan's padding byte) stuffed.
std::size_t guaranteedBufferSize(std::int64_t estimate, std::size_t commentBytes, std::size_t creditBytes,
    int scanCount);

}  // namespace tav
