// Round trips: streams of many sizes in every sampling case of the scan plan are decoded by
// libjpeg-turbo (warnings count as failures) and compared with the source.
//
// The bounds. At quality 100 every quantizer is 1, so the encoder's own loss is the rounding
// of each coefficient (at most 0.5, an RMS error near 0.3 levels in the samples) and of the
// float colour conversion; the decoder adds its integer inverse DCT and colour conversion.
// Components at full resolution therefore come back above 45 dB (measured: 51 to 64 dB).
// Subsampled chroma loses the colour detail of the picture as well, and the decoder's
// upsampling assumes each chroma sample covers Hmax / Hi pixels while the encoder stretches
// the chroma over the whole width (at odd sizes the two differ by up to a pixel at the right
// and bottom edges). On the smooth test picture halving keeps the result above 36 dB
// (measured 39.6 dB and up), a third or a quarter above 28 dB (measured 30.7 dB and up).
// A swapped or misplaced component, a flipped block or a broken MCU order costs far more, and
// a broken stream does not decode at all.
#include "jpeg/cjpeg.h"

#include "test_source.h"

#include <gtest/gtest.h>
#include <turbojpeg.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

namespace tav {
namespace {

using test::Rgb;

// A smooth colour field: a gradient and two slow ripples, different in every channel and
// asymmetric in x and y, so that a flipped, shifted or swapped block or channel shows.
Rgb smoothPixel(int x, int y)
{
    const double r = 128 + 90 * std::sin(x / 13.0) * std::cos(y / 17.0);
    const double g = 30 + 1.5 * x + 0.8 * y;
    const double b = 200 - 60 * std::cos((x + 2 * y) / 15.0);
    const auto clamp = [](double v) { return std::uint8_t(std::lround(std::min(255.0, std::max(0.0, v)))); };
    return {clamp(r), clamp(g), clamp(b)};
}

struct Sampling {
    const char* name;
    std::array<int, 6> factors;
    double minimumPsnr;
};

struct Decoded {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> pixels;  // RGB, or grey for one component
};

Decoded decode(const std::vector<std::uint8_t>& stream, bool grey, std::string& error)
{
    std::unique_ptr<void, int (*)(tjhandle)> handle(tjInitDecompress(), tjDestroy);
    Decoded out;
    int subsampling = 0;
    int colourspace = 0;
    auto* data = const_cast<unsigned char*>(stream.data());
    if (tjDecompressHeader3(handle.get(), data, (unsigned long)stream.size(), &out.width, &out.height, &subsampling,
            &colourspace) != 0) {
        // Unusual sampling factors have no TurboJPEG name; the header is still read.
        if (out.width == 0) {
            error = tjGetErrorStr2(handle.get());
            return out;
        }
    }
    const int format = grey ? TJPF_GRAY : TJPF_RGB;
    out.pixels.resize(std::size_t(out.width) * std::size_t(out.height) * std::size_t(tjPixelSize[format]));
    if (tjDecompress2(handle.get(), data, (unsigned long)stream.size(), out.pixels.data(), out.width, 0, out.height,
            format, TJFLAG_STOPONWARNING | TJFLAG_ACCURATEDCT) != 0)
        error = tjGetErrorStr2(handle.get());
    return out;
}

double psnr(double squaredError, std::size_t samples)
{
    const double mse = squaredError / double(samples);
    return mse == 0 ? 99.0 : 10 * std::log10(255.0 * 255.0 / mse);
}

class RoundTrip : public ::testing::TestWithParam<Sampling> { };

TEST_P(RoundTrip, DecodesCloseToTheSource)
{
    const Sampling& sampling = GetParam();
    const bool grey = sampling.factors[2] == 0;
    const std::pair<int, int> sizes[] = {{1, 1}, {7, 13}, {100, 50}, {16, 16}, {33, 9}, {64, 24}, {9, 31}, {48, 40},
        {17, 17}, {8, 1}};
    for (auto [width, height] : sizes) {
        SCOPED_TRACE(std::to_string(width) + " x " + std::to_string(height));
        test::SourcePicture source(width, height, smoothPixel);
        cJpeg jpeg;
        jpeg.Quality(100);
        const auto& f = sampling.factors;
        jpeg.SetSamplingFrequencies(f[0], f[1], f[2], f[3], f[4], f[5]);
        ASSERT_EQ(jpeg.SampleHDC(source.hdc(), width, height, 0, 0), cJpeg::SampleStatus::Sampled);
        const std::vector<std::uint8_t> stream = jpeg.assembleStream();

        std::string error;
        const Decoded decoded = decode(stream, grey, error);
        ASSERT_EQ(error, "");
        ASSERT_EQ(decoded.width, width);
        ASSERT_EQ(decoded.height, height);

        double squaredError = 0;
        std::size_t samples = 0;
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                const Rgb p = source.at(x, y);
                if (grey) {
                    const double luma = 0.299 * p.r + 0.587 * p.g + 0.114 * p.b;
                    const double d = decoded.pixels[std::size_t(y * width + x)] - luma;
                    squaredError += d * d;
                    ++samples;
                    continue;
                }
                const std::uint8_t* q = &decoded.pixels[3 * std::size_t(y * width + x)];
                for (const auto& [a, b] : {std::pair{p.r, q[0]}, std::pair{p.g, q[1]}, std::pair{p.b, q[2]}}) {
                    squaredError += double(a - b) * double(a - b);
                    ++samples;
                }
            }
        }
        const double measured = psnr(squaredError, samples);
        EXPECT_GE(measured, sampling.minimumPsnr);
        RecordProperty(std::to_string(width) + "x" + std::to_string(height) + "_psnr", std::to_string(measured));
    }
}

INSTANTIATE_TEST_SUITE_P(ScanPlans, RoundTrip,
    ::testing::Values(Sampling{"default", {2, 2, 1, 1, 1, 1}, 36.0}, Sampling{"grey", {1, 1, 0, 0, 0, 0}, 45.0},
        Sampling{"full", {1, 1, 1, 1, 1, 1}, 45.0}, Sampling{"y4x4", {4, 4, 1, 1, 1, 1}, 28.0},
        Sampling{"all2x2", {2, 2, 2, 2, 2, 2}, 45.0}, Sampling{"y3x3", {3, 3, 1, 1, 1, 1}, 28.0},
        Sampling{"y2x1", {2, 1, 1, 1, 1, 1}, 36.0}, Sampling{"y1x2", {1, 2, 1, 1, 1, 1}, 36.0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(RoundTrip, LowerQualitiesStillDecode)
{
    test::SourcePicture source(45, 27, smoothPixel);
    for (int quality : {1, 10, 50, 75, 90}) {
        cJpeg jpeg;
        jpeg.Quality(quality);
        ASSERT_EQ(jpeg.SampleHDC(source.hdc(), 45, 27, 0, 0), cJpeg::SampleStatus::Sampled);
        std::string error;
        const Decoded decoded = decode(jpeg.assembleStream(), false, error);
        EXPECT_EQ(error, "") << quality;
        EXPECT_EQ(decoded.width, 45);
    }
}

}  // namespace
}  // namespace tav
