// Files for the tests of how a picture is shown: Exif blocks, ICC profiles and the markers and
// chunks that carry them, put into files the libraries write.
#pragma once

#include "picture_test_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <csetjmp>
#include <cstring>
#include <string>

#include <lcms2.h>
#include <png.h>
#include <zlib.h>

namespace tav::test {

// A TIFF-structured Exif block whose first directory holds an image width and, unless 0, the
// orientation; `exifHeader` puts "Exif\0\0" in front, as a JPEG APP1 marker has it.
inline Bytes exifBlock(int orientation, bool bigEndian = false, bool exifHeader = true)
{
    Bytes b;
    if (exifHeader)
        b = {'E', 'x', 'i', 'f', 0, 0};
    const auto u16 = [&](unsigned v) {
        if (bigEndian)
            b.insert(b.end(), {std::uint8_t(v >> 8), std::uint8_t(v)});
        else
            b.insert(b.end(), {std::uint8_t(v), std::uint8_t(v >> 8)});
    };
    const auto u32 = [&](std::uint32_t v) {
        if (bigEndian) {
            u16(v >> 16);
            u16(v & 0xFFFF);
        } else {
            u16(v & 0xFFFF);
            u16(v >> 16);
        }
    };
    b.insert(b.end(), bigEndian ? std::initializer_list<std::uint8_t>{'M', 'M'} : std::initializer_list<std::uint8_t>{'I', 'I'});
    u16(42);
    u32(8);
    u16(orientation ? 2 : 1);
    u16(0x0100);  // ImageWidth, LONG
    u16(4);
    u32(1);
    u32(640);
    if (orientation) {
        u16(0x0112);  // Orientation, SHORT
        u16(3);
        u32(1);
        u16(unsigned(orientation));
        u16(0);
    }
    u32(0);  // no next directory
    return b;
}

// The JPEG with one more marker segment right after its start-of-image marker.
inline Bytes withJpegSegment(const Bytes& jpeg, std::uint8_t marker, const Bytes& payload)
{
    Bytes out(jpeg.begin(), jpeg.begin() + 2);
    const std::size_t length = payload.size() + 2;
    out.insert(out.end(), {0xFF, marker, std::uint8_t(length >> 8), std::uint8_t(length)});
    out.insert(out.end(), payload.begin(), payload.end());
    out.insert(out.end(), jpeg.begin() + 2, jpeg.end());
    return out;
}

// The JPEG with an ICC profile in APP2 markers of at most `chunk` bytes of profile each.
inline Bytes withIccProfile(Bytes jpeg, const Bytes& profile, std::size_t chunk = 65519)
{
    const std::size_t count = (profile.size() + chunk - 1) / chunk;
    // Inserted last first, so that they end up in order.
    for (std::size_t i = count; i-- > 0;) {
        Bytes payload = {'I', 'C', 'C', '_', 'P', 'R', 'O', 'F', 'I', 'L', 'E', 0, std::uint8_t(i + 1),
            std::uint8_t(count)};
        const std::size_t begin = i * chunk;
        payload.insert(payload.end(), profile.begin() + std::ptrdiff_t(begin),
            profile.begin() + std::ptrdiff_t(std::min(profile.size(), begin + chunk)));
        jpeg = withJpegSegment(jpeg, 0xE2, payload);
    }
    return jpeg;
}

inline std::uint32_t pngCrc(const std::uint8_t* p, std::size_t n, std::uint32_t crc = 0xFFFFFFFF)
{
    for (std::size_t i = 0; i < n; ++i) {
        crc ^= p[i];
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
    }
    return crc;
}

// The PNG with one more chunk right after its header chunk (signature 8 bytes, IHDR 25).
inline Bytes withPngChunk(const Bytes& png, const char (&type)[5], const Bytes& data)
{
    Bytes chunk;
    const auto be32 = [&](std::uint32_t v) {
        chunk.insert(chunk.end(), {std::uint8_t(v >> 24), std::uint8_t(v >> 16), std::uint8_t(v >> 8), std::uint8_t(v)});
    };
    be32(std::uint32_t(data.size()));
    chunk.insert(chunk.end(), type, type + 4);
    chunk.insert(chunk.end(), data.begin(), data.end());
    be32(pngCrc(chunk.data() + 4, chunk.size() - 4) ^ 0xFFFFFFFF);
    Bytes out(png.begin(), png.begin() + 33);
    out.insert(out.end(), chunk.begin(), chunk.end());
    out.insert(out.end(), png.begin() + 33, png.end());
    return out;
}

// The data of an iCCP chunk: a name, compression method 0 and the zlib-compressed profile.
inline Bytes iccpChunkData(const Bytes& profile)
{
    Bytes out = {'t', 'e', 's', 't', 0, 0};
    uLongf size = compressBound(uLong(profile.size()));
    Bytes compressed(size);
    EXPECT_EQ(compress2(compressed.data(), &size, profile.data(), uLong(profile.size()), 9), Z_OK);
    out.insert(out.end(), compressed.begin(), compressed.begin() + std::ptrdiff_t(size));
    return out;
}

namespace detail {
inline void appendPng(png_structp png, png_bytep data, png_size_t length)
{
    auto* out = static_cast<Bytes*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
}
inline void flushNothing(png_structp) {}
// libpng longjmps on error: this function holds no object with a destructor.
inline bool writePng(int width, int height, int channels, png_bytepp rows, Bytes* out)
{
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_set_write_fn(png, out, appendPng, flushNothing);
    png_set_IHDR(png, info, png_uint_32(width), png_uint_32(height), 8,
        channels == 4 ? PNG_COLOR_TYPE_RGBA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
        PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    png_write_image(png, rows);
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}
}  // namespace detail

// An 8-bit RGB or RGBA PNG of the samples (rows packed, red first).
inline Bytes pngOf(int width, int height, int channels, Bytes samples)
{
    std::vector<png_bytep> rows;
    for (int y = 0; y < height; ++y)
        rows.push_back(samples.data() + std::size_t(y) * std::size_t(width * channels));
    Bytes out;
    EXPECT_TRUE(detail::writePng(width, height, channels, rows.data(), &out));
    return out;
}

// A profile saved as the bytes a file carries; the handle is closed.
inline Bytes profileBytes(cmsHPROFILE profile)
{
    cmsUInt32Number size = 0;
    EXPECT_TRUE(cmsSaveProfileToMem(profile, nullptr, &size));
    Bytes bytes(size);
    EXPECT_TRUE(cmsSaveProfileToMem(profile, bytes.data(), &size));
    cmsCloseProfile(profile);
    return bytes;
}

// sRGB's tone curve: gamma 2.4 with a linear foot.
inline cmsToneCurve* srgbCurve()
{
    const cmsFloat64Number parameters[5] = {2.4, 1 / 1.055, 0.055 / 1.055, 1 / 12.92, 0.04045};
    return cmsBuildParametricToneCurve(nullptr, 4, parameters);
}

// An RGB profile of sRGB's white point with the given primaries (x, y) and a pure gamma, or
// with sRGB's own tone curve for gamma 0.
inline Bytes rgbProfile(const cmsCIExyYTRIPLE& primaries, double gamma)
{
    cmsCIExyY white;
    cmsWhitePointFromTemp(&white, 6504);
    cmsToneCurve* curve = gamma == 0 ? srgbCurve() : cmsBuildGamma(nullptr, gamma);
    cmsToneCurve* curves[3] = {curve, curve, curve};
    Bytes bytes = profileBytes(cmsCreateRGBProfile(&white, &primaries, curves));
    cmsFreeToneCurve(curve);
    return bytes;
}

inline constexpr cmsCIExyYTRIPLE kSrgbPrimaries = {{0.64, 0.33, 1.0}, {0.30, 0.60, 1.0}, {0.15, 0.06, 1.0}};
// sRGB's primaries with red and blue exchanged: a picture under it shows red where it stores blue.
inline constexpr cmsCIExyYTRIPLE kSwappedPrimaries = {{0.15, 0.06, 1.0}, {0.30, 0.60, 1.0}, {0.64, 0.33, 1.0}};

// A CMYK output profile whose inks are darker and bluer than the naive conversion.
inline Bytes cmykProfile()
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
    return profileBytes(profile);
}

// sRGB's own transfer function, level to level.
inline double srgbEncoded(double linear)
{
    return linear <= 0.0031308 ? 12.92 * linear : 1.055 * std::pow(linear, 1 / 2.4) - 0.055;
}

}  // namespace tav::test
