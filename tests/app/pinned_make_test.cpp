// Pinned runs: the SHA-256 of every file that `tavrenix-cli make` writes for each season's
// loading screen and for the startup logo, from deterministic pictures made here: a 24-bit and
// an 8-bit BMP, a PNG that is enlarged, and JPEGs large enough to be shrunk by half, a quarter
// and an eighth. Work on the speed of the decoders, the stretch, the cut, the export or the
// encoder must keep every one of these bytes; a change that moves them on purpose must say why
// and pin the new hashes. A mismatch copies the file to artifacts/app/.
#include "app/jpeg_export.h"
#include "app/logo_cutter.h"
#include "app/ozj_container.h"
#include "app/production_table.h"
#include "app_test_support.h"
#include "cli_runner.h"
#include "tests/support/sha256.h"

#include <gtest/gtest.h>

#include <png.h>
#include <turbojpeg.h>

#include <algorithm>
#include <cmath>

namespace tav {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

std::uint32_t hashOf(std::uint32_t x, std::uint32_t y)
{
    std::uint32_t h = x * 0x9E3779B1u ^ (y + 0x7F4A7C15u) * 0x85EBCA77u;
    h ^= h >> 15;
    h *= 0x2C1B3C6Du;
    h ^= h >> 12;
    return h;
}

// A photo-like picture: gradients, a soft disc, hard-edged tiles, fine stripes and grain.
std::vector<std::uint8_t> photoRgb(int width, int height)
{
    std::vector<std::uint8_t> rgb;
    rgb.reserve(std::size_t(width) * std::size_t(height) * 3);
    const auto clamp = [](double v) { return std::uint8_t(std::clamp(int(v), 0, 255)); };
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const int grain = int(hashOf(std::uint32_t(x), std::uint32_t(y)) >> 28) - 8;
            const double wave = 50 * std::sin(x / 41.0) * std::cos(y / 29.0);
            const double dx = x - 0.65 * width, dy = y - 0.35 * height;
            const double sun = 80 * std::exp(-(dx * dx + dy * dy) / (0.04 * width * height));
            const bool tile = ((x * 9 / width) + (y * 7 / height)) % 2 == 0;
            const int stripes = (x / 2 + y / 3) % 2 ? 12 : -12;
            rgb.push_back(clamp(110 + wave + grain + (tile ? 35 : -35)));
            rgb.push_back(clamp(230.0 * x / width + grain + sun + stripes));
            rgb.push_back(clamp(20 + 220.0 * y / height - wave + grain));
        }
    return rgb;
}

fs::path writeBmp24(const TempDir& dir, int width, int height)
{
    const std::vector<std::uint8_t> rgb = photoRgb(width, height);
    return test::writeBmp(dir, "photo24.bmp", width, height, [&](int x, int y) {
        const std::size_t i = 3 * (std::size_t(y) * std::size_t(width) + std::size_t(x));
        return RGB(rgb[i], rgb[i + 1], rgb[i + 2]);
    });
}

// An 8-bit BMP with a 6 x 6 x 6 colour cube and 40 greys, written byte by byte.
fs::path writeBmp8(const TempDir& dir, int width, int height)
{
    const std::vector<std::uint8_t> rgb = photoRgb(width, height);
    const std::size_t stride = (std::size_t(width) + 3) / 4 * 4;
    const std::size_t offset = 14 + 40 + 256 * 4;
    std::vector<std::uint8_t> file(offset + stride * std::size_t(height), 0);
    const auto le32 = [&](std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            file[at + std::size_t(i)] = std::uint8_t(v >> (8 * i));
    };
    file[0] = 'B';
    file[1] = 'M';
    le32(2, std::uint32_t(file.size()));
    le32(10, std::uint32_t(offset));
    le32(14, 40);
    le32(18, std::uint32_t(width));
    le32(22, std::uint32_t(height));
    file[26] = 1;
    file[28] = 8;
    for (int i = 0; i < 256; ++i) {
        std::uint8_t* q = &file[54 + 4 * std::size_t(i)];
        if (i < 216) {
            q[2] = std::uint8_t(i / 36 * 51);
            q[1] = std::uint8_t(i / 6 % 6 * 51);
            q[0] = std::uint8_t(i % 6 * 51);
        } else {
            q[0] = q[1] = q[2] = std::uint8_t((i - 216) * 255 / 39);
        }
    }
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const std::size_t i = 3 * (std::size_t(y) * std::size_t(width) + std::size_t(x));
            const int index = (rgb[i] + 25) / 51 * 36 + (rgb[i + 1] + 25) / 51 * 6 + (rgb[i + 2] + 25) / 51;
            file[offset + std::size_t(height - 1 - y) * stride + std::size_t(x)] = std::uint8_t(index);
        }
    return dir.write("photo8.bmp", file);
}

fs::path writePng(const TempDir& dir, int width, int height)
{
    const fs::path path = dir / "small.png";
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = png_uint_32(width);
    image.height = png_uint_32(height);
    image.format = PNG_FORMAT_RGB;
    const std::vector<std::uint8_t> rgb = photoRgb(width, height);
    EXPECT_TRUE(png_image_write_to_file(&image, path.c_str(), 0, rgb.data(), 0, nullptr));
    return path;
}

fs::path writeJpeg(const TempDir& dir, const std::string& name, int width, int height, bool grey)
{
    std::vector<std::uint8_t> pixels = photoRgb(width, height);
    if (grey) {
        std::vector<std::uint8_t> luma(std::size_t(width) * std::size_t(height));
        for (std::size_t i = 0; i < luma.size(); ++i)
            luma[i] = std::uint8_t((pixels[3 * i] * 3 + pixels[3 * i + 1] * 5 + pixels[3 * i + 2] * 2) / 10);
        pixels = std::move(luma);
    }
    tjhandle tj = tjInitCompress();
    unsigned char* jpeg = nullptr;
    unsigned long size = 0;
    EXPECT_EQ(tjCompress2(tj, pixels.data(), width, 0, height, grey ? TJPF_GRAY : TJPF_RGB, &jpeg, &size,
                  grey ? TJSAMP_GRAY : TJSAMP_420, 92, 0),
        0);
    tjDestroy(tj);
    const fs::path path = dir.write(name, std::vector<std::uint8_t>(jpeg, jpeg + size));
    tjFree(jpeg);
    return path;
}

enum class Picture { Bmp24, Bmp8, Png, Jpeg, GreyJpeg };

const char* pictureName(Picture p)
{
    switch (p) {
    case Picture::Bmp24:
        return "bmp24";
    case Picture::Bmp8:
        return "bmp8";
    case Picture::Png:
        return "png";
    case Picture::Jpeg:
        return "jpeg";
    case Picture::GreyJpeg:
        return "greyjpeg";
    }
    return "";
}

fs::path writePicture(const TempDir& dir, Picture p)
{
    switch (p) {
    case Picture::Bmp24:
        return writeBmp24(dir, 1500, 900);
    case Picture::Bmp8:
        return writeBmp8(dir, 701, 467);
    case Picture::Png:
        return writePng(dir, 300, 200);
    case Picture::Jpeg:
        return writeJpeg(dir, "photo.jpg", 2600, 1560, false);
    case Picture::GreyJpeg:
        return writeJpeg(dir, "grey.jpg", 1400, 1000, true);
    }
    return {};
}

// One run: a season's loading screen, or the startup logo (season -1 stands for it, made with
// --season 0). The hashes of the files in table order; for a JPEG decoded at reduced scale, also
// the hashes the same run had with every pixel decoded (pinned before the reduced decoding came
// in), which the full-decode path must still give.
struct PinnedRun {
    Picture picture;
    int season;
    std::vector<const char*> sha256;
    std::vector<const char*> fullDecodeSha256 = {};
};

void PrintTo(const PinnedRun& r, std::ostream* os) { *os << pictureName(r.picture) << " season " << r.season; }

std::vector<PinnedRun> pinnedRuns()
{
    return {PinnedRun{Picture::Bmp24, -1, {"63319d616e164e1cd780060928f34bcedfeaed75be09fc9d0b5dac76c65901a7"}},
        PinnedRun{Picture::Bmp24, 0,
            {"e5f9cf51b67c3584f7bd092d8c9e5481a7e61886f81201a773be9bb693f47cf2",
                "379cf0e06a888ba770c2c072ac32ad1305c737659c55e6f01163ff6a1841437d",
                "adc816d22df6af5548f22ada4e30eddbe9970d29ae23d6fb58c99b961b53bd9e"}},
        PinnedRun{Picture::Bmp24, 1,
            {"fc14e43c80da2eb05c6cbeed16c2a0d50f84080ccb43c238fcc117a686119026",
                "bc536a28a6873efda9a26bccab02baebb25bf0ca011508e0095f135d4a6115f8"}},
        PinnedRun{Picture::Bmp24, 2,
            {"ed4fcb8be5f273e893f22535425c6d78e7452e9fa5217a515440ac31ea74d94b",
                "291beb9fa41e994f890459188e4b1d36f1b2daf91f00f2236b09dd10ceff509c",
                "b2390dee25d78ba88ce41c9c516668d864f0421d678e9c1f02294bd3af001b5e",
                "ee734751b56f5f75e9dec76a18a209293b6cc29108307273bac4efd276ef3c74",
                "602ab95fbeaf7d534c2bf76fbec661735f4bfa70bd0df5799916c81839a92178",
                "3fc55aec834452a4df484ea465c7ffeb5fa8d9b16d141dee1d04020b55a7e765"}},
        PinnedRun{Picture::Bmp24, 3,
            {"7656a65264b044a952d44914b7909614becdfed0ef01db71c22f9143e139bf0a",
                "d936f8f662b06fc692739b0e7bdcbf09798f983edcb7eaeb2447b7052c90ff5d",
                "acfdea10d70633d86f26220dda41d7bd4fd6ac03866841bb3197154397e261f0",
                "dcba4f3a2569f48e0a006c282cc7819c601468b42c6da252c03211bb6fdc84ab",
                "94d75a8b0ef31c2e1284af275305f995d36e0b6a8e459219016bdd75f4ea52b8",
                "88facfedbdd49fd365a082ad285a4eaaaad213e792eb847f551c373a532a847f"}},
        PinnedRun{Picture::Bmp8, -1, {"b70f12ada826e37659dded1c14e6fba217d5ddbf0562fb985e0d8bc319e3a6a9"}},
        PinnedRun{Picture::Bmp8, 3,
            {"71fd660b63873b2a04b8cd14600d5eb0437866d2a9f18fcf5d3e30efe89ca793",
                "e1399f366a104bafb5726dc76d219fd872a6658df49a845eabf9bc5fd76fa9c3",
                "13d7b50438b87ff48df093b8a2a04136ae2d1c4e847fb7c7800b95ae80b17211",
                "4e9a53bc70a2fe218f09645e70c6f35f02d88adf5e53dbda45019017d99ff309",
                "df2d9eb2ddd8b5c5a9b1a1c7c8f819c9cd1325ce4e49e75b5fb2920bcf73a9cb",
                "5438f3785be5d31968e6a493442f0c777c2c627947924cbd6df3e6332ad7e26a"}},
        PinnedRun{Picture::Png, -1, {"561a2cbde354b452075761ab99f0864ee1768b9e69341f7088ffd948ee4ce1df"}},
        PinnedRun{Picture::Png, 0,
            {"bc135180342a4b2d54fc037feeb092a643e5f4bdc850eb680c54b9d9d4f5cea1",
                "75265052602db042c46ae594516a0161ddf729939a4dca7cb787d0dc1d772ae6",
                "0b2e9989f3f04eaea6691833a651c18637ef6c4fc7cf3255287a32215c4067cc"}},
        PinnedRun{Picture::Png, 2,
            {"06ae6ea408150851e6cb699c499af1f1faf212a101877516baa20e91421d4b41",
                "f0aad0ff1a4d3d3e6e4d8b03172f927f2588c685770e765e8c0b92622249f62c",
                "d52becc8beca9e1cd603e1bad86b40d28b66cdbdfe5f024751a210f681d0a60c",
                "697898feff5ab6f0b89a049bf7f0ca4a8ac66d9da36de76068755f85f37ba3e0",
                "307a3b8f27c242c690f5b320be10a2821f7bdc86e5552b6a79095efd8862beea",
                "973f49d3f9d426a62ff4bbe063a7106461bd35ac98beaaa7d8d843155b9fc378"}},
        PinnedRun{Picture::Jpeg, -1, {"d5870015b7a0a2682bc1825190adf719e1f1c154529c24b5fbc6ae05cfc6898a"},
            {"b7a8020c618a2ee624a20695a083928ed3a1ca2e49fbe9a532cd053bda70acba"}},
        PinnedRun{Picture::Jpeg, 0,
            {"ce8310e5d30c613c70e26506e7e66f11856e2ce4c3d9ccf946fa9cbdabd934de",
                "7a45b3dc6e8f9086be4577089fb9f5e8824ed0dbb39c262f5b515fcb8f4190b5",
                "a7e3040ebcd401df9ce971b59907503c587f3592f200ac1ecbec6e301504e15b"},
            {"c7b5158c9fa8205482af1a7984e58b788d232fa39170ad5392dbf957022c0868",
                "ad63e6937a230b9d8a8103ba558f5c07c017b0403e5a48a6c2e1f99332511c37",
                "8799b0bfa82b2b658fe709bd2a56460f1874d2a1576544d4f1fd53a6cbf3619e"}},
        PinnedRun{Picture::Jpeg, 1,
            {"91828b22e28273b6638763f4ab8b7445b320c408d0b4f43b30201ac91bf668d9",
                "986a432a4ce29bd523dd193ca3d88f10fb816f333fab3d3c3aa928ce98f9ca7e"}},
        PinnedRun{Picture::Jpeg, 2,
            {"c7a85cafdadeb3fd8a7f0629c9e24be0ca1e9f8ca9350fd42d22d4cf44604612",
                "7cd3c393b89a304810bc1967255a62c7517f7b9546bf4d8000789214976a81cf",
                "4b76cfa76ede4569812124543f1d0075dd6909daa450a7cc37e1c2ed92b2a90c",
                "ec12ca0943fbcbb374bd3dddbcecfc80fdf0fea4d1f6a8acba4ec8855385e0d3",
                "56f03795909b8b49455789b7fd5ac6235a6c3166ac904b092b596dfd546787e2",
                "5bbdc1c018e1a7155e50aa9891d41f7bda6fe9a43f7ffe0c5e059d5a84d7813c"}},
        PinnedRun{Picture::Jpeg, 3,
            {"a2c47af8a3ef6da80113d5554069c23f3d72850a68cf55cc94222462c6b78620",
                "35ad9d8b345263a0ba652702975e14407dfbf171fd71079e736b98eccc6822d1",
                "266f0c2d3d6041fefeb3a00a320daf9be3f324191c84d35c7fc7e94ee3ae65ed",
                "5b509bb5d44967e1e45d41ad6e9d6beaae71f03d1c276f8ebacf66b3c0170ac0",
                "7ec9f584ad9ce43818577d7d1d50cd68d8b3449180bc88fd45f7d47249c7d354",
                "4288524f8b8a9bd6c13a6239cc457302632a9408b20262856304500c83ffc236"}},
        PinnedRun{Picture::GreyJpeg, -1, {"4c68130437d438c7e0f50891e7f80906aac4ff1661512501f84c4351a9323d3d"},
            {"acb6cd8a7cca869b5c9ebd5044e6a9b568e44722727b95c8b55cc2d9065f3357"}},
        PinnedRun{Picture::GreyJpeg, 3,
            {"0878777a5bfbc35991cbeadae422230c43c19a0979878762c50cb02f82f6c797",
                "ab828bd29f1ed16079b344091b8e3bf9f70403eef4e228931c26b090c8499b76",
                "5023e8c94f27f0437700380a4951fbbeb399a122a449d69409c940920ad766a6",
                "03318aa9d0057bfbec894ae6b4751306d1415dab02d355244dcc0c7172d4046d",
                "3b2e101e663eec9d6205c0d1cfd710583ab65f12320bee2af2b2093320393479",
                "2263b3cf3ca966a0908caa31be734483150c6c862f02e1c9fec81ff2dccb2485"}}};
}

// The runs that decode a JPEG at reduced scale.
std::vector<PinnedRun> reducedScaleRuns()
{
    std::vector<PinnedRun> runs;
    for (const PinnedRun& r : pinnedRuns())
        if (!r.fullDecodeSha256.empty())
            runs.push_back(r);
    return runs;
}

class PinnedMake : public ::testing::TestWithParam<PinnedRun> { };
class ReducedScale : public ::testing::TestWithParam<PinnedRun> { };

TEST_P(PinnedMake, WritesTheSameBytes)
{
    const PinnedRun& r = GetParam();
    TempDir dir;
    const fs::path work = dir / "work";
    const fs::path out = dir / "out";
    fs::create_directories(work);
    fs::create_directories(out);
    const fs::path picture = writePicture(dir, r.picture);

    std::vector<fs::path> files;
    std::vector<std::string> args{"make", "--work-dir", work.string()};
    if (r.season < 0) {
        files.push_back(out / "IntroLogo.ozj");
        args.insert(args.end(), {"--season", "0", "--startup-logo", files.back().string()});
    } else {
        for (const PartLayout& part : seasonLayout(SeasonIndex(r.season)).parts)
            files.push_back(pathIn(out, part.ozjName));
        args.insert(args.end(), {"--season", std::to_string(r.season), "--loading-screen", out.string()});
    }
    args.push_back(picture.string());
    const test::CliRun run = test::runCli(dir, args);
    ASSERT_EQ(run.status, 0) << run.err;
    ASSERT_EQ(files.size(), r.sha256.size());

    std::string actualTable;
    bool same = true;
    for (std::size_t i = 0; i < files.size(); ++i) {
        const std::string bytes = test::slurp(files[i]);
        const std::string actual =
            test::sha256Hex(std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
        actualTable += "\"" + actual + "\",\n";
        if (actual == r.sha256[i])
            continue;
        same = false;
        ADD_FAILURE() << files[i].filename() << " of " << pictureName(r.picture) << " season " << r.season
                      << ": sha256 " << actual << ", pinned " << r.sha256[i];
        const fs::path artifacts = fs::path("artifacts") / "app";
        fs::create_directories(artifacts);
        fs::copy_file(files[i],
            artifacts /
                (std::string(pictureName(r.picture)) + "_s" + std::to_string(r.season) + "_" +
                    files[i].filename().string()),
            fs::copy_options::overwrite_existing);
    }
    if (!same)
        std::cout << "actual hashes:\n" << actualTable;
}

double psnr(const std::vector<unsigned char>& a, const std::vector<unsigned char>& b)
{
    double squared = 0;
    for (std::size_t i = 0; i < a.size(); ++i)
        squared += (double(a[i]) - b[i]) * (double(a[i]) - b[i]);
    const double mse = squared / double(a.size());
    return mse == 0 ? 99.0 : 10 * std::log10(255.0 * 255.0 / mse);
}

std::vector<unsigned char> decodeJpegFile(const fs::path& path, int& width, int& height)
{
    const std::string bytes = test::slurp(path);
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
    tjhandle tj = tjInitDecompress();
    int sub = 0, space = 0;
    EXPECT_EQ(tjDecompressHeader3(tj, data, bytes.size(), &width, &height, &sub, &space), 0) << path;
    std::vector<unsigned char> rgb(std::size_t(width) * std::size_t(height) * 3);
    EXPECT_EQ(tjDecompress2(tj, data, bytes.size(), rgb.data(), width, 0, height, TJPF_RGB, 0), 0) << path;
    tjDestroy(tj);
    return rgb;
}

// The one change allowed to move output bytes: a large JPEG decoded at reduced scale before the
// exact stretch. Each part of such a run is made both ways in this process; with every pixel
// decoded the files must be exactly those pinned before the change, and every part decoded at
// reduced scale must stay within 40 dB PSNR of its full-decode twin (measured figures printed).
TEST_P(ReducedScale, StaysWithin40DbOfTheFullDecodeWhichKeepsItsPinnedBytes)
{
    const PinnedRun& r = GetParam();
    TempDir dir;
    const fs::path picture = writePicture(dir, r.picture);
    std::unique_ptr<LogoCutter> cutter = std::make_unique<LogoCutter>();
    std::vector<std::string> names;
    std::vector<std::vector<fs::path>> made(2);
    for (const JpegScaling scaling : {JpegScaling::Full, JpegScaling::Reduced}) {
        cutter->setJpegScaling(scaling);
        std::vector<const MemorySurface*> surfaces;
        if (r.season < 0) {
            cutter->CutStartupLogo(picture);
            surfaces.push_back(&cutter->logoSurface());
        } else {
            cutter->CutLoadingScreen(SeasonIndex(r.season), picture);
            for (std::size_t i = 0; i < seasonLayout(SeasonIndex(r.season)).parts.size(); ++i)
                surfaces.push_back(&cutter->partSurface(SeasonIndex(r.season), int(i)));
        }
        const int way = scaling == JpegScaling::Full ? 0 : 1;
        for (std::size_t i = 0; i < surfaces.size(); ++i) {
            const fs::path jpeg = dir / ("part.jpg");
            const fs::path ozj = dir / ("way" + std::to_string(way) + "_" + std::to_string(i) + ".ozj");
            ExportJpeg(*surfaces[i], jpeg, dir.path());
            const fs::path kept = dir / ("way" + std::to_string(way) + "_" + std::to_string(i) + ".jpg");
            fs::copy_file(jpeg, kept);
            WriteOzj(jpeg, ozj);
            made[std::size_t(way)].push_back(kept);
            if (way == 0) {
                const std::string bytes = test::slurp(ozj);
                EXPECT_EQ(test::sha256Hex(std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size())),
                    r.fullDecodeSha256[i])
                    << "part " << i + 1 << " decoded in full";
            }
        }
    }
    ASSERT_EQ(made[0].size(), r.fullDecodeSha256.size());
    for (std::size_t i = 0; i < made[0].size(); ++i) {
        int w0 = 0, h0 = 0, w1 = 0, h1 = 0;
        const auto full = decodeJpegFile(made[0][i], w0, h0);
        const auto reduced = decodeJpegFile(made[1][i], w1, h1);
        ASSERT_EQ(w0, w1);
        ASSERT_EQ(h0, h1);
        const double db = psnr(full, reduced);
        EXPECT_GE(db, 40.0) << pictureName(r.picture) << " season " << r.season << " part " << i + 1;
        std::cout << "[ measured ] " << pictureName(r.picture) << (r.season < 0 ? " logo" : " season ")
                  << (r.season < 0 ? "" : std::to_string(r.season)) << " part " << i + 1 << ": " << db
                  << " dB against the full decode\n";
    }
}

std::string runName(const ::testing::TestParamInfo<PinnedRun>& info)
{
    const PinnedRun& r = info.param;
    return std::string(pictureName(r.picture)) + (r.season < 0 ? "_logo" : "_season" + std::to_string(r.season));
}

INSTANTIATE_TEST_SUITE_P(Runs, PinnedMake, ::testing::ValuesIn(pinnedRuns()), runName);
INSTANTIATE_TEST_SUITE_P(Runs, ReducedScale, ::testing::ValuesIn(reducedScaleRuns()), runName);

}  // namespace
}  // namespace tav
