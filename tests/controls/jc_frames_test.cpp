// jcFrames as an object: values on creation and placement, persistence, setters with their
// notifications, presets and repaints, the enabled state of contained widgets, the font, the
// minimum size and the mouse event.
#include "controls/jc_frames.h"
#include "app/main_window_frames.h"
#include "controls/qt/frame_widget.h"
#include "controls/qt/qt_frame_text.h"

#include "controls_test_support.h"
#include "tests/support/fixed_texts.h"

#include <QPushButton>
#include <QSignalSpy>
#include <QMouseEvent>
#include <QCoreApplication>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace tav {
namespace {

constexpr Colour kButtonFaceRef = 0x8000000F;
constexpr Colour kButtonFace = 0xC8D0D4;  // 212, 208, 200

// A bag that records every read and write in order and reads back what it holds.
class RecordingBag : public PropertyBag {
public:
    PropertyValue readProperty(const std::string& key, const PropertyValue& defaultValue) override
    {
        reads.push_back(key);
        return stored.readProperty(key, defaultValue);
    }
    void writeProperty(const std::string& key, const PropertyValue& value, const PropertyValue& defaultValue) override
    {
        writes.push_back(key);
        stored.writeProperty(key, value, defaultValue);
    }

    MemoryPropertyBag stored;
    std::vector<std::string> reads;
    std::vector<std::string> writes;
};

const std::vector<std::string> kKeyOrder = {
    "FrameColor", "BackColor",     "FillColor", "TextBoxColor", "TxtBoxShadow", "Style",      "RoundedCorner",
    "Enabled",    "RoundedCornerTxtBox", "Caption", "TextBoxHeight", "TextColor", "Alignment", "IconAlignment",
    "Font",       "Picture",       "IconSize",  "ThemeColor",   "ColorFrom",    "ColorTo",    "HeaderStyle",
    "GradientHeaderStyle",
};

class JcFramesTest : public ::testing::Test {
protected:
    std::unique_ptr<jcFrames> makeFrame(QSize size = QSize(200, 120))
    {
        auto frame = std::make_unique<jcFrames>(qtFrameText());
        frame->setAmbient(&m_ambient);
        frame->resize(size.width(), size.height());
        return frame;
    }

    std::unique_ptr<jcFrames> placedFrame(QSize size = QSize(200, 120))
    {
        auto frame = makeFrame(size);
        frame->initProperties();
        frame->Repaint();
        return frame;
    }

    // Counts the repaints from here on.
    void armRepaintProbe(jcFrames& frame)
    {
        m_repaints = 0;
        frame.onRepainted = [this] { ++m_repaints; };
    }
    bool repainted(const jcFrames&) const { return m_repaints > 0; }

    // Records the keys the frame notifies from here on.
    static std::shared_ptr<std::vector<std::string>> recordNotifications(jcFrames& frame)
    {
        auto keys = std::make_shared<std::vector<std::string>>();
        frame.onPropertyChanged = [keys](std::string_view key) { keys->emplace_back(key); };
        return keys;
    }

    int m_repaints = 0;

    FixedAmbient m_ambient{kButtonFaceRef, u"jcfTest", FrameFont()};
};

TEST_F(JcFramesTest, ValuesOnCreation)
{
    auto frame = makeFrame();
    EXPECT_EQ(frame->IconSize(), 16);
    EXPECT_EQ(frame->ColorFrom(), 10395391u);
    EXPECT_EQ(frame->ColorTo(), 0xF0F0FFu);
    EXPECT_EQ(frame->TxtBoxShadow(), 0);
    EXPECT_EQ(frame->ThemeColor(), ColorTheme::ThemeBlue);
    EXPECT_TRUE(frame->Enabled());
    EXPECT_EQ(frame->TextBoxHeight(), 22);
    EXPECT_EQ(frame->Alignment(), CaptionAlignment::AlignCenter);
    EXPECT_EQ(frame->IconAlignment(), IconPlacement::IconLeft);
    // Not set on creation.
    EXPECT_EQ(frame->Style(), FrameStyle::BorderCaption);
    EXPECT_EQ(frame->HeaderStyle(), HeaderKind::HeaderPlain);
    EXPECT_FALSE(frame->RoundedCorner());
    EXPECT_TRUE(frame->Caption().empty());
    EXPECT_EQ(frame->Picture(), nullptr);
}

TEST_F(JcFramesTest, ValuesOfANewInstance)
{
    auto frame = makeFrame();
    frame->initProperties();
    EXPECT_EQ(frame->Caption(), u"jcfTest");
    EXPECT_EQ(frame->BackColor(), kButtonFace) << "translated ambient back colour";
    EXPECT_EQ(frame->FillColor(), kButtonFace);
    EXPECT_TRUE(frame->RoundedCorner());
    EXPECT_FALSE(frame->RoundedCornerTxtBox());
    EXPECT_EQ(frame->Style(), FrameStyle::ThemedPanel);
    EXPECT_EQ(frame->TextBoxColor(), 0xFFFFFFu);
    EXPECT_EQ(frame->HeaderStyle(), HeaderKind::HeaderGradient) << "a new instance differs from the read default";
    EXPECT_EQ(frame->GradientHeaderStyle(), GradientDirection::GradientVertical);
    EXPECT_EQ(frame->TextFormat(), 0x25);
    EXPECT_EQ(frame->IconSize(), 16) << "kept from creation";
}

TEST_F(JcFramesTest, ReadingAndWritingFollowTheKeyOrder)
{
    auto frame = placedFrame();
    RecordingBag bag;
    frame->writeProperties(bag);
    EXPECT_EQ(bag.writes, kKeyOrder);
    auto loaded = makeFrame();
    loaded->readProperties(bag);
    EXPECT_EQ(bag.reads, kKeyOrder);
}

TEST_F(JcFramesTest, ANewInstanceStoresOnlyWhatDiffersFromTheReadDefaults)
{
    auto frame = placedFrame();
    MemoryPropertyBag bag;
    frame->writeProperties(bag);
    // BackColor and FillColor are stored translated while the default is the reference itself;
    // HeaderStyle is 1 against a read default of 0.
    EXPECT_EQ(bag.keys(), (std::vector<std::string>{"BackColor", "FillColor", "HeaderStyle"}));
}

TEST_F(JcFramesTest, PlainHeaderIsNotStoredAndReadsBackPlain)
{
    auto frame = placedFrame();
    frame->setHeaderStyle(HeaderKind::HeaderPlain);
    MemoryPropertyBag bag;
    frame->writeProperties(bag);
    EXPECT_FALSE(bag.contains("HeaderStyle"));
    auto loaded = makeFrame();
    loaded->readProperties(bag);
    EXPECT_EQ(loaded->HeaderStyle(), HeaderKind::HeaderPlain);
}

TEST_F(JcFramesTest, SavedPropertiesLoadBackUnchanged)
{
    auto picture = std::make_shared<FramePicture>();
    picture->width = 8;
    picture->height = 8;
    picture->pixels.assign(64, 0);
    FrameFont font;
    font.name = u"Liberation Serif";
    font.points = 11.5;
    font.italic = true;

    auto frame = placedFrame();
    frame->setStyle(FrameStyle::TextBoxCaption);
    frame->setFrameColor(0x112233);
    frame->setBackColor(0x445566);
    frame->setFillColor(0x778899);
    frame->setTextBoxColor(0xAABBCC);
    frame->setTxtBoxShadow(1);
    frame->setRoundedCorner(false);
    frame->setRoundedCornerTxtBox(true);
    frame->setCaption(u"Saved");
    frame->setTextBoxHeight(30);
    frame->setTextColor(0x010203);
    frame->setAlignment(CaptionAlignment::AlignRight);
    frame->setIconAlignment(IconPlacement::IconRight);
    frame->setFont(font);
    frame->setPicture(picture);
    frame->setIconSize(24);
    frame->setThemeColor(ColorTheme::ThemeGold);
    frame->setColorFrom(0x0000FF);
    frame->setColorTo(0x00FF00);
    frame->setHeaderStyle(HeaderKind::HeaderPlain);
    frame->setGradientHeaderStyle(GradientDirection::GradientHorizontalMirror);
    frame->setEnabled(false);

    MemoryPropertyBag bag;
    frame->writeProperties(bag);
    auto loaded = makeFrame();
    loaded->readProperties(bag);

    EXPECT_EQ(loaded->Style(), FrameStyle::TextBoxCaption);
    EXPECT_EQ(loaded->FrameColor(), 0x112233u);
    EXPECT_EQ(loaded->BackColor(), 0x445566u);
    EXPECT_EQ(loaded->FillColor(), 0x778899u);
    EXPECT_EQ(loaded->TextBoxColor(), 0xAABBCCu);
    EXPECT_EQ(loaded->TxtBoxShadow(), 1);
    EXPECT_FALSE(loaded->RoundedCorner());
    EXPECT_TRUE(loaded->RoundedCornerTxtBox());
    EXPECT_EQ(loaded->Caption(), u"Saved");
    EXPECT_EQ(loaded->TextBoxHeight(), 30);
    EXPECT_EQ(loaded->TextColor(), 0x010203u);
    EXPECT_EQ(loaded->Alignment(), CaptionAlignment::AlignRight);
    EXPECT_EQ(loaded->IconAlignment(), IconPlacement::IconRight);
    EXPECT_EQ(loaded->Font().name, u"Liberation Serif");
    EXPECT_TRUE(loaded->Font().italic);
    EXPECT_DOUBLE_EQ(loaded->Font().points, 11.5);
    EXPECT_EQ(loaded->Picture(), picture);
    EXPECT_EQ(loaded->IconSize(), 24);
    EXPECT_EQ(loaded->ThemeColor(), ColorTheme::ThemeGold);
    EXPECT_EQ(loaded->ColorFrom(), 0x0000FFu);
    EXPECT_EQ(loaded->ColorTo(), 0x00FF00u);
    EXPECT_EQ(loaded->HeaderStyle(), HeaderKind::HeaderPlain);
    EXPECT_EQ(loaded->GradientHeaderStyle(), GradientDirection::GradientHorizontalMirror);
    EXPECT_FALSE(loaded->Enabled());
    EXPECT_EQ(loaded->TextFormat(), 0x26);
}

TEST_F(JcFramesTest, LoadedColoursStayUntranslatedButTheBackgroundIsPaintedTranslated)
{
    MemoryPropertyBag bag{{"FrameColor", colourToStored(0x80000011)}, {"BackColor", colourToStored(0x80000015)},
                          {"Style", std::int32_t(9)}, {"Caption", std::u16string()}};
    auto frame = makeFrame();
    frame->readProperties(bag);
    EXPECT_EQ(frame->FrameColor(), 0x80000011u);
    EXPECT_EQ(frame->BackColor(), 0x80000015u);
    EXPECT_EQ(test::pixelAt(frame->surface(), 5, 5), (test::Rgb{64, 64, 64}));
}

TEST_F(JcFramesTest, ColourSettersTranslateBeforeStoring)
{
    struct Row {
        const char* key;
        std::function<void(jcFrames&, Colour)> set;
        std::function<Colour(const jcFrames&)> get;
    };
    const std::vector<Row> rows = {
        {"FrameColor", &jcFrames::setFrameColor, &jcFrames::FrameColor},
        {"FillColor", &jcFrames::setFillColor, &jcFrames::FillColor},
        {"TextColor", &jcFrames::setTextColor, &jcFrames::TextColor},
        {"TextBoxColor", &jcFrames::setTextBoxColor, &jcFrames::TextBoxColor},
        {"BackColor", &jcFrames::setBackColor, &jcFrames::BackColor},
        {"ColorFrom", &jcFrames::setColorFrom, &jcFrames::ColorFrom},
        {"ColorTo", &jcFrames::setColorTo, &jcFrames::ColorTo},
    };
    auto frame = placedFrame();
    for (const Row& row : rows) {
        SCOPED_TRACE(row.key);
        row.set(*frame, 0x80000011);
        EXPECT_EQ(row.get(*frame), 0x808080u);
        row.set(*frame, 0x800000FF);
        EXPECT_EQ(row.get(*frame), kColourInvalid) << "an untranslatable colour is stored as -1";
    }
}

TEST_F(JcFramesTest, EverySetterNotifiesItsKeyAndRepaints)
{
    struct Row {
        const char* key;
        std::function<void(jcFrames&)> set;
    };
    auto picture = std::make_shared<FramePicture>();
    const std::vector<Row> rows = {
        {"FrameColor", [](jcFrames& f) { f.setFrameColor(1); }},
        {"FillColor", [](jcFrames& f) { f.setFillColor(1); }},
        {"RoundedCornerTxtBox", [](jcFrames& f) { f.setRoundedCornerTxtBox(true); }},
        {"Enabled", [](jcFrames& f) { f.setEnabled(false); }},
        {"TxtBoxShadow", [](jcFrames& f) { f.setTxtBoxShadow(1); }},
        {"RoundedCorner", [](jcFrames& f) { f.setRoundedCorner(false); }},
        {"Caption", [](jcFrames& f) { f.setCaption(u"x"); }},
        {"Alignment", [](jcFrames& f) { f.setAlignment(CaptionAlignment::AlignLeft); }},
        {"Style", [](jcFrames& f) { f.setStyle(FrameStyle::HeaderBand); }},
        {"TextBoxHeight", [](jcFrames& f) { f.setTextBoxHeight(30); }},
        {"TextColor", [](jcFrames& f) { f.setTextColor(1); }},
        {"TextBoxColor", [](jcFrames& f) { f.setTextBoxColor(1); }},
        {"BackColor", [](jcFrames& f) { f.setBackColor(1); }},
        {"Font", [](jcFrames& f) { f.setFont(FrameFont{u"Liberation Mono"}); }},
        {"Picture", [picture](jcFrames& f) { f.setPicture(picture); }},
        {"IconSize", [](jcFrames& f) { f.setIconSize(20); }},
        {"IconAlignment", [](jcFrames& f) { f.setIconAlignment(IconPlacement::IconRight); }},
        {"ThemeColor", [](jcFrames& f) { f.setThemeColor(ColorTheme::ThemeOlive); }},
        {"ColorFrom", [](jcFrames& f) { f.setColorFrom(1); }},
        {"ColorTo", [](jcFrames& f) { f.setColorTo(1); }},
        {"HeaderStyle", [](jcFrames& f) { f.setHeaderStyle(HeaderKind::HeaderPlain); }},
        {"GradientHeaderStyle", [](jcFrames& f) { f.setGradientHeaderStyle(GradientDirection::GradientHorizontal); }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.key);
        auto frame = placedFrame();
        armRepaintProbe(*frame);
        const auto keys = recordNotifications(*frame);
        row.set(*frame);
        EXPECT_EQ(*keys, std::vector<std::string>{row.key});
        EXPECT_TRUE(repainted(*frame));
    }
}

TEST_F(JcFramesTest, SettingTheCurrentThemeNeitherRepaintsNorNotifies)
{
    auto frame = placedFrame();
    armRepaintProbe(*frame);
    const auto keys = recordNotifications(*frame);
    frame->setThemeColor(ColorTheme::ThemeBlue);
    EXPECT_TRUE(keys->empty());
    EXPECT_FALSE(repainted(*frame));
}

TEST_F(JcFramesTest, ANewThemeIsPaintedBeforeTheHostIsNotified)
{
    auto frame = placedFrame();
    armRepaintProbe(*frame);
    bool paintedWhenNotified = false;
    frame->onPropertyChanged = [&](std::string_view) { paintedWhenNotified = repainted(*frame); };
    frame->setThemeColor(ColorTheme::ThemeGold);
    EXPECT_TRUE(paintedWhenNotified);

    // Every other setter notifies first.
    armRepaintProbe(*frame);
    paintedWhenNotified = true;
    frame->setCaption(u"later");
    EXPECT_FALSE(paintedWhenNotified);
}

TEST_F(JcFramesTest, StyleSetterAppliesThePresetWithoutNotifyingItsProperties)
{
    const Colour ambientFill = kButtonFace;
    const Colour keep = 0x0A0B0C;  // a fill colour no preset writes
    struct Row {
        int style;
        Colour text;
        Colour frame;
        Colour textBox;
        CaptionAlignment alignment;
        Colour fill;
        int textFormat;
    };
    const std::vector<Row> rows = {
        {0, 0xCF3603, 0xC3C3C3, 0xFFFFFF, CaptionAlignment::AlignLeft, ambientFill, 0x24},
        {1, 0, 0, 0xFFFFFF, CaptionAlignment::AlignCenter, keep, 0x25},
        {2, 0, 0x6A6A6A, 0xB0EFF0, CaptionAlignment::AlignCenter, ambientFill, 0x25},
        {3, 0, 0, 0xB0EFF0, CaptionAlignment::AlignCenter, 0xE0FFFF, 0x25},
        {4, 0, 0, 0xFFFFFF, CaptionAlignment::AlignCenter, keep, 0x25},
        {5, 0xFFFFFF, 0x0000C0, 0x0000C0, CaptionAlignment::AlignLeft, ambientFill, 0x24},
        {6, 0xFFFFFF, 0xA60000, 0xA60000, CaptionAlignment::AlignLeft, ambientFill, 0x24},
        {7, 0xCF3603, 0xC3C3C3, 0xFFFFFF, CaptionAlignment::AlignLeft, ambientFill, 0x24},
        {8, 0, 0, 0xFFFFFF, CaptionAlignment::AlignCenter, keep, 0x15},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.style);
        auto frame = placedFrame();
        frame->setFillColor(keep);
        frame->setTextBoxHeight(40);
        frame->setThemeColor(ColorTheme::ThemeOlive);
        frame->setAlignment(CaptionAlignment::AlignRight);
        const auto keys = recordNotifications(*frame);
        frame->setStyle(FrameStyle(row.style));
        EXPECT_EQ(*keys, std::vector<std::string>{"Style"});
        EXPECT_EQ(frame->TextColor(), row.text);
        EXPECT_EQ(frame->FrameColor(), row.frame);
        EXPECT_EQ(frame->TextBoxColor(), row.textBox);
        EXPECT_EQ(frame->TextBoxHeight(), 22);
        EXPECT_EQ(frame->Alignment(), row.alignment);
        EXPECT_EQ(frame->FillColor(), row.fill);
        EXPECT_EQ(frame->TextFormat(), row.textFormat);
        const bool setsTheme = row.style == 1 || row.style == 4 || row.style == 8;
        EXPECT_EQ(frame->ThemeColor(), setsTheme ? ColorTheme::ThemeBlue : ColorTheme::ThemeOlive);
    }
}

TEST_F(JcFramesTest, HeaderPresetsOverrideEarlierSettings)
{
    auto frame = placedFrame();
    frame->setRoundedCorner(false);
    frame->setRoundedCornerTxtBox(true);
    frame->setHeaderStyle(HeaderKind::HeaderGradient);
    frame->setGradientHeaderStyle(GradientDirection::GradientVertical);
    frame->setStyle(FrameStyle::HeaderBand);
    EXPECT_EQ(frame->HeaderStyle(), HeaderKind::HeaderPlain);
    EXPECT_EQ(frame->GradientHeaderStyle(), GradientDirection::GradientHorizontal);
    EXPECT_TRUE(frame->RoundedCorner());
    EXPECT_FALSE(frame->RoundedCornerTxtBox());

    frame->setStyle(FrameStyle::GripperPanel);
    EXPECT_EQ(frame->HeaderStyle(), HeaderKind::HeaderPlain);
    EXPECT_EQ(frame->GradientHeaderStyle(), GradientDirection::GradientVertical);

    frame->setStyle(FrameStyle::CaptionPanel);
    EXPECT_EQ(frame->HeaderStyle(), HeaderKind::HeaderGradient);
    EXPECT_EQ(frame->GradientHeaderStyle(), GradientDirection::GradientVerticalMirror);

    frame->setStyle(FrameStyle::TextBoxCaption);
    EXPECT_TRUE(frame->RoundedCornerTxtBox());
}

TEST_F(JcFramesTest, StyleAboveEightAppliesNoPreset)
{
    auto frame = placedFrame();
    frame->setTextColor(0x123456);
    frame->setTextBoxHeight(33);
    frame->setStyle(FrameStyle(9));
    EXPECT_EQ(frame->Style(), FrameStyle(9));
    EXPECT_EQ(frame->TextColor(), 0x123456u);
    EXPECT_EQ(frame->TextBoxHeight(), 33);
}

TEST_F(JcFramesTest, LoadingAppliesNoPreset)
{
    MemoryPropertyBag bag{{"Style", std::int32_t(3)}, {"HeaderStyle", std::int32_t(1)},
                          {"GradientHeaderStyle", std::int32_t(0)}, {"TextBoxHeight", std::int32_t(40)}};
    auto frame = makeFrame();
    frame->readProperties(bag);
    EXPECT_EQ(frame->Style(), FrameStyle::HeaderBand);
    EXPECT_EQ(frame->HeaderStyle(), HeaderKind::HeaderGradient);
    EXPECT_EQ(frame->GradientHeaderStyle(), GradientDirection::GradientVertical);
    EXPECT_EQ(frame->TextBoxHeight(), 40);
    EXPECT_EQ(frame->FillColor(), kButtonFaceRef) << "the read default is the ambient colour as the host gives it";
    EXPECT_EQ(frame->TextBoxColor(), 0xFFFFFFu);
}

TEST_F(JcFramesTest, TextFormatFollowsAlignmentAndStyle)
{
    struct Row {
        FrameStyle style;
        std::int32_t alignment;
        int format;
    };
    const std::vector<Row> rows = {
        {FrameStyle::ThemedPanel, 0, 0x24}, {FrameStyle::ThemedPanel, 1, 0x26}, {FrameStyle::ThemedPanel, 2, 0x25},
        {FrameStyle::ThemedPanel, 7, 0x25}, {FrameStyle::CaptionPanel, 0, 0x14}, {FrameStyle::CaptionPanel, 1, 0x16},
        {FrameStyle::CaptionPanel, 2, 0x15}, {FrameStyle::CaptionPanel, -1, 0x15},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.alignment);
        auto frame = placedFrame();
        frame->setStyle(row.style);
        frame->setAlignment(CaptionAlignment(row.alignment));
        EXPECT_EQ(frame->TextFormat(), row.format);
    }
}

TEST_F(JcFramesTest, EnabledIsHandedToContainedWidgetsByTheSetterOnly)
{
    FrameWidget widget;
    widget.frame().setAmbient(&m_ambient);
    widget.frame().initProperties();
    auto* button = new QPushButton(&widget);
    auto* other = new QPushButton(&widget);
    widget.frame().setEnabled(false);
    EXPECT_FALSE(button->isEnabled());
    EXPECT_FALSE(other->isEnabled());
    widget.frame().setEnabled(true);
    EXPECT_TRUE(button->isEnabled());

    MemoryPropertyBag bag{{"Enabled", false}};
    FrameWidget loaded;
    loaded.frame().setAmbient(&m_ambient);
    auto* contained = new QPushButton(&loaded);
    loaded.frame().readProperties(bag);
    EXPECT_FALSE(loaded.frame().Enabled());
    EXPECT_TRUE(contained->isEnabled()) << "loading a disabled frame leaves its contents enabled";
}

TEST_F(JcFramesTest, FontSetterCopiesBoldItalicNameAndSizeOnly)
{
    auto frame = placedFrame();
    const FrameFont given{u"Liberation Serif", 14.0, true, true, true, true};
    frame->setFont(given);
    const FrameFont own = frame->Font();
    EXPECT_EQ(own.name, u"Liberation Serif");
    EXPECT_DOUBLE_EQ(own.points, 14.0);
    EXPECT_TRUE(own.bold);
    EXPECT_TRUE(own.italic);
    EXPECT_FALSE(own.underline);
    EXPECT_FALSE(own.strikethrough);

    // A loaded font becomes the control's font whole.
    MemoryPropertyBag bag{{"Font", given}};
    auto loaded = makeFrame();
    loaded->readProperties(bag);
    EXPECT_TRUE(loaded->Font().underline);
}

TEST_F(JcFramesTest, ResizingBelowTheMinimumStopsAt700By400Twips)
{
    auto frame = placedFrame();
    frame->resize(33, 20);  // 500 x 300 twips
    EXPECT_EQ(std::pair(frame->width(), frame->height()), std::pair(47, 27));
    frame->resize(46, 100);
    EXPECT_EQ(std::pair(frame->width(), frame->height()), std::pair(47, 100));
    frame->resize(47, 27);
    EXPECT_EQ(std::pair(frame->width(), frame->height()), std::pair(47, 27));

    // A widget that hosts the frame is held to the same size.
    FrameWidget widget;
    widget.show();
    widget.setGeometry(0, 0, 33, 20);
    QCoreApplication::processEvents();
    EXPECT_EQ(widget.size(), QSize(47, 27));
    EXPECT_EQ(std::pair(widget.frame().width(), widget.frame().height()), std::pair(47, 27));
}

TEST_F(JcFramesTest, ShownFrameRepaintsOnResizeAndTakesTheWindowShape)
{
    FrameWidget widget;
    widget.frame().setAmbient(&m_ambient);
    widget.frame().initProperties();
    widget.resize(120, 80);
    widget.show();
    widget.resize(150, 90);
    QCoreApplication::processEvents();
    EXPECT_EQ(QSize(widget.frame().surface().width(), widget.frame().surface().height()), QSize(150, 90));
    EXPECT_TRUE(widget.mask().isEmpty());
    widget.frame().setStyle(FrameStyle::CaptionPanel);
    EXPECT_FALSE(widget.mask().contains(QPoint(0, 0)));
    EXPECT_TRUE(widget.mask().contains(QPoint(75, 45)));
}

TEST_F(JcFramesTest, MouseMovesAreRaisedWithButtonsShiftAndPosition)
{
    FrameWidget frame;
    QSignalSpy spy(&frame, &FrameWidget::MouseMove);
    QMouseEvent move(QEvent::MouseMove, QPointF(12.5, 30.0), QPointF(12.5, 30.0), Qt::NoButton,
                     Qt::LeftButton | Qt::MiddleButton, Qt::ShiftModifier | Qt::AltModifier);
    QCoreApplication::sendEvent(&frame, &move);
    ASSERT_EQ(spy.count(), 1);
    EXPECT_EQ(spy.at(0).at(0).value<qint16>(), 1 | 4);
    EXPECT_EQ(spy.at(0).at(1).value<qint16>(), 1 | 4);
    EXPECT_FLOAT_EQ(spy.at(0).at(2).toFloat(), 12.5f);
    EXPECT_FLOAT_EQ(spy.at(0).at(3).toFloat(), 30.0f);
}

TEST_F(JcFramesTest, MainWindowFramesLoadTheirStoredValues)
{
    struct Row {
        MainWindowFrame which;
        std::string_view caption;
        QSize size;
    };
    const std::vector<Row> rows = {
        {MainWindowFrame::Season, fixed::kSeasonFrameCaption, QSize(256, 149)},
        {MainWindowFrame::LogoType, fixed::kLogoTypeFrameCaption, QSize(256, 101)},
        {MainWindowFrame::Image, fixed::kImageFrameCaption, QSize(396, 331)},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.caption);
        StoredFrame stored = storedMainWindowFrame(row.which);
        EXPECT_EQ(QSize(stored.width, stored.height), row.size);
        const FixedAmbient ambient(kButtonFaceRef, stored.name, FrameFont());
        jcFrames frame(qtFrameText());
        frame.setAmbient(&ambient);
        frame.resize(stored.width, stored.height);
        frame.readProperties(stored.properties);
        EXPECT_EQ(frame.Caption(), std::u16string(row.caption.begin(), row.caption.end()));
        EXPECT_EQ(frame.Style(), FrameStyle::ThemedPanel);
        EXPECT_EQ(frame.ThemeColor(), ColorTheme::ThemeBlue);
        EXPECT_EQ(frame.HeaderStyle(), HeaderKind::HeaderGradient);
        EXPECT_EQ(frame.GradientHeaderStyle(), GradientDirection::GradientVertical);
        EXPECT_EQ(frame.Alignment(), CaptionAlignment::AlignCenter);
        EXPECT_EQ(frame.BackColor(), kButtonFace);
        EXPECT_EQ(frame.FillColor(), kButtonFace);
        EXPECT_EQ(frame.TextColor(), 0u);
        EXPECT_TRUE(frame.RoundedCorner());
        EXPECT_TRUE(frame.Enabled());
        EXPECT_EQ(frame.Picture(), nullptr);
        EXPECT_EQ(frame.Font().name, u"Arial");
        EXPECT_DOUBLE_EQ(frame.Font().points, 9.75);
        EXPECT_TRUE(frame.Font().bold);
        EXPECT_EQ(QSize(frame.surface().width(), frame.surface().height()), row.size) << "loading paints";
    }
}

}  // namespace
}  // namespace tav
