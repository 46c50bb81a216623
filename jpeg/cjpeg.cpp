// cJpeg: construction, settings and their validation. The pixel work is in sample_hdc.cpp,
// the file in file_writer.cpp.
#include "jpeg/cjpeg.h"

#include "jpeg/comment_text.h"
#include "jpeg/errors.h"

#include <algorithm>

namespace tav {

namespace {

constexpr int kMinSamplingFactor = 1;
constexpr int kMaxSamplingFactor = 4;
constexpr int kDefaultQuality = 75;
constexpr int kLuminanceTable = 0;
constexpr int kChrominanceTable = 1;

void checkSamplingFactor(std::int32_t factor)
{
    if (factor < kMinSamplingFactor || factor > kMaxSamplingFactor)
        raiseEncoderError(kMsgInvalidSamplingValue);
}

}  // namespace

cJpeg::cJpeg()
{
    m_zigZag = buildZigZag();
    m_baseLuminance = baseLuminanceTable(m_zigZag);
    m_baseChrominance = baseChrominanceTable(m_zigZag);
    SetSamplingFrequencies(2, 2, 1, 1, 1, 1);
    Quality(kDefaultQuality);
}

void cJpeg::Quality(std::int32_t value)
{
    if (value < kMinQuality || value > kMaxQuality)
        return;
    m_quality = value;
    const int scale = qualityScale(value);
    scaleQuantTable(m_baseLuminance, scale, m_quantTables[kLuminanceTable]);
    scaleQuantTable(m_baseChrominance, scale, m_quantTables[kChrominanceTable]);
    ExpandQuantTable(m_quantTables[kLuminanceTable], m_zigZag, m_precision);
    ExpandQuantTable(m_quantTables[kChrominanceTable], m_zigZag, m_precision);
}

void cJpeg::SetSamplingFrequencies(std::int32_t H1, std::int32_t V1, std::int32_t H2, std::int32_t V2, std::int32_t H3,
    std::int32_t V3)
{
    // Every check runs before anything changes, so a refused call keeps the old components.
    checkSamplingFactor(H1);
    checkSamplingFactor(V1);
    const bool grey = H2 == 0 && V2 == 0 && H3 == 0 && V3 == 0;
    if (!grey) {
        checkSamplingFactor(H2);
        checkSamplingFactor(H3);
        checkSamplingFactor(V2);
        checkSamplingFactor(V3);
    }

    std::vector<JpegComponent> components;
    if (grey) {
        // One component is always 1 x 1: its factors are relative to nothing.
        components.push_back({0, 1, 1, kLuminanceTable, {}});
    } else {
        components.push_back({0, H1, V1, kLuminanceTable, {}});
        components.push_back({0, H2, V2, kChrominanceTable, {}});
        components.push_back({0, H3, V3, kChrominanceTable, {}});
    }
    m_components = std::move(components);
    recomputeMaxFactors();
}

void cJpeg::recomputeMaxFactors()
{
    m_hmax = -1;
    m_vmax = -1;
    for (const JpegComponent& component : m_components) {
        m_hmax = std::max(m_hmax, component.Hi);
        m_vmax = std::max(m_vmax, component.Vi);
    }
}

void cJpeg::Comment(const std::string& Value)
{
    if (characterCount(Value) > kMaxCommentLength)
        raiseEncoderError(kMsgIllegalCommentLength);
    m_comment = Value;
}

}  // namespace tav
