// The main window's frames as they were saved: outer size, colours, caption, font and header.
#include "app/main_window_frames.h"

#include "controls/jc_frames.h"

namespace tav {
namespace {

constexpr Colour kWindowGrey = 0xC8D0D4;  // 212, 208, 200
constexpr std::int32_t kGradientHeader = 1;

MemoryPropertyBag frameBag(const char16_t* caption)
{
    return MemoryPropertyBag{
        {kKeyBackColor, colourToStored(kWindowGrey)},
        {kKeyFillColor, colourToStored(kWindowGrey)},
        {kKeyCaption, std::u16string(caption)},
        {kKeyFont, mainWindowFrameFont()},
        {kKeyHeaderStyle, kGradientHeader},
    };
}

}  // namespace

FrameFont mainWindowFrameFont()
{
    FrameFont font;
    font.name = u"Arial";
    font.points = 9.75;
    font.bold = true;
    return font;
}

StoredFrame storedMainWindowFrame(MainWindowFrame which)
{
    // Sizes were saved in hundredths of a millimetre: 6773 x 3942, 6773 x 2672 and
    // 10478 x 8758, which at 96 dots per inch are the pixel sizes below.
    switch (which) {
    case MainWindowFrame::Season:
        return {u"jcfSeason", 256, 149, frameBag(u"1) Please Choose a Season")};
    case MainWindowFrame::LogoType:
        return {u"jcFrames1", 256, 101, frameBag(u"2) Type of logo to make")};
    case MainWindowFrame::Image:
        break;
    }
    return {u"jcFrames2", 396, 331, frameBag(u"3) Select a image from your disk")};
}

}  // namespace tav
