// jcFrames: creation, properties with their setters, style presets, themes, the disabled
// colours, persistence and the host notifications. The painting is in jc_frames_paint.cpp.
#include "controls/jc_frames.h"

#include <algorithm>
#include <array>

namespace tav {
namespace {

constexpr Colour kDefaultColorFrom = 10395391;  // 0x9E9EFF: red 255, green 158, blue 158
constexpr Colour kDefaultColorTo = 0xF0F0FF;    // red 255, green 240, blue 240
constexpr Colour kDefaultTextBoxColor = 0xFFFFFF;
constexpr std::int16_t kDefaultIconSize = 16;
constexpr std::int16_t kDefaultTextBoxHeight = 22;  // the default is given as a 16-bit value
constexpr std::int32_t kDefaultStyle = 1;
constexpr std::int32_t kDefaultAlignment = 2;

// Style presets: what the Style setter writes, by style number.
struct StylePreset {
    Colour textColor;
    Colour frameColor;
    Colour textBoxColor;
    std::int32_t textBoxHeight;
    CaptionAlignment alignment;
};

constexpr Colour kPresetBlueText = 0xCF3603;    // 3, 54, 207
constexpr Colour kPresetGreyFrame = 0xC3C3C3;   // 195, 195, 195
constexpr Colour kPresetDarkFrame = 0x6A6A6A;   // 106, 106, 106
constexpr Colour kPresetPaleBox = 0xB0EFF0;     // 240, 239, 176
constexpr Colour kPresetRed = 0x0000C0;         // 192, 0, 0
constexpr Colour kPresetNavy = 0xA60000;        // 0, 0, 166
constexpr Colour kPresetPaleYellow = 0xE0FFFF;  // 255, 255, 224

constexpr std::array<StylePreset, 9> kStylePresets = {{
    {kPresetBlueText, kPresetGreyFrame, 0xFFFFFF, 22, CaptionAlignment::AlignLeft},
    {0, 0, 0xFFFFFF, 22, CaptionAlignment::AlignCenter},
    {0, kPresetDarkFrame, kPresetPaleBox, 22, CaptionAlignment::AlignCenter},
    {0, 0, kPresetPaleBox, 22, CaptionAlignment::AlignCenter},
    {0, 0, 0xFFFFFF, 22, CaptionAlignment::AlignCenter},
    {0xFFFFFF, kPresetRed, kPresetRed, 22, CaptionAlignment::AlignLeft},
    {0xFFFFFF, kPresetNavy, kPresetNavy, 22, CaptionAlignment::AlignLeft},
    {kPresetBlueText, kPresetGreyFrame, 0xFFFFFF, 22, CaptionAlignment::AlignLeft},
    {0, 0, 0xFFFFFF, 22, CaptionAlignment::AlignCenter},
}};

}  // namespace

jcFrames::jcFrames(const FrameText& text) : m_text(text)
{
    m_canvas.resize(kMinimumWidthPixels, kMinimumHeightPixels);
    m_canvas.font = FrameFont();
    m_IconSize = kDefaultIconSize;
    m_ColorFrom = kDefaultColorFrom;
    m_ColorTo = kDefaultColorTo;
    m_TxtBoxShadow = 0;
    m_ThemeColor = ColorTheme::ThemeBlue;
    ApplyTheme(m_ThemeColor);
    m_Enabled = true;
    m_TextBoxHeight = kDefaultTextBoxHeight;
    m_Alignment = CaptionAlignment::AlignCenter;
    m_IconAlignment = IconPlacement::IconLeft;
}

Colour jcFrames::ambientBackColor() const
{
    return m_ambient ? m_ambient->BackColor() : systemColourRef(kColorBtnFace);
}

std::u16string jcFrames::ambientDisplayName() const
{
    return m_ambient ? m_ambient->DisplayName() : m_name;
}

FrameFont jcFrames::ambientFont() const
{
    return m_ambient ? m_ambient->Font() : FrameFont();
}

void jcFrames::initProperties()
{
    m_Caption = ambientDisplayName();
    // Stored only: the surface keeps its background colour until a load or the setter.
    m_BackColor = TranslateColor(ambientBackColor());
    m_FillColor = TranslateColor(ambientBackColor());
    m_RoundedCorner = true;
    m_RoundedCornerTxtBox = false;
    m_Style = FrameStyle::ThemedPanel;
    m_ThemeColor = ColorTheme::ThemeBlue;
    m_TextColor = 0;
    m_FrameColor = 0;
    m_TextBoxColor = kDefaultTextBoxColor;
    m_TxtBoxShadow = 0;
    m_TextBoxHeight = kDefaultTextBoxHeight;
    m_HeaderStyle = HeaderKind::HeaderGradient;  // a new instance starts with the gradient header
    m_GradientHeaderStyle = GradientDirection::GradientVertical;
    computeTextFormat();
    ComputeDisabledColors();
}

void jcFrames::readProperties(PropertyBag& bag)
{
    const auto readColour = [&bag](const char* key, Colour defaultValue) {
        return storedToColour(propertyToInt32(bag.readProperty(key, colourToStored(defaultValue))));
    };
    const auto readInt = [&bag](const char* key, std::int32_t defaultValue) {
        return propertyToInt32(bag.readProperty(key, defaultValue));
    };
    const auto readBool = [&bag](const char* key, bool defaultValue) {
        return propertyToBool(bag.readProperty(key, defaultValue));
    };

    // In the persisted order; colours as stored, untranslated.
    m_FrameColor = readColour(kKeyFrameColor, 0);
    m_BackColor = readColour(kKeyBackColor, ambientBackColor());
    m_FillColor = readColour(kKeyFillColor, ambientBackColor());
    m_TextBoxColor = readColour(kKeyTextBoxColor, kDefaultTextBoxColor);
    m_TxtBoxShadow = readInt(kKeyTxtBoxShadow, 0);
    m_Style = FrameStyle(readInt(kKeyStyle, kDefaultStyle));
    m_RoundedCorner = readBool(kKeyRoundedCorner, true);
    m_Enabled = readBool(kKeyEnabled, true);
    m_RoundedCornerTxtBox = readBool(kKeyRoundedCornerTxtBox, false);
    m_Caption = propertyToString(bag.readProperty(kKeyCaption, ambientDisplayName()));
    m_TextBoxHeight = propertyToInt32(bag.readProperty(kKeyTextBoxHeight, kDefaultTextBoxHeight));
    m_TextColor = readColour(kKeyTextColor, 0);
    m_Alignment = CaptionAlignment(readInt(kKeyAlignment, kDefaultAlignment));
    m_IconAlignment = IconPlacement(readInt(kKeyIconAlignment, 0));
    const FrameFont font = propertyToFont(bag.readProperty(kKeyFont, ambientFont()));
    m_Picture = propertyToPicture(bag.readProperty(kKeyPicture, PictureRef()));
    m_IconSize = propertyToInt16(bag.readProperty(kKeyIconSize, kDefaultIconSize));
    m_ThemeColor = ColorTheme(readInt(kKeyThemeColor, 0));
    m_ColorFrom = readColour(kKeyColorFrom, kDefaultColorFrom);
    m_ColorTo = readColour(kKeyColorTo, kDefaultColorTo);
    m_HeaderStyle = HeaderKind(readInt(kKeyHeaderStyle, 0));
    m_GradientHeaderStyle = GradientDirection(readInt(kKeyGradientHeaderStyle, 0));

    // Loading applies no style preset and hands Enabled to no contained widget.
    m_canvas.backColor = TranslateColor(m_BackColor);
    computeTextFormat();
    m_canvas.font = font;
    ApplyTheme(m_ThemeColor);
    ComputeDisabledColors();
    Repaint();
}

void jcFrames::writeProperties(PropertyBag& bag) const
{
    const auto writeColour = [&bag](const char* key, Colour value, Colour defaultValue) {
        bag.writeProperty(key, colourToStored(value), colourToStored(defaultValue));
    };
    bag.writeProperty(kKeyFrameColor, colourToStored(m_FrameColor), 0);
    writeColour(kKeyBackColor, m_BackColor, ambientBackColor());
    writeColour(kKeyFillColor, m_FillColor, ambientBackColor());
    writeColour(kKeyTextBoxColor, m_TextBoxColor, kDefaultTextBoxColor);
    bag.writeProperty(kKeyTxtBoxShadow, m_TxtBoxShadow, 0);
    bag.writeProperty(kKeyStyle, enumValue(m_Style), kDefaultStyle);
    bag.writeProperty(kKeyRoundedCorner, m_RoundedCorner, true);
    bag.writeProperty(kKeyEnabled, m_Enabled, true);
    bag.writeProperty(kKeyRoundedCornerTxtBox, m_RoundedCornerTxtBox, false);
    bag.writeProperty(kKeyCaption, m_Caption, ambientDisplayName());
    bag.writeProperty(kKeyTextBoxHeight, m_TextBoxHeight, kDefaultTextBoxHeight);
    writeColour(kKeyTextColor, m_TextColor, 0);
    bag.writeProperty(kKeyAlignment, enumValue(m_Alignment), kDefaultAlignment);
    bag.writeProperty(kKeyIconAlignment, enumValue(m_IconAlignment), 0);
    bag.writeProperty(kKeyFont, m_canvas.font, ambientFont());
    bag.writeProperty(kKeyPicture, m_Picture, PictureRef());
    bag.writeProperty(kKeyIconSize, m_IconSize, kDefaultIconSize);
    bag.writeProperty(kKeyThemeColor, enumValue(m_ThemeColor), 0);
    writeColour(kKeyColorFrom, m_ColorFrom, kDefaultColorFrom);
    writeColour(kKeyColorTo, m_ColorTo, kDefaultColorTo);
    bag.writeProperty(kKeyHeaderStyle, enumValue(m_HeaderStyle), 0);
    bag.writeProperty(kKeyGradientHeaderStyle, enumValue(m_GradientHeaderStyle), 0);
}

void jcFrames::notify(const char* key)
{
    if (onPropertyChanged)
        onPropertyChanged(key);
}

void jcFrames::setFrameColor(Colour value)
{
    m_FrameColor = TranslateColor(value);
    notify(kKeyFrameColor);
    Repaint();
}

void jcFrames::setFillColor(Colour value)
{
    m_FillColor = TranslateColor(value);
    notify(kKeyFillColor);
    Repaint();
}

void jcFrames::setTextColor(Colour value)
{
    m_TextColor = TranslateColor(value);
    notify(kKeyTextColor);
    Repaint();
}

void jcFrames::setTextBoxColor(Colour value)
{
    m_TextBoxColor = TranslateColor(value);
    notify(kKeyTextBoxColor);
    Repaint();
}

void jcFrames::setBackColor(Colour value)
{
    m_BackColor = TranslateColor(value);
    m_canvas.backColor = m_BackColor;
    notify(kKeyBackColor);
    Repaint();
}

void jcFrames::setColorFrom(Colour value)
{
    m_ColorFrom = TranslateColor(value);
    if (m_ThemeColor == ColorTheme::ThemeCustom)
        m_ThemeStartColor = m_ColorFrom;
    notify(kKeyColorFrom);
    Repaint();
}

void jcFrames::setColorTo(Colour value)
{
    m_ColorTo = TranslateColor(value);
    if (m_ThemeColor == ColorTheme::ThemeCustom)
        m_ThemeEndColor = m_ColorTo;
    notify(kKeyColorTo);
    Repaint();
}

void jcFrames::setRoundedCornerTxtBox(bool value)
{
    m_RoundedCornerTxtBox = value;
    notify(kKeyRoundedCornerTxtBox);
    Repaint();
}

void jcFrames::setTxtBoxShadow(std::int32_t value)
{
    m_TxtBoxShadow = value;
    notify(kKeyTxtBoxShadow);
    Repaint();
}

void jcFrames::setRoundedCorner(bool value)
{
    m_RoundedCorner = value;
    notify(kKeyRoundedCorner);
    Repaint();
}

void jcFrames::setTextBoxHeight(std::int32_t value)
{
    m_TextBoxHeight = value;
    notify(kKeyTextBoxHeight);
    Repaint();
}

void jcFrames::setIconAlignment(IconPlacement value)
{
    m_IconAlignment = value;
    notify(kKeyIconAlignment);
    Repaint();
}

void jcFrames::setHeaderStyle(HeaderKind value)
{
    m_HeaderStyle = value;
    notify(kKeyHeaderStyle);
    Repaint();
}

void jcFrames::setGradientHeaderStyle(GradientDirection value)
{
    m_GradientHeaderStyle = value;
    notify(kKeyGradientHeaderStyle);
    Repaint();
}

void jcFrames::setIconSize(std::int16_t value)
{
    m_IconSize = value;
    notify(kKeyIconSize);
    Repaint();
}

void jcFrames::setEnabled(bool value)
{
    m_Enabled = value;
    notify(kKeyEnabled);
    Repaint();
    // Contained controls follow.
    if (onEnabledChanged)
        onEnabledChanged(value);
}

void jcFrames::setCaption(const std::u16string& value)
{
    m_Caption = value;
    notify(kKeyCaption);
    Repaint();
}

void jcFrames::setAlignment(CaptionAlignment value)
{
    m_Alignment = value;
    computeTextFormat();
    notify(kKeyAlignment);
    Repaint();
}

void jcFrames::setStyle(FrameStyle value)
{
    m_Style = value;
    notify(kKeyStyle);
    applyStylePreset();
    Repaint();
}

void jcFrames::setFont(const FrameFont& value)
{
    // Bold, italic, name and size; underline and strike-out stay as they were.
    m_canvas.font.bold = value.bold;
    m_canvas.font.italic = value.italic;
    m_canvas.font.name = value.name;
    if (value.points > 0)
        m_canvas.font.points = value.points;
    notify(kKeyFont);
    Repaint();
}

void jcFrames::setPicture(PictureRef value)
{
    m_Picture = std::move(value);
    notify(kKeyPicture);
    Repaint();
}

void jcFrames::setThemeColor(ColorTheme value)
{
    if (value == m_ThemeColor)
        return;
    m_ThemeColor = value;
    ApplyTheme(m_ThemeColor);
    Repaint();
    notify(kKeyThemeColor);
}

void jcFrames::computeTextFormat()
{
    int horizontal = kDtCenter;
    if (m_Alignment == CaptionAlignment::AlignLeft)
        horizontal = kDtLeft;
    else if (m_Alignment == CaptionAlignment::AlignRight)
        horizontal = kDtRight;
    // The wrapping panel breaks words; every other look keeps the caption on one line.
    const int layout = m_Style == FrameStyle::CaptionPanel ? kDtWordBreak : kDtSingleLine;
    m_TextFormat = layout | kDtVCenter | horizontal;
}

void jcFrames::applyStylePreset()
{
    const std::int32_t style = enumValue(m_Style);
    if (style < 0 || style >= std::int32_t(kStylePresets.size()))
        return;
    const StylePreset& preset = kStylePresets[std::size_t(style)];
    // Written directly: no translation, no notification of these properties.
    m_TextColor = preset.textColor;
    m_FrameColor = preset.frameColor;
    m_TextBoxColor = preset.textBoxColor;
    m_TextBoxHeight = preset.textBoxHeight;
    m_Alignment = preset.alignment;
    switch (m_Style) {
    case FrameStyle::BorderCaption:
    case FrameStyle::Tab:
    case FrameStyle::FolderTab:
    case FrameStyle::EtchedLine:
        m_FillColor = TranslateColor(ambientBackColor());
        break;
    case FrameStyle::ThemedPanel:
        m_ThemeColor = ColorTheme::ThemeBlue;
        ApplyTheme(m_ThemeColor);
        break;
    case FrameStyle::TextBoxCaption:
        m_RoundedCornerTxtBox = true;
        m_FillColor = TranslateColor(ambientBackColor());
        break;
    case FrameStyle::HeaderBand:
        m_RoundedCorner = true;
        m_RoundedCornerTxtBox = false;
        m_FillColor = kPresetPaleYellow;
        m_GradientHeaderStyle = GradientDirection::GradientHorizontal;
        m_HeaderStyle = HeaderKind::HeaderPlain;
        break;
    case FrameStyle::GripperPanel:
        m_ThemeColor = ColorTheme::ThemeBlue;
        ApplyTheme(m_ThemeColor);
        m_GradientHeaderStyle = GradientDirection::GradientVertical;
        m_HeaderStyle = HeaderKind::HeaderPlain;
        break;
    case FrameStyle::CaptionPanel:
        m_ThemeColor = ColorTheme::ThemeBlue;
        ApplyTheme(m_ThemeColor);
        m_GradientHeaderStyle = GradientDirection::GradientVerticalMirror;
        m_HeaderStyle = HeaderKind::HeaderGradient;
        break;
    }
    computeTextFormat();
}

void jcFrames::ApplyTheme(ColorTheme theme)
{
    if (theme == ColorTheme::ThemeCustom) {
        m_ThemeStartColor = m_ColorFrom;
        m_ThemeEndColor = m_ColorTo;
        // The custom theme borrows the frame colour of the last repaint (black before any).
        m_ThemeBorderColor = m_PaintFrameColor;
        return;
    }
    const ThemeBaseColors colours = builtInTheme(enumValue(theme));
    m_ThemeStartColor = colours.start;
    m_ThemeEndColor = colours.end;
    m_ThemeBorderColor = colours.border;
}

void jcFrames::ComputeDisabledColors()
{
    m_DisabledFrameColor = TranslateColor(systemColourRef(kColorInactiveBorder));
    m_DisabledTextBoxColor = TranslateColor(systemColourRef(kColor3DLight));
    m_DisabledFillColor = TranslateColor(ambientBackColor());
    m_DisabledThemeEndColor = TranslateColor(systemColourRef(kColorBtnFace));
    m_DisabledThemeStartColor = TranslateColor(systemColourRef(kColorBtnFace));
    m_DisabledThemeBorderColor = TranslateColor(systemColourRef(kColorInactiveBorder));
}

void jcFrames::resize(int newWidth, int newHeight)
{
    // A host that sets the size below the smallest one is put right, width first.
    m_canvas.resize(std::max(newWidth, kMinimumWidthPixels), std::max(newHeight, kMinimumHeightPixels));
    Repaint();
}

void jcFrames::MouseMove(std::int16_t button, std::int16_t shift, float x, float y)
{
    if (onMouseMove)
        onMouseMove(button, shift, x, y);
}

}  // namespace tav
