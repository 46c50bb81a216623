// What the desktop program says and takes on its command line, the same on Linux and Windows:
//   tavrenix                            shows the window
//   tavrenix --screenshot FILE.png      renders the main window in its start state into FILE.png
//   tavrenix --frame-gallery FILE.png   renders the frame-control gallery into FILE.png
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace tav {

inline constexpr std::string_view kScreenshotOption = "--screenshot";
inline constexpr std::string_view kFrameGalleryOption = "--frame-gallery";
inline constexpr std::string_view kHelpOption = "--help";
inline constexpr std::string_view kProgramName = "tavrenix";

inline constexpr std::string_view kNoWorkFolderTitle = "Tavrenix";
inline constexpr std::string_view kNoWorkFolderText = "Tavrenix found no folder it may write its intermediate files to:";

// The usage lines; `windowOptions` follows the program's name on the first (" [Qt options]").
inline std::string usageText(std::string_view windowOptions)
{
    return "usage: tavrenix" + std::string(windowOptions) +
           "\n"
           "       tavrenix --screenshot FILE.png\n"
           "       tavrenix --frame-gallery FILE.png\n";
}

// A failed rendering, said on standard error.
inline void printError(std::string_view problem)
{
    std::fprintf(stderr, "%s: error: %.*s\n", kProgramName.data(), int(problem.size()), problem.data());
}

enum class ProgramMode { Window, Screenshot, FrameGallery, Help, Misused };

// What the arguments after the program's name ask for. `toolkitOption` says whether an
// argument is one the window's toolkit takes itself (Qt's begin with one dash; Windows has
// none).
template <typename Arguments>
ProgramMode programModeOf(const Arguments& arguments, bool (*toolkitOption)(std::string_view))
{
    if (arguments.empty())
        return ProgramMode::Window;
    const std::string_view first = arguments.front();
    if (first == kHelpOption || first == "-h")
        return arguments.size() == 1 ? ProgramMode::Help : ProgramMode::Misused;
    if (first == kScreenshotOption || first == kFrameGalleryOption) {
        if (arguments.size() != 2)
            return ProgramMode::Misused;
        return first == kScreenshotOption ? ProgramMode::Screenshot : ProgramMode::FrameGallery;
    }
    return toolkitOption && toolkitOption(first) ? ProgramMode::Window : ProgramMode::Misused;
}

}  // namespace tav
