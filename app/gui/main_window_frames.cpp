// The main window's frames as they were saved: outer size, colours, caption, font and header.
#include "app/gui/main_window_frames.h"

#include "controls/jc_frames.h"

namespace tav {
namespace {

constexpr Colour kWindowGrey = 0xC8D0D4;  // 212, 208, 200
constexpr std::int32_t kGradientHeader = 1;

MemoryPropertyBag frameBag(const char* caption)
{
    return MemoryPropertyBag{
        {kKeyBackColor, colourToStored(kWindowGrey)},
        {kKeyFillColor, colourToStored(kWindowGrey)},
        {kKeyCaption, QString::fromLatin1(caption)},
        {kKeyFont, mainWindowFrameFont()},
        {kKeyHeaderStyle, kGradientHeader},
    };
}

}  // namespace

QFont mainWindowFrameFont()
{
    QFont font(QStringLiteral("Arial"));
    font.setPointSizeF(9.75);
    font.setWeight(QFont::Bold);
    return font;
}

StoredFrame storedMainWindowFrame(MainWindowFrame which)
{
    // Sizes were saved in hundredths of a millimetre: 6773 x 3942, 6773 x 2672 and
    // 10478 x 8758, which at 96 dots per inch are the pixel sizes below.
    switch (which) {
    case MainWindowFrame::Season:
        return {QStringLiteral("jcfSeason"), QSize(256, 149), frameBag("1) Please Choose a Season")};
    case MainWindowFrame::LogoType:
        return {QStringLiteral("jcFrames1"), QSize(256, 101), frameBag("2) Type of logo to make")};
    case MainWindowFrame::Image:
        break;
    }
    return {QStringLiteral("jcFrames2"), QSize(396, 331), frameBag("3) Select a image from your disk")};
}

}  // namespace tav
