// The production table's one definition. Seasons 2 and 3 share their top row of parts and all
// six file names; only the bottom row's height differs (223 rows against 256), so the shared
// parts and names are written once and both rows refer to them.
#include "app/production_table.h"

#include <array>
#include <cstdlib>

namespace tav {

namespace {

constexpr std::string_view kStartupLogoCaption = "Startup logo";
constexpr std::string_view kLoadingScreenCaption = "Loading Screen";

constexpr std::string_view kSavedToChosenFolder = "Your image(s) has been saved to chosen folder";
constexpr std::string_view kSavedToSelectedFolder = "Your image(s) has been saved to selected folder";
constexpr std::string_view kSavingSixParts = "Saving 6 logo parts";
constexpr std::string_view kCompletionTitle = "Done";

// Season 0: 640 x 256 in three parts.
constexpr std::array<PartLayout, 3> kSeason0Parts{{
    {0, 0, 256, 256, "\\loading01.jpg", "\\loading01.ozj"},
    {256, 0, 128, 256, "\\loading02.jpg", "\\loading02.ozj"},
    {384, 0, 256, 256, "\\loading03.jpg", "\\loading03.ozj"},
}};

// Season 1: 800 x 478 in two parts.
constexpr std::array<PartLayout, 2> kSeason1Parts{{
    {0, 0, 512, 478, "\\lo_back_01.jpg", "\\lo_back_01.ozj"},
    {512, 0, 288, 478, "\\lo_back_02.jpg", "\\lo_back_02.ozj"},
}};

// Seasons 2 and 3: six parts in two rows; the top row is 512 rows high.
struct NamePair {
    std::string_view jpeg;
    std::string_view ozj;
};
constexpr std::array<NamePair, 6> kSixPartNames{{
    {"\\lo_back_s5_im01.jpg", "\\lo_back_s5_im01.ozj"},
    {"\\lo_back_s5_im02.jpg", "\\lo_back_s5_im02.ozj"},
    {"\\lo_back_s5_im03.jpg", "\\lo_back_s5_im03.ozj"},
    {"\\lo_back_s5_im04.jpg", "\\lo_back_s5_im04.ozj"},
    {"\\lo_back_s5_im05.jpg", "\\lo_back_s5_im05.ozj"},
    {"\\lo_back_s5_im06.jpg", "\\lo_back_s5_im06.ozj"},
}};
constexpr int kSixPartColumnX[3] = {0, 512, 1024};
constexpr int kSixPartColumnWidth[3] = {512, 512, 256};
constexpr int kSixPartTopHeight = 512;
constexpr int kSixPartFullWidth = 1280;
constexpr int kSeason2BottomHeight = 223;
constexpr int kSeason3BottomHeight = 256;

constexpr std::array<PartLayout, 6> sixParts(int bottomHeight)
{
    std::array<PartLayout, 6> parts{};
    for (int i = 0; i < 6; ++i) {
        const int column = i % 3;
        const bool top = i < 3;
        parts[i] = PartLayout{kSixPartColumnX[column], top ? 0 : kSixPartTopHeight, kSixPartColumnWidth[column],
            top ? kSixPartTopHeight : bottomHeight, kSixPartNames[i].jpeg, kSixPartNames[i].ozj};
    }
    return parts;
}

constexpr std::array<PartLayout, 6> kSeason2Parts = sixParts(kSeason2BottomHeight);
constexpr std::array<PartLayout, 6> kSeason3Parts = sixParts(kSeason3BottomHeight);

constexpr std::array<SeasonLayout, kSeasonCount> kSeasons{{
    {"Season 1 or 2 ( 97d to 1.0x )", true, 640, 256, kSeason0Parts, "Save 3 logo parts", kSavedToChosenFolder},
    {"Season 3 or 4 ( 1.04x or similar )", true, 800, 478, kSeason1Parts, "Saving 2 logo parts", kSavedToChosenFolder},
    {"Season 5 ( 1.05c or similar )", false, kSixPartFullWidth, kSixPartTopHeight + kSeason2BottomHeight, kSeason2Parts,
        kSavingSixParts, kSavedToSelectedFolder},
    {"Season 6 ( EN MODO TEST )", false, kSixPartFullWidth, kSixPartTopHeight + kSeason3BottomHeight, kSeason3Parts,
        kSavingSixParts, kSavedToSelectedFolder},
}};

constexpr StartupLogoLayout kStartupLogo{
    256,
    195,
    "Save image of intro ",
    "IntroLogo",
    "Imagen OZJ ",
    "*.ozj",
    "ozj",
    "\\intro.jpg",
    kSavedToChosenFolder,
    "This season not have intros in the client",
    "Info",
};

// The parts of every season tile its full image exactly: checked here once, so a mistyped
// rectangle cannot build.
constexpr bool tilesExactly(const SeasonLayout& season)
{
    long long area = 0;
    for (const PartLayout& p : season.parts) {
        if (p.x < 0 || p.y < 0 || p.width <= 0 || p.height <= 0 || p.x + p.width > season.fullWidth ||
            p.y + p.height > season.fullHeight)
            return false;
        for (const PartLayout& q : season.parts) {
            if (&p == &q)
                continue;
            const bool apart =
                p.x + p.width <= q.x || q.x + q.width <= p.x || p.y + p.height <= q.y || q.y + q.height <= p.y;
            if (!apart)
                return false;
        }
        area += static_cast<long long>(p.width) * p.height;
    }
    return area == static_cast<long long>(season.fullWidth) * season.fullHeight;
}
static_assert(
    tilesExactly(kSeasons[0]) && tilesExactly(kSeasons[1]) && tilesExactly(kSeasons[2]) && tilesExactly(kSeasons[3]));

}  // namespace

std::string_view logoTypeCaption(LogoType type)
{
    return type == LogoType::StartupLogo ? kStartupLogoCaption : kLoadingScreenCaption;
}

const SeasonLayout& seasonLayout(SeasonIndex season)
{
    // A season outside the table is a caller's bug; reading past the table would be worse.
    if (!isSeason(season))
        std::abort();
    return kSeasons[std::size_t(season)];
}

const StartupLogoLayout& startupLogoLayout() { return kStartupLogo; }

std::string_view completionTitle() { return kCompletionTitle; }

std::filesystem::path pathIn(const std::filesystem::path& folder, std::string_view name)
{
    while (!name.empty() && (name.front() == '\\' || name.front() == '/'))
        name.remove_prefix(1);
    return folder / std::filesystem::path(name);
}

}  // namespace tav
