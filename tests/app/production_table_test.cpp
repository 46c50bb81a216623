// The production table: parts tile every full image, the rows the game clients expect, and
// the joining of table names to folders.
#include "app/production_table.h"

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

struct SeasonRow {
    int fullWidth, fullHeight;
    std::size_t partCount;
    bool startupLogo;
    const char* firstOzj;
    const char* lastOzj;
};

TEST(ProductionTableTest, SeasonsAsTheClientsExpectThem)
{
    const SeasonRow rows[kSeasonCount] = {
        {640, 256, 3, true, "\\loading01.ozj", "\\loading03.ozj"},
        {800, 478, 2, true, "\\lo_back_01.ozj", "\\lo_back_02.ozj"},
        {1280, 735, 6, false, "\\lo_back_s5_im01.ozj", "\\lo_back_s5_im06.ozj"},
        {1280, 768, 6, false, "\\lo_back_s5_im01.ozj", "\\lo_back_s5_im06.ozj"},
    };
    for (SeasonIndex s = 0; s < kSeasonCount; ++s) {
        SCOPED_TRACE("season " + std::to_string(s));
        const SeasonLayout& season = seasonLayout(s);
        EXPECT_EQ(season.fullWidth, rows[s].fullWidth);
        EXPECT_EQ(season.fullHeight, rows[s].fullHeight);
        ASSERT_EQ(season.parts.size(), rows[s].partCount);
        EXPECT_EQ(season.hasStartupLogo, rows[s].startupLogo);
        EXPECT_EQ(season.parts.front().ozjName, rows[s].firstOzj);
        EXPECT_EQ(season.parts.back().ozjName, rows[s].lastOzj);
    }
    EXPECT_EQ(seasonLayout(0).caption, "Season 1 or 2 ( 97d to 1.0x )");
    EXPECT_EQ(seasonLayout(3).caption, "Season 6 ( EN MODO TEST )");
    EXPECT_EQ(seasonLayout(0).folderBrowserTitle, "Save 3 logo parts");
    EXPECT_EQ(seasonLayout(2).completionText, "Your image(s) has been saved to selected folder");
    EXPECT_FALSE(isSeason(-1));
    EXPECT_FALSE(isSeason(kSeasonCount));
}

TEST(ProductionTableTest, NarrowMiddlePartAndBottomRowHeights)
{
    const SeasonLayout& s0 = seasonLayout(0);
    EXPECT_EQ(s0.parts[1].x, 256);
    EXPECT_EQ(s0.parts[1].width, 128);
    EXPECT_EQ(s0.parts[2].x, 384);
    for (int i = 3; i < 6; ++i) {
        EXPECT_EQ(seasonLayout(2).parts[i].height, 223);
        EXPECT_EQ(seasonLayout(3).parts[i].height, 256);
        EXPECT_EQ(seasonLayout(2).parts[i].y, 512);
        EXPECT_EQ(seasonLayout(3).parts[i].y, 512);
    }
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

TEST(ProductionTableTest, StartupLogo)
{
    const StartupLogoLayout& logo = startupLogoLayout();
    EXPECT_EQ(logo.width, 256);
    EXPECT_EQ(logo.height, 195);
    EXPECT_EQ(logo.jpegName, "\\intro.jpg");
    EXPECT_EQ(logo.saveDialogTitle, "Save image of intro ");
    EXPECT_EQ(logo.filterDescription, "Imagen OZJ ");
    EXPECT_EQ(logo.completionText, seasonLayout(0).completionText);
    EXPECT_EQ(logoTypeCaption(LogoType::StartupLogo), "Startup logo");
    EXPECT_EQ(logoTypeCaption(LogoType::LoadingScreen), "Loading Screen");
}

TEST(ProductionTableTest, PathInUsesThePlatformSeparator)
{
    EXPECT_EQ(pathIn("/out", "\\loading01.ozj"), std::filesystem::path("/out/loading01.ozj"));
    EXPECT_EQ(pathIn("/out/", "\\intro.jpg"), std::filesystem::path("/out/intro.jpg"));
    EXPECT_EQ(pathIn("/", "\\lo_back_01.ozj"), std::filesystem::path("/lo_back_01.ozj"));
    EXPECT_EQ(pathIn("rel", "\\a.jpg").filename(), "a.jpg");
}

}  // namespace
}  // namespace tav
