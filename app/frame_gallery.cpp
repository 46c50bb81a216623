// The frame-control gallery: real jcFrames instances, set up through their setters (or, for
// the main window's frames, loaded from their stored values), each rendered into its own
// persistent image and copied onto one labelled sheet through its window shape.
#include "app/frame_gallery.h"

#include "app/main_window_frames.h"
#include "controls/jc_frames.h"

#include <array>
#include <functional>
#include <memory>

namespace tav {
namespace {

constexpr int kMargin = 16;
constexpr int kRowLabelWidth = 120;
constexpr int kTileWidth = 176;
constexpr int kTileHeight = 84;
constexpr int kGap = 12;
constexpr int kLabelHeight = 18;
constexpr Colour kSheetColour = rgbColour(255, 255, 255);
constexpr Colour kLabelColour = rgbColour(0, 0, 0);
constexpr Colour kSectionColour = rgbColour(0, 0, 128);

const char16_t* const kShortCaption = u"Short caption";
const char16_t* const kLongCaption = u"A caption far too long for the room this frame has";

constexpr std::array<const char*, 9> kStyleNames = {
    "0 BorderCaption", "1 ThemedPanel", "2 TextBoxCaption", "3 HeaderBand", "4 GripperPanel",
    "5 Tab",           "6 FolderTab",   "7 EtchedLine",     "8 CaptionPanel",
};
constexpr std::array<const char*, 6> kThemeNames = {
    "ThemeBlue", "ThemeSilver", "ThemeOlive", "ThemeStone", "ThemeGold", "ThemeCustom",
};

struct Variant {
    bool enabled;
    bool icon;
    bool longCaption;
    const char* label;
};

constexpr std::array<Variant, 8> kVariants = {{
    {true, false, false, "enabled"},
    {true, true, false, "enabled, icon"},
    {true, false, true, "enabled, long"},
    {true, true, true, "enabled, icon, long"},
    {false, false, false, "disabled"},
    {false, true, false, "disabled, icon"},
    {false, false, true, "disabled, long"},
    {false, true, true, "disabled, icon, long"},
}};

// A 16 x 16 icon with transparent corners: an orange disc with a dark ring and a white bar.
PictureRef makeIcon()
{
    // '.' transparent, 'o' the ring, '#' the disc, '-' the bar.
    static constexpr std::array<const char*, 16> kRows = {{
        "................",
        ".....oooooo.....",
        "...oo######oo...",
        "..o##########o..",
        "..o##########o..",
        ".o############o.",
        ".o############o.",
        ".o###------###o.",
        ".o###------###o.",
        ".o############o.",
        ".o############o.",
        "..o##########o..",
        "..o##########o..",
        "...oo######oo...",
        ".....oooooo.....",
        "................"
    }};
    auto picture = std::make_shared<FramePicture>();
    picture->kind = FramePicture::Kind::Icon;
    picture->width = 16;
    picture->height = 16;
    for (const char* row : kRows) {
        for (int x = 0; x < 16; ++x) {
            switch (row[x]) {
            case 'o':
                picture->pixels.push_back(0xFF783200);
                break;
            case '#':
                picture->pixels.push_back(0xFFFF8C00);
                break;
            case '-':
                picture->pixels.push_back(0xFFFFFFFF);
                break;
            default:
                picture->pixels.push_back(0x00000000);
                break;
            }
        }
    }
    return picture;
}

class Sheet {
public:
    Sheet(const FrameText& text, int width, int height) : m_text(text)
    {
        m_canvas.backColor = kSheetColour;
        m_canvas.resize(width, height);
    }

    void label(int x, int y, int width, const std::u16string& text, Colour colour = kLabelColour, bool bold = false)
    {
        // 12 pixels (9 points at 96 dots per inch); 12-pixel bold is hinted back to regular
        // strokes, so headings use the captions' 13 pixels.
        FrameFont font;
        font.name = u"Arial";
        font.points = bold ? 9.75 : 9.0;
        font.bold = bold;
        m_text.draw(m_canvas, font, colour, FrameRect{x, y, x + width, y + kLabelHeight},
                    kDtLeft | kDtVCenter | kDtSingleLine, text);
    }

    // The frame's image as the screen shows it: clipped to its window shape.
    void frame(int x, int y, const jcFrames& frame)
    {
        const FrameCanvas& surface = frame.surface();
        const auto& region = frame.windowRegion();
        for (int row = 0; row < surface.height(); ++row) {
            for (int col = 0; col < surface.width(); ++col) {
                const int sx = x + col;
                const int sy = y + row;
                if (sx < 0 || sy < 0 || sx >= m_canvas.width() || sy >= m_canvas.height())
                    continue;
                if (!region || region->contains(col, row))
                    m_canvas.setPixel(sx, sy, surface.pixel(col, row));
            }
        }
    }

    FrameCanvas take() { return std::move(m_canvas); }

private:
    const FrameText& m_text;
    FrameCanvas m_canvas;
};

std::u16string u16(const std::string& text) { return std::u16string(text.begin(), text.end()); }

// A new instance as a host places it, then the setters a user would call.
std::unique_ptr<jcFrames> placeFrame(const FrameText& text, const AmbientProperties& ambient, int width, int height,
                                     const std::function<void(jcFrames&)>& setUp)
{
    auto frame = std::make_unique<jcFrames>(text);
    frame->setAmbient(&ambient);
    frame->resize(width, height);
    frame->initProperties();
    frame->setFont(mainWindowFrameFont());
    setUp(*frame);
    frame->Repaint();
    return frame;
}

}  // namespace

FrameCanvas renderFrameGallery(const FrameText& text)
{
    const FixedAmbient ambient(systemColourRef(kColorBtnFace), u"jcFrames", mainWindowFrameFont());
    const PictureRef icon = makeIcon();
    const int columns = int(kVariants.size());
    const int sheetWidth = kMargin * 2 + kRowLabelWidth + columns * (kTileWidth + kGap);

    const int tallestMainFrame = storedMainWindowFrame(MainWindowFrame::Image).height;
    const int mainSectionHeight = kLabelHeight * 2 + tallestMainFrame + kGap * 2;
    const int styleSectionHeight = kLabelHeight * 2 + int(kThemeNames.size()) * (kTileHeight + kGap) + kGap;
    const int extrasHeight = kLabelHeight * 2 + 2 * (kTileHeight + kLabelHeight + kGap) + kGap;
    const int sheetHeight = kMargin * 2 + kLabelHeight * 2 + mainSectionHeight +
                            int(kStyleNames.size()) * styleSectionHeight + extrasHeight;
    Sheet sheet(text, sheetWidth, sheetHeight);

    int y = kMargin;
    sheet.label(kMargin, y, sheetWidth, u"jcFrames gallery: every look in every theme", kLabelColour,
                true);
    y += kLabelHeight * 2;

    // The main window's frames, loaded from their stored values.
    sheet.label(kMargin, y, sheetWidth, u"Main window frames (loaded from stored values)",
                kSectionColour, true);
    y += kLabelHeight + 4;
    {
        int x = kMargin;
        for (MainWindowFrame which : {MainWindowFrame::Season, MainWindowFrame::LogoType, MainWindowFrame::Image}) {
            StoredFrame stored = storedMainWindowFrame(which);
            const FixedAmbient frameAmbient(systemColourRef(kColorBtnFace), stored.name, mainWindowFrameFont());
            jcFrames frame(text);
            frame.setAmbient(&frameAmbient);
            frame.resize(stored.width, stored.height);
            frame.readProperties(stored.properties);
            const std::u16string title =
                stored.name + u16(" " + std::to_string(stored.width) + " x " + std::to_string(stored.height));
            sheet.label(x, y, stored.width, title);
            sheet.frame(x, y + kLabelHeight, frame);
            x += stored.width + kGap * 2;
        }
        y += mainSectionHeight - kLabelHeight - 4;
    }

    // Every look, theme and variant.
    for (int style = 0; style < int(kStyleNames.size()); ++style) {
        const std::u16string title = u"Style " + u16(kStyleNames[std::size_t(style)]);
        sheet.label(kMargin, y, sheetWidth, title, kSectionColour, true);
        y += kLabelHeight;
        for (int c = 0; c < columns; ++c)
            sheet.label(kMargin + kRowLabelWidth + c * (kTileWidth + kGap), y, kTileWidth,
                        u16(kVariants[std::size_t(c)].label));
        y += kLabelHeight;
        for (int theme = 0; theme < int(kThemeNames.size()); ++theme) {
            sheet.label(kMargin, y + kTileHeight / 2 - kLabelHeight / 2, kRowLabelWidth,
                        u16(kThemeNames[std::size_t(theme)]));
            for (int c = 0; c < columns; ++c) {
                const Variant& v = kVariants[std::size_t(c)];
                auto frame = placeFrame(text, ambient, kTileWidth, kTileHeight, [&](jcFrames& f) {
                    f.setStyle(FrameStyle(style));  // the preset first: it may set the theme
                    f.setThemeColor(ColorTheme(theme));
                    f.setCaption(v.longCaption ? kLongCaption : kShortCaption);
                    if (v.icon)
                        f.setPicture(icon);
                    f.setEnabled(v.enabled);
                });
                sheet.frame(kMargin + kRowLabelWidth + c * (kTileWidth + kGap), y, *frame);
            }
            y += kTileHeight + kGap;
        }
        y += kGap;
    }

    // Further settings that the presets do not show.
    sheet.label(kMargin, y, sheetWidth, u"Further settings", kSectionColour, true);
    y += kLabelHeight * 2;
    struct Extra {
        const char* label;
        FrameStyle style;
        std::function<void(jcFrames&)> setUp;
    };
    using S = FrameStyle;
    const std::array<Extra, 16> extras = {{
        {"1 plain header", S::ThemedPanel, [](jcFrames& f) { f.setHeaderStyle(HeaderKind::HeaderPlain); }},
        {"1 horizontal", S::ThemedPanel,
         [](jcFrames& f) { f.setGradientHeaderStyle(GradientDirection::GradientHorizontal); }},
        {"1 vertical mirror", S::ThemedPanel,
         [](jcFrames& f) { f.setGradientHeaderStyle(GradientDirection::GradientVerticalMirror); }},
        {"1 horizontal mirror", S::ThemedPanel,
         [](jcFrames& f) { f.setGradientHeaderStyle(GradientDirection::GradientHorizontalMirror); }},
        {"1 square, left", S::ThemedPanel,
         [](jcFrames& f) {
             f.setRoundedCorner(false);
             f.setAlignment(CaptionAlignment::AlignLeft);
         }},
        {"1 icon right, right", S::ThemedPanel,
         [&icon](jcFrames& f) {
             f.setAlignment(CaptionAlignment::AlignRight);
             f.setIconAlignment(IconPlacement::IconRight);
             f.setPicture(icon);
         }},
        {"2 plain box, shadow", S::TextBoxCaption,
         [](jcFrames& f) {
             f.setHeaderStyle(HeaderKind::HeaderPlain);
             f.setTxtBoxShadow(1);
         }},
        {"2 gradient, shadow", S::TextBoxCaption,
         [](jcFrames& f) {
             f.setHeaderStyle(HeaderKind::HeaderGradient);
             f.setTxtBoxShadow(1);
         }},
        {"3 gradient header", S::HeaderBand, [](jcFrames& f) { f.setHeaderStyle(HeaderKind::HeaderGradient); }},
        {"4 gradient header", S::GripperPanel, [](jcFrames& f) { f.setHeaderStyle(HeaderKind::HeaderGradient); }},
        {"0 right, icon", S::BorderCaption,
         [&icon](jcFrames& f) {
             f.setAlignment(CaptionAlignment::AlignRight);
             f.setPicture(icon);
         }},
        {"7 centred", S::EtchedLine, [](jcFrames& f) { f.setAlignment(CaptionAlignment::AlignCenter); }},
        {"8 plain", S::CaptionPanel,
         [](jcFrames& f) {
             f.setHeaderStyle(HeaderKind::HeaderPlain);
             f.setFillColor(0xE0FFFF);
         }},
        {"8 custom theme", S::CaptionPanel,
         [](jcFrames& f) {
             f.setColorFrom(0x9E9EFF);
             f.setThemeColor(ColorTheme::ThemeCustom);
         }},
        {"8 square, left, icon", S::CaptionPanel,
         [&icon](jcFrames& f) {
             f.setRoundedCorner(false);
             f.setAlignment(CaptionAlignment::AlignLeft);
             f.setPicture(icon);
         }},
        {"9 unknown style", S(9), [](jcFrames&) {}},
    }};
    for (std::size_t i = 0; i < extras.size(); ++i) {
        const int row = int(i) / columns;
        const int col = int(i) % columns;
        const int x = kMargin + kRowLabelWidth + col * (kTileWidth + kGap);
        const int top = y + row * (kTileHeight + kLabelHeight + kGap);
        sheet.label(x, top, kTileWidth, u16(extras[i].label));
        auto frame = placeFrame(text, ambient, kTileWidth, kTileHeight, [&](jcFrames& f) {
            f.setStyle(extras[i].style);
            extras[i].setUp(f);
            f.setCaption(kShortCaption);
        });
        sheet.frame(x, top + kLabelHeight, *frame);
    }
    return sheet.take();
}

}  // namespace tav
