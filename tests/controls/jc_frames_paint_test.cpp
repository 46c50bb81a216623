// jcFrames painting, probed on the rendered image: the main window's default look, caption
// fitting and wrapping, the disabled look, the custom theme, icons, tabs, shadows and the
// window shape of the caption panel.
#include "controls/jc_frames.h"
#include "app/main_window_frames.h"

#include "controls_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <optional>

namespace tav {
namespace {

using test::gradientStep;
using test::pixelAt;
using test::Rgb;

constexpr Colour kButtonFaceRef = 0x8000000F;
const Rgb kButtonFaceRgb{212, 208, 200};
const Rgb kNavy{0, 0, 128};
const Rgb kBlack{0, 0, 0};
const Rgb kBlueLight{221, 236, 254};  // ThemeBlue end colour
const Rgb kBlueDark{129, 169, 226};   // ThemeBlue start colour
const Rgb kBlueBody{192, 212, 240};   // BlendHalf(dark, white)
const Rgb kBlueHalfLight{238, 246, 254};  // BlendHalf(light, white): 245.5 -> 246, 254.5 -> 254

struct Area {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

Area wholeOf(const FrameCanvas& image) { return {0, 0, image.width(), image.height()}; }

struct Size {
    int width = 0;
    int height = 0;
};

struct Box {
    int left = 0;
    int top = 0;
    int right = -1;  // inclusive
    int bottom = -1;
    bool empty() const { return right < left; }
};

// The bounding box of the pixels of one colour inside an area.
Box boundsOf(const FrameCanvas& image, Rgb colour, Area area)
{
    Box box{area.x + area.width, area.y + area.height, -1, -1};
    for (int y = area.y; y < area.y + area.height; ++y)
        for (int x = area.x; x < area.x + area.width; ++x)
            if (pixelAt(image, x, y) == colour) {
                box.left = std::min(box.left, x);
                box.top = std::min(box.top, y);
                box.right = std::max(box.right, x);
                box.bottom = std::max(box.bottom, y);
            }
    if (box.right < 0)
        return Box{};
    return box;
}

int countOf(const FrameCanvas& image, Rgb colour)
{
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            n += pixelAt(image, x, y) == colour;
    return n;
}

// Runs of rows that hold at least one pixel of the colour: the lines of a caption.
int textLines(const FrameCanvas& image, Rgb colour)
{
    int lines = 0;
    bool inLine = false;
    for (int y = 0; y < image.height(); ++y) {
        bool any = false;
        for (int x = 0; x < image.width() && !any; ++x)
            any = pixelAt(image, x, y) == colour;
        if (any && !inLine)
            ++lines;
        inLine = any;
    }
    return lines;
}

PictureRef solidIcon(std::uint32_t argb, FramePicture::Kind kind = FramePicture::Kind::Icon)
{
    return test::solidPicture(16, 16, argb, kind);
}

class FramePaintTest : public ::testing::Test {
protected:
    std::unique_ptr<jcFrames> placedFrame(Size size = Size{200, 120})
    {
        auto frame = std::make_unique<jcFrames>(test::frameText());
        frame->setAmbient(&m_ambient);
        frame->resize(size.width, size.height);
        frame->initProperties();
        frame->setFont(mainWindowFrameFont());
        return frame;
    }

    std::unique_ptr<jcFrames> loadedFrame(PropertyBag& bag, Size size = Size{200, 120})
    {
        auto frame = std::make_unique<jcFrames>(test::frameText());
        frame->setAmbient(&m_ambient);
        frame->resize(size.width, size.height);
        frame->readProperties(bag);
        return frame;
    }

    FixedAmbient m_ambient{kButtonFaceRef, u"jcfTest", mainWindowFrameFont()};
};

TEST_F(FramePaintTest, MainWindowFramesShowTheThemedPanelLook)
{
    for (MainWindowFrame which : {MainWindowFrame::Season, MainWindowFrame::LogoType, MainWindowFrame::Image}) {
        StoredFrame stored = storedMainWindowFrame(which);
        SCOPED_TRACE(test::narrow(stored.name));
        const FixedAmbient ambient(kButtonFaceRef, stored.name, FrameFont());
        jcFrames frame(test::frameText());
        frame.setAmbient(&ambient);
        frame.resize(stored.width, stored.height);
        frame.readProperties(stored.properties);
        const FrameCanvas& image = frame.surface();
        const int sw = stored.width;
        const int sh = stored.height;
        const int right = sw - 2;  // outline column of bars, header and body

        // The 4-pixel bar at the top: navy outline rows 0 and 3, mirror-gradient rows 1 and 2.
        const Rgb bar1 = gradientStep(kBlueDark, kBlueLight, 1, 3);
        const Rgb bar2 = gradientStep(kBlueDark, kBlueLight, 2, 3);
        EXPECT_EQ(bar1, (Rgb{160, 191, 235}));
        for (int x : {0, 1, sw / 2, right}) {
            EXPECT_EQ(pixelAt(image, x, 0), kNavy) << x;
            EXPECT_EQ(pixelAt(image, x, 3), kNavy) << x;
            EXPECT_EQ(pixelAt(image, x, 25), kNavy) << x;
            EXPECT_EQ(pixelAt(image, x, 28), kNavy) << x;
        }
        for (int y = 0; y <= 28; ++y) {
            EXPECT_EQ(pixelAt(image, 0, y), kNavy) << y;
            EXPECT_EQ(pixelAt(image, right, y), kNavy) << y;
        }
        for (int x : {1, sw / 2, right - 1}) {
            EXPECT_EQ(pixelAt(image, x, 1), bar1) << x;
            EXPECT_EQ(pixelAt(image, x, 2), bar2) << x;
            // The bar under the header.
            EXPECT_EQ(pixelAt(image, x, 26), bar1) << x;
            EXPECT_EQ(pixelAt(image, x, 27), bar2) << x;
        }
        // The header, y 3 to 25, graded from the light end colour towards the dark start
        // colour, which is never reached.
        for (int i = 1; i <= 21; ++i) {
            const Rgb expected = gradientStep(kBlueLight, kBlueDark, i, 22);
            EXPECT_EQ(pixelAt(image, 2, 3 + i), expected) << i;
            EXPECT_EQ(pixelAt(image, right - 1, 3 + i), expected) << i;
            EXPECT_NE(pixelAt(image, 2, 3 + i), kBlueDark) << i;
        }
        // Body shading from y 29 over the upper part of the body, then the body fill.
        const int shadedRows = int(std::nearbyint(sh - 30 - 0.2 * sh));
        for (int i = 1; i < shadedRows; ++i)
            EXPECT_EQ(pixelAt(image, sw / 2, 28 + i), gradientStep(kBlueHalfLight, kBlueBody, i, shadedRows)) << i;
        for (int y = 28 + shadedRows; y <= sh - 3; ++y)
            EXPECT_EQ(pixelAt(image, sw / 2, y), kBlueBody) << y;
        // The body outline and its rounded bottom corners; the last column and row keep the
        // background.
        EXPECT_EQ(pixelAt(image, sw / 2, sh - 2), kNavy);
        EXPECT_EQ(pixelAt(image, 0, sh / 2 + 20), kNavy);
        EXPECT_EQ(pixelAt(image, right, sh / 2 + 20), kNavy);
        EXPECT_EQ(pixelAt(image, 0, sh - 2), kButtonFaceRgb);
        EXPECT_EQ(pixelAt(image, right, sh - 2), kButtonFaceRgb);
        for (int y = 0; y < sh; ++y)
            EXPECT_EQ(pixelAt(image, sw - 1, y), kButtonFaceRgb) << y;
        for (int x = 0; x < sw; ++x)
            EXPECT_EQ(pixelAt(image, x, sh - 1), kButtonFaceRgb) << x;

        // The black caption sits in the header, centred in (6, 4)-(sw - 8, 24).
        const Box text = boundsOf(image, kBlack, wholeOf(image));
        ASSERT_FALSE(text.empty());
        EXPECT_GE(text.top, 4);
        EXPECT_LE(text.bottom, 23);
        EXPECT_GE(text.left, 6);
        EXPECT_LE(text.right, sw - 9);
        // The advances are centred, so the ink may sit off centre by the first and last glyph's
        // side bearings.
        EXPECT_LE(std::abs((text.left - 6) - (sw - 9 - text.right)), 4);
    }
}

TEST_F(FramePaintTest, FitCaptionCutsCharactersUntilTheRestAndAnEllipsisFit)
{
    auto frame = placedFrame();
    const std::u16string text = u"Select a image from your disk";
    EXPECT_EQ(frame->FitCaption(text, 10000), text);
    EXPECT_EQ(frame->FitCaption(text, 3), u"") << "not even one character and the ellipsis fit";
    EXPECT_EQ(frame->FitCaption(u"", 0), u"");

    int lastLength = 0;
    bool sawOneCharacter = false;
    for (int width = 0; width <= 400; ++width) {
        const std::u16string fitted = frame->FitCaption(text, width);
        SCOPED_TRACE(width);
        const int keptLength = fitted == text ? int(text.size()) : int(std::max<int>(int(fitted.size()) - 3, 0));
        ASSERT_GE(keptLength, lastLength) << "more room never keeps fewer characters";
        lastLength = keptLength;
        if (fitted == text || fitted.empty())
            continue;
        ASSERT_TRUE(fitted.ends_with(u"..."));
        const std::u16string kept = fitted.substr(0, fitted.size() - 3);
        ASSERT_FALSE(kept.empty());
        ASSERT_TRUE(text.starts_with(kept));
        sawOneCharacter = sawOneCharacter || kept.size() == 1;
        // The result fits the width; one more character would not have.
        EXPECT_EQ(frame->FitCaption(fitted, width), fitted);
        const std::u16string longer = text.substr(0, kept.size() + 1) + u"...";
        EXPECT_NE(frame->FitCaption(longer, width), longer);
    }
    EXPECT_TRUE(sawOneCharacter);
}

TEST_F(FramePaintTest, CaptionPanelWrapsAndCentresTheCaption)
{
    auto frame = placedFrame(Size{150, 90});
    frame->setStyle(FrameStyle::CaptionPanel);
    frame->setCaption(u"alpha beta gamma delta epsilon zeta eta");
    const FrameCanvas& image = frame->surface();
    EXPECT_GE(textLines(image, kBlack), 2) << "wrapped, not cut";
    const Box text = boundsOf(image, kBlack, wholeOf(image));
    ASSERT_FALSE(text.empty());
    // Inside the caption area (6, 0)-(144, 88), centred both ways.
    EXPECT_GE(text.left, 6);
    EXPECT_LE(text.right, 143);
    EXPECT_LE(std::abs((text.left - 6) - (143 - text.right)), 3);
    EXPECT_LE(std::abs(text.top - (87 - text.bottom)), 5);
}

TEST_F(FramePaintTest, CaptionPanelCentresAShortCaptionAndShapesTheWindow)
{
    auto frame = placedFrame(Size{150, 90});
    frame->setStyle(FrameStyle::CaptionPanel);
    frame->setCaption(u"Hi");
    const FrameCanvas& image = frame->surface();
    EXPECT_EQ(textLines(image, kBlack), 1);
    const Box text = boundsOf(image, kBlack, wholeOf(image));
    EXPECT_LE(std::abs((text.left + text.right) / 2 - 75), 2);
    EXPECT_LE(std::abs((text.top + text.bottom) / 2 - 44), 3);

    // The rounded window: corners and the last column and row are cut away.
    ASSERT_TRUE(frame->windowRegion().has_value());
    const FrameRegion& mask = *frame->windowRegion();
    ASSERT_FALSE(mask.isEmpty());
    EXPECT_FALSE(mask.contains(0, 0));
    EXPECT_FALSE(mask.contains(148, 88));
    EXPECT_FALSE(mask.contains(149, 45));
    EXPECT_FALSE(mask.contains(75, 89));
    EXPECT_TRUE(mask.contains(75, 45));
    EXPECT_TRUE(mask.contains(148, 45));
    EXPECT_TRUE(mask.contains(75, 0));
    // The navy outline runs along the window's edge.
    EXPECT_EQ(pixelAt(image, 75, 0), kNavy);
    EXPECT_EQ(pixelAt(image, 148, 45), kNavy);
    EXPECT_EQ(pixelAt(image, 75, 88), kNavy);

    // Any other look restores the rectangular window.
    frame->setStyle(FrameStyle::ThemedPanel);
    EXPECT_FALSE(frame->windowRegion().has_value());
}

TEST_F(FramePaintTest, DisabledLookUsesTheSystemColoursAndGreyText)
{
    auto frame = placedFrame();
    frame->setCaption(u"Disabled");
    frame->setPicture(solidIcon(0xFFFF0000));
    const Rgb enabledIcon = pixelAt(frame->surface(), 6 + 8, 6 + 8);
    EXPECT_EQ(enabledIcon, (Rgb{255, 0, 0}));

    frame->setEnabled(false);
    const FrameCanvas& image = frame->surface();
    // Theme colours become the button face; the border the inactive border, both 212, 208, 200.
    for (int y = 0; y <= 28; ++y)
        EXPECT_EQ(pixelAt(image, 2, y), kButtonFaceRgb) << y;
    EXPECT_EQ(pixelAt(image, 100, 100), (Rgb{234, 232, 228})) << "BlendHalf(button face, white)";
    EXPECT_GT(countOf(image, Rgb{128, 128, 128}), 20) << "grey caption";
    EXPECT_EQ(countOf(image, kBlack), 0);
    // The icon in grey tones: 0.3 x 255 = 76.5 -> 76.
    EXPECT_EQ(pixelAt(image, 6 + 8, 6 + 8), (Rgb{76, 76, 76}));
}

TEST_F(FramePaintTest, GripperPanelShowsItsHeaderWhenDisabledEvenIfPlain)
{
    auto frame = placedFrame();
    frame->setStyle(FrameStyle::GripperPanel);  // preset: plain header
    EXPECT_EQ(pixelAt(frame->surface(), 3, 12), kBlueBody) << "no header: the body shows";
    EXPECT_EQ(pixelAt(frame->surface(), 3, 7 + 22), kNavy) << "only the line under the header";
    frame->setEnabled(false);
    EXPECT_EQ(pixelAt(frame->surface(), 3, 12), kButtonFaceRgb) << "the header gradient is drawn";
    EXPECT_EQ(pixelAt(frame->surface(), 100, 100), (Rgb{234, 232, 228}));
}

TEST_F(FramePaintTest, CustomThemeBorderIsBlackUntilTheThemeIsAppliedAgain)
{
    MemoryPropertyBag bag{{"ThemeColor", std::int32_t(5)}, {"FrameColor", colourToStored(0x0000FF)},
                          {"HeaderStyle", std::int32_t(1)}};
    auto frame = loadedFrame(bag);
    const FrameCanvas& image = frame->surface();
    EXPECT_EQ(pixelAt(image, 100, 0), kBlack) << "theme border: the frame colour of a repaint that never was";
    EXPECT_EQ(pixelAt(image, 0, 60), (Rgb{255, 0, 0})) << "the body outline uses the frame colour";
    // Custom gradient colours: the header runs from ColorTo towards ColorFrom.
    EXPECT_EQ(pixelAt(image, 2, 4), gradientStep({255, 240, 240}, {255, 158, 158}, 1, 22));

    frame->setThemeColor(ColorTheme::ThemeBlue);
    frame->setThemeColor(ColorTheme::ThemeCustom);
    EXPECT_EQ(pixelAt(frame->surface(), 100, 0), (Rgb{255, 0, 0}));

    frame->setColorTo(rgbColour(0, 255, 0));
    EXPECT_EQ(pixelAt(frame->surface(), 2, 4), gradientStep({0, 255, 0}, {255, 158, 158}, 1, 22));
}

TEST_F(FramePaintTest, IconSitsAtTheChosenEnd)
{
    const Rgb green{0, 255, 0};
    auto frame = placedFrame();
    frame->setPicture(solidIcon(0xFF00FF00));
    EXPECT_EQ(boundsOf(frame->surface(), green, wholeOf(frame->surface())).left, 6);
    frame->setIconAlignment(IconPlacement::IconRight);
    const Box right = boundsOf(frame->surface(), green, wholeOf(frame->surface()));
    EXPECT_EQ(right.left, 200 - 6 - 16);
    EXPECT_EQ(right.top, 6);
    EXPECT_EQ(right.bottom, 6 + 15);
    frame->setIconSize(8);
    EXPECT_EQ(boundsOf(frame->surface(), green, wholeOf(frame->surface())).left, 200 - 6 - 8);
}

TEST_F(FramePaintTest, TabsDrawNoIconButStillGiveUpItsRoom)
{
    const Rgb green{0, 255, 0};
    const Rgb white{255, 255, 255};
    for (FrameStyle style : {FrameStyle::Tab, FrameStyle::FolderTab}) {
        SCOPED_TRACE(enumValue(style));
        auto frame = placedFrame();
        frame->setStyle(style);
        frame->setCaption(u"Tab");
        const int plainLeft = boundsOf(frame->surface(), white, Area{0, 0, 120, 30}).left;
        frame->setPicture(solidIcon(0xFF00FF00));
        EXPECT_EQ(countOf(frame->surface(), green), 0);
        EXPECT_EQ(boundsOf(frame->surface(), white, Area{0, 0, 120, 30}).left, plainLeft + 6 + 16);
    }
}

TEST_F(FramePaintTest, TabIsAtLeastAHundredPixelsWide)
{
    auto frame = placedFrame();
    frame->setStyle(FrameStyle::Tab);
    frame->setCaption(u"Hi");
    const FrameCanvas& image = frame->surface();
    const Rgb tab{192, 0, 0};
    EXPECT_EQ(pixelAt(image, 99, 10), tab);
    EXPECT_EQ(pixelAt(image, 50, 5), tab);
    EXPECT_EQ(pixelAt(image, 130, 5), kButtonFaceRgb) << "the body's fill colour";
}

TEST_F(FramePaintTest, BorderCaptionWithoutCaptionStartsTheBodyAtTheTop)
{
    auto frame = placedFrame();
    frame->setStyle(FrameStyle::BorderCaption);
    frame->setCaption(u"");
    EXPECT_EQ(pixelAt(frame->surface(), 100, 0), (Rgb{195, 195, 195}));
    frame->setCaption(u"Caption");
    EXPECT_EQ(pixelAt(frame->surface(), 150, 0), kButtonFaceRgb);
}

TEST_F(FramePaintTest, TextBoxShadowOnlyForOne)
{
    const Rgb shadow{190, 188, 184};  // BlendHalf((212, 208, 200), (167, 167, 167))
    for (std::int32_t value : {0, 1, 2}) {
        SCOPED_TRACE(value);
        auto frame = placedFrame();
        frame->setStyle(FrameStyle::TextBoxCaption);
        frame->setHeaderStyle(HeaderKind::HeaderPlain);
        frame->setTxtBoxShadow(value);
        EXPECT_EQ(pixelAt(frame->surface(), 100, 23), value == 1 ? shadow : kButtonFaceRgb);
        EXPECT_EQ(pixelAt(frame->surface(), 100, 21), (Rgb{106, 106, 106})) << "the box's bottom edge";
    }
}

TEST_F(FramePaintTest, UnknownStyleDrawsNothingVisible)
{
    auto frame = placedFrame();
    frame->setCaption(u"Invisible");
    frame->setStyle(FrameStyle(9));
    EXPECT_EQ(countOf(frame->surface(), kButtonFaceRgb), 200 * 120);
}

TEST_F(FramePaintTest, ANewInstanceKeepsTheSurfaceBackgroundUntilBackColorIsSet)
{
    const FixedAmbient whiteHost(0xFFFFFF, u"jcfWhite", FrameFont());
    jcFrames frame(test::frameText());
    frame.setAmbient(&whiteHost);
    frame.resize(120, 80);
    frame.initProperties();
    frame.Repaint();
    EXPECT_EQ(frame.BackColor(), 0xFFFFFFu);
    EXPECT_EQ(pixelAt(frame.surface(), 119, 0), kButtonFaceRgb);
    frame.setBackColor(rgbColour(0, 128, 0));
    EXPECT_EQ(pixelAt(frame.surface(), 119, 0), (Rgb{0, 128, 0}));
}

}  // namespace
}  // namespace tav
