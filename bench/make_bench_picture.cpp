// Writes a deterministic photo-like picture for the benchmarks: smooth value noise in several
// octaves (skies, skin, out-of-focus areas), a scatter of hard-edged discs and bars (the edges
// and textures that cost a JPEG coder most), and a little grain, as a camera leaves it. The
// same arguments give the same bytes on every machine: integer hashing and double arithmetic
// without library calls whose rounding could differ.
//
//   make_bench_picture WIDTH HEIGHT OUT.ppm|OUT.bmp
//
// PPM is binary P6 (top-down RGB); BMP is a bottom-up 24-bit BI_RGB file with 4-byte rows.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

std::uint32_t hash3(std::uint32_t x, std::uint32_t y, std::uint32_t seed)
{
    std::uint32_t h = x * 0x9E3779B1u ^ y * 0x85EBCA77u ^ seed * 0xC2B2AE3Du;
    h ^= h >> 16;
    h *= 0x7FEB352Du;
    h ^= h >> 15;
    h *= 0x846CA68Bu;
    h ^= h >> 16;
    return h;
}

// Value noise in [0, 1): a lattice of hashed values, blended with a smoothstep.
double valueNoise(double x, double y, std::uint32_t seed)
{
    const auto xi = std::uint32_t(std::int64_t(x));
    const auto yi = std::uint32_t(std::int64_t(y));
    const double fx = x - double(std::int64_t(x));
    const double fy = y - double(std::int64_t(y));
    const double sx = fx * fx * (3 - 2 * fx);
    const double sy = fy * fy * (3 - 2 * fy);
    const auto v = [&](std::uint32_t a, std::uint32_t b) { return double(hash3(a, b, seed) >> 8) / 16777216.0; };
    const double top = v(xi, yi) + (v(xi + 1, yi) - v(xi, yi)) * sx;
    const double bottom = v(xi, yi + 1) + (v(xi + 1, yi + 1) - v(xi, yi + 1)) * sx;
    return top + (bottom - top) * sy;
}

double fractal(double x, double y, std::uint32_t seed)
{
    double sum = 0, amplitude = 0.5, frequency = 1;
    for (int octave = 0; octave < 5; ++octave) {
        sum += amplitude * valueNoise(x * frequency, y * frequency, seed + std::uint32_t(octave));
        amplitude *= 0.5;
        frequency *= 2.03;
    }
    return sum / 0.97;
}

struct Disc {
    double cx, cy, r2;
    std::uint8_t rgb[3];
};

std::uint8_t clamp255(double v) { return std::uint8_t(v < 0 ? 0 : v > 255 ? 255 : int(v)); }

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: make_bench_picture WIDTH HEIGHT OUT.ppm|OUT.bmp\n");
        return 2;
    }
    const int width = std::atoi(argv[1]);
    const int height = std::atoi(argv[2]);
    const std::string out = argv[3];
    const bool bmp = out.size() > 4 && out.compare(out.size() - 4, 4, ".bmp") == 0;
    if (width <= 0 || height <= 0 || width > 20000 || height > 20000) {
        std::fprintf(stderr, "make_bench_picture: bad size\n");
        return 2;
    }

    // Features scale with the picture, so every size looks like the same scene.
    const double scale = 6.0 / double(width < height ? width : height);
    std::vector<Disc> discs;
    for (std::uint32_t i = 0; i < 60; ++i) {
        const std::uint32_t h = hash3(i, 7, 99);
        Disc d;
        d.cx = double(h % 10000) / 10000.0 * width;
        d.cy = double((h >> 12) % 10000) / 10000.0 * height;
        const double r = (0.01 + double(hash3(i, 8, 99) % 1000) / 1000.0 * 0.06) * (width < height ? width : height);
        d.r2 = r * r;
        for (int c = 0; c < 3; ++c)
            d.rgb[c] = std::uint8_t(hash3(i, 9 + std::uint32_t(c), 99));
        discs.push_back(d);
    }

    std::vector<std::uint8_t> rgb(std::size_t(width) * std::size_t(height) * 3);
    for (int y = 0; y < height; ++y) {
        std::uint8_t* p = &rgb[std::size_t(y) * std::size_t(width) * 3];
        for (int x = 0; x < width; ++x, p += 3) {
            const double fx = x * scale, fy = y * scale;
            const double light = fractal(fx, fy, 1);
            const double hue = fractal(fx * 0.5 + 11, fy * 0.5 + 7, 2);
            double r = 40 + 190 * light * (0.6 + 0.8 * hue);
            double g = 50 + 170 * light;
            double b = 60 + 160 * light * (1.4 - 0.8 * hue) + 30.0 * y / height;
            for (const Disc& d : discs) {
                const double dx = x - d.cx, dy = y - d.cy;
                if (dx * dx + dy * dy < d.r2) {
                    r = 0.3 * r + 0.7 * d.rgb[0];
                    g = 0.3 * g + 0.7 * d.rgb[1];
                    b = 0.3 * b + 0.7 * d.rgb[2];
                }
            }
            // Thin bars: a fence or window frames.
            if ((x * 40 / width) % 7 == 3 && y > height / 3)
                r = g = b = 230;
            // Texture at the scale of a few pixels (foliage, fabric) and grain.
            const double texture = 24 * (valueNoise(x / 3.1, y / 2.7, 3) - 0.5) * light;
            const double grain = double(hash3(std::uint32_t(x), std::uint32_t(y), 5) >> 28) - 7.5 + texture;
            p[0] = clamp255(r + grain);
            p[1] = clamp255(g + grain);
            p[2] = clamp255(b + grain);
        }
    }

    std::FILE* f = std::fopen(out.c_str(), "wb");
    if (!f) {
        std::perror(out.c_str());
        return 1;
    }
    bool ok = true;
    if (bmp) {
        const std::size_t stride = (std::size_t(width) * 3 + 3) / 4 * 4;
        const std::size_t image = stride * std::size_t(height);
        std::uint8_t header[54] = {};
        const auto le32 = [&](int at, std::uint32_t v) {
            for (int i = 0; i < 4; ++i)
                header[at + i] = std::uint8_t(v >> (8 * i));
        };
        header[0] = 'B';
        header[1] = 'M';
        le32(2, std::uint32_t(54 + image));
        le32(10, 54);
        le32(14, 40);
        le32(18, std::uint32_t(width));
        le32(22, std::uint32_t(height));
        header[26] = 1;
        header[28] = 24;
        le32(34, std::uint32_t(image));
        ok = std::fwrite(header, 1, sizeof header, f) == sizeof header;
        std::vector<std::uint8_t> row(stride, 0);
        for (int y = height - 1; y >= 0 && ok; --y) {
            const std::uint8_t* p = &rgb[std::size_t(y) * std::size_t(width) * 3];
            for (int x = 0; x < width; ++x) {
                row[3 * std::size_t(x)] = p[3 * x + 2];
                row[3 * std::size_t(x) + 1] = p[3 * x + 1];
                row[3 * std::size_t(x) + 2] = p[3 * x];
            }
            ok = std::fwrite(row.data(), 1, stride, f) == stride;
        }
    } else {
        std::fprintf(f, "P6\n%d %d\n255\n", width, height);
        ok = std::fwrite(rgb.data(), 1, rgb.size(), f) == rgb.size();
    }
    ok = std::fclose(f) == 0 && ok;
    if (!ok) {
        std::fprintf(stderr, "make_bench_picture: cannot write %s\n", out.c_str());
        return 1;
    }
    return 0;
}
