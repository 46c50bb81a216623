// The main window's control table.
#include "app/main_window_layout.h"

#include "app/production_table.h"

#include <stdexcept>

namespace tav {
namespace {

constexpr Colour kBlackText = rgbColour(0, 0, 0);
constexpr Colour kHeaderWhite = rgbColour(255, 255, 255);
constexpr Colour kInfoYellow = rgbColour(255, 255, 0);
constexpr Colour kWebWhite = rgbColour(255, 255, 255);
constexpr int kHeaderHeight = 51;

ControlSpec control(std::string name, ControlKind kind, std::string parent, int x, int y, int width, int height,
                    std::string text = {}, double points = kControlPoints, Colour colour = kBlackText,
                    TextPlacement placement = TextPlacement::TopLeftWrapped, std::string toolTip = {})
{
    return ControlSpec{std::move(name), kind,   std::move(parent), x, y, width, height, std::move(text), points, colour,
                       placement,       std::move(toolTip)};
}

// A frame's name and size are its stored ones.
ControlSpec frameSpec(MainWindowFrame which, int x, int y)
{
    const StoredFrame stored = storedMainWindowFrame(which);
    return control(std::string(stored.name.begin(), stored.name.end()), ControlKind::Frame, "", x, y, stored.width,
                   stored.height);
}

std::vector<ControlSpec> makeControls()
{
    using K = ControlKind;
    std::vector<ControlSpec> c;
    const auto add = [&c](ControlSpec spec) { c.push_back(std::move(spec)); };

    // Step 1: the client generation, the options bottom up as the window lists them.
    add(frameSpec(MainWindowFrame::Season, 14, 63));
    const int seasonX[kSeasonCount] = {5, 5, 5, 7};
    const int seasonY[kSeasonCount] = {35, 60, 85, 112};
    for (int s = kSeasonCount - 1; s >= 0; --s)
        add(control(seasonOptionName(s), K::Option, "jcfSeason", seasonX[s], seasonY[s], 231, 21,
             std::string(seasonLayout(SeasonIndex(s)).caption), kControlPoints));

    // The header bar.
    add(control("PicHeader", K::HeaderBar, "", 0, 0, kMainWidth, kHeaderHeight, "", kControlPoints, kHeaderWhite));
    add(control("lblWeb", K::Label, "PicHeader", 220, 5, 274, 44, "Tavrenix", kLargePoints, kBlackText,
         TextPlacement::Centred));

    // Step 2: the logo type.
    add(frameSpec(MainWindowFrame::LogoType, 14, 217));
    add(control(logoTypeOptionName(0), K::Option, "jcFrames1", 5, 35, 231, 21,
         std::string(logoTypeCaption(LogoType::StartupLogo)), kControlPoints));
    add(control(logoTypeOptionName(1), K::Option, "jcFrames1", 5, 60, 231, 21,
         std::string(logoTypeCaption(LogoType::LoadingScreen)), kControlPoints));

    // Step 3: the picture.
    add(frameSpec(MainWindowFrame::Image, 336, 63));
    add(control(std::string(kMakeButtonName), K::Button, "jcFrames2", 100, 290, 162, 30, "Make my logo now!", kControlPoints));
    add(control(std::string(kPathBoxName), K::TextBox, "jcFrames2", 15, 260, 301, 21, "", kBrowsePoints));
    add(control(std::string(kBrowseButtonName), K::Button, "jcFrames2", 325, 260, 33, 21, "...", kBrowsePoints, kBlackText,
         TextPlacement::Centred, "Browse your system for images"));
    add(control(std::string(kPreviewName), K::Preview, "jcFrames2", 75, 35, 256, 195, "", kControlPoints, kBlackText,
         TextPlacement::TopLeftWrapped, "Your selected image"));
    add(control("LblImageFile", K::Label, "jcFrames2", 15, 240, 243, 16, "Image file ( JPG, GIF, BMP )", kControlPoints,
         kBlackText));

    // On the artwork.
    add(control("Lblinfo2", K::Label, "", 21, 329, 250, 36, "All logos are auto-resized to the right size for the logo.",
         kControlPoints, kInfoYellow));
    add(control("LblForo", K::Label, "", 56, 413, 676, 44, std::string(kWebAddress), kLargePoints, kWebWhite,
         TextPlacement::Centred));
    return c;
}

}  // namespace

const std::vector<ControlSpec>& mainWindowControls()
{
    static const std::vector<ControlSpec> controls = makeControls();
    return controls;
}

const ControlSpec& mainWindowControl(std::string_view name)
{
    for (const ControlSpec& spec : mainWindowControls()) {
        if (spec.name == name)
            return spec;
    }
    throw std::out_of_range("no control named " + std::string(name));
}

MainWindowFrame storedFrameOf(const ControlSpec& frame)
{
    for (MainWindowFrame which : {MainWindowFrame::Season, MainWindowFrame::LogoType}) {
        const std::u16string name = storedMainWindowFrame(which).name;
        if (std::string(name.begin(), name.end()) == frame.name)
            return which;
    }
    return MainWindowFrame::Image;
}

std::string seasonOptionName(int season) { return "OptVersion" + std::to_string(season); }
std::string logoTypeOptionName(int type) { return "OptType" + std::to_string(type); }

std::string mainWindowTitle() { return std::string(kTitlePrefix) + std::string(kWebAddress); }

}  // namespace tav
