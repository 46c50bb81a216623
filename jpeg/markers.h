// Marker codes and fixed segment contents of the JPEG interchange format (T.81 Table B.1) and
// of the JFIF APP0 segment, each defined once.
#pragma once

#include <cstdint>

namespace tav {

inline constexpr std::uint8_t kMarkerPrefix = 0xFF;
inline constexpr std::uint8_t kMarkerSOI = 0xD8;
inline constexpr std::uint8_t kMarkerEOI = 0xD9;
inline constexpr std::uint8_t kMarkerAPP0 = 0xE0;
inline constexpr std::uint8_t kMarkerCOM = 0xFE;
inline constexpr std::uint8_t kMarkerDQT = 0xDB;
inline constexpr std::uint8_t kMarkerSOF0 = 0xC0;  // baseline sequential DCT
inline constexpr std::uint8_t kMarkerDHT = 0xC4;
inline constexpr std::uint8_t kMarkerSOS = 0xDA;

// JFIF APP0: identifier "JFIF\0", version 1.01, no density units, aspect ratio 1:1, no thumbnail.
inline constexpr std::uint8_t kJfifIdentifier[5] = {'J', 'F', 'I', 'F', 0};
inline constexpr std::uint8_t kJfifVersionMajor = 1;
inline constexpr std::uint8_t kJfifVersionMinor = 1;
inline constexpr std::uint8_t kJfifUnitsNone = 0;
inline constexpr unsigned kJfifDensity = 1;
inline constexpr unsigned kApp0Length = 16;
inline constexpr unsigned kApp0SegmentSize = 18;

// Huffman table classes of DHT (Tc).
inline constexpr int kTableClassDc = 0;
inline constexpr int kTableClassAc = 1;

}  // namespace tav
