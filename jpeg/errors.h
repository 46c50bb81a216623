// The encoder's own error texts (all raised with number 1) and the helpers that raise them,
// so that every message leaves the encoder from one place, byte-exact.
#pragma once

#include "platform/run_time_error.h"

namespace tav {

inline constexpr int kErrEncoder = 1;

inline constexpr const char* kMsgInvalidSamplingValue = "Invalid Sampling Value";
inline constexpr const char* kMsgIllegalCommentLength = "Illegal Comment Length";
inline constexpr const char* kMsgBadQuantizationTable = "Bad Quantization Table";
// The misspelling is the encoder's own text and stays.
inline constexpr const char* kMsgIllegalQuantPrecision = "Illegal precission in Quantization Table";
inline constexpr const char* kMsgBadHuffmanTable = "Bad Huffman Table";

[[noreturn]] inline void raiseEncoderError(const char* message) { throw RunTimeError(kErrEncoder, message); }

}  // namespace tav
