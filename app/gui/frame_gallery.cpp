// The frame-control gallery: real jcFrames instances, set up through their setters (or, for
// the main window's frames, loaded from their stored values), each rendered into its own
// persistent image and copied onto one labelled sheet through its window shape.
#include "app/gui/frame_gallery.h"

#include "app/gui/main_window_frames.h"
#include "controls/jc_frames.h"

#include <QImageWriter>
#include <QPainter>

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
constexpr QRgb kSheetColour = qRgb(255, 255, 255);
constexpr QRgb kLabelColour = qRgb(0, 0, 0);
constexpr QRgb kSectionColour = qRgb(0, 0, 128);

const char* const kShortCaption = "Short caption";
const char* const kLongCaption = "A caption far too long for the room this frame has";

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
    QImage image(16, 16, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    {
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing, false);
        p.setPen(QColor(120, 50, 0));
        p.setBrush(QColor(255, 140, 0));
        p.drawEllipse(QRect(1, 1, 13, 13));
        p.fillRect(QRect(5, 7, 6, 2), Qt::white);
    }
    auto picture = std::make_shared<FramePicture>();
    picture->kind = FramePicture::Kind::Icon;
    picture->image = image;
    return picture;
}

class Sheet {
public:
    Sheet(int width, int height) : m_image(width, height, QImage::Format_RGB32)
    {
        m_image.fill(kSheetColour);
        m_font = QFont(QStringLiteral("Arial"));
        m_font.setPixelSize(12);
        m_font.setStyleStrategy(QFont::NoAntialias);
        m_font.setHintingPreference(QFont::PreferFullHinting);
    }

    void label(int x, int y, int width, const QString& text, QRgb colour = kLabelColour, bool bold = false)
    {
        QPainter p(&m_image);
        QFont font = m_font;
        if (bold) {
            // 12-pixel bold is hinted back to regular strokes; headings use the captions' 13 pixels.
            font.setPixelSize(13);
            font.setBold(true);
        }
        p.setFont(font);
        p.setPen(QColor::fromRgb(colour));
        p.drawText(QRect(x, y, width, kLabelHeight), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, text);
    }

    // The frame's image as the screen shows it: clipped to its window shape.
    void frame(int x, int y, const jcFrames& frame)
    {
        QPainter p(&m_image);
        if (!frame.mask().isEmpty())
            p.setClipRegion(frame.mask().translated(x, y));
        p.drawImage(x, y, frame.surfaceImage());
    }

    QImage image() const { return m_image; }

private:
    QImage m_image;
    QFont m_font;
};

// A new instance as a host places it, then the setters a user would call.
std::unique_ptr<jcFrames> placeFrame(const AmbientProperties& ambient, QSize size,
                                     const std::function<void(jcFrames&)>& setUp)
{
    auto frame = std::make_unique<jcFrames>();
    frame->setAmbient(&ambient);
    frame->resize(size);
    frame->initProperties();
    frame->setFont(mainWindowFrameFont());
    setUp(*frame);
    frame->Repaint();
    return frame;
}

}  // namespace

QImage renderFrameGallery()
{
    const FixedAmbient ambient(systemColourRef(kColorBtnFace), QStringLiteral("jcFrames"), mainWindowFrameFont());
    const PictureRef icon = makeIcon();
    const int columns = int(kVariants.size());
    const int sheetWidth = kMargin * 2 + kRowLabelWidth + columns * (kTileWidth + kGap);

    const int tallestMainFrame = storedMainWindowFrame(MainWindowFrame::Image).size.height();
    const int mainSectionHeight = kLabelHeight * 2 + tallestMainFrame + kGap * 2;
    const int styleSectionHeight = kLabelHeight * 2 + int(kThemeNames.size()) * (kTileHeight + kGap) + kGap;
    const int extrasHeight = kLabelHeight * 2 + 2 * (kTileHeight + kLabelHeight + kGap) + kGap;
    const int sheetHeight = kMargin * 2 + kLabelHeight * 2 + mainSectionHeight +
                            int(kStyleNames.size()) * styleSectionHeight + extrasHeight;
    Sheet sheet(sheetWidth, sheetHeight);

    int y = kMargin;
    sheet.label(kMargin, y, sheetWidth, QStringLiteral("jcFrames gallery: every look in every theme"), kLabelColour,
                true);
    y += kLabelHeight * 2;

    // The main window's frames, loaded from their stored values.
    sheet.label(kMargin, y, sheetWidth, QStringLiteral("Main window frames (loaded from stored values)"),
                kSectionColour, true);
    y += kLabelHeight + 4;
    {
        int x = kMargin;
        for (MainWindowFrame which : {MainWindowFrame::Season, MainWindowFrame::LogoType, MainWindowFrame::Image}) {
            StoredFrame stored = storedMainWindowFrame(which);
            const FixedAmbient frameAmbient(systemColourRef(kColorBtnFace), stored.name, mainWindowFrameFont());
            jcFrames frame;
            frame.setAmbient(&frameAmbient);
            frame.resize(stored.size);
            frame.readProperties(stored.properties);
            const QString title =
                QStringLiteral("%1 %2 x %3").arg(stored.name).arg(stored.size.width()).arg(stored.size.height());
            sheet.label(x, y, stored.size.width(), title);
            sheet.frame(x, y + kLabelHeight, frame);
            x += stored.size.width() + kGap * 2;
        }
        y += mainSectionHeight - kLabelHeight - 4;
    }

    // Every look, theme and variant.
    for (int style = 0; style < int(kStyleNames.size()); ++style) {
        const QString title = QStringLiteral("Style %1").arg(QLatin1String(kStyleNames[std::size_t(style)]));
        sheet.label(kMargin, y, sheetWidth, title, kSectionColour, true);
        y += kLabelHeight;
        for (int c = 0; c < columns; ++c)
            sheet.label(kMargin + kRowLabelWidth + c * (kTileWidth + kGap), y, kTileWidth,
                        QLatin1String(kVariants[std::size_t(c)].label));
        y += kLabelHeight;
        for (int theme = 0; theme < int(kThemeNames.size()); ++theme) {
            sheet.label(kMargin, y + kTileHeight / 2 - kLabelHeight / 2, kRowLabelWidth,
                        QLatin1String(kThemeNames[std::size_t(theme)]));
            for (int c = 0; c < columns; ++c) {
                const Variant& v = kVariants[std::size_t(c)];
                auto frame = placeFrame(ambient, QSize(kTileWidth, kTileHeight), [&](jcFrames& f) {
                    f.setStyle(FrameStyle(style));  // the preset first: it may set the theme
                    f.setThemeColor(ColorTheme(theme));
                    f.setCaption(QLatin1String(v.longCaption ? kLongCaption : kShortCaption));
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
    sheet.label(kMargin, y, sheetWidth, QStringLiteral("Further settings"), kSectionColour, true);
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
        sheet.label(x, top, kTileWidth, QLatin1String(extras[i].label));
        auto frame = placeFrame(ambient, QSize(kTileWidth, kTileHeight), [&](jcFrames& f) {
            f.setStyle(extras[i].style);
            extras[i].setUp(f);
            f.setCaption(QLatin1String(kShortCaption));
        });
        sheet.frame(x, top + kLabelHeight, *frame);
    }
    return sheet.image();
}

bool saveFrameGallery(const QString& path, QString* error)
{
    const QImage gallery = renderFrameGallery();
    QImageWriter writer(path, "png");
    if (!writer.write(gallery)) {
        if (error)
            *error = QStringLiteral("cannot write %1: %2").arg(path, writer.errorString());
        return false;
    }
    return true;
}

}  // namespace tav
