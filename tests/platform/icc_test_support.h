// ICC profiles made in memory with Little CMS for the readers' tests: an RGB profile that is
// not sRGB, and a small CMYK profile (an AToB0 table from inks to L*a*b*), so a test can tell
// whether a reader applied the profile its file carries.
#pragma once

#include <lcms2.h>

#include <cstdint>
#include <vector>

namespace tav::test {

inline std::vector<std::uint8_t> savedProfile(cmsHPROFILE profile)
{
    cmsUInt32Number size = 0;
    std::vector<std::uint8_t> bytes;
    if (profile && cmsSaveProfileToMem(profile, nullptr, &size)) {
        bytes.resize(size);
        if (!cmsSaveProfileToMem(profile, bytes.data(), &size))
            bytes.clear();
    }
    if (profile)
        cmsCloseProfile(profile);
    return bytes;
}

// sRGB's primaries and white with linear tone curves: mid-tones are far from sRGB's.
inline std::vector<std::uint8_t> linearRgbProfile()
{
    const cmsCIExyY white = {0.3127, 0.3290, 1.0};
    const cmsCIExyYTRIPLE primaries = {{0.64, 0.33, 1.0}, {0.30, 0.60, 1.0}, {0.15, 0.06, 1.0}};
    cmsToneCurve* linear = cmsBuildGamma(nullptr, 1.0);
    cmsToneCurve* curves[3] = {linear, linear, linear};
    cmsHPROFILE profile = cmsCreateRGBProfile(&white, &primaries, curves);
    cmsFreeToneCurve(linear);
    return savedProfile(profile);
}

// A CMYK output profile whose inks are darker and bluer than the naive conversion.
inline std::vector<std::uint8_t> cmykProfile()
{
    const auto sampler = [](const cmsUInt16Number in[], cmsUInt16Number out[], void*) -> cmsInt32Number {
        const double c = in[0] / 65535.0, m = in[1] / 65535.0, y = in[2] / 65535.0, k = in[3] / 65535.0;
        cmsCIELab lab;
        lab.L = 90.0 * (1 - k) * (1 - 0.35 * c - 0.45 * m - 0.15 * y);
        lab.a = 50.0 * m - 30.0 * c;
        lab.b = 45.0 * y - 35.0 * c - 10.0;
        cmsFloat2LabEncoded(out, &lab);
        return 1;
    };
    cmsHPROFILE profile = cmsCreateProfilePlaceholder(nullptr);
    cmsSetProfileVersion(profile, 4.3);
    cmsSetDeviceClass(profile, cmsSigOutputClass);
    cmsSetColorSpace(profile, cmsSigCmykData);
    cmsSetPCS(profile, cmsSigLabData);
    cmsPipeline* table = cmsPipelineAlloc(nullptr, 4, 3);
    cmsStage* grid = cmsStageAllocCLut16bit(nullptr, 3, 4, 3, nullptr);
    cmsStageSampleCLut16bit(grid, sampler, nullptr, 0);
    // The AToB0 tag holds input curves, the grid and output curves: identity curves here.
    cmsPipelineInsertStage(table, cmsAT_END, cmsStageAllocToneCurves(nullptr, 4, nullptr));
    cmsPipelineInsertStage(table, cmsAT_END, grid);
    cmsPipelineInsertStage(table, cmsAT_END, cmsStageAllocToneCurves(nullptr, 3, nullptr));
    cmsWriteTag(profile, cmsSigAToB0Tag, table);
    cmsWriteTag(profile, cmsSigMediaWhitePointTag, cmsD50_XYZ());
    cmsPipelineFree(table);
    return savedProfile(profile);
}

}  // namespace tav::test
