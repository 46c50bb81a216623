// Timing of the JPEG encoder at quality 100 (the quality the program uses) on the sizes it
// meets: a 1280 x 768 loading screen and a large 4096 x 4096 picture. The whole job
// (SampleHDC and the assembly of the stream) is timed, and each phase on its own.
//
//   ./build/release/bench/encoder_bench [--benchmark_filter=...]
#include "jpeg/cjpeg.h"
#include "platform/device_context.h"
#include "platform/dib.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>

namespace tav {
namespace {

// A picture with the mix of smooth areas, edges and noise of a photograph, so that the
// Huffman tables and the entropy-coded data have realistic sizes.
class BenchPicture {
public:
    BenchPicture(int width, int height)
        : m_width(width)
        , m_height(height)
        , m_dc(CreateCompatibleDC(nullptr))
    {
        const BITMAPINFO info = makeBitmapInfo(width, height, 24);
        void* bits = nullptr;
        m_bitmap = CreateDIBSection(m_dc.get(), &info, DIB_RGB_COLORS, &bits);
        std::uint32_t noise = 12345;
        for (int y = 0; y < height; ++y) {
            std::uint8_t* row = m_bitmap->row(y);
            for (int x = 0; x < width; ++x) {
                noise = noise * 1664525u + 1013904223u;
                const int grain = int(noise >> 28) - 8;
                const double wave = 60 * std::sin(x / 37.0) * std::cos(y / 23.0);
                const bool stripe = ((x / 64) + (y / 48)) % 2 == 0;
                row[3 * x] = std::uint8_t(std::clamp(120 + int(wave) + grain + (stripe ? 40 : -40), 0, 255));
                row[3 * x + 1] = std::uint8_t(std::clamp(int((x * 255L) / width) + grain, 0, 255));
                row[3 * x + 2] = std::uint8_t(std::clamp(int((y * 255L) / height) - int(wave) + grain, 0, 255));
            }
        }
        m_previous = SelectObject(m_dc.get(), m_bitmap.get());
    }
    ~BenchPicture() { SelectObject(m_dc.get(), m_previous); }

    HDC hdc() const { return m_dc.get(); }
    int width() const { return m_width; }
    int height() const { return m_height; }

private:
    int m_width;
    int m_height;
    std::unique_ptr<DeviceContext> m_dc;
    std::unique_ptr<DIBSection> m_bitmap;
    HBITMAP m_previous = nullptr;
};

// The picture of a benchmark's size, built once; the 4096 x 4096 picture alone takes 48 MB.
const BenchPicture& picture(const benchmark::State& state)
{
    if (state.range(0) == 256 && state.range(1) == 195) {
        static const BenchPicture logo(256, 195);
        return logo;
    }
    if (state.range(0) == 1280 && state.range(1) == 768) {
        static const BenchPicture loadingScreen(1280, 768);
        return loadingScreen;
    }
    static const BenchPicture large(4096, 4096);
    return large;
}

void setCounters(benchmark::State& state, const BenchPicture& source, std::size_t streamSize)
{
    state.SetBytesProcessed(std::int64_t(state.iterations()) * source.width() * source.height() * 3);
    state.counters["jpeg_bytes"] = double(streamSize);
}

void encodeWhole(benchmark::State& state)
{
    const BenchPicture& source = picture(state);
    std::size_t size = 0;
    for (auto _ : state) {
        cJpeg jpeg;
        jpeg.Quality(100);
        if (jpeg.SampleHDC(source.hdc(), source.width(), source.height(), 0, 0) != cJpeg::SampleStatus::Sampled)
            state.SkipWithError("SampleHDC failed");
        const std::vector<std::uint8_t> stream = jpeg.assembleStream();
        size = stream.size();
        benchmark::DoNotOptimize(stream.data());
    }
    setCounters(state, source, size);
}

void sampleOnly(benchmark::State& state)
{
    const BenchPicture& source = picture(state);
    cJpeg jpeg;
    jpeg.Quality(100);
    for (auto _ : state) {
        if (jpeg.SampleHDC(source.hdc(), source.width(), source.height(), 0, 0) != cJpeg::SampleStatus::Sampled)
            state.SkipWithError("SampleHDC failed");
        benchmark::ClobberMemory();
    }
    setCounters(state, source, 0);
}

void assembleOnly(benchmark::State& state)
{
    const BenchPicture& source = picture(state);
    cJpeg jpeg;
    jpeg.Quality(100);
    if (jpeg.SampleHDC(source.hdc(), source.width(), source.height(), 0, 0) != cJpeg::SampleStatus::Sampled)
        state.SkipWithError("SampleHDC failed");
    std::size_t size = 0;
    for (auto _ : state) {
        const std::vector<std::uint8_t> stream = jpeg.assembleStream();
        size = stream.size();
        benchmark::DoNotOptimize(stream.data());
    }
    setCounters(state, source, size);
}

BENCHMARK(encodeWhole)->Args({256, 195})->Args({1280, 768})->Args({4096, 4096})->Unit(benchmark::kMillisecond);
BENCHMARK(sampleOnly)->Args({256, 195})->Args({1280, 768})->Args({4096, 4096})->Unit(benchmark::kMillisecond);
BENCHMARK(assembleOnly)->Args({256, 195})->Args({1280, 768})->Args({4096, 4096})->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tav

BENCHMARK_MAIN();
