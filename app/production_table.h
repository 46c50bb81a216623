// The production table: for each client generation (season index) and logo type, which images
// the game client shows while it starts, how large they are, how the parts tile the scaled
// picture, and under which names they are written; with the texts of the dialogs and messages
// that go with each row. Every caption, size and file name of the logo run is defined here
// once; everything else reads it from here.
//
// File names begin with a backslash, the way the run joins them to a folder; use pathIn() to
// make a path of the platform from a folder and such a name.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string_view>

namespace tav {

// Season index: the selected client generation, 0 to 3.
using SeasonIndex = std::int16_t;
inline constexpr int kSeasonCount = 4;

// Logo type: index of the selected type option.
enum class LogoType : int { StartupLogo = 0, LoadingScreen = 1 };

// One rectangle of the scaled full image that becomes a part image of its own size.
struct PartLayout {
    int x;
    int y;
    int width;
    int height;
    std::string_view jpegName;  // intermediate JPEG in the application folder
    std::string_view ozjName;  // container in the chosen folder
};

struct SeasonLayout {
    std::string_view caption;  // caption of the season's option
    bool hasStartupLogo;  // false: the client of this season shows no startup logo
    int fullWidth;  // the loading screen's full image
    int fullHeight;
    std::span<const PartLayout> parts;  // in the order in which they are cut and written
    std::string_view folderBrowserTitle;
    std::string_view completionText;
};

struct StartupLogoLayout {
    int width;
    int height;
    std::string_view saveDialogTitle;
    std::string_view defaultFileName;
    std::string_view filterDescription;
    std::string_view filterPattern;
    std::string_view defaultExtension;
    std::string_view jpegName;  // intermediate JPEG in the application folder
    std::string_view completionText;
    // Shown instead of a run for a season without a startup logo.
    std::string_view noStartupLogoText;
    std::string_view noStartupLogoTitle;
};

// Captions of the logo types, indexed by LogoType.
std::string_view logoTypeCaption(LogoType type);

// The row of a season; `season` must be 0 to kSeasonCount - 1 (checked: the program stops
// otherwise). Use isSeason() first for a value from outside.
const SeasonLayout& seasonLayout(SeasonIndex season);
constexpr bool isSeason(int season) { return season >= 0 && season < kSeasonCount; }

const StartupLogoLayout& startupLogoLayout();

// Title of every completion message.
std::string_view completionTitle();

// `folder` joined with a table name such as "\loading01.ozj": the leading backslash is the
// separator of the system the names were made for, so it is dropped and the platform's own
// separator used.
std::filesystem::path pathIn(const std::filesystem::path& folder, std::string_view name);

}  // namespace tav
