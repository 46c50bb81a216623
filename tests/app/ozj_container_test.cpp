#include "app/ozj_container.h"
#include "platform/file_access.h"
#include "platform/run_time_error.h"

#include <gtest/gtest.h>

#include <fstream>
#include <numeric>

namespace tav {
namespace {

namespace fs = std::filesystem;

class TempFolder {
public:
    TempFolder()
    {
        std::string pattern = (fs::temp_directory_path() / "tavrenix-test.XXXXXX").string();
        m_path = mkdtemp(pattern.data());
    }
    ~TempFolder()
    {
        std::error_code ec;
        fs::permissions(m_path, fs::perms::owner_all, fs::perm_options::add, ec);
        fs::remove_all(m_path, ec);
    }
    const fs::path& path() const { return m_path; }

private:
    fs::path m_path;
};

std::vector<std::uint8_t> jpegLike(std::size_t size)
{
    std::vector<std::uint8_t> bytes(size);
    std::iota(bytes.begin(), bytes.end(), std::uint8_t(7));
    bytes[0] = 0xFF;
    bytes[1] = 0xD8;
    return bytes;
}

void writeRaw(const fs::path& path, const std::vector<std::uint8_t>& bytes)
{
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

TEST(OzjContainer, IsTheJpegBehindACopyOfItsFirst24Bytes)
{
    const auto jpeg = jpegLike(1000);
    const auto ozj = wrapOzj(jpeg);
    ASSERT_EQ(ozj.size(), 1024u);
    EXPECT_TRUE(std::equal(jpeg.begin(), jpeg.end(), ozj.begin() + 24));
    EXPECT_TRUE(std::equal(ozj.begin(), ozj.begin() + 24, ozj.begin() + 24));
    EXPECT_EQ(unwrapOzj(ozj), jpeg);
    // Exactly 24 bytes is the shortest stream that can be wrapped.
    EXPECT_EQ(wrapOzj(jpegLike(24)).size(), 48u);
}

TEST(OzjContainer, RefusesWhatIsNotAContainerOrTooShortToWrap)
{
    try {
        wrapOzj(jpegLike(23));
        FAIL() << "a 23-byte stream was wrapped";
    } catch (const RunTimeError& e) {
        EXPECT_EQ(e.number(), kErrBadFileFormat);
        EXPECT_NE(std::string(e.what()).find("23 bytes"), std::string::npos);
    }
    auto ozj = wrapOzj(jpegLike(100));
    auto headerChanged = ozj;
    headerChanged[5] ^= 1;
    auto notJpeg = ozj;
    notJpeg[24] = 0;
    notJpeg[0] = 0;
    for (const auto& bad : {headerChanged, notJpeg, std::vector<std::uint8_t>(ozj.begin(), ozj.begin() + 40)})
        EXPECT_THROW(unwrapOzj(bad), RunTimeError);
}

TEST(WriteOzjTest, WritesTheContainerAndDeletesTheJpeg)
{
    TempFolder dir;
    const fs::path jpeg = dir.path() / "loading01.jpg", ozj = dir.path() / "loading01.ozj";
    writeRaw(jpeg, jpegLike(500));
    // An older, longer container of the same name leaves no stale bytes behind.
    writeRaw(ozj, std::vector<std::uint8_t>(5000, 0xAB));
    WriteOzj(jpeg, ozj);
    EXPECT_FALSE(fs::exists(jpeg));
    EXPECT_EQ(readWholeFile(ozj), wrapOzj(jpegLike(500)));
    // The source is gone, so the same JPEG cannot be wrapped twice.
    EXPECT_THROW(WriteOzj(jpeg, dir.path() / "again.ozj"), RunTimeError);
    EXPECT_FALSE(fs::exists(dir.path() / "again.ozj"));
}

TEST(WriteOzjTest, AFailureKeepsTheOlderContainerAndTheJpeg)
{
    TempFolder dir;
    const fs::path jpeg = dir.path() / "intro.jpg";
    writeRaw(jpeg, jpegLike(300));
    // The destination is a folder: nothing can be written there.
    fs::create_directory(dir.path() / "taken.ozj");
    EXPECT_THROW(WriteOzj(jpeg, dir.path() / "taken.ozj"), RunTimeError);
    EXPECT_TRUE(fs::exists(jpeg));
    // The destination's folder does not exist.
    EXPECT_THROW(WriteOzj(jpeg, dir.path() / "missing" / "x.ozj"), RunTimeError);
    EXPECT_TRUE(fs::exists(jpeg));
    // A source too short to wrap writes nothing.
    writeRaw(jpeg, jpegLike(10));
    const fs::path old = dir.path() / "old.ozj";
    writeRaw(old, {1, 2, 3});
    EXPECT_THROW(WriteOzj(jpeg, old), RunTimeError);
    EXPECT_EQ(readWholeFile(old), (std::vector<std::uint8_t>{1, 2, 3}));
    // No temporary file is left behind by any of them.
    for (const auto& entry : fs::directory_iterator(dir.path()))
        EXPECT_NE(entry.path().filename().string().front(), '.') << entry.path();
}

}  // namespace
}  // namespace tav
