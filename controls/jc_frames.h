// jcFrames: the drawn group-box control that frames the steps of the main window.
//
// It draws a frame around the controls it contains in one of nine looks, with a caption, an
// optional icon, colour themes, gradient headers and a disabled look. Every property change,
// load and resize ends in one full repaint into a persistent image, which the window that
// shows the control only copies to the screen; nothing repaints on its own. Properties are
// persisted through a PropertyBag under their own names, with the defaults listed in
// writeProperties.
//
// The control is toolkit-neutral: a host window (a Qt widget, a Win32 child window) shows its
// surface cut to its window region, passes on resizes and mouse moves, and hands Enabled on
// to the contained controls. Text goes through the FrameText the control is made with.
#pragma once

#include "controls/frame_canvas.h"
#include "controls/frame_colours.h"
#include "controls/frame_picture.h"
#include "controls/frame_region.h"
#include "controls/frame_text.h"
#include "controls/property_bag.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace tav {

enum class FrameStyle : std::int32_t {
    BorderCaption = 0,
    ThemedPanel = 1,
    TextBoxCaption = 2,
    HeaderBand = 3,
    GripperPanel = 4,
    Tab = 5,
    FolderTab = 6,
    EtchedLine = 7,
    CaptionPanel = 8,
};

enum class CaptionAlignment : std::int32_t { AlignLeft = 0, AlignRight = 1, AlignCenter = 2 };

// Other values place the icon at x = 0 and leave the caption area as it is.
enum class IconPlacement : std::int32_t { IconLeft = 0, IconRight = 1 };

// Values outside 0..5 behave as ThemeSilver.
enum class ColorTheme : std::int32_t {
    ThemeBlue = 0,
    ThemeSilver = 1,
    ThemeOlive = 2,
    ThemeStone = 3,
    ThemeGold = 4,
    ThemeCustom = 5,
};

// Only 1 draws the gradient; every other value behaves as HeaderPlain.
enum class HeaderKind : std::int32_t { HeaderPlain = 0, HeaderGradient = 1 };

// Other values draw no gradient.
enum class GradientDirection : std::int32_t {
    GradientVertical = 0,
    GradientHorizontal = 1,
    GradientVerticalMirror = 2,
    GradientHorizontalMirror = 3,
};

// An enumeration's value as it is stored: a 32-bit integer.
template <typename Enum>
constexpr std::int32_t enumValue(Enum value)
{
    return static_cast<std::int32_t>(value);
}

// The identifier the class is registered with at its host.
inline constexpr const char* kJcFramesClassId = "Tavrenix.jcFrames";

// Persisted keys, in the order they are read and written.
inline constexpr const char* kKeyFrameColor = "FrameColor";
inline constexpr const char* kKeyBackColor = "BackColor";
inline constexpr const char* kKeyFillColor = "FillColor";
inline constexpr const char* kKeyTextBoxColor = "TextBoxColor";
inline constexpr const char* kKeyTxtBoxShadow = "TxtBoxShadow";
inline constexpr const char* kKeyStyle = "Style";
inline constexpr const char* kKeyRoundedCorner = "RoundedCorner";
inline constexpr const char* kKeyEnabled = "Enabled";
inline constexpr const char* kKeyRoundedCornerTxtBox = "RoundedCornerTxtBox";
inline constexpr const char* kKeyCaption = "Caption";
inline constexpr const char* kKeyTextBoxHeight = "TextBoxHeight";
inline constexpr const char* kKeyTextColor = "TextColor";
inline constexpr const char* kKeyAlignment = "Alignment";
inline constexpr const char* kKeyIconAlignment = "IconAlignment";
inline constexpr const char* kKeyFont = "Font";
inline constexpr const char* kKeyPicture = "Picture";
inline constexpr const char* kKeyIconSize = "IconSize";
inline constexpr const char* kKeyThemeColor = "ThemeColor";
inline constexpr const char* kKeyColorFrom = "ColorFrom";
inline constexpr const char* kKeyColorTo = "ColorTo";
inline constexpr const char* kKeyHeaderStyle = "HeaderStyle";
inline constexpr const char* kKeyGradientHeaderStyle = "GradientHeaderStyle";

// Smallest outer size, 700 x 400 twips: at 96 dots per inch a twip is 1/15 pixel, and the
// size is taken up to whole pixels, 46.7 -> 47 and 26.7 -> 27.
inline constexpr int kMinimumWidthTwips = 700;
inline constexpr int kMinimumHeightTwips = 400;
inline constexpr int kTwipsPerPixel = 15;
inline constexpr int kMinimumWidthPixels = (kMinimumWidthTwips + kTwipsPerPixel - 1) / kTwipsPerPixel;
inline constexpr int kMinimumHeightPixels = (kMinimumHeightTwips + kTwipsPerPixel - 1) / kTwipsPerPixel;

class jcFrames {
public:
    // Created at the smallest size: a default caption font, IconSize 16, the custom gradient
    // colours, theme 0 applied, enabled, TextBoxHeight 22, centred caption, icon at the left.
    // Every other property is zero, False or empty until a new instance is placed or a load
    // follows. `text` is borrowed.
    explicit jcFrames(const FrameText& text);

    // The host's notifications: after every repaint (show the surface, cut the window to
    // windowRegion()), when Enabled is set (hand it on to the contained controls), when a
    // property changes (with its key), and every mouse move over the control (buttons 1 left,
    // 2 right, 4 middle; shift state 1 shift, 2 control, 4 alt; the position in pixels).
    std::function<void()> onRepainted;
    std::function<void(bool enabled)> onEnabledChanged;
    std::function<void(std::string_view key)> onPropertyChanged;
    std::function<void(std::int16_t button, std::int16_t shift, float x, float y)> onMouseMove;

    // The host's name of the instance, its display name when there is no ambient.
    void setName(std::u16string name) { m_name = std::move(name); }
    const std::u16string& name() const { return m_name; }

    // The host's ambient properties, borrowed; without a host the back colour is the button
    // face, the display name the object name and the font the application's.
    void setAmbient(const AmbientProperties* ambient) { m_ambient = ambient; }

    // Host notifications: a new instance placed, a load, a save.
    void initProperties();
    void readProperties(PropertyBag& bag);
    void writeProperties(PropertyBag& bag) const;

    Colour FrameColor() const { return m_FrameColor; }
    Colour FillColor() const { return m_FillColor; }
    bool RoundedCornerTxtBox() const { return m_RoundedCornerTxtBox; }
    bool Enabled() const { return m_Enabled; }
    std::int32_t TxtBoxShadow() const { return m_TxtBoxShadow; }
    bool RoundedCorner() const { return m_RoundedCorner; }
    const std::u16string& Caption() const { return m_Caption; }
    CaptionAlignment Alignment() const { return m_Alignment; }
    FrameStyle Style() const { return m_Style; }
    std::int32_t TextBoxHeight() const { return m_TextBoxHeight; }
    Colour TextColor() const { return m_TextColor; }
    Colour TextBoxColor() const { return m_TextBoxColor; }
    Colour BackColor() const { return m_BackColor; }
    const FrameFont& Font() const { return m_canvas.font; }
    PictureRef Picture() const { return m_Picture; }
    std::int16_t IconSize() const { return m_IconSize; }
    IconPlacement IconAlignment() const { return m_IconAlignment; }
    ColorTheme ThemeColor() const { return m_ThemeColor; }
    Colour ColorFrom() const { return m_ColorFrom; }
    Colour ColorTo() const { return m_ColorTo; }
    HeaderKind HeaderStyle() const { return m_HeaderStyle; }
    GradientDirection GradientHeaderStyle() const { return m_GradientHeaderStyle; }

    void setFrameColor(Colour value);
    void setFillColor(Colour value);
    void setRoundedCornerTxtBox(bool value);
    void setEnabled(bool value);
    void setTxtBoxShadow(std::int32_t value);
    void setRoundedCorner(bool value);
    void setCaption(const std::u16string& value);
    void setAlignment(CaptionAlignment value);
    void setStyle(FrameStyle value);
    void setTextBoxHeight(std::int32_t value);
    void setTextColor(Colour value);
    void setTextBoxColor(Colour value);
    void setBackColor(Colour value);
    void setFont(const FrameFont& value);
    void setPicture(PictureRef value);
    void setIconSize(std::int16_t value);
    void setIconAlignment(IconPlacement value);
    void setThemeColor(ColorTheme value);
    void setColorFrom(Colour value);
    void setColorTo(Colour value);
    void setHeaderStyle(HeaderKind value);
    void setGradientHeaderStyle(GradientDirection value);

    // The outer size. Below the smallest size it is put right, width first; then a repaint.
    void resize(int width, int height);
    int width() const { return m_canvas.width(); }
    int height() const { return m_canvas.height(); }
    // A mouse move the host saw, raised as onMouseMove.
    void MouseMove(std::int16_t button, std::int16_t shift, float x, float y);

    // The full repaint: clear, the frame of the current look, caption and icon.
    void Repaint();
    // The caption cut from the end until it and "..." fit the width; empty when not even one
    // character does. A caption that fits is returned whole.
    std::u16string FitCaption(const std::u16string& text, int width) const;

    // The persistent image the control shows.
    const FrameCanvas& surface() const { return m_canvas; }
    // The window's shape since the last repaint; none while the window is rectangular.
    const std::optional<FrameRegion>& windowRegion() const { return m_windowRegion; }
    // The current text-drawing flags of the caption.
    int TextFormat() const { return m_TextFormat; }

private:
    // What a style painter hands to the caption and icon steps.
    struct StyleLayout {
        FrameRect caption;
        std::int16_t iconX = 0;
        std::int16_t iconY = 0;
    };

    Colour ambientBackColor() const;
    std::u16string ambientDisplayName() const;
    FrameFont ambientFont() const;

    void notify(const char* key);
    void computeTextFormat();
    void applyStylePreset();
    void ApplyTheme(ColorTheme theme);
    void ComputeDisabledColors();
    void ResetWindowRegion();
    void choosePaintColours();

    // Caption measuring and drawing, with the surface's font.
    int textWidth(std::u16string_view text) const;
    int textHeight(std::u16string_view text) const;
    void drawCaption(const StyleLayout& layout);
    void drawIcon(StyleLayout layout);

    StyleLayout paintBorderCaption();
    StyleLayout paintThemedPanel();
    StyleLayout paintTextBoxCaption();
    StyleLayout paintHeaderBand();
    StyleLayout paintGripperPanel();
    StyleLayout paintTab();
    StyleLayout paintFolderTab();
    StyleLayout paintEtchedLine();
    StyleLayout paintCaptionPanel();

    // Tab geometry shared by styles 5 and 6.
    struct TabShape {
        int corner = 0;
        int width = 0;
        int height = 0;
        FrameRect outer;
    };
    TabShape tabShape() const;

    const FrameText& m_text;
    const AmbientProperties* m_ambient = nullptr;
    std::u16string m_name;
    FrameCanvas m_canvas;  // persistent image and drawing state; its font is the caption font
    std::optional<FrameRegion> m_windowRegion;

    // Property values.
    Colour m_FrameColor = 0;
    Colour m_FillColor = 0;
    bool m_RoundedCornerTxtBox = false;
    bool m_Enabled = true;
    std::int32_t m_TxtBoxShadow = 0;
    bool m_RoundedCorner = false;
    std::u16string m_Caption;
    CaptionAlignment m_Alignment = CaptionAlignment::AlignCenter;
    FrameStyle m_Style = FrameStyle::BorderCaption;
    std::int32_t m_TextBoxHeight = 22;
    Colour m_TextColor = 0;
    Colour m_TextBoxColor = 0;
    Colour m_BackColor = 0;
    PictureRef m_Picture;
    std::int16_t m_IconSize = 16;
    IconPlacement m_IconAlignment = IconPlacement::IconLeft;
    ColorTheme m_ThemeColor = ColorTheme::ThemeBlue;
    Colour m_ColorFrom = 0;
    Colour m_ColorTo = 0;
    HeaderKind m_HeaderStyle = HeaderKind::HeaderPlain;
    GradientDirection m_GradientHeaderStyle = GradientDirection::GradientVertical;

    // Theme base colours, the disabled look and the colours of the current repaint.
    Colour m_ThemeStartColor = 0;
    Colour m_ThemeEndColor = 0;
    Colour m_ThemeBorderColor = 0;
    Colour m_DisabledFrameColor = 0;
    Colour m_DisabledTextBoxColor = 0;
    Colour m_DisabledFillColor = 0;
    Colour m_DisabledThemeEndColor = 0;
    Colour m_DisabledThemeStartColor = 0;
    Colour m_DisabledThemeBorderColor = 0;
    Colour m_PaintFrameColor = 0;
    Colour m_PaintTextBoxColor = 0;
    Colour m_PaintFillColor = 0;
    Colour m_PaintThemeEndColor = 0;
    Colour m_PaintThemeStartColor = 0;
    Colour m_PaintThemeBorderColor = 0;

    // Layout state of the last repaint.
    int m_CaptionWidth = 0;
    int m_CaptionHeight = 0;
    int m_BodyTop = 0;
    int m_TextFormat = 0;
    int m_EdgeBarHeight = 3;
    int m_TextBoxInset = 15;
    int m_IconGap = 6;
};

}  // namespace tav
