// tavrenix-cli make, the whole job through the real program: pictures of every format, every
// season and the startup logo; names, container layout, decodability, the comment, closeness
// to an independent area-averaging resize, and what failures leave behind.
#include "app/ozj_container.h"
#include "app/production_table.h"
#include "app_test_support.h"
#include "cli_runner.h"
#include "tests/platform/picture_look_support.h"
#include "tests/support/fixed_texts.h"

#include <gtest/gtest.h>

#include <gif_lib.h>
#include <png.h>
#include <turbojpeg.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <set>

namespace tav {
namespace {

namespace fs = std::filesystem;
using test::CliRun;
using test::runCli;
using test::TempDir;

// Quality 100 keeps the luminance within a level or two; chroma is subsampled 2 × 2 and the
// halftone stretch rounds once. On the smooth test picture this measured 51 to 54 dB for the
// BMP, PNG and JPEG sources and 47 to 49 dB for the quantised GIF (whose colour steps suffer
// most from the chroma subsampling). 44 dB, an RMS error under 1.6 levels, keeps a margin
// below those and still fails any visible fault in a part.
constexpr double kMinPsnr = 44.0;

// Larger than every target on both axes, so every cut is a shrink.
constexpr int kWidth = 1400, kHeight = 800;

struct Rgb {
    std::vector<double> r, g, b;  // row-major
    int width = 0, height = 0;
};

Rgb smoothPicture()
{
    Rgb p;
    p.width = kWidth;
    p.height = kHeight;
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            const double dx = x - 900.0, dy = y - 300.0;
            const double sun = std::exp(-(dx * dx + dy * dy) / 40000.0);
            p.r.push_back(std::round(40 + 150.0 * x / kWidth + 60 * sun));
            p.g.push_back(std::round(60 + 120.0 * y / kHeight + 40 * sun));
            p.b.push_back(std::round(200 - 100.0 * y / kHeight));
        }
    return p;
}

// Every channel of the 6 × 6 × 6 colour cube, as a GIF palette holds it.
Rgb quantised(const Rgb& p)
{
    Rgb q = p;
    for (auto* channel : {&q.r, &q.g, &q.b})
        for (double& v : *channel)
            v = std::round(v / 51.0) * 51.0;
    return q;
}

std::vector<std::uint8_t> interleaved(const Rgb& p)
{
    std::vector<std::uint8_t> bytes;
    for (std::size_t i = 0; i < p.r.size(); ++i) {
        bytes.push_back(std::uint8_t(p.r[i]));
        bytes.push_back(std::uint8_t(p.g[i]));
        bytes.push_back(std::uint8_t(p.b[i]));
    }
    return bytes;
}

Rgb fromInterleaved(const unsigned char* bytes, int width, int height)
{
    Rgb p;
    p.width = width;
    p.height = height;
    for (int i = 0; i < width * height; ++i) {
        p.r.push_back(bytes[3 * i]);
        p.g.push_back(bytes[3 * i + 1]);
        p.b.push_back(bytes[3 * i + 2]);
    }
    return p;
}

// The picture files. Each returns the path and the pixels that a correct decoder sees.
std::pair<fs::path, Rgb> writeBmpPicture(const TempDir& dir, const Rgb& p)
{
    const auto bytes = interleaved(p);
    const fs::path path = test::writeBmp(dir, "picture.bmp", p.width, p.height, [&](int x, int y) {
        const std::size_t i = 3 * (std::size_t(y) * std::size_t(p.width) + std::size_t(x));
        return RGB(bytes[i], bytes[i + 1], bytes[i + 2]);
    });
    return {path, p};
}

std::pair<fs::path, Rgb> writePngPicture(const TempDir& dir, const Rgb& p)
{
    const fs::path path = dir / "picture.png";
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = png_uint_32(p.width);
    image.height = png_uint_32(p.height);
    image.format = PNG_FORMAT_RGB;
    const auto bytes = interleaved(p);
    EXPECT_TRUE(png_image_write_to_file(&image, path.c_str(), 0, bytes.data(), 0, nullptr));
    return {path, p};
}

std::pair<fs::path, Rgb> writeJpegPicture(const TempDir& dir, const Rgb& p)
{
    const auto bytes = interleaved(p);
    tjhandle tj = tjInitCompress();
    unsigned char* jpeg = nullptr;
    unsigned long size = 0;
    EXPECT_EQ(tjCompress2(tj, bytes.data(), p.width, 0, p.height, TJPF_RGB, &jpeg, &size, TJSAMP_444, 95, 0), 0);
    tjDestroy(tj);
    const fs::path path = dir.write("picture.jpg", std::vector<std::uint8_t>(jpeg, jpeg + size));
    // The reference is what an independent decoder makes of that file.
    tjhandle dec = tjInitDecompress();
    std::vector<unsigned char> decoded(bytes.size());
    EXPECT_EQ(tjDecompress2(dec, jpeg, size, decoded.data(), p.width, 0, p.height, TJPF_RGB, 0), 0);
    tjDestroy(dec);
    tjFree(jpeg);
    return {path, fromInterleaved(decoded.data(), p.width, p.height)};
}

std::pair<fs::path, Rgb> writeGifPicture(const TempDir& dir, const Rgb& p)
{
    const Rgb q = quantised(p);
    const fs::path path = dir / "picture.gif";
    GifColorType colours[256]{};
    for (int i = 0; i < 216; ++i)
        colours[i] = {GifByteType(i / 36 * 51), GifByteType(i / 6 % 6 * 51), GifByteType(i % 6 * 51)};
    int error = 0;
    GifFileType* gif = EGifOpenFileName(path.c_str(), false, &error);
    ColorMapObject* map = GifMakeMapObject(256, colours);
    EGifSetGifVersion(gif, true);
    EXPECT_EQ(EGifPutScreenDesc(gif, q.width, q.height, 8, 0, map), GIF_OK);
    EXPECT_EQ(EGifPutImageDesc(gif, 0, 0, q.width, q.height, false, nullptr), GIF_OK);
    std::vector<GifPixelType> line(static_cast<std::size_t>(q.width));
    for (int y = 0; y < q.height; ++y) {
        for (int x = 0; x < q.width; ++x) {
            const std::size_t i = std::size_t(y) * std::size_t(q.width) + std::size_t(x);
            line[std::size_t(x)] = GifPixelType(int(q.r[i] / 51) * 36 + int(q.g[i] / 51) * 6 + int(q.b[i] / 51));
        }
        EXPECT_EQ(EGifPutLine(gif, line.data(), q.width), GIF_OK);
    }
    EXPECT_EQ(EGifCloseFile(gif, &error), GIF_OK);
    GifFreeMapObject(map);
    return {path, q};
}

// Exact area averaging in double precision: each output pixel is the mean of the source area
// it covers, partial pixels by their covered fraction. Independent of the program's integer
// halftone code.
Rgb areaAverage(const Rgb& p, int width, int height)
{
    Rgb out;
    out.width = width;
    out.height = height;
    const double sx = double(p.width) / width, sy = double(p.height) / height;
    for (int j = 0; j < height; ++j)
        for (int i = 0; i < width; ++i) {
            double sums[3] = {0, 0, 0}, area = 0;
            const double x0 = i * sx, x1 = (i + 1) * sx, y0 = j * sy, y1 = (j + 1) * sy;
            // The last edge may land a rounding error past the picture: stop at its border.
            const int yEnd = std::min(p.height, int(std::ceil(y1))), xEnd = std::min(p.width, int(std::ceil(x1)));
            for (int y = int(y0); y < yEnd; ++y)
                for (int x = int(x0); x < xEnd; ++x) {
                    const double w = (std::min(x1, x + 1.0) - std::max(x0, double(x))) *
                        (std::min(y1, y + 1.0) - std::max(y0, double(y)));
                    const std::size_t k = std::size_t(y) * std::size_t(p.width) + std::size_t(x);
                    sums[0] += w * p.r[k];
                    sums[1] += w * p.g[k];
                    sums[2] += w * p.b[k];
                    area += w;
                }
            out.r.push_back(sums[0] / area);
            out.g.push_back(sums[1] / area);
            out.b.push_back(sums[2] / area);
        }
    return out;
}

// PSNR of a decoded part against the rectangle (x, y) of `full`.
double psnr(const Rgb& part, const Rgb& full, int x, int y)
{
    double squared = 0;
    for (int j = 0; j < part.height; ++j)
        for (int i = 0; i < part.width; ++i) {
            const std::size_t a = std::size_t(j) * std::size_t(part.width) + std::size_t(i);
            const std::size_t b = std::size_t(y + j) * std::size_t(full.width) + std::size_t(x + i);
            squared += std::pow(part.r[a] - full.r[b], 2) + std::pow(part.g[a] - full.g[b], 2) +
                std::pow(part.b[a] - full.b[b], 2);
        }
    const double mse = squared / (3.0 * part.width * part.height);
    return 10 * std::log10(255.0 * 255.0 / std::max(mse, 1e-12));
}

struct Container {
    std::vector<std::uint8_t> jpeg;
    Rgb pixels;
};

// Checks the container's layout and decodes its JPEG with TurboJPEG.
Container openContainer(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    const std::vector<std::uint8_t> ozj((std::istreambuf_iterator<char>(in)), {});
    Container c;
    c.jpeg = unwrapOzj(ozj);
    EXPECT_EQ(ozj.size(), c.jpeg.size() + 24) << path;
    EXPECT_TRUE(std::equal(ozj.begin(), ozj.begin() + 24, c.jpeg.begin())) << path;
    tjhandle tj = tjInitDecompress();
    int w = 0, h = 0, sub = 0, space = 0;
    EXPECT_EQ(tjDecompressHeader3(tj, c.jpeg.data(), c.jpeg.size(), &w, &h, &sub, &space), 0) << path;
    std::vector<unsigned char> rgb(std::size_t(w) * std::size_t(h) * 3);
    EXPECT_EQ(tjDecompress2(tj, c.jpeg.data(), c.jpeg.size(), rgb.data(), w, 0, h, TJPF_RGB, 0), 0) << path;
    tjDestroy(tj);
    c.pixels = fromInterleaved(rgb.data(), w, h);
    return c;
}

bool carriesComment(const std::vector<std::uint8_t>& jpeg)
{
    const std::string bytes(jpeg.begin(), jpeg.end());
    const std::string segment = std::string("\xFF\xFE", 2) + char(0) + char(fixed::kExportComment.size() + 2) +
        std::string(fixed::kExportComment);
    return bytes.find(segment) != std::string::npos;
}

std::set<std::string> namesIn(const fs::path& folder)
{
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(folder))
        names.insert(e.path().filename().string());
    return names;
}

std::string fileName(std::string_view tableName) { return pathIn("", tableName).string(); }

class CliMakeTest : public ::testing::Test {
protected:
    TempDir dir;
    fs::path work = dir / "work";
    fs::path out = dir / "out";
    Rgb source = smoothPicture();

    void SetUp() override
    {
        fs::create_directories(work);
        fs::create_directories(out);
    }

    // Runs one season's loading screen and checks everything about its files.
    void checkLoadingScreen(int season, const fs::path& picture, const Rgb& reference, const std::string& label)
    {
        fs::remove_all(out);
        fs::create_directories(out);
        const CliRun run = runCli(dir, {"make", "--season", std::to_string(season), "--loading-screen", out.string(),
                                           "--work-dir", work.string(), picture.string()});
        ASSERT_EQ(run.status, 0) << label << run.err;
        const SeasonLayout& layout = seasonLayout(SeasonIndex(season));
        const Rgb full = areaAverage(reference, layout.fullWidth, layout.fullHeight);
        std::set<std::string> expected;
        for (const PartLayout& part : layout.parts) {
            expected.insert(fileName(part.ozjName));
            const fs::path path = pathIn(out, part.ozjName);
            EXPECT_NE(run.out.find(path.string()), std::string::npos) << label;
            const Container c = openContainer(path);
            ASSERT_EQ(c.pixels.width, part.width) << label << ' ' << path;
            ASSERT_EQ(c.pixels.height, part.height) << label << ' ' << path;
            EXPECT_TRUE(carriesComment(c.jpeg)) << label << ' ' << path;
            const double db = psnr(c.pixels, full, part.x, part.y);
            EXPECT_GE(db, kMinPsnr) << label << ' ' << path;
            std::cout << "[ measured ] " << label << " season " << season << ' ' << fileName(part.ozjName) << ": "
                      << db << " dB\n";
        }
        EXPECT_EQ(namesIn(out), expected) << label;
        EXPECT_TRUE(namesIn(work).empty()) << label;
        EXPECT_NE(run.out.find(std::string(fixed::kSeasons[std::size_t(season)].completionText)), std::string::npos)
            << label;
        // The last line says where the files went and how many.
        const std::string last = run.out.substr(run.out.rfind('\n', run.out.size() - 2) + 1);
        EXPECT_NE(last.find(std::to_string(layout.parts.size()) + " files written in " + out.string()),
            std::string::npos) << last;
    }
};

TEST_F(CliMakeTest, EveryFormatMakesTheSeason3LoadingScreen)
{
    const std::pair<fs::path, Rgb> pictures[] = {writeBmpPicture(dir, source), writePngPicture(dir, source),
        writeJpegPicture(dir, source), writeGifPicture(dir, source)};
    for (const auto& [path, reference] : pictures)
        checkLoadingScreen(3, path, reference, path.extension().string());
}

TEST_F(CliMakeTest, EverySeasonAndTheStartupLogoFromABmp)
{
    const auto [picture, reference] = writeBmpPicture(dir, source);
    for (int season : {0, 1, 2})
        checkLoadingScreen(season, picture, reference, "bmp");

    const fs::path logo = out / "IntroLogo.ozj";
    const CliRun run = runCli(dir, {"make", "--season", "1", "--startup-logo", logo.string(), "--work-dir",
                                       work.string(), picture.string()});
    ASSERT_EQ(run.status, 0) << run.err;
    const Container c = openContainer(logo);
    ASSERT_EQ(c.pixels.width, 256);
    ASSERT_EQ(c.pixels.height, 195);
    EXPECT_TRUE(carriesComment(c.jpeg));
    EXPECT_GE(psnr(c.pixels, areaAverage(reference, 256, 195), 0, 0), kMinPsnr);
    EXPECT_TRUE(namesIn(work).empty());
}

TEST_F(CliMakeTest, StartupLogoForTheNewestSeasonsIsRefusedWithTheInfoText)
{
    const auto [picture, reference] = writeBmpPicture(dir, source);
    for (const char* season : {"2", "3"}) {
        const CliRun run = runCli(dir, {"make", "--season", season, "--startup-logo", (out / "x.ozj").string(),
                                           "--work-dir", work.string(), picture.string()});
        EXPECT_EQ(run.status, 1);
        EXPECT_NE(run.err.find(std::string(fixed::kNoStartupLogoText)), std::string::npos) << run.err;
        EXPECT_TRUE(namesIn(out).empty());
    }
}

TEST_F(CliMakeTest, APictureThatCannotBeReadWritesNothingAndSaysWhy)
{
    const fs::path fake = dir.write("photo.jpg", {'n', 'o', 't', ' ', 'a', ' ', 'p', 'i', 'c'});
    const CliRun run = runCli(dir, {"make", "--season", "0", "--loading-screen", out.string(), "--work-dir",
                                       work.string(), fake.string()});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("photo.jpg"), std::string::npos) << run.err;
    EXPECT_TRUE(namesIn(out).empty());
    EXPECT_TRUE(namesIn(work).empty());
}

TEST_F(CliMakeTest, AStaleIntermediateDoesNotReplaceTheChosenPicture)
{
    const auto [picture, reference] = writeBmpPicture(dir, source);
    // An unrelated valid JPEG under the intermediate's name.
    const fs::path stale = pathIn(work, startupLogoLayout().jpegName);
    fs::copy_file(writeJpegPicture(dir, quantised(source)).first, stale);
    const fs::path logo = out / "IntroLogo.ozj";
    const CliRun run = runCli(dir, {"make", "--season", "0", "--startup-logo", logo.string(), "--work-dir",
                                       work.string(), picture.string()});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(openContainer(logo).pixels.width, 256);
    EXPECT_FALSE(fs::exists(stale));
}

TEST_F(CliMakeTest, AnUnwritableDestinationIsNamedAndEarlierFilesStayAsTheyWere)
{
    const auto [picture, reference] = writeBmpPicture(dir, source);
    const SeasonLayout& layout = seasonLayout(0);
    // A good container from an earlier run, and a folder where another container would go.
    const fs::path earlier = pathIn(out, layout.parts[0].ozjName);
    dir.write("out/" + fileName(layout.parts[0].ozjName), {1, 2, 3});
    fs::create_directory(pathIn(out, layout.parts[2].ozjName));
    if (::geteuid() != 0)
        fs::permissions(out, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
            fs::perm_options::remove);
    const CliRun run = runCli(dir, {"make", "--season", "0", "--loading-screen", out.string(), "--work-dir",
                                       work.string(), picture.string()});
    fs::permissions(out, fs::perms::owner_write, fs::perm_options::add);
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find(pathIn(out, layout.parts[2].ozjName).string()), std::string::npos) << run.err;
    EXPECT_EQ(run.out.find(std::string(completionTitle()) + ":"), std::string::npos) << run.out;
    if (::geteuid() != 0) {
        // Read-only: nothing at all is written, and the earlier file is as it was.
        std::ifstream in(earlier, std::ios::binary);
        EXPECT_EQ(std::vector<char>((std::istreambuf_iterator<char>(in)), {}), (std::vector<char>{1, 2, 3}));
    }
    for (const auto& name : namesIn(out))
        EXPECT_NE(name.front(), '.') << "temporary file left behind: " << name;
    EXPECT_TRUE(namesIn(work).empty());
}

// Pictures as viewers show them: upright by the orientation tag, in sRGB by the colour profile,
// transparency on the chosen background.

// The picture turned a quarter clockwise (as orientation 6 shows the stored picture), or
// anticlockwise (the stored picture that orientation 6 shows upright).
Rgb turned(const Rgb& p, bool clockwise)
{
    Rgb t;
    t.width = p.height;
    t.height = p.width;
    for (int y = 0; y < t.height; ++y)
        for (int x = 0; x < t.width; ++x) {
            const int sx = clockwise ? y : p.width - 1 - y;
            const int sy = clockwise ? p.height - 1 - x : x;
            const std::size_t i = std::size_t(sy) * std::size_t(p.width) + std::size_t(sx);
            t.r.push_back(p.r[i]);
            t.g.push_back(p.g[i]);
            t.b.push_back(p.b[i]);
        }
    return t;
}

// The startup logo the program makes of `picture` with the extra arguments, as pixels.
Rgb startupLogo(const TempDir& dir, const fs::path& work, const fs::path& picture,
    const std::vector<std::string>& extra = {}, std::string* err = nullptr)
{
    const fs::path logo = dir / "logo.ozj";
    std::vector<std::string> args = {"make", "--season", "0", "--startup-logo", logo.string(), "--work-dir",
        work.string()};
    args.insert(args.end(), extra.begin(), extra.end());
    args.push_back(picture.string());
    const CliRun run = runCli(dir, args);
    EXPECT_EQ(run.status, 0) << run.err;
    if (err)
        *err = run.err;
    return run.status == 0 ? openContainer(logo).pixels : Rgb{};
}

TEST_F(CliMakeTest, AnUprightPhotoIsMadeUprightUnlessItsOrientationIsKept)
{
    // The camera stored the picture lying on its side and tagged it to be turned clockwise.
    const auto [stored, storedPixels] = writeJpegPicture(dir, turned(source, false));
    const std::vector<std::uint8_t> file = test::readFile(stored);
    const fs::path tagged = dir.write("upright.jpg", test::withJpegSegment(file, 0xE1, test::exifBlock(6)));
    const Rgb upright = turned(storedPixels, true);

    const double shown = psnr(startupLogo(dir, work, tagged), areaAverage(upright, 256, 195), 0, 0);
    EXPECT_GE(shown, kMinPsnr);
    const Rgb kept = startupLogo(dir, work, tagged, {"--keep-orientation"});
    EXPECT_GE(psnr(kept, areaAverage(storedPixels, 256, 195), 0, 0), kMinPsnr);
    // The two readings are far apart: the test tells them apart.
    EXPECT_LT(psnr(kept, areaAverage(upright, 256, 195), 0, 0), 30.0);
    std::cout << "[ measured ] orientation 6, startup logo: " << shown << " dB\n";
}

TEST_F(CliMakeTest, APhotoWithAColourProfileIsMadeInItsTrueColours)
{
    // Under this profile the stored blue is red and the stored red blue.
    const auto [stored, storedPixels] = writeJpegPicture(dir, source);
    const fs::path tagged = dir.write("profiled.jpg",
        test::withIccProfile(test::readFile(stored), test::rgbProfile(test::kSwappedPrimaries, 0)));
    Rgb shown = storedPixels;
    std::swap(shown.r, shown.b);
    const Rgb logo = startupLogo(dir, work, tagged);
    EXPECT_GE(psnr(logo, areaAverage(shown, 256, 195), 0, 0), kMinPsnr);
    EXPECT_LT(psnr(logo, areaAverage(storedPixels, 256, 195), 0, 0), 30.0);
}

TEST_F(CliMakeTest, ADamagedColourProfileIsPassedOverWithAWarning)
{
    const auto [stored, storedPixels] = writeJpegPicture(dir, source);
    const fs::path damaged =
        dir.write("damaged.jpg", test::withIccProfile(test::readFile(stored), std::vector<std::uint8_t>(200, 7)));
    std::string err;
    const Rgb logo = startupLogo(dir, work, damaged, {}, &err);
    EXPECT_GE(psnr(logo, areaAverage(storedPixels, 256, 195), 0, 0), kMinPsnr);
    EXPECT_NE(err.find("warning: " + damaged.string() + ": its colour profile is damaged and was ignored"),
        std::string::npos)
        << err;
}

TEST_F(CliMakeTest, TransparentAreasShowTheChosenBackground)
{
    // The smooth picture, its opacity falling from full at the left to none at the right.
    std::vector<std::uint8_t> rgba;
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            const std::size_t i = std::size_t(y) * kWidth + std::size_t(x);
            rgba.insert(rgba.end(), {std::uint8_t(source.r[i]), std::uint8_t(source.g[i]), std::uint8_t(source.b[i]),
                                        std::uint8_t(255 - x * 255 / (kWidth - 1))});
        }
    const fs::path path = dir / "fading.png";
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = kWidth;
    image.height = kHeight;
    image.format = PNG_FORMAT_RGBA;
    ASSERT_TRUE(png_image_write_to_file(&image, path.c_str(), 0, rgba.data(), 0, nullptr));

    const auto flattened = [&](double r, double g, double b) {
        Rgb p = source;
        for (std::size_t i = 0; i < rgba.size() / 4; ++i) {
            const double a = rgba[4 * i + 3] / 255.0;
            p.r[i] = p.r[i] * a + r * (1 - a);
            p.g[i] = p.g[i] * a + g * (1 - a);
            p.b[i] = p.b[i] * a + b * (1 - a);
        }
        return areaAverage(p, 256, 195);
    };
    EXPECT_GE(psnr(startupLogo(dir, work, path), flattened(255, 255, 255), 0, 0), kMinPsnr);
    EXPECT_GE(psnr(startupLogo(dir, work, path, {"--background", "navy"}), flattened(0, 0, 128), 0, 0), kMinPsnr);
    EXPECT_GE(psnr(startupLogo(dir, work, path, {"--background", "#FF8000"}), flattened(255, 128, 0), 0, 0), kMinPsnr);

    const CliRun bad = runCli(dir, {"make", "--season", "0", "--startup-logo", (out / "x.ozj").string(),
                                       "--background", "mauve", "--work-dir", work.string(), path.string()});
    EXPECT_NE(bad.status, 0);
    EXPECT_NE(bad.err.find("#RRGGBB"), std::string::npos) << bad.err;
    EXPECT_TRUE(namesIn(out).empty());
}

}  // namespace
}  // namespace tav
