// The main window as both desktop front ends build it: its size, title, colours and artwork,
// and every control with its kind, place, text, font, colour and tool tip, in the window's
// order. The Qt window and the Win32 window each make their own widgets from this table.
#pragma once

#include "app/main_window_frames.h"
#include "controls/frame_colours.h"

#include <string>
#include <string_view>
#include <vector>

namespace tav {

// The maker's web address, shown in the title and at the foot of the window.
inline constexpr std::string_view kWebAddress = "www.tavrenix.example";
inline constexpr std::string_view kTitlePrefix = "Tavrenix - Written by Kelbrin - ";

// The client area's size.
inline constexpr int kMainWidth = 743;
inline constexpr int kMainHeight = 468;

// The classic button face, the grey the frame controls and the window are drawn in.
inline constexpr Colour kButtonFace = rgbColour(212, 208, 200);
// Shown where the background picture is missing; as dark as the artwork.
inline constexpr Colour kBackgroundFallback = rgbColour(14, 16, 48);
// The reason a typed path has no preview: dark red, readable on the placeholder's pale panel.
inline constexpr Colour kReasonColour = rgbColour(150, 0, 0);

// Every font of the window is Arial, bold; sizes in points.
inline constexpr std::string_view kWindowFontName = "Arial";
inline constexpr double kControlPoints = 9.75;
inline constexpr double kBrowsePoints = 8.25;
inline constexpr double kLargePoints = 27.75;

enum class ControlKind {
    Frame,      // a frame control, loaded from its stored values
    Option,     // an option button; the first of each group is selected at start
    HeaderBar,  // a plain panel in its colour
    Label,      // transparent text
    Button,
    TextBox,    // the picture path
    Preview,    // the picture, stretched to the control's size
};

// Label text starts at the top left and wraps at word boundaries, unless centred on one line.
enum class TextPlacement { TopLeftWrapped, Centred };

struct ControlSpec {
    std::string name;    // as the window's table names it; option buttons carry their index
    ControlKind kind;
    std::string parent;  // the frame (or header) it sits in; empty: the window
    int x, y, width, height;  // relative to the parent
    std::string text;
    double points = kControlPoints;
    Colour colour = rgbColour(0, 0, 0);  // the text's; the panel's for a header bar
    TextPlacement placement = TextPlacement::TopLeftWrapped;
    std::string toolTip;
};

// The window's controls in its order: frames before what they hold.
const std::vector<ControlSpec>& mainWindowControls();
// One of them by name; throws std::out_of_range for a name the table does not have.
const ControlSpec& mainWindowControl(std::string_view name);

// Which stored frame a frame control of the table loads.
MainWindowFrame storedFrameOf(const ControlSpec& frame);

// The names the handlers reach controls by.
inline constexpr std::string_view kPathBoxName = "TxtArchivo";
inline constexpr std::string_view kPreviewName = "ImgPrev";
inline constexpr std::string_view kBrowseButtonName = "CmdExaminar";
inline constexpr std::string_view kMakeButtonName = "CmdAceptar";
std::string seasonOptionName(int season);   // "OptVersion0" ...
std::string logoTypeOptionName(int type);   // "OptType0", "OptType1"

// Below the placeholder's pictogram, inside its dashed border, relative to the preview: where
// the reason for a missing preview is written.
struct ReasonBox {
    int x, y, width, height;
};
inline constexpr ReasonBox kPreviewReasonBox{12, 134, 232, 50};

std::string mainWindowTitle();

}  // namespace tav
