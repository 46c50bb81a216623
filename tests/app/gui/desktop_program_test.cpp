// The desktop program's own renderings, `--screenshot` and `--frame-gallery`, held to the same
// pixels whichever program is under test: the Linux one built beside the tests, or the one
// TAVRENIX_GUI_UNDER_TEST names (`./dev.sh windows-test`: tavrenix.exe under Wine). Glyphs are
// the platform's own; every other pixel of a frame is the control's, and must be the same.
#include "../app_test_support.h"
#include "app/desktop_program.h"
#include "app/frame_gallery.h"
#include "app/main_window_frames.h"
#include "app/main_window_layout.h"
#include "controls/jc_frames.h"
#include "controls/qt/qt_frame_text.h"
#include "gui_test_support.h"

#include <QImage>
#include <QProcess>

#include <gtest/gtest.h>

#include <cstdlib>
#include <map>

namespace tav {
namespace {

using test::TempDir;

constexpr std::uint32_t kTextMarker = 0xFF00FF;

// Qt's measurements, but every caption's rectangle filled with the marker instead of glyphs:
// what is left unmarked is the part of the frames that owes nothing to a text engine's glyphs.
class MarkingText : public FrameText {
public:
    double lineWidth(const FrameFont& font, std::u16string_view line) const override
    {
        return qtFrameText().lineWidth(font, line);
    }
    double lineHeight(const FrameFont& font) const override { return qtFrameText().lineHeight(font); }
    TextSize wrappedSize(const FrameFont& font, int width, std::u16string_view text) const override
    {
        return qtFrameText().wrappedSize(font, width, text);
    }
    void draw(FrameCanvas& canvas, const FrameFont&, Colour, const FrameRect& rect, int,
              std::u16string_view) const override
    {
        canvas.fillBox(rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, kTextMarker);
    }
};

QString programUnderTest()
{
    const char* chosen = std::getenv("TAVRENIX_GUI_UNDER_TEST");
    return QString::fromLocal8Bit(chosen && *chosen ? chosen : TAVRENIX_GUI);
}

// What the program rendered into a PNG file with `option`.
QImage rendered(const std::string& option, const std::filesystem::path& file)
{
    QProcess program;
    program.start(programUnderTest(), {QString::fromStdString(option), QString::fromStdString(file.string())});
    EXPECT_TRUE(program.waitForFinished(120000));
    EXPECT_EQ(program.exitCode(), 0) << program.readAllStandardError().toStdString();
    return QImage(QString::fromStdString(file.string())).convertToFormat(QImage::Format_RGB32);
}

std::uint32_t rgbAt(const QImage& image, int x, int y) { return image.pixel(x, y) & 0xFFFFFF; }

TEST(DesktopProgram, GalleryFramesAreTheControlsOwnPixelsOutsideTheirText)
{
    TempDir dir;
    const QImage gallery = rendered(std::string(kFrameGalleryOption), dir / "gallery.png");
    const FrameCanvas expected = renderFrameGallery(MarkingText());
    ASSERT_EQ(gallery.width(), expected.width());
    ASSERT_EQ(gallery.height(), expected.height());
    int compared = 0;
    int differing = 0;
    std::string where;
    for (int y = 0; y < expected.height(); ++y) {
        for (int x = 0; x < expected.width(); ++x) {
            const std::uint32_t want = expected.pixel(x, y);
            if (want == kTextMarker)
                continue;
            ++compared;
            if (rgbAt(gallery, x, y) != want && differing++ < 10)
                where += " " + std::to_string(x) + "," + std::to_string(y);
        }
    }
    EXPECT_GT(compared, expected.width() * expected.height() / 2);
    EXPECT_EQ(differing, 0) << "of " << compared << " pixels, at" << where;
}

TEST(DesktopProgram, ScreenshotShowsTheFramesArtworkAndLabels)
{
    TempDir dir;
    const QImage shot = rendered(std::string(kScreenshotOption), dir / "window.png");
    ASSERT_EQ(shot.size(), QSize(kMainWidth, kMainHeight));
    test::expectArtworkAndColours(shot);

    // Each frame where none of its controls covers it and no caption is: the frame's own pixels.
    const MarkingText marking;
    for (const ControlSpec& spec : mainWindowControls()) {
        if (spec.kind != ControlKind::Frame)
            continue;
        SCOPED_TRACE(spec.name);
        StoredFrame stored = storedMainWindowFrame(storedFrameOf(spec));
        const FixedAmbient ambient(systemColourRef(kColorBtnFace), stored.name, mainWindowFrameFont());
        jcFrames frame(marking);
        frame.setAmbient(&ambient);
        frame.resize(stored.width, stored.height);
        frame.readProperties(stored.properties);
        QRegion covered;
        for (const ControlSpec& inside : mainWindowControls()) {
            if (inside.parent == spec.name)
                covered += QRect(inside.x, inside.y, inside.width, inside.height);
        }
        int compared = 0;
        int differing = 0;
        for (int y = 0; y < stored.height; ++y) {
            for (int x = 0; x < stored.width; ++x) {
                const std::uint32_t want = frame.surface().pixel(x, y);
                if (want == kTextMarker || covered.contains(QPoint(x, y)))
                    continue;
                ++compared;
                differing += rgbAt(shot, spec.x + x, spec.y + y) != want;
            }
        }
        EXPECT_GT(compared, stored.width * stored.height / 4);
        EXPECT_EQ(differing, 0) << "of " << compared;
    }
}

TEST(DesktopProgram, AnUnwritablePictureIsRefusedWithAnError)
{
    for (const std::string_view option : {kScreenshotOption, kFrameGalleryOption}) {
        QProcess program;
        program.start(programUnderTest(), {QString::fromUtf8(option.data(), qsizetype(option.size())),
                                           QStringLiteral("/nonexistent/folder/picture.png")});
        ASSERT_TRUE(program.waitForFinished(120000));
        EXPECT_NE(program.exitCode(), 0) << option;
        EXPECT_TRUE(program.readAllStandardError().contains("tavrenix: error:")) << option;
    }
}

}  // namespace
}  // namespace tav
