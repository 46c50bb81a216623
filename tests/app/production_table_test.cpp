// The production table: parts tile every full image, the rows the game clients expect (held to
// the list of fixed texts and sizes written out apart from the program), and the joining of
// table names to folders.
#include "app/production_table.h"

#include "tests/support/fixed_texts.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace tav {
namespace {

// Every pixel of the full image belongs to exactly one part.
TEST(ProductionTableTest, PartsTileEachFullImageWithoutGapOrOverlap)
{
    for (SeasonIndex s = 0; s < kSeasonCount; ++s) {
        SCOPED_TRACE("season " + std::to_string(s));
        const SeasonLayout& season = seasonLayout(s);
        std::vector<int> cover(std::size_t(season.fullWidth) * std::size_t(season.fullHeight), 0);
        for (const PartLayout& part : season.parts) {
            ASSERT_GE(part.x, 0);
            ASSERT_GE(part.y, 0);
            ASSERT_LE(part.x + part.width, season.fullWidth);
            ASSERT_LE(part.y + part.height, season.fullHeight);
            for (int y = part.y; y < part.y + part.height; ++y)
                for (int x = part.x; x < part.x + part.width; ++x)
                    ++cover[std::size_t(y) * std::size_t(season.fullWidth) + std::size_t(x)];
        }
        for (std::size_t i = 0; i < cover.size(); ++i)
            ASSERT_EQ(cover[i], 1) << "pixel " << i % std::size_t(season.fullWidth) << ", "
                                   << i / std::size_t(season.fullWidth);
    }
}

// Only the two oldest clients show a startup logo, always 256 x 195.
TEST(ProductionTableTest, StartupLogoOnlyForTheOldestSeasons)
{
    EXPECT_TRUE(seasonLayout(0).hasStartupLogo);
    EXPECT_TRUE(seasonLayout(1).hasStartupLogo);
    EXPECT_FALSE(seasonLayout(2).hasStartupLogo);
    EXPECT_FALSE(seasonLayout(3).hasStartupLogo);
    EXPECT_EQ(startupLogoLayout().width, 256);
    EXPECT_EQ(startupLogoLayout().height, 195);
    EXPECT_FALSE(isSeason(-1));
    EXPECT_FALSE(isSeason(kSeasonCount));
}

// Every row of the table as the game clients expect it: the caption, the sizes, each part's
// rectangle and names in the order they are written, the folder browser's title and the
// completion text.
TEST(ProductionTableTest, SeasonRowsAreTheFixedOnes)
{
    for (SeasonIndex s = 0; s < kSeasonCount; ++s) {
        SCOPED_TRACE("season " + std::to_string(s));
        const SeasonLayout& season = seasonLayout(s);
        const fixed::Season& expected = fixed::kSeasons[std::size_t(s)];
        EXPECT_EQ(season.caption, expected.caption);
        EXPECT_EQ(season.hasStartupLogo, expected.hasStartupLogo);
        EXPECT_EQ(season.fullWidth, expected.fullWidth);
        EXPECT_EQ(season.fullHeight, expected.fullHeight);
        EXPECT_EQ(season.folderBrowserTitle, expected.folderBrowserTitle);
        EXPECT_EQ(season.completionText, expected.completionText);
        ASSERT_EQ(season.parts.size(), expected.parts.size());
        for (std::size_t i = 0; i < season.parts.size(); ++i) {
            SCOPED_TRACE("part " + std::to_string(i + 1));
            const PartLayout& part = season.parts[i];
            const fixed::Part& want = expected.parts[i];
            EXPECT_EQ(part.x, want.x);
            EXPECT_EQ(part.y, want.y);
            EXPECT_EQ(part.width, want.width);
            EXPECT_EQ(part.height, want.height);
            EXPECT_EQ(part.jpegName, want.jpegName);
            EXPECT_EQ(part.ozjName, want.ozjName);
        }
    }
}

TEST(ProductionTableTest, StartupLogoAndLogoTypeTextsAreTheFixedOnes)
{
    EXPECT_EQ(logoTypeCaption(LogoType::StartupLogo), fixed::kLogoTypeCaptions[0]);
    EXPECT_EQ(logoTypeCaption(LogoType::LoadingScreen), fixed::kLogoTypeCaptions[1]);
    EXPECT_EQ(completionTitle(), fixed::kCompletionTitle);

    const StartupLogoLayout& logo = startupLogoLayout();
    EXPECT_EQ(logo.width, fixed::kStartupLogoWidth);
    EXPECT_EQ(logo.height, fixed::kStartupLogoHeight);
    EXPECT_EQ(logo.saveDialogTitle, fixed::kSaveDialogTitle);
    EXPECT_EQ(logo.defaultFileName, fixed::kSaveDefaultName);
    EXPECT_EQ(logo.filterDescription, fixed::kSaveFilterDescription);
    EXPECT_EQ(logo.filterPattern, fixed::kSaveFilterPattern);
    EXPECT_EQ(logo.defaultExtension, fixed::kSaveDefaultExtension);
    EXPECT_EQ(logo.jpegName, fixed::kStartupLogoJpegName);
    EXPECT_EQ(logo.completionText, fixed::kStartupLogoCompletionText);
    EXPECT_EQ(logo.noStartupLogoText, fixed::kNoStartupLogoText);
    EXPECT_EQ(logo.noStartupLogoTitle, fixed::kNoStartupLogoTitle);
}

// Seasons 2 and 3 write the same six files; every other name is used once, and each part's
// JPEG and container names differ only in their extension.
TEST(ProductionTableTest, FileNames)
{
    std::set<std::string_view> names;
    for (SeasonIndex s = 0; s < kSeasonCount; ++s) {
        const SeasonLayout& season = seasonLayout(s);
        for (std::size_t i = 0; i < season.parts.size(); ++i) {
            const PartLayout& part = season.parts[i];
            ASSERT_GT(part.jpegName.size(), 5u);
            EXPECT_EQ(part.jpegName.front(), '\\');
            EXPECT_TRUE(part.jpegName.ends_with(".jpg")) << part.jpegName;
            EXPECT_TRUE(part.ozjName.ends_with(".ozj")) << part.ozjName;
            EXPECT_EQ(
                part.jpegName.substr(0, part.jpegName.size() - 4), part.ozjName.substr(0, part.ozjName.size() - 4));
            if (s == 3)
                EXPECT_EQ(part.ozjName, seasonLayout(2).parts[i].ozjName);
            else
                EXPECT_TRUE(names.insert(part.jpegName).second) << part.jpegName;
        }
    }
    EXPECT_EQ(names.count(startupLogoLayout().jpegName), 0u);
}

TEST(ProductionTableTest, PathInUsesThePlatformSeparator)
{
    EXPECT_EQ(pathIn("/out", "\\part01.ozj"), std::filesystem::path("/out/part01.ozj"));
    EXPECT_EQ(pathIn("/out/", "\\logo.jpg"), std::filesystem::path("/out/logo.jpg"));
    EXPECT_EQ(pathIn("/", "\\part02.ozj"), std::filesystem::path("/part02.ozj"));
    EXPECT_EQ(pathIn("rel", "\\a.jpg").filename(), "a.jpg");
}

}  // namespace
}  // namespace tav
