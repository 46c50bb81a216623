// Conversion of a picture's colours from its ICC profile to sRGB (colour_profile.h).
//
// Little CMS builds the transform (perceptual intent). Its 8-bit optimisation of RGB and CMYK
// transforms stays within a level or so of the exact result at a fraction of the cost; a grey
// transform is a table of the 256 levels worked out exactly (the optimised one lost up to ten
// levels in the shadows of a linear profile). The conversion is then tried on a grid of
// colours, and when none moves by more than one level the picture's colours are taken as sRGB
// already and keep their bytes. Grey rows arrive as three equal bytes; the first is the level.
// Little CMS reports errors through a handler of its context; this context's handler drops
// them, since a profile that cannot be used ends in a null handle and one warning.
#include "colour_profile.h"

#include <lcms2.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <type_traits>
#include <vector>

namespace tav {

namespace {

void ignoreLcmsError(cmsContext, cmsUInt32Number, const char*) {}

struct ContextDeleter {
    void operator()(cmsContext context) const { cmsDeleteContext(context); }
};

struct ProfileDeleter {
    void operator()(void* profile) const { cmsCloseProfile(static_cast<cmsHPROFILE>(profile)); }
};
using ProfilePtr = std::unique_ptr<void, ProfileDeleter>;


const char* spaceName(cmsColorSpaceSignature space)
{
    switch (space) {
    case cmsSigRgbData: return "RGB";
    case cmsSigGrayData: return "grey";
    case cmsSigCmykData: return "CMYK";
    case cmsSigLabData: return "Lab";
    case cmsSigYCbCrData: return "YCbCr";
    default: return "another colour space";
    }
}

// The input format of `layout` samples under a profile of `space`; 0 when they do not match.
cmsUInt32Number inputFormat(SampleLayout layout, cmsColorSpaceSignature space)
{
    switch (layout) {
    case SampleLayout::Bgr:
        if (space == cmsSigRgbData)
            return TYPE_BGR_8;
        return space == cmsSigGrayData ? TYPE_GRAY_8 : 0;
    case SampleLayout::Bgra:
        if (space == cmsSigRgbData)
            return TYPE_BGRA_8;
        return space == cmsSigGrayData ? TYPE_GRAY_8 : 0;
    case SampleLayout::Cmyk: return space == cmsSigCmykData ? TYPE_CMYK_8 : 0;
    case SampleLayout::InvertedCmyk: return space == cmsSigCmykData ? TYPE_CMYK_8_REV : 0;
    }
    return 0;
}

// The samples of a grid of colours in `layout`, and what they show without a conversion (the
// plain reading the decoders make of them), as BGR.
struct Probe {
    std::vector<std::uint8_t> samples;
    std::vector<std::uint8_t> plain;
};

Probe probeGrid(SampleLayout layout, bool grey)
{
    // Every level of the grey axis, and for colour pictures every level of each axis alone
    // and a coarse grid of all mixtures.
    std::vector<std::array<std::uint8_t, 3>> colours;
    for (int v = 0; v < 256; ++v) {
        const auto u = std::uint8_t(v);
        colours.push_back({u, u, u});
        if (!grey) {
            colours.push_back({u, 0, 0});
            colours.push_back({0, u, 0});
            colours.push_back({0, 0, u});
        }
    }
    for (int b = 0; b < 256 && !grey; b += 17)
        for (int g = 0; g < 256; g += 17)
            for (int r = 0; r < 256; r += 17)
                colours.push_back({std::uint8_t(b), std::uint8_t(g), std::uint8_t(r)});
    Probe probe;
    for (const auto& c : colours) {
        if (layout == SampleLayout::Bgr || layout == SampleLayout::Bgra) {
            probe.samples.insert(probe.samples.end(), c.begin(), c.end());
            if (layout == SampleLayout::Bgra)
                probe.samples.push_back(255);
            probe.plain.insert(probe.plain.end(), c.begin(), c.end());
        } else {
            // CMYK samples of no black, whose plain reading is the complement of each ink.
            const bool inverted = layout == SampleLayout::InvertedCmyk;
            const std::uint8_t cyan = std::uint8_t(255 - c[2]), magenta = std::uint8_t(255 - c[1]),
                               yellow = std::uint8_t(255 - c[0]);
            for (std::uint8_t ink : {cyan, magenta, yellow, std::uint8_t(0)})
                probe.samples.push_back(inverted ? std::uint8_t(255 - ink) : ink);
            probe.plain.insert(probe.plain.end(), c.begin(), c.end());
        }
    }
    return probe;
}

}  // namespace

void plainCmykToBgr(const std::uint8_t* cmyk, std::uint8_t* bgr, int width, bool inverted)
{
    for (int x = 0; x < width; ++x, cmyk += 4, bgr += 3) {
        const unsigned c = inverted ? cmyk[0] : 255u - cmyk[0];
        const unsigned m = inverted ? cmyk[1] : 255u - cmyk[1];
        const unsigned y = inverted ? cmyk[2] : 255u - cmyk[2];
        const unsigned k = inverted ? cmyk[3] : 255u - cmyk[3];
        // v / 255 never has a fraction of exactly one half.
        bgr[0] = std::uint8_t((y * k + 127) / 255);
        bgr[1] = std::uint8_t((m * k + 127) / 255);
        bgr[2] = std::uint8_t((c * k + 127) / 255);
    }
}

ColourConversion::ColourConversion(void* context, void* transform, SampleLayout layout)
    : m_context(context)
    , m_transform(transform)
    , m_layout(layout)
{
}

ColourConversion::~ColourConversion()
{
    if (m_transform)
        cmsDeleteTransform(static_cast<cmsHTRANSFORM>(m_transform));
    cmsDeleteContext(static_cast<cmsContext>(m_context));
}

std::unique_ptr<ColourConversion> ColourConversion::toSrgb(
    std::span<const std::uint8_t> profile, SampleLayout layout, std::string& warning)
{
    if (profile.empty())
        return nullptr;
    // A context of its own, so that its error handler is not the process's.
    std::unique_ptr<std::remove_pointer_t<cmsContext>, ContextDeleter> context(cmsCreateContext(nullptr, nullptr));
    if (!context)
        return nullptr;
    cmsSetLogErrorHandlerTHR(context.get(), ignoreLcmsError);
    ProfilePtr input(cmsOpenProfileFromMemTHR(context.get(), profile.data(), cmsUInt32Number(profile.size())));
    if (!input) {
        warning = "its colour profile is damaged and was ignored";
        return nullptr;
    }
    const cmsColorSpaceSignature space = cmsGetColorSpace(input.get());
    const cmsUInt32Number format = inputFormat(layout, space);
    if (format == 0) {
        const bool cmyk = layout == SampleLayout::Cmyk || layout == SampleLayout::InvertedCmyk;
        warning = std::string("its colour profile is for ") + spaceName(space) + " pictures, not " +
            (cmyk ? "CMYK" : "RGB or grey") + " ones, and was ignored";
        return nullptr;
    }
    const bool grey = space == cmsSigGrayData;
    ProfilePtr srgb(cmsCreate_sRGBProfileTHR(context.get()));
    // Always to 3-byte BGR: a Bgra row's opacity joins its colours afterwards (see convert).
    cmsHTRANSFORM transform = srgb ? cmsCreateTransformTHR(context.get(), input.get(), format, srgb.get(),
                                         TYPE_BGR_8, INTENT_PERCEPTUAL, grey ? cmsFLAGS_NOOPTIMIZE : 0)
                                   : nullptr;
    if (!transform) {
        warning = "its colour profile could not be used and was ignored";
        return nullptr;
    }
    // The conversion owns the transform and the context it lives in; the profiles may go.
    std::unique_ptr<ColourConversion> conversion(new ColourConversion(context.release(), transform, layout));
    if (grey) {
        std::uint8_t levels[256];
        for (int v = 0; v < 256; ++v)
            levels[v] = std::uint8_t(v);
        conversion->m_grey.resize(256 * 3);
        cmsDoTransform(transform, levels, conversion->m_grey.data(), 256);
        cmsDeleteTransform(transform);
        conversion->m_transform = nullptr;
    }

    const Probe probe = probeGrid(layout, grey);
    std::vector<std::uint8_t> converted(probe.plain.size());
    conversion->convertColours(probe.samples.data(), converted.data(), int(converted.size() / 3));
    const bool moves = !std::equal(converted.begin(), converted.end(), probe.plain.begin(),
        [](std::uint8_t a, std::uint8_t b) { return std::abs(int(a) - int(b)) <= 1; });
    return moves ? std::move(conversion) : nullptr;
}

void ColourConversion::convertColours(const std::uint8_t* in, std::uint8_t* bgr, int width) const
{
    if (m_grey.empty()) {
        // Little CMS reads each pixel whole before it writes one, so equal sizes may share a buffer.
        cmsDoTransform(static_cast<cmsHTRANSFORM>(m_transform), in, bgr, cmsUInt32Number(width));
        return;
    }
    const std::size_t step = m_layout == SampleLayout::Bgra ? 4 : 3;
    for (int x = 0; x < width; ++x, in += step, bgr += 3)
        std::memcpy(bgr, &m_grey[3 * std::size_t(*in)], 3);
}

void ColourConversion::convert(const std::uint8_t* in, std::uint8_t* out, int width) const
{
    if (width <= 0)
        return;
    if (m_layout != SampleLayout::Bgra) {
        convertColours(in, out, width);
        return;
    }
    m_row.resize(std::size_t(width) * 3);
    convertColours(in, m_row.data(), width);
    const std::uint8_t* colour = m_row.data();
    for (int x = 0; x < width; ++x, in += 4, out += 4, colour += 3) {
        out[3] = in[3];
        out[0] = colour[0];
        out[1] = colour[1];
        out[2] = colour[2];
    }
}

}  // namespace tav
