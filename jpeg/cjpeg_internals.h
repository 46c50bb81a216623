// What the encoder keeps of the last picture it sampled, for the tests and benchmarks that look
// inside it; the program itself never needs it.
#pragma once

#include "jpeg/cjpeg.h"

#include <cstdint>

namespace tav {

struct cJpegInternals {
    static std::int32_t precision(const cJpeg& jpeg) { return jpeg.m_precision; }
    static std::int32_t imageWidth(const cJpeg& jpeg) { return jpeg.m_width; }
    static std::int32_t imageHeight(const cJpeg& jpeg) { return jpeg.m_height; }
};

}  // namespace tav
