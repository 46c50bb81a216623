// Timing of the hot paths of the logo job, one stage at a time: the block transform and
// quantization (vectorised lanes against their scalar twins), the Huffman counting and writing
// passes, the HALFTONE stretch, and picture decoding (a 24-megapixel JPEG in full and at
// reduced scale, the rows of a 24-bit BMP; the 1080p JPEG at the startup logo's scale by one
// thread and cut in two, and the parse that finds the cut). The decoding benchmarks read the pictures that
// bench/compare.py makes, from $TAVRENIX_BENCH_DATA (default build/bench-data); they are
// skipped when the pictures are not there.
//
//   ./build/release/bench/hot_paths_bench [--benchmark_filter=...]
#include "jpeg/cjpeg.h"
#include "jpeg/cjpeg_internals.h"
#include "jpeg/file_writer.h"
#include "jpeg/forward_dct.h"
#include "jpeg/quantize.h"
#include "jpeg/scan_writer.h"
#include "platform/device_context.h"
#include "platform/dib.h"
#include "platform/memory_surface.h"
#include "platform/picture_decoders.h"
#include "platform/jpeg_row_decoder.h"
#include "platform/picture_reader.h"
#include "platform/transfer.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <vector>

namespace tav {
namespace {

// A photo-like 24-bit picture selected into a memory context.
struct Picture24 {
    std::unique_ptr<DeviceContext> dc = CreateCompatibleDC(nullptr);
    std::unique_ptr<DIBSection> bitmap;
    HBITMAP previous = nullptr;

    Picture24(int width, int height)
    {
        const BITMAPINFO info = makeBitmapInfo(width, height, 24);
        bitmap = CreateDIBSection(dc.get(), &info, DIB_RGB_COLORS, nullptr);
        std::uint32_t noise = 12345;
        for (int y = 0; y < height; ++y) {
            std::uint8_t* row = bitmap->row(y);
            for (int x = 0; x < width; ++x, row += 3) {
                noise = noise * 1664525u + 1013904223u;
                const int grain = int(noise >> 28) - 8;
                const double wave = 60 * std::sin(x / 37.0) * std::cos(y / 23.0);
                row[0] = std::uint8_t(std::clamp(120 + int(wave) + grain, 0, 255));
                row[1] = std::uint8_t(std::clamp(int(x * 255L / width) + grain, 0, 255));
                row[2] = std::uint8_t(std::clamp(int(y * 255L / height) - int(wave) + grain, 0, 255));
            }
        }
        previous = SelectObject(dc.get(), bitmap.get());
    }
    ~Picture24() { SelectObject(dc.get(), previous); }
};

// The pictures, made once each on first use: 1280 x 768, 4096 x 4096 or 6000 x 4000.
const Picture24& picture(int width, int height)
{
    if (width == 1280 && height == 768) {
        static Picture24 small(1280, 768);
        return small;
    }
    if (width == 4096 && height == 4096) {
        static Picture24 large(4096, 4096);
        return large;
    }
    static Picture24 photo(6000, 4000);
    return photo;
}

// Transformed-and-quantized blocks of the 1280 x 768 picture's luminance samples.
std::vector<SampleBlock> sampleBlocks()
{
    const Picture24& source = picture(1280, 768);
    std::vector<SampleBlock> blocks;
    for (int by = 0; by < 96; ++by)
        for (int bx = 0; bx < 160; ++bx) {
            SampleBlock block;
            for (int j = 0; j < 8; ++j)
                for (int i = 0; i < 8; ++i) {
                    const std::uint8_t* p = source.bitmap->row(8 * by + j) + 3 * (8 * bx + i);
                    block[std::size_t(i + 8 * j)] = float(0.299 * p[2] + 0.587 * p[1] + 0.114 * p[0] - 128);
                }
            blocks.push_back(block);
        }
    return blocks;
}

template <bool Lanes> void transformAndQuantize(benchmark::State& state)
{
    const std::vector<SampleBlock> blocks = sampleBlocks();
    cJpeg jpeg;
    jpeg.Quality(100);
    const QuantTable& table = jpeg.quantTable(0);
    const std::array<double, 64> scale = rasterScale(table.FScale, jpeg.zigZag());
    std::vector<std::int16_t> out(blocks.size() * 64);
    for (auto _ : state) {
        for (std::size_t b = 0; b < blocks.size(); ++b) {
            SampleBlock block = blocks[b];
            if constexpr (Lanes) {
                ForwardDCTLanes(block);
                quantizeBlockLanes(block, scale, jpeg.zigZag(), &out[b * 64]);
            } else {
                ForwardDCT(block);
                QuantizeBlock(block, table.FScale, jpeg.zigZag(), &out[b * 64]);
            }
        }
        benchmark::DoNotOptimize(out.data());
    }
    state.SetItemsProcessed(std::int64_t(state.iterations()) * std::int64_t(blocks.size()));
}
BENCHMARK(transformAndQuantize<true>)->Name("transformAndQuantize/lanes")->Unit(benchmark::kMillisecond);
BENCHMARK(transformAndQuantize<false>)->Name("transformAndQuantize/scalar")->Unit(benchmark::kMillisecond);

void colourAndSampling(benchmark::State& state)
{
    const Picture24& source = picture(int(state.range(0)), int(state.range(1)));
    cJpeg jpeg;
    jpeg.Quality(100);
    for (auto _ : state) {
        jpeg.SampleHDC(source.dc.get(), source.bitmap->width(), source.bitmap->height(), 0, 0);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(colourAndSampling)->Args({1280, 768})->Args({4096, 4096})->Unit(benchmark::kMillisecond);

// The counting pass (with the table building) and the writing pass on sampled coefficients.
template <bool Write> void huffman(benchmark::State& state)
{
    const Picture24& source = picture(int(state.range(0)), int(state.range(1)));
    cJpeg jpeg;
    jpeg.Quality(100);
    jpeg.SampleHDC(source.dc.get(), source.bitmap->width(), source.bitmap->height(), 0, 0);
    std::vector<ScanComponent> list;
    for (std::size_t c = 0; c < jpeg.components().size(); ++c)
        list.push_back({&jpeg.components()[c], c == 0 ? 0 : 1, c == 0 ? 0 : 1});
    const ScanGeometry geometry{cJpegInternals::imageWidth(jpeg), cJpegInternals::imageHeight(jpeg), jpeg.hmax(), jpeg.vmax()};
    HuffmanTableSet dc{}, ac{};
    const std::int64_t estimate = OptimizeTables(list, 0, int(list.size()) - 1, geometry, 8, dc, ac);
    std::size_t written = 0;
    for (auto _ : state) {
        if constexpr (Write) {
            OutputBuffer out(guaranteedBufferSize(estimate, 0, 0, 1));
            WriteScans(list, 0, int(list.size()) - 1, geometry, dc, ac, out);
            written = out.position();
        } else {
            benchmark::DoNotOptimize(OptimizeTables(list, 0, int(list.size()) - 1, geometry, 8, dc, ac));
        }
    }
    state.counters["bytes"] = double(Write ? written : std::size_t(estimate));
}
BENCHMARK(huffman<false>)->Name("huffmanCount")->Args({1280, 768})->Args({4096, 4096})->Unit(benchmark::kMillisecond);
BENCHMARK(huffman<true>)->Name("huffmanWrite")->Args({1280, 768})->Args({4096, 4096})->Unit(benchmark::kMillisecond);

// HALFTONE from a 24-bit bitmap: the loading screen from a 24-megapixel picture, and the
// encoder's chroma of a loading screen.
void halftoneStretch(benchmark::State& state)
{
    const Picture24& source = picture(int(state.range(0)), int(state.range(1)));
    const int width = int(state.range(2)), height = int(state.range(3));
    const auto target = MemorySurface::create(width, height, 24);
    const HDC dc = target->hdc();
    SetStretchBltMode(dc, HALFTONE);
    for (auto _ : state) {
        StretchBlt(dc, 0, 0, width, height, source.dc.get(), 0, 0, source.bitmap->width(),
            source.bitmap->height(), SRCCOPY);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(halftoneStretch)->Args({6000, 4000, 1280, 768})->Args({1280, 768, 640, 384})->Unit(benchmark::kMillisecond);

std::filesystem::path benchData(const char* name)
{
    const char* dir = std::getenv("TAVRENIX_BENCH_DATA");
    return std::filesystem::path(dir ? dir : "build/bench-data") / name;
}

// Every row of a picture file through the picture reader.
void decodeRows(benchmark::State& state, const char* name, JpegScaling scaling)
{
    const std::filesystem::path path = benchData(name);
    if (!std::filesystem::exists(path)) {
        state.SkipWithError("no benchmark picture; run bench/compare.py (./dev.sh bench) first");
        return;
    }
    int width = 0;
    for (auto _ : state) {
        const auto reader = PictureReader::open(path, 1280, 768, scaling);
        width = reader->width();
        for (int y = 0; y < reader->height(); ++y)
            benchmark::DoNotOptimize(reader->row(y));
    }
    state.counters["width"] = width;
}
BENCHMARK_CAPTURE(decodeRows, jpeg24mp_full, "photo-6000x4000.jpg", JpegScaling::Full)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(decodeRows, jpeg24mp_reduced, "photo-6000x4000.jpg", JpegScaling::Reduced)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(decodeRows, bmp24mp_rows, "photo-6000x4000.bmp", JpegScaling::Full)->Unit(benchmark::kMillisecond);

std::vector<std::uint8_t> fileBytes(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    const std::vector<char> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    return std::vector<std::uint8_t>(bytes.begin(), bytes.end());
}

// The startup logo's JPEG decoding: every row of the 1080p picture at the logo's scale.
void jpegRows(benchmark::State& state)
{
    const std::filesystem::path path = benchData("photo-1920x1080.jpg");
    if (!std::filesystem::exists(path)) {
        state.SkipWithError("no benchmark picture; run bench/compare.py (./dev.sh bench) first");
        return;
    }
    const std::vector<std::uint8_t> file = fileBytes(path);
    for (auto _ : state) {
        const auto decoder = JpegRowDecoder::open(file, 256, 195);
        std::vector<std::uint8_t> row(std::size_t(decoder->width()) * 3);
        std::uint8_t* rows[1] = {row.data()};
        for (int y = 0; y < decoder->height(); ++y)
            decoder->read(rows, 1);
        benchmark::DoNotOptimize(row.data());
    }
}
BENCHMARK(jpegRows)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace tav

BENCHMARK_MAIN();
