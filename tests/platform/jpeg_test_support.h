// JPEG files for the tests, written here with libjpeg, and TurboJPEG's one-call decoding of them:
// the independent reference the decoders are held to.
#pragma once

#include "picture_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include <jpeglib.h>
#include <turbojpeg.h>

namespace tav::test {

struct JpegSpec {
    const char* name;
    int components = 3;  // 1 grey, 3 colour, 4 CMYK
    J_COLOR_SPACE stored = JCS_YCbCr;
    int hSampling = 2;  // of the first component
    int vSampling = 2;
    bool progressive = false;
    bool arithmetic = false;
    bool adobeMarker = true;  // written for CMYK and YCCK files
    int restartRows = 0;
    int width = 37;
    int height = 23;
    int quality = 90;
    bool optimize = false;  // Huffman tables made for the picture, not the standard ones
};

// Smooth gradients with a sharp checker, so that every sampling factor and edge matters.
inline Bytes testSamples(int width, int height, int components)
{
    Bytes s;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const int checker = ((x / 5 + y / 3) % 2) * 90;
            const int v[4] = {x * 255 / std::max(width - 1, 1), y * 255 / std::max(height - 1, 1),
                40 + checker + (x * y) % 37, (x + y) * 4 % 256};
            for (int c = 0; c < components; ++c)
                s.push_back(std::uint8_t(v[c]));
        }
    }
    return s;
}

inline Bytes encodeJpeg(const JpegSpec& spec, const Bytes& samples)
{
    jpeg_compress_struct cinfo;
    jpeg_error_mgr err;
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_compress(&cinfo);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = JDIMENSION(spec.width);
    cinfo.image_height = JDIMENSION(spec.height);
    cinfo.input_components = spec.components;
    cinfo.in_color_space = spec.components == 1 ? JCS_GRAYSCALE
        : spec.components == 3                  ? JCS_RGB
        : spec.components == 4                  ? JCS_CMYK
                                                : JCS_UNKNOWN;
    jpeg_set_defaults(&cinfo);
    jpeg_set_colorspace(&cinfo, spec.stored);
    jpeg_set_quality(&cinfo, spec.quality, TRUE);
    cinfo.optimize_coding = spec.optimize ? TRUE : FALSE;
    cinfo.comp_info[0].h_samp_factor = spec.hSampling;
    cinfo.comp_info[0].v_samp_factor = spec.vSampling;
    if (spec.components == 4 && !spec.adobeMarker)
        cinfo.write_Adobe_marker = FALSE;
    cinfo.arith_code = spec.arithmetic ? TRUE : FALSE;
    cinfo.restart_in_rows = spec.restartRows;
    if (spec.progressive)
        jpeg_simple_progression(&cinfo);
    jpeg_start_compress(&cinfo, TRUE);
    const std::size_t rowBytes = std::size_t(spec.width * spec.components);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = const_cast<JSAMPLE*>(samples.data() + cinfo.next_scanline * rowBytes);
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    Bytes out(buffer, buffer + size);
    std::free(buffer);
    return out;
}

inline Bytes encodeJpeg(const JpegSpec& spec)
{
    return encodeJpeg(spec, testSamples(spec.width, spec.height, spec.components));
}

// TurboJPEG's decoding of the file in the given pixel format, rows packed.
inline Bytes turboDecode(const Bytes& jpeg, int pixelFormat, int bytesPerPixel, int& width, int& height)
{
    tjhandle handle = tjInitDecompress();
    int subsampling = 0;
    int colorspace = 0;
    Bytes out;
    if (tjDecompressHeader3(handle, jpeg.data(), jpeg.size(), &width, &height, &subsampling, &colorspace) == 0) {
        out.resize(std::size_t(width * height * bytesPerPixel));
        if (tjDecompress2(handle, jpeg.data(), jpeg.size(), out.data(), width, width * bytesPerPixel, height,
                pixelFormat, 0) != 0) {
            ADD_FAILURE() << "TurboJPEG: " << tjGetErrorStr2(handle);
            out.clear();
        }
    } else {
        ADD_FAILURE() << "TurboJPEG: " << tjGetErrorStr2(handle);
    }
    tjDestroy(handle);
    return out;
}

}  // namespace tav::test
