// jcFrames painting: the full repaint, caption fitting and the painters of the nine looks.
//
// Each repaint starts from a cleared surface and a rectangular window, runs the painter of the
// style (which leaves the caption rectangle and the icon height), then draws the caption and
// the icon. Within a painter every step draws over the ones before it, so the order of the
// calls is the look. sw and sh are the surface size as single-precision values; every
// conversion to an integer rounds half to even (roundEven).
#include "controls/jc_frames.h"

#include <algorithm>
#include <cmath>

namespace tav {
namespace {

constexpr double kGradientRatio = 2.01;      // B lies just before the middle of a mirror gradient
constexpr double kPanelGradientRatio = 2.03;  // the same for the caption panel
constexpr Colour kShadowGrey = 0xA7A7A7;      // 167, 167, 167, blended with the fill for the shadow
constexpr int kFrameCorner = 10;
constexpr int kPanelCorner = 9;
constexpr int kMinimumTabWidth = 100;
constexpr std::u16string_view kEllipsis = u"...";

Corners cornersOf(bool rounded) { return rounded ? Corners::Rounded : Corners::Square; }

}  // namespace

int jcFrames::textWidth(std::u16string_view text) const
{
    double widest = 0.0;
    std::size_t start = 0;
    while (true) {
        const std::size_t end = text.find(u'\n', start);
        widest = std::max(widest, m_text.lineWidth(m_canvas.font, text.substr(start, end - start)));
        if (end == std::u16string_view::npos)
            break;
        start = end + 1;
    }
    return roundEven(widest);
}

int jcFrames::textHeight(std::u16string_view text) const
{
    const auto lines = std::count(text.begin(), text.end(), u'\n') + 1;
    return roundEven(m_text.lineHeight(m_canvas.font) * double(lines));
}

std::u16string jcFrames::FitCaption(const std::u16string& text, int width) const
{
    std::u16string s = text;
    if (textWidth(s) <= width)
        return s;
    std::size_t n = text.size();
    const auto highSurrogate = [](char16_t c) { return c >= 0xD800 && c <= 0xDBFF; };
    while (n != 0 && textWidth(s + std::u16string(kEllipsis)) > width) {
        --n;
        // Never leave half of a surrogate pair at the end.
        if (n > 0 && highSurrogate(text[n - 1]))
            --n;
        s = text.substr(0, n);
    }
    return n != 0 ? s + std::u16string(kEllipsis) : std::u16string();
}

void jcFrames::ResetWindowRegion()
{
    m_windowRegion.reset();
    m_canvas.fillMode = FillMode::Solid;
}

void jcFrames::choosePaintColours()
{
    m_PaintFrameColor = m_Enabled ? m_FrameColor : m_DisabledFrameColor;
    m_PaintTextBoxColor = m_Enabled ? m_TextBoxColor : m_DisabledTextBoxColor;
    m_PaintFillColor = m_Enabled ? m_FillColor : m_DisabledFillColor;
    m_PaintThemeEndColor = m_Enabled ? m_ThemeEndColor : m_DisabledThemeEndColor;
    m_PaintThemeStartColor = m_Enabled ? m_ThemeStartColor : m_DisabledThemeStartColor;
    m_PaintThemeBorderColor = m_Enabled ? m_ThemeBorderColor : m_DisabledThemeBorderColor;
}

void jcFrames::Repaint()
{
    // 1. Layout constants; the caption rectangle and icon position start at 0.
    m_EdgeBarHeight = 3;
    m_TextBoxInset = 15;
    m_IconGap = 6;
    StyleLayout layout;

    // 2. Rectangular window, cleared surface.
    ResetWindowRegion();
    m_canvas.Cls();

    // 3. Caption size; without a caption the measured sizes keep their last values.
    if (!m_Caption.empty()) {
        m_CaptionWidth = textWidth(m_Caption);
        m_CaptionHeight = textHeight(m_Caption);
        m_BodyTop = roundEven(m_CaptionHeight / 2.0);
    } else {
        m_BodyTop = 0;
    }

    // 4. Enabled or disabled colours.
    choosePaintColours();

    // 5. The look.
    switch (m_Style) {
    case FrameStyle::BorderCaption:
        layout = paintBorderCaption();
        break;
    case FrameStyle::ThemedPanel:
        layout = paintThemedPanel();
        break;
    case FrameStyle::TextBoxCaption:
        layout = paintTextBoxCaption();
        break;
    case FrameStyle::HeaderBand:
        layout = paintHeaderBand();
        break;
    case FrameStyle::GripperPanel:
        layout = paintGripperPanel();
        break;
    case FrameStyle::Tab:
        layout = paintTab();
        break;
    case FrameStyle::FolderTab:
        layout = paintFolderTab();
        break;
    case FrameStyle::EtchedLine:
        layout = paintEtchedLine();
        break;
    case FrameStyle::CaptionPanel:
        layout = paintCaptionPanel();
        break;
    default:  // an unknown look paints no frame; caption and icon still follow
        break;
    }

    // 6. Room for the icon. Tabs (5, 6) draw no icon but still give up the room.
    if (m_Picture && m_Style != FrameStyle::BorderCaption) {
        const float sw = float(m_canvas.width());
        const int room = m_IconGap + m_IconSize;
        const bool sideAligned =
            m_Alignment == CaptionAlignment::AlignLeft || m_Alignment == CaptionAlignment::AlignRight;
        const bool textBox = m_Style == FrameStyle::TextBoxCaption;
        if (m_IconAlignment == IconPlacement::IconLeft) {
            layout.caption.left += room;
            if (!sideAligned)
                layout.caption.right -= room;
            layout.iconX = std::int16_t(textBox ? 2 * m_IconGap + m_TextBoxInset : m_IconGap);
        } else if (m_IconAlignment == IconPlacement::IconRight) {
            layout.caption.right -= room;
            if (!sideAligned)
                layout.caption.left += room;
            layout.iconX = std::int16_t(textBox ? roundEven(sw - 2 * m_IconGap - m_IconSize - m_TextBoxInset)
                                                : roundEven(sw - m_IconGap - m_IconSize));
        }
    }

    // 7. Caption.
    if (!m_Caption.empty())
        drawCaption(layout);

    // 8. and 9. Icon.
    if (m_Picture && m_Style != FrameStyle::BorderCaption && m_Style != FrameStyle::Tab &&
        m_Style != FrameStyle::FolderTab)
        drawIcon(layout);

    if (onRepainted)
        onRepainted();
}

void jcFrames::drawCaption(const StyleLayout& layout)
{
    m_canvas.foreColor = m_Enabled ? m_TextColor : TranslateColor(systemColourRef(kColorGrayText));
    FrameRect target = layout.caption;
    std::u16string text = m_Caption;

    if (m_Style != FrameStyle::CaptionPanel) {
        text = FitCaption(m_Caption, layout.caption.right - layout.caption.left);
    } else {
        // Measure the wrapped block from the rectangle's top-left corner, then centre the block
        // in the rectangle; the halves truncate towards zero.
        const TextSize block = m_text.wrappedSize(m_canvas.font, std::max(target.right - target.left, 0), m_Caption);
        target.right = target.left + int(std::ceil(block.width));
        target.bottom = target.top + int(std::ceil(block.height));
        const int dx = (layout.caption.right - target.right) / 2;
        const int dy = (layout.caption.bottom - target.bottom) / 2;
        target = FrameRect{target.left + dx, target.top + dy, target.right + dx, target.bottom + dy};
    }
    // The text is clipped to its rectangle, so an empty rectangle shows nothing.
    if (text.empty() || target.right <= target.left || target.bottom <= target.top)
        return;
    m_text.draw(m_canvas, m_canvas.font, TranslateColor(m_canvas.foreColor) & 0xFFFFFF, target, m_TextFormat, text);
}

void jcFrames::drawIcon(StyleLayout layout)
{
    // Keep the icon clear of the bars above the header.
    if (m_Style == FrameStyle::GripperPanel) {
        if (layout.iconY < 2 * m_EdgeBarHeight + 2)
            layout.iconY = std::int16_t(2 * m_EdgeBarHeight + 2);
    } else if (m_Style == FrameStyle::ThemedPanel) {
        if (layout.iconY < m_EdgeBarHeight + 2)
            layout.iconY = std::int16_t(m_EdgeBarHeight + 2);
    } else if (layout.iconY < 0) {
        layout.iconY = std::int16_t(roundEven(m_IconGap / 2.0));
    }
    if (m_IconSize <= 0 || m_Picture->isNull())
        return;
    if (!m_Enabled) {
        DrawPictureDisabled(m_canvas, layout.iconX, layout.iconY, m_IconSize, m_IconSize, *m_Picture);
        return;
    }
    // Scaled to the icon size; an icon keeps its transparency, a bitmap is opaque.
    DrawPicture(m_canvas, layout.iconX, layout.iconY, m_IconSize, m_IconSize, *m_Picture);
}

jcFrames::StyleLayout jcFrames::paintBorderCaption()
{
    const float sw = float(m_canvas.width());
    const float sh = float(m_canvas.height());
    StyleLayout layout;
    DrawRoundBox(m_canvas, cornersOf(m_RoundedCorner), kFrameCorner, m_PaintFillColor, m_PaintFrameColor,
                 FrameRect{0, m_BodyTop, roundEven(sw - 1), roundEven(sh - 1)}, FillMode::Solid);
    if (m_Caption.empty())
        return layout;
    int x = 0;
    if (m_Alignment == CaptionAlignment::AlignLeft)
        x = m_TextBoxInset;
    else if (m_Alignment == CaptionAlignment::AlignRight)
        x = roundEven(sw - m_CaptionWidth - 15 - 6 - 1);
    else
        x = roundEven((sw - 1 - m_CaptionWidth) / 2);
    // A gap in the top border behind the caption.
    DrawLine(m_canvas, x, m_BodyTop, x + m_CaptionWidth + 6, m_BodyTop, m_PaintFillColor);
    layout.caption = FrameRect{x + 3, 0, x + m_CaptionWidth + 3, m_CaptionHeight};
    return layout;
}

jcFrames::StyleLayout jcFrames::paintThemedPanel()
{
    const float sw = float(m_canvas.width());
    const float sh = float(m_canvas.height());
    const int tbh = m_TextBoxHeight;
    const Colour dark = m_PaintThemeStartColor;
    const Colour light = m_PaintThemeEndColor;
    const Colour outline = m_ThemeColor == ColorTheme::ThemeCustom ? m_PaintFrameColor : m_PaintThemeBorderColor;
    StyleLayout layout;

    m_BodyTop = roundEven(tbh / 2.0);
    DrawRoundBox(m_canvas, cornersOf(m_RoundedCorner), kFrameCorner, BlendHalf(dark, kWhite), outline,
                 FrameRect{0, m_BodyTop, roundEven(sw - 1), roundEven(sh - 1)}, FillMode::Solid);
    // Top bar.
    FillByMode(m_canvas, light, dark, FrameArea{0, 0, roundEven(sw - 2), 3}, 2, Outline::Drawn,
               m_PaintThemeBorderColor, kGradientRatio);
    // Header.
    if (m_HeaderStyle == HeaderKind::HeaderGradient) {
        FillByMode(m_canvas, dark, light, FrameArea{0, 3, roundEven(sw - 2), tbh}, enumValue(m_GradientHeaderStyle),
                   Outline::Drawn, m_PaintThemeBorderColor, kGradientRatio);
    } else {
        DrawRoundBox(m_canvas, Corners::Square, 0, m_PaintFillColor, m_PaintFrameColor,
                     FrameRect{0, 3, roundEven(sw - 1), 3 + tbh + 2}, FillMode::Solid);
    }
    // Bar under the header.
    FillByMode(m_canvas, light, dark, FrameArea{0, 3 + tbh, roundEven(sw - 2), 3}, 2, Outline::Drawn,
               m_PaintThemeBorderColor, kGradientRatio);
    // Body shading over the upper part of the body, from the half-light colour down to the body fill.
    FillByMode(m_canvas, BlendHalf(dark, kWhite), BlendHalf(light, kWhite),
               FrameArea{1, 6 + tbh, roundEven(sw - 3), roundEven(double(sh) - (8 + tbh) - 0.2 * double(sh))}, 0,
               Outline::None, 0, kGradientRatio);

    layout.caption = FrameRect{m_IconGap, m_EdgeBarHeight + 1, roundEven(sw - 2 - m_IconGap), tbh + 2};
    layout.iconY = std::int16_t(roundEven((2 * m_EdgeBarHeight + tbh - m_IconSize) / 2.0));
    return layout;
}

jcFrames::StyleLayout jcFrames::paintTextBoxCaption()
{
    const float sw = float(m_canvas.width());
    const float sh = float(m_canvas.height());
    const int tbh = m_TextBoxHeight;
    const Colour dark = m_PaintThemeStartColor;
    const Colour light = m_PaintThemeEndColor;
    StyleLayout layout;

    m_BodyTop = roundEven(tbh / 2.0);
    DrawRoundBox(m_canvas, cornersOf(m_RoundedCorner), kFrameCorner, m_PaintFillColor, m_PaintFrameColor,
                 FrameRect{0, m_BodyTop, roundEven(sw - 1), roundEven(sh - 1)}, FillMode::Solid);
    const FrameRect box{m_TextBoxInset, 0, roundEven(sw - 1 - m_TextBoxInset), tbh};
    const FrameRect shadowBox{box.left + 2, box.top + 2, box.right + 2, box.bottom + 2};
    const Colour shadow = BlendHalf(m_PaintFillColor, kShadowGrey);
    const bool withShadow = m_TxtBoxShadow == 1;
    if (m_HeaderStyle != HeaderKind::HeaderGradient) {
        // A corner as large as the box is high gives a rounded box fully round ends.
        if (withShadow)
            DrawRoundBox(m_canvas, cornersOf(m_RoundedCornerTxtBox), tbh, shadow, shadow, shadowBox, FillMode::Solid);
        DrawRoundBox(m_canvas, cornersOf(m_RoundedCornerTxtBox), tbh, m_PaintTextBoxColor, m_PaintFrameColor, box,
                     FillMode::Solid);
    } else {
        if (withShadow)
            DrawRoundBox(m_canvas, Corners::Square, tbh, shadow, shadow, shadowBox, FillMode::Solid);
        FillByMode(m_canvas, dark, light, FrameArea{m_TextBoxInset, 0, roundEven(sw - 2 - 30), tbh - 1},
                   enumValue(m_GradientHeaderStyle), Outline::Drawn, m_PaintFrameColor, kGradientRatio);
    }
    // Left edge 1.5 icon gaps inside the box: round(9 + 15) = 24.
    layout.caption = FrameRect{roundEven(1.5 * m_IconGap + m_TextBoxInset), 0, roundEven(sw - 1 - 15 - 9), tbh - 1};
    layout.iconY = std::int16_t(roundEven((tbh - m_IconSize) / 2.0));
    return layout;
}

jcFrames::StyleLayout jcFrames::paintHeaderBand()
{
    const float sw = float(m_canvas.width());
    const float sh = float(m_canvas.height());
    const int tbh = m_TextBoxHeight;
    StyleLayout layout;

    m_BodyTop = roundEven(tbh / 2.0);
    DrawRoundBox(m_canvas, cornersOf(m_RoundedCorner), kFrameCorner, m_PaintFillColor, m_PaintFrameColor,
                 FrameRect{0, m_BodyTop, roundEven(sw - 1), roundEven(sh - 1)}, FillMode::Solid);
    if (m_HeaderStyle != HeaderKind::HeaderGradient) {
        DrawRoundBox(m_canvas, cornersOf(m_RoundedCornerTxtBox), kFrameCorner, m_PaintTextBoxColor,
                     m_PaintFrameColor, FrameRect{0, 0, roundEven(sw - 1), tbh}, FillMode::Solid);
    } else {
        FillByMode(m_canvas, m_PaintThemeStartColor, m_PaintThemeEndColor, FrameArea{0, 0, roundEven(sw - 2), tbh - 1},
                   enumValue(m_GradientHeaderStyle), Outline::Drawn, m_PaintFrameColor, kGradientRatio);
    }
    layout.caption = FrameRect{m_IconGap, 0, roundEven(sw - m_IconGap), tbh};
    layout.iconY = std::int16_t(roundEven((tbh - m_IconSize) / 2.0));
    return layout;
}

jcFrames::StyleLayout jcFrames::paintGripperPanel()
{
    const float sw = float(m_canvas.width());
    const float sh = float(m_canvas.height());
    const int tbh = m_TextBoxHeight;
    const Colour dark = m_PaintThemeStartColor;
    const Colour light = m_PaintThemeEndColor;
    const Colour outline = m_ThemeColor == ColorTheme::ThemeCustom ? m_PaintFrameColor : m_PaintThemeBorderColor;
    StyleLayout layout;

    m_BodyTop = 0;
    DrawRoundBox(m_canvas, cornersOf(m_RoundedCorner), kFrameCorner, BlendHalf(dark, kWhite), outline,
                 FrameRect{0, 0, roundEven(sw - 1), roundEven(sh - 1)}, FillMode::Solid);
    // Gripper strip, white at the top towards dark, with its dots.
    FillByMode(m_canvas, dark, kWhite, FrameArea{0, 0, roundEven(sw - 2), 6}, 0, Outline::Drawn,
               m_PaintThemeBorderColor, kGradientRatio);
    DrawGripper(m_canvas, kWhite, BlendHalf(kBlack, dark), 6);
    // Header; a disabled panel always shows it as a gradient.
    if (m_HeaderStyle == HeaderKind::HeaderGradient || !m_Enabled) {
        FillByMode(m_canvas, dark, light, FrameArea{0, 6, roundEven(sw - 2), tbh + 1}, enumValue(m_GradientHeaderStyle),
                   Outline::Drawn, m_PaintThemeBorderColor, kGradientRatio);
    } else {
        DrawLine(m_canvas, 0, 7 + tbh, roundEven(sw - 2), 7 + tbh, m_PaintThemeBorderColor);
    }
    FillByMode(m_canvas, BlendHalf(dark, kWhite), BlendHalf(light, kWhite),
               FrameArea{1, 7 + tbh, roundEven(sw - 3), roundEven(double(sh) - (8 + tbh) - 0.2 * double(sh))}, 0,
               Outline::None, 0, kGradientRatio);

    layout.caption = FrameRect{m_IconGap, 8, roundEven(sw - 1 - m_IconGap), tbh + 6};
    layout.iconY = std::int16_t(roundEven((tbh - m_IconSize) / 2.0 + 6));
    return layout;
}

jcFrames::TabShape jcFrames::tabShape() const
{
    const float sw = float(m_canvas.width());
    const float sh = float(m_canvas.height());
    TabShape tab;
    tab.corner = m_RoundedCorner ? kFrameCorner : 0;
    tab.width = std::max(m_CaptionWidth + 10, kMinimumTabWidth);
    tab.height = m_CaptionHeight + 5;
    tab.outer = FrameRect{0, 0, roundEven(sw - 1), roundEven(sh - 1)};
    // A tab too wide for the frame ends 15 pixels before its right edge.
    if (tab.width + tab.height / 2.0 >= tab.outer.right - 15)
        tab.width = roundEven(tab.outer.right - tab.height / 2.0 - 15 - 1);
    return tab;
}

jcFrames::StyleLayout jcFrames::paintTab()
{
    const TabShape tab = tabShape();
    const int w = tab.width;
    const int h = tab.height;
    const int slantEnd = roundEven(w + h / 2.0);
    StyleLayout layout;

    // The tab's top-left corner follows the frame's rounding.
    const FrameRegion tabRegion = FrameRegion::polygon({{0, 0}, {0, h}, {w, h}, {slantEnd, 0}})
                                      .intersected(FrameRegion::roundRect(tab.outer, tab.corner, tab.corner));

    DrawRoundBox(m_canvas, cornersOf(m_RoundedCorner), kFrameCorner, m_PaintFillColor, m_PaintFillColor, tab.outer,
                 FillMode::Solid);
    FillRegion(m_canvas, tabRegion, m_PaintTextBoxColor);
    DrawLine(m_canvas, 0, h, w, h, m_PaintFrameColor);
    DrawLine(m_canvas, w, h, slantEnd, 0, m_PaintFrameColor);
    // The frame outline over everything.
    DrawRoundBox(m_canvas, cornersOf(m_RoundedCorner), kFrameCorner, m_PaintFillColor, m_PaintFrameColor, tab.outer,
                 FillMode::Hollow);
    m_canvas.fillMode = FillMode::Solid;

    layout.caption = FrameRect{roundEven(7.5), 0, w, h + 2};
    return layout;
}

jcFrames::StyleLayout jcFrames::paintFolderTab()
{
    const float sw = float(m_canvas.width());
    const float sh = float(m_canvas.height());
    const TabShape tab = tabShape();
    const int w = tab.width;
    const int h = tab.height;
    const int slantEnd = roundEven(w + h / 2.0);
    StyleLayout layout;

    // The tab, wider at its foot, slanting on the right.
    FillRegion(m_canvas, FrameRegion::polygon({{6, 0}, {6, h}, {slantEnd, h}, {w, 0}}), m_PaintTextBoxColor);
    // Its rounded top-left part, and a patch hiding that box's right edge where it meets the slant.
    DrawRoundBox(m_canvas, cornersOf(m_RoundedCorner), kFrameCorner, m_PaintTextBoxColor, m_PaintFrameColor,
                 FrameRect{0, 0, roundEven(0.9 * w), roundEven(1.3 * h)}, FillMode::Solid);
    DrawRoundBox(m_canvas, cornersOf(m_RoundedCorner), 0, m_PaintTextBoxColor, m_PaintTextBoxColor,
                 FrameRect{roundEven(0.9 * w - 5), 1, roundEven(0.9 * w + 3), roundEven(1.3 * h)}, FillMode::Solid);
    // An outline in the fill colour just outside the body's edge.
    DrawRoundBox(m_canvas, cornersOf(m_RoundedCorner), kFrameCorner, m_PaintFillColor, m_PaintFillColor,
                 FrameRect{-1, -1, roundEven(sw - 1), roundEven(sh - 1)}, FillMode::Hollow);
    // Top edge and slant of the tab.
    m_canvas.foreColor = m_PaintFrameColor;
    DrawLine(m_canvas, 6, 0, w, 0, m_canvas.foreColor);
    DrawLine(m_canvas, w, 0, slantEnd, h, m_canvas.foreColor);
    // The body under the tab, its top-left corner squared, then the square's inner edges removed.
    m_canvas.fillColor = m_PaintFillColor;
    m_canvas.fillMode = FillMode::Solid;
    RoundRect(m_canvas, FrameRect{0, h, tab.outer.right, tab.outer.bottom}, tab.corner, tab.corner);
    RoundRect(m_canvas, FrameRect{0, h, 10, h + 10}, 0, 0);
    m_canvas.foreColor = m_PaintFillColor;
    RoundRect(m_canvas, FrameRect{1, h + 1, 10, h + 10}, 0, 0);

    layout.caption = FrameRect{8, 0, w, h + 2};
    return layout;
}

jcFrames::StyleLayout jcFrames::paintEtchedLine()
{
    const float sw = float(m_canvas.width());
    StyleLayout layout;
    const Colour line = TranslateColor(systemColourRef(m_Enabled ? kColor3DDkShadow : kColorGrayText));
    DrawLine(m_canvas, 0, m_BodyTop, roundEven(sw), m_BodyTop, line);
    DrawLine(m_canvas, 0, m_BodyTop + 1, roundEven(sw), m_BodyTop + 1, kWhite);
    if (m_Caption.empty())
        return layout;
    int x = 0;
    if (m_Alignment == CaptionAlignment::AlignLeft)
        x = 0;
    else if (m_Alignment == CaptionAlignment::AlignRight)
        x = roundEven(sw - m_CaptionWidth - 6);
    else
        x = roundEven((sw - m_CaptionWidth) / 2);
    // The gap behind the caption, both rows of the line.
    DrawLine(m_canvas, x, m_BodyTop, x + m_CaptionWidth + 6, m_BodyTop, m_PaintFillColor);
    DrawLine(m_canvas, x, m_BodyTop + 1, x + m_CaptionWidth + 6, m_BodyTop + 1, m_PaintFillColor);
    layout.caption = FrameRect{x + 3, 0, m_CaptionWidth + x + 3, m_CaptionHeight};
    return layout;
}

jcFrames::StyleLayout jcFrames::paintCaptionPanel()
{
    const float sw = float(m_canvas.width());
    const float sh = float(m_canvas.height());
    StyleLayout layout;

    m_BodyTop = roundEven(m_TextBoxHeight / 2.0);
    m_canvas.fillColor = m_PaintFillColor;
    const Colour pen = (m_ThemeColor == ColorTheme::ThemeCustom || m_HeaderStyle == HeaderKind::HeaderPlain)
                           ? m_PaintFrameColor
                           : m_PaintThemeBorderColor;
    const int corner = m_RoundedCorner ? kPanelCorner : 0;
    const FrameRect outer{0, 0, roundEven(sw), roundEven(sh)};
    const bool gradient = m_HeaderStyle == HeaderKind::HeaderGradient;

    // The whole surface is the gradient.
    if (gradient) {
        FillByMode(m_canvas, m_PaintThemeStartColor, m_PaintThemeEndColor, FrameArea{0, 0, outer.right, outer.bottom},
                   enumValue(m_GradientHeaderStyle), Outline::None, 0, kPanelGradientRatio);
    }
    // The rounded window shape; the window owns it from here on.
    m_windowRegion = FrameRegion::rectangle(outer.left, outer.top, outer.right - outer.left, outer.bottom - outer.top)
                         .intersected(FrameRegion::roundRect(outer, corner, corner));
    m_canvas.fillMode = gradient ? FillMode::Hollow : FillMode::Solid;
    // The outline, unless it would only repeat the background colour over a gradient.
    if (!(pen == m_canvas.backColor && m_HeaderStyle != HeaderKind::HeaderPlain)) {
        m_canvas.foreColor = pen;
        RoundRect(m_canvas, FrameRect{0, 0, outer.right - 1, outer.bottom - 1}, corner, corner);
        m_canvas.fillMode = FillMode::Solid;
        DrawCornerPixels(m_canvas, pen);
    }
    layout.caption = FrameRect{6, 0, roundEven(sw - 6), roundEven(sh - 2)};
    // The division in single precision.
    layout.iconY = std::int16_t(roundEven((sh - float(m_IconSize)) / 2.0f));
    return layout;
}

}  // namespace tav
