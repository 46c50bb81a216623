// Pinned streams: the SHA-256 of whole streams for pictures of many sizes,
// qualities and sampling factors, taken from the encoder as it stood before any
// work on its speed. Every optimisation of the sampling, the transform,
// quantization, the Huffman passes, the bit writer or the platform's stretch
// must keep these bytes. Among the pictures are photo-like content (the common
// case), full-range noise (large coefficients, long codes, many stuffed bytes)
// and sizes that are not whole MCUs. A mismatch writes the stream to
// artifacts/jpeg/.
#include "jpeg/cjpeg.h"
#include "platform/second_core.h"
#include "test_source.h"
#include "tests/support/sha256.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>

namespace tav {
namespace {

enum class Content { Photo, Noise, Edges };

std::uint32_t hashOf(std::uint32_t x, std::uint32_t y)
{
    std::uint32_t h = x * 0x9E3779B1u ^ (y + 0x7F4A7C15u) * 0x85EBCA77u;
    h ^= h >> 15;
    h *= 0x2C1B3C6Du;
    h ^= h >> 12;
    return h;
}

test::Rgb pixelOf(Content content, int width, int height, int x, int y)
{
    const std::uint32_t h = hashOf(std::uint32_t(x), std::uint32_t(y));
    switch (content) {
    case Content::Noise:
        return {std::uint8_t(h), std::uint8_t(h >> 8), std::uint8_t(h >> 16)};
    case Content::Edges: {
        const bool on = ((x / 3) + (y / 2)) % 2 == 0;
        return on ? test::Rgb{255, 255, 255} : test::Rgb{0, std::uint8_t(x * 7), 40};
    }
    case Content::Photo:
        break;
    }
    // Gradients, a soft disc, hard-edged tiles and a little grain, as in a
    // photograph.
    const int grain = int(h >> 28) - 8;
    const double wave = 60 * std::sin(x / 37.0) * std::cos(y / 23.0);
    const double dx = x - 0.6 * width, dy = y - 0.4 * height;
    const double sun = 90 * std::exp(-(dx * dx + dy * dy) / (0.05 * width * height + 1));
    const bool tile = ((x / 64) + (y / 48)) % 2 == 0;
    const auto clamp = [](double v) { return std::uint8_t(std::clamp(int(v), 0, 255)); };
    return {clamp(120 + wave + grain + (tile ? 40 : -40)), clamp(255.0 * x / width + grain + sun),
        clamp(255.0 * y / height - wave + grain)};
}

struct Pinned {
    const char* name;
    Content content;
    int width;
    int height;
    int quality;
    std::array<int, 6> factors;
    const char* comment;
    const char* sha256;
};

void PrintTo(const Pinned& p, std::ostream* os) { *os << p.name; }

class PinnedStream : public ::testing::TestWithParam<Pinned> { };

TEST_P(PinnedStream, KeepsItsBytes)
{
    const Pinned& p = GetParam();
    test::SourcePicture source(
        p.width, p.height, [&](int x, int y) { return pixelOf(p.content, p.width, p.height, x, y); });
    // The bytes do not depend on how many cores make them.
    for (const SecondCore policy : {SecondCore::Off, SecondCore::Forced}) {
    const ScopedSecondCorePolicy cores(policy);
    cJpeg jpeg;
    jpeg.Quality(p.quality);
    const auto& f = p.factors;
    jpeg.SetSamplingFrequencies(f[0], f[1], f[2], f[3], f[4], f[5]);
    if (p.comment)
        jpeg.Comment(p.comment);
    ASSERT_EQ(jpeg.SampleHDC(source.hdc(), p.width, p.height, 0, 0), cJpeg::SampleStatus::Sampled);
    const std::vector<std::uint8_t> stream = jpeg.assembleStream();
    const std::string actual = test::sha256Hex(stream);
    EXPECT_EQ(actual, p.sha256) << p.name << " (" << stream.size() << " bytes), second core "
        << (policy == SecondCore::Forced ? "forced" : "off");
    if (actual != p.sha256) {
        const std::filesystem::path dir = std::filesystem::path("artifacts") / "jpeg";
        std::filesystem::create_directories(dir);
        std::ofstream(dir / (std::string(p.name) + ".actual.jpg"), std::ios::binary)
            .write(reinterpret_cast<const char*>(stream.data()), std::streamsize(stream.size()));
    }
    }
}

constexpr std::array<int, 6> kDefault{2, 2, 1, 1, 1, 1};

INSTANTIATE_TEST_SUITE_P(Pictures, PinnedStream,
    ::testing::Values(
        Pinned{"photo_1280x768_q100", Content::Photo, 1280, 768, 100, kDefault, "Creado por Sorvane ( Kelbrin )",
            "7e807ee47c760fb093331e18c89366b2cdae007efda804468ef0a83dfc7328d2"},
        Pinned{"photo_1001x667_q100", Content::Photo, 1001, 667, 100, kDefault, nullptr,
            "f039dab89c3e12683bfcbe4419788c19bc863dda981b5bd37b6bf2af0f1868cc"},
        Pinned{"photo_512x223_q100", Content::Photo, 512, 223, 100, kDefault, nullptr,
            "f0ef9dfbcc9c240b07590edaf955248fa263e5a7e0d47d77115a9e1defb58858"},
        Pinned{"photo_256x195_q100", Content::Photo, 256, 195, 100, kDefault, nullptr,
            "6bf6487ad8e2a20b7e4c41a91d58c8f9fdbab0c7b45178a61304a92b7ff433ad"},
        Pinned{"photo_333x111_q75_2x1", Content::Photo, 333, 111, 75, {2, 1, 1, 1, 1, 1}, nullptr,
            "fc3ea7656ea0ebc693a0c5e62b713ed8956c59c60ec0c0e010a9c70435d5945b"},
        Pinned{"photo_121x77_q50_1x2", Content::Photo, 121, 77, 50, {1, 2, 1, 1, 1, 1}, nullptr,
            "d8a9a998473679d0c46f9a2990770d6f3a39782df88c5671e2a523170f52b324"},
        Pinned{"photo_200x150_q90_all2x2", Content::Photo, 200, 150, 90, {2, 2, 2, 2, 2, 2}, nullptr,
            "b3cb78cd42c210b399b216032c3ce40993254d028158b32d2d38629267f88737"},
        Pinned{"photo_150x99_q30_4x4", Content::Photo, 150, 99, 30, {4, 4, 1, 1, 1, 1}, nullptr,
            "95dfc12a75cf5e1904aa6c93f5d56eecf618f5cf676e0225bfa9ee3805486148"},
        Pinned{"photo_77x53_q10_3x3", Content::Photo, 77, 53, 10, {3, 3, 1, 1, 1, 1}, "pinned",
            "8a53c434f5820cd06005748480182fdd607a919860745a20e373878e26d9e178"},
        Pinned{"photo_300x200_q85_grey", Content::Photo, 300, 200, 85, {1, 1, 0, 0, 0, 0}, nullptr,
            "66c0090a0d030120be5ad6eceea011b934b97ab15309290c7e3f5c13c1a99eb7"},
        Pinned{"photo_640x360_q100_1x1", Content::Photo, 640, 360, 100, {1, 1, 1, 1, 1, 1}, nullptr,
            "a88405fb0c3f685d8eda27f0545f1e4862bb0b39e76fd44d318f5562c76e682b"},
        Pinned{"noise_97x61_q100", Content::Noise, 97, 61, 100, kDefault, nullptr,
            "1ed132d749221a32bc30dde39c0e70c29250d5e82618c43239a6902a4f6cbf4d"},
        Pinned{"noise_255x257_q100_1x4", Content::Noise, 255, 257, 100, {1, 4, 1, 2, 1, 1}, nullptr,
            "3adde504d70cacd1bbad31a086b2207907eef7d5db9074d56eb17a151de33229"},
        Pinned{"noise_160x96_q1_4x1", Content::Noise, 160, 96, 1, {4, 1, 2, 1, 1, 1}, nullptr,
            "4b9a42c4a83d78dca8c537dc54719c59a7b31e398102396ee8dad76723a74962"},
        Pinned{"noise_64x64_q95_grey", Content::Noise, 64, 64, 95, {1, 1, 0, 0, 0, 0}, nullptr,
            "bae6aa075f60e3df50769ef0ee0c4405833c2a7db39bab05473776949c1e37a6"},
        Pinned{"edges_1x1_q100", Content::Edges, 1, 1, 100, kDefault, nullptr,
            "0065f8dffe20d0602951c8b68c8c39b1e0c455c3818270ff1bdefcb2c4f1e048"},
        Pinned{"edges_9x9_q100", Content::Edges, 9, 9, 100, kDefault, nullptr,
            "861a70f8442235c18c6cb9d12ec8cb3aa45f6d4a8db7366aa76d86c33bf2341d"},
        Pinned{"edges_17x3_q60_3x2", Content::Edges, 17, 3, 60, {3, 2, 1, 2, 2, 1}, nullptr,
            "9c6c540bbead8f91b8fe42ca10a59175bf3944b5458572c877b8b3aae5fe0ad7"},
        Pinned{"edges_130x70_q100", Content::Edges, 130, 70, 100, kDefault, nullptr,
            "82b5837914f3036417080149649fe30925d806db619f19a72cfa0733d8ec24fb"}),
    [](const ::testing::TestParamInfo<Pinned>& info) { return std::string(info.param.name); });

// The hash itself, against the examples of FIPS 180-4 and a multi-block
// message.
TEST(Sha256, MatchesThePublishedExamples)
{
    EXPECT_EQ(test::Sha256().hex(), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    test::Sha256 h;
    h.update("abc");
    EXPECT_EQ(h.hex(), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    h.update("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq");
    EXPECT_EQ(h.hex(), "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
    const std::string million(1000000, 'a');
    h.update(million);
    EXPECT_EQ(h.hex(), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
}

}  // namespace
}  // namespace tav
