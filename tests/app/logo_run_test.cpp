// The logo run with a scripted user: what it asks, what it says, what it leaves on disk.
#include "app/jpeg_export.h"
#include "app/logo_run.h"
#include "app/ozj_container.h"
#include "app_test_support.h"
#include "cli_runner.h"
#include "tests/support/fixed_texts.h"
#include "tests/support/scripted_user.h"

#include <gtest/gtest.h>

#include <turbojpeg.h>

#include <fstream>
#include <set>

namespace tav {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

using test::Message;
using test::ScriptedUser;

std::set<std::string> namesIn(const fs::path& folder)
{
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(folder))
        names.insert(e.path().filename().string());
    return names;
}

// Width and height of the JPEG inside a container, by an independent decoder.
std::pair<int, int> containerPictureSize(const fs::path& ozj)
{
    std::ifstream in(ozj, std::ios::binary);
    std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(in)), {});
    const std::vector<std::uint8_t> jpeg = unwrapOzj(bytes);
    tjhandle tj = tjInitDecompress();
    int w = 0, h = 0, sub = 0, space = 0;
    const int rc = tjDecompressHeader3(tj, jpeg.data(), jpeg.size(), &w, &h, &sub, &space);
    tjDestroy(tj);
    EXPECT_EQ(rc, 0) << ozj;
    return {w, h};
}

class LogoRunTest : public ::testing::Test {
protected:
    TempDir dir;
    fs::path work = dir / "work";
    fs::path out = dir / "out";
    ScriptedUser user;
    std::unique_ptr<LogoCutter> cutter = std::make_unique<LogoCutter>();
    fs::path picture;

    void SetUp() override
    {
        fs::create_directories(work);
        fs::create_directories(out);
        picture = test::writeBmp(dir, "picture.bmp", 90, 60,
            [](int x, int y) { return RGB(std::uint8_t(x * 2), std::uint8_t(y * 3), 90); });
        user.folderAnswer = out.string();
        user.fileAnswer = (out / "IntroLogo.ozj").string();
    }
    RunOutcome make(int season, LogoType type, const fs::path& path)
    {
        LogoRun run(user, *cutter, work);
        return run.make(SeasonIndex(season), type, path.string());
    }
};

TEST_F(LogoRunTest, EachSeasonWritesExactlyItsContainersAndSaysDone)
{
    for (int s = 0; s < kSeasonCount; ++s) {
        fs::remove_all(out);
        fs::create_directories(out);
        user.messages.clear();
        const RunOutcome outcome = make(s, LogoType::LoadingScreen, picture);
        ASSERT_EQ(outcome.status, RunOutcome::Status::Done) << "season " << s;
        const fixed::Season& layout = fixed::kSeasons[std::size_t(s)];
        EXPECT_EQ(user.folderTitles.back(), layout.folderBrowserTitle);
        std::set<std::string> expected;
        for (const fixed::Part& part : layout.parts) {
            expected.insert(pathIn("", part.ozjName).string());
            EXPECT_EQ(containerPictureSize(pathIn(out, part.ozjName)), std::make_pair(part.width, part.height));
        }
        EXPECT_EQ(namesIn(out), expected) << "season " << s;
        // Every intermediate is gone from the work folder.
        EXPECT_TRUE(namesIn(work).empty());
        ASSERT_EQ(user.messages.size(), 1u);
        EXPECT_EQ(user.messages[0].text, layout.completionText);
        EXPECT_EQ(user.messages[0].title, fixed::kCompletionTitle);
        EXPECT_EQ(user.messages[0].icon, MessageIcon::Information);
        // Under the text: the folder and how many files went there.
        EXPECT_EQ(user.messages[0].detail,
            std::to_string(layout.parts.size()) + " files written in " + out.string());
    }
}

TEST_F(LogoRunTest, StartupLogoAsksWhereToSaveAndWritesOne256x195Container)
{
    const RunOutcome outcome = make(1, LogoType::StartupLogo, picture);
    ASSERT_EQ(outcome.status, RunOutcome::Status::Done);
    ASSERT_EQ(user.fileDialogs.size(), 1u);
    const FileDialogRequest& r = user.fileDialogs[0];
    EXPECT_EQ(r.mode, FileDialogMode::Save);
    EXPECT_EQ(r.title, fixed::kSaveDialogTitle);
    EXPECT_EQ(r.defaultFileName, fixed::kSaveDefaultName);
    ASSERT_EQ(r.filters.size(), 1u);
    EXPECT_EQ(r.filters[0].description, fixed::kSaveFilterDescription);
    EXPECT_EQ(r.filters[0].pattern, fixed::kSaveFilterPattern);
    EXPECT_EQ(r.defaultExtension, fixed::kSaveDefaultExtension);
    EXPECT_EQ(r.initialFolder, work.string());
    EXPECT_EQ(containerPictureSize(user.fileAnswer), std::make_pair(fixed::kStartupLogoWidth, fixed::kStartupLogoHeight));
    ASSERT_EQ(user.messages.size(), 1u);
    EXPECT_EQ(user.messages[0].text, fixed::kStartupLogoCompletionText);
    EXPECT_EQ(user.messages[0].title, fixed::kCompletionTitle);
    EXPECT_EQ(user.messages[0].icon, MessageIcon::Information);
    EXPECT_EQ(user.messages[0].detail, "1 file written: " + user.fileAnswer);
}

// Nothing the run has not done is called done: a season outside the table is refused aloud,
// and an outcome nobody filled in says nothing was done.
TEST_F(LogoRunTest, ASeasonOutsideTheTableIsRefusedAndNothingIsWritten)
{
    EXPECT_EQ(RunOutcome{}.status, RunOutcome::Status::NothingDone);
    for (int s : {-1, 4, 100}) {
        for (LogoType type : {LogoType::StartupLogo, LogoType::LoadingScreen}) {
            user.messages.clear();
            const RunOutcome outcome = make(s, type, picture);
            EXPECT_EQ(outcome.status, RunOutcome::Status::Refused) << s;
            ASSERT_EQ(user.messages.size(), 1u) << s;
            EXPECT_EQ(user.messages[0].icon, MessageIcon::Critical);
            EXPECT_NE(user.messages[0].text.find(std::to_string(s)), std::string::npos) << user.messages[0].text;
        }
    }
    EXPECT_TRUE(user.fileDialogs.empty());
    EXPECT_TRUE(user.folderTitles.empty());
    EXPECT_TRUE(namesIn(out).empty());
    EXPECT_TRUE(namesIn(work).empty());
}

TEST_F(LogoRunTest, TheSaveDialogStartsInTheDialogFolderWhenOneIsGiven)
{
    LogoRun run(user, *cutter, work, dir / "pictures");
    ASSERT_EQ(run.make(0, LogoType::StartupLogo, picture.string()).status, RunOutcome::Status::Done);
    ASSERT_EQ(user.fileDialogs.size(), 1u);
    EXPECT_EQ(user.fileDialogs[0].initialFolder, (dir / "pictures").string());
    EXPECT_TRUE(namesIn(work).empty());
}

TEST_F(LogoRunTest, NoStartupLogoForTheNewestSeasonsOnlyTheInfoMessage)
{
    for (int s : {2, 3}) {
        user.messages.clear();
        EXPECT_EQ(make(s, LogoType::StartupLogo, picture).status, RunOutcome::Status::Refused);
        EXPECT_TRUE(user.fileDialogs.empty());
        EXPECT_TRUE(user.folderTitles.empty());
        ASSERT_EQ(user.messages.size(), 1u);
        EXPECT_EQ(user.messages[0].text, fixed::kNoStartupLogoText);
        EXPECT_EQ(user.messages[0].title, fixed::kNoStartupLogoTitle);
        EXPECT_EQ(user.messages[0].icon, MessageIcon::Information);
    }
    EXPECT_TRUE(namesIn(out).empty());
    EXPECT_TRUE(namesIn(work).empty());
}

TEST_F(LogoRunTest, CancellingTheDestinationEndsSilently)
{
    user.folderAnswer.clear();
    user.fileAnswer.clear();
    EXPECT_EQ(make(0, LogoType::LoadingScreen, picture).status, RunOutcome::Status::Cancelled);
    EXPECT_EQ(make(0, LogoType::StartupLogo, picture).status, RunOutcome::Status::Cancelled);
    EXPECT_TRUE(user.messages.empty());
    EXPECT_TRUE(namesIn(out).empty());
    EXPECT_TRUE(namesIn(work).empty());
}

TEST_F(LogoRunTest, APictureThatCannotBeReadStopsTheRunBeforeAnythingIsWritten)
{
    const fs::path broken = dir.write("broken.jpg", {0xFF, 0xD8, 0xFF, 0xE0, 0, 16, 'J', 'F'});
    for (const fs::path& bad : {broken, dir / "missing.bmp"}) {
        user.messages.clear();
        const RunOutcome outcome = make(0, LogoType::LoadingScreen, bad);
        EXPECT_EQ(outcome.status, RunOutcome::Status::Unreadable) << bad;
        ASSERT_EQ(user.messages.size(), 1u);
        EXPECT_EQ(user.messages[0].icon, MessageIcon::Critical);
        EXPECT_NE(user.messages[0].text.find(bad.filename().string()), std::string::npos) << user.messages[0].text;
        EXPECT_TRUE(namesIn(out).empty());
        EXPECT_TRUE(namesIn(work).empty());
    }
}

// A 24-bit surface is sampled in place; any other goes through the scratch bitmap and a pixel
// buffer. Both ways must give the same JPEG for the same pixels.
TEST_F(LogoRunTest, ExportGivesTheSameJpegWithOrWithoutTheScratchBitmap)
{
    const auto entry = [](int i) { return RGB(i * 7 % 256, i * 5 % 256, i % 3 * 100); };
    const auto index = [](int x, int y) { return (x * 3 + y * 11) % 256; };
    BITMAPINFO info = makeBitmapInfo(37, 23, 8);
    for (int i = 0; i < 256; ++i)
        info.bmiColors[i] = RGBQUAD{GetBValue(entry(i)), GetGValue(entry(i)), GetRValue(entry(i)), 0};
    info.bmiHeader.biClrUsed = 256;
    const auto indexed = MemorySurface::create(info);
    for (int y = 0; y < 23; ++y)
        for (int x = 0; x < 37; ++x)
            indexed->bitmap().row(y)[x] = std::uint8_t(index(x, y));
    const auto direct = test::makeBitmap(37, 23, [&](int x, int y) { return entry(index(x, y)); });

    const fs::path scratch = pathIn(work, fixed::kScratchBitmapName);
    ExportJpeg(*direct, work / "direct.jpg", work);
    EXPECT_FALSE(fs::exists(scratch));
    ExportJpeg(*indexed, work / "indexed.jpg", work);
    EXPECT_TRUE(fs::exists(scratch));
    EXPECT_EQ(test::slurp(work / "direct.jpg"), test::slurp(work / "indexed.jpg"));
}

TEST_F(LogoRunTest, AStaleIntermediateIsReplacedByThePictureTheUserChose)
{
    const fs::path stale = pathIn(work, fixed::kStartupLogoJpegName);
    // A valid JPEG of another size, left over from some earlier run.
    {
        auto other = test::makeBitmap(40, 40, [](int, int) { return RGB(1, 2, 3); });
        ExportJpeg(*other, stale, work);
    }
    ASSERT_TRUE(fs::exists(stale));
    ASSERT_EQ(make(0, LogoType::StartupLogo, picture).status, RunOutcome::Status::Done);
    EXPECT_EQ(containerPictureSize(user.fileAnswer), std::make_pair(256, 195));
    EXPECT_FALSE(fs::exists(stale));
}

TEST_F(LogoRunTest, AFileThatCannotBeWrittenIsNamedAndTheOthersAreStillWritten)
{
    // A folder stands where the second part's container would go.
    fs::create_directory(pathIn(out, seasonLayout(0).parts[1].ozjName));
    const RunOutcome outcome = make(0, LogoType::LoadingScreen, picture);
    EXPECT_EQ(outcome.status, RunOutcome::Status::Incomplete);
    ASSERT_EQ(outcome.failed.size(), 1u);
    EXPECT_EQ(outcome.written.size(), 2u);
    EXPECT_TRUE(fs::is_regular_file(pathIn(out, seasonLayout(0).parts[0].ozjName)));
    EXPECT_TRUE(fs::is_regular_file(pathIn(out, seasonLayout(0).parts[2].ozjName)));
    ASSERT_EQ(user.messages.size(), 1u);
    EXPECT_EQ(user.messages[0].title, kRunErrorTitle);
    EXPECT_NE(user.messages[0].text.find(outcome.failed[0].path.string()), std::string::npos);
    EXPECT_EQ(user.messages[0].detail, "2 files written in " + out.string());
    for (const Message& m : user.messages)
        EXPECT_NE(m.title, completionTitle());
    EXPECT_TRUE(namesIn(work).empty());
}

TEST_F(LogoRunTest, AnUnwritableWorkFolderFailsEveryFileAndNeverSaysDone)
{
    const fs::path notAFolder = dir.write("work-file", {1});
    LogoRun run(user, *cutter, notAFolder);
    const RunOutcome outcome = run.make(1, LogoType::LoadingScreen, picture.string());
    EXPECT_EQ(outcome.status, RunOutcome::Status::Incomplete);
    EXPECT_EQ(outcome.failed.size(), 2u);
    EXPECT_TRUE(namesIn(out).empty());
    ASSERT_EQ(user.messages.size(), 1u);
    EXPECT_EQ(user.messages[0].icon, MessageIcon::Critical);
}

}  // namespace
}  // namespace tav
