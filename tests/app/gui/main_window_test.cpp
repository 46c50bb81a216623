// The main window with a scripted user: its start state, the make and browse buttons, the
// whole job run from the window, the "Info" refusal, the preview of a typed path, drag and
// drop, the wait cursor, and the program's --screenshot.
#include "../app_test_support.h"
#include "app/gui/main_window.h"
#include "app/gui/picture_preview.h"
#include "app/gui/qt_user_interface.h"
#include "app/logo_cutter.h"
#include "controls/qt/frame_widget.h"
#include "controls/qt/qt_frame_text.h"
#include "gui_test_support.h"
#include "tests/support/fixed_texts.h"

#include <QAbstractButton>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPainter>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QUrl>

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <functional>
#include <optional>
#include <set>

namespace tav {
namespace {

namespace fs = std::filesystem;
using test::Message;
using test::ScriptedUser;
using test::TempDir;

constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kBlue = RGB(0, 0, 255);
constexpr COLORREF kGreen = RGB(0, 255, 0);
constexpr COLORREF kWhite = RGB(255, 255, 255);

// A picture of four flat quarters: red, blue on top; green, white below.
COLORREF quarters(int x, int y, int width, int height)
{
    const bool right = x >= width / 2;
    const bool bottom = y >= height / 2;
    return bottom ? (right ? kWhite : kGreen) : (right ? kBlue : kRed);
}

QRgb qrgb(COLORREF c) { return qRgb(GetRValue(c), GetGValue(c), GetBValue(c)); }

QString latin1(std::string_view s) { return QLatin1String(s.data(), qsizetype(s.size())); }

// The maker's web address is the program's own choice, not one of the fixed texts.
constexpr std::string_view kExpectedWebAddress = "www.tavrenix.example";

std::set<std::string> namesIn(const fs::path& folder)
{
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.insert(entry.path().filename().string());
    return names;
}

// A container is the JPEG's first 24 bytes, then the whole JPEG.
bool looksLikeContainer(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return bytes.size() > 48 && bytes[0] == 0xFF && bytes[1] == 0xD8 && bytes[24] == 0xFF && bytes[25] == 0xD8
        && std::equal(bytes.begin(), bytes.begin() + 24, bytes.begin() + 24);
}

fs::path madeFolder(const fs::path& path)
{
    fs::create_directories(path);
    return path;
}

fs::path madeTextFile(const fs::path& path)
{
    std::ofstream(path) << "not a picture";
    return path;
}

// Replaces the file's bytes by as many that are no picture, and puts its time back: to a look
// at its size and time, the file is as it was.
void spoilUnseen(const fs::path& path)
{
    const auto size = fs::file_size(path);
    const auto time = fs::last_write_time(path);
    std::ofstream(path, std::ios::binary) << std::string(size, 'x');
    fs::last_write_time(path, time);
}

class MainWindowTest : public ::testing::Test {
protected:
    TempDir dir;
    fs::path appFolder = madeFolder(dir / "app");
    fs::path outFolder = madeFolder(dir / "out");
    ScriptedUser user = test::qtScriptedUser();
    Main window {appFolder, &user};

    fs::path picture(const std::string& name, int width = 640, int height = 480)
    {
        return test::writeBmp(dir, name, width, height, [=](int x, int y) { return quarters(x, y, width, height); });
    }
    fs::path textFile(const std::string& name) { return madeTextFile(dir / name); }
    void browseTo(const fs::path& path)
    {
        user.fileAnswer = path.string();
        window.CmdExaminar()->click();
    }
    void expectQuarters(const QImage& image, const char* what)
    {
        SCOPED_TRACE(what);
        ASSERT_EQ(image.size(), QSize(256, 195));
        // Flat quarters stay exactly flat away from the seams (HALFTONE is exact there).
        EXPECT_EQ(image.pixel(64, 48), qrgb(kRed));
        EXPECT_EQ(image.pixel(192, 48), qrgb(kBlue));
        EXPECT_EQ(image.pixel(64, 146), qrgb(kGreen));
        EXPECT_EQ(image.pixel(192, 146), qrgb(kWhite));
    }
    // The preview as the window shows it.
    QImage shownPreview()
    {
        const QPoint origin = window.ImgPrev()->mapTo(&window, QPoint(0, 0));
        return window.grab(QRect(origin, QSize(256, 195))).toImage().convertToFormat(QImage::Format_RGB32);
    }
    // `image` with the reason's area blacked out, where one is shown.
    QImage aroundTheReason(QImage image)
    {
        if (window.previewReason()->isVisibleTo(&window))
            QPainter(&image).fillRect(window.previewReason()->geometry(), Qt::black);
        return image;
    }
    // What a user does at the keyboard: everything in the box replaced by `typed`, then Enter.
    void typeAndEnter(const QString& typed)
    {
        QLineEdit* box = window.TxtArchivo();
        QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
        if (typed.isEmpty())
            QTest::keyClick(box, Qt::Key_Backspace);
        else
            QTest::keyClicks(box, typed);
        ASSERT_EQ(box->text(), typed);
        QTest::keyClick(box, Qt::Key_Return);
    }
    void typeAndEnter(const fs::path& path) { typeAndEnter(QString::fromStdString(path.string())); }
};

QImage rgb32(const QImage& image) { return image.convertToFormat(QImage::Format_RGB32); }
QImage placeholder() { return rgb32(QImage(QStringLiteral(":/tavrenix/placeholder.png"))); }

// The preview of the picture at `path` as a window that was never used makes it, or none.
std::optional<QImage> freshPreviewOf(const fs::path& path)
{
    LogoCutter cutter;
    try {
        return rgb32(previewOf(cutter, path));
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

// Position, parent, text, font and tool tip of every control.
struct ControlRow {
    const char* name;
    const char* parent;
    QRect geometry;
    std::optional<std::string_view> text;  // none: no text
    qreal points;  // 0: not a text control
    std::string_view toolTip;
};

const ControlRow kControls[] = {
    {"jcfSeason", "Main", {14, 63, 256, 149}, fixed::kSeasonFrameCaption, 9.75, ""},
    {"OptVersion3", "jcfSeason", {7, 112, 231, 21}, fixed::kSeasons[3].caption, 9.75, ""},
    {"OptVersion2", "jcfSeason", {5, 85, 231, 21}, fixed::kSeasons[2].caption, 9.75, ""},
    {"OptVersion1", "jcfSeason", {5, 60, 231, 21}, fixed::kSeasons[1].caption, 9.75, ""},
    {"OptVersion0", "jcfSeason", {5, 35, 231, 21}, fixed::kSeasons[0].caption, 9.75, ""},
    {"PicHeader", "Main", {0, 0, 743, 51}, std::nullopt, 0, ""},
    {"lblWeb", "PicHeader", {220, 5, 274, 44}, fixed::kHeaderText, 27.75, ""},
    {"jcFrames1", "Main", {14, 217, 256, 101}, fixed::kLogoTypeFrameCaption, 9.75, ""},
    {"OptType0", "jcFrames1", {5, 35, 231, 21}, fixed::kLogoTypeCaptions[0], 9.75, ""},
    {"OptType1", "jcFrames1", {5, 60, 231, 21}, fixed::kLogoTypeCaptions[1], 9.75, ""},
    {"jcFrames2", "Main", {336, 63, 396, 331}, fixed::kImageFrameCaption, 9.75, ""},
    {"CmdAceptar", "jcFrames2", {100, 290, 162, 30}, fixed::kMakeButtonText, 9.75, ""},
    {"TxtArchivo", "jcFrames2", {15, 260, 301, 21}, "", 0, ""},
    {"CmdExaminar", "jcFrames2", {325, 260, 33, 21}, fixed::kBrowseButtonText, 8.25, fixed::kBrowseButtonToolTip},
    {"ImgPrev", "jcFrames2", {75, 35, 256, 195}, std::nullopt, 0, fixed::kPreviewToolTip},
    {"LblImageFile", "jcFrames2", {15, 240, 243, 16}, fixed::kImageFileLabel, 9.75, ""},
    {"Lblinfo2", "Main", {21, 329, 250, 36}, fixed::kResizeInfoLabel, 9.75, ""},
    {"LblForo", "Main", {56, 413, 676, 44}, kExpectedWebAddress, 27.75, ""},
};

TEST_F(MainWindowTest, EveryControlHasItsPlaceTextFontAndToolTip)
{
    for (const ControlRow& row : kControls) {
        SCOPED_TRACE(row.name);
        auto* widget = window.findChild<QWidget*>(QLatin1String(row.name));
        ASSERT_NE(widget, nullptr);
        EXPECT_EQ(widget->parentWidget()->objectName(), QLatin1String(row.parent));
        EXPECT_EQ(widget->geometry(), row.geometry);
        EXPECT_EQ(widget->toolTip(), latin1(row.toolTip));
        if (!row.text)
            continue;
        QString text;
        QFont font = widget->font();
        if (auto* frame = qobject_cast<FrameWidget*>(widget)) {
            text = toQString(frame->frame().Caption());
            font = toQFont(frame->frame().Font());
        } else if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
            text = button->text();
        } else if (auto* label = qobject_cast<QLabel*>(widget)) {
            text = label->text();
        } else if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
            text = edit->text();
        }
        EXPECT_EQ(text, latin1(*row.text));
        if (row.points == 0)
            continue;
        EXPECT_EQ(font.family(), QStringLiteral("Arial"));
        EXPECT_TRUE(font.bold());
        EXPECT_DOUBLE_EQ(font.pointSizeF(), row.points);
        // Nothing is cut off: one-line texts fit their width, the wrapped one its height.
        if (auto* label = qobject_cast<QLabel*>(widget); label && label->wordWrap())
            EXPECT_LE(label->heightForWidth(label->width()), label->height());
        else if (qobject_cast<QRadioButton*>(widget))
            EXPECT_LE(widget->sizeHint().width(), widget->width());
        else
            EXPECT_LT(QFontMetrics(font).horizontalAdvance(text), widget->width());
    }
}

TEST_F(MainWindowTest, StartsWithTheDefaults)
{
    EXPECT_EQ(window.windowTitle(), latin1(fixed::kWindowTitlePrefix) + latin1(kExpectedWebAddress));
    EXPECT_EQ(window.size(), QSize(743, 468));
    EXPECT_EQ(window.minimumSize(), window.maximumSize());
    EXPECT_FALSE(window.windowIcon().isNull());
    EXPECT_EQ(window.windowIcon().pixmap(32, 32).size(), QSize(32, 32));
    for (int i = 0; i < kSeasonCount; ++i)
        EXPECT_EQ(window.OptVersion(i)->isChecked(), i == 0) << "season " << i;
    EXPECT_TRUE(window.OptType(0)->isChecked());
    EXPECT_FALSE(window.OptType(1)->isChecked());
    EXPECT_TRUE(window.TxtArchivo()->text().isEmpty());
    EXPECT_FALSE(window.TxtArchivo()->isReadOnly());
    const QImage placeholder(QStringLiteral(":/tavrenix/placeholder.png"));
    ASSERT_EQ(placeholder.size(), QSize(256, 195));
    EXPECT_EQ(window.previewImage().convertToFormat(QImage::Format_RGB32),
        placeholder.convertToFormat(QImage::Format_RGB32));
    EXPECT_EQ(shownPreview(), placeholder.convertToFormat(QImage::Format_RGB32));
}

TEST_F(MainWindowTest, ShowsItsArtworkAndColours)
{
    test::expectArtworkAndColours(window.grab().toImage().convertToFormat(QImage::Format_RGB32));
}

TEST_F(MainWindowTest, MakeWithoutAPictureSaysSoAndDoesNothingElse)
{
    window.OptVersion(2)->setChecked(true);
    window.OptType(1)->setChecked(true);
    window.CmdAceptar()->click();
    ASSERT_EQ(user.messages.size(), 1u);
    EXPECT_EQ(user.messages[0].text, fixed::kNoPictureText);
    EXPECT_EQ(user.messages[0].title, fixed::kNoPictureTitle);
    EXPECT_EQ(user.messages[0].icon, MessageIcon::Exclamation);
    EXPECT_TRUE(user.fileDialogs.empty());
    EXPECT_TRUE(user.folderTitles.empty());
    EXPECT_TRUE(window.OptVersion(2)->isChecked());
    EXPECT_TRUE(window.OptType(1)->isChecked());
    EXPECT_TRUE(namesIn(appFolder).empty());
}

struct RunRow {
    SeasonIndex season;
    LogoType type;
};

void PrintTo(const RunRow& row, std::ostream* out)
{
    *out << "season " << row.season << (row.type == LogoType::StartupLogo ? ", startup logo" : ", loading screen");
}

class WholeJobTest : public MainWindowTest, public ::testing::WithParamInterface<RunRow> { };

// A path typed by hand runs the whole job into the chosen place, under the wait cursor, and
// says "Done"; no intermediate JPEG is left behind.
TEST_P(WholeJobTest, TypedPathRunsTheWholeJob)
{
    const auto [season, type] = GetParam();
    const fs::path source = picture("typed.bmp");
    typeAndEnter(source);
    window.OptVersion(season)->setChecked(true);
    window.OptType(int(type))->setChecked(true);
    user.fileAnswer = (outFolder / "IntroLogo.ozj").string();
    user.folderAnswer = outFolder.string();

    window.CmdAceptar()->click();

    std::set<std::string> expected;
    if (type == LogoType::StartupLogo) {
        ASSERT_EQ(user.fileDialogs.size(), 1u);
        EXPECT_EQ(user.fileDialogs[0].mode, FileDialogMode::Save);
        EXPECT_EQ(user.fileDialogs[0].title, fixed::kSaveDialogTitle);
        EXPECT_TRUE(user.folderTitles.empty());
        expected = {"IntroLogo.ozj"};
    } else {
        EXPECT_TRUE(user.fileDialogs.empty());
        ASSERT_EQ(user.folderTitles.size(), 1u);
        EXPECT_EQ(user.folderTitles[0], fixed::kSeasons[std::size_t(season)].folderBrowserTitle);
        for (const fixed::Part& part : fixed::kSeasons[std::size_t(season)].parts)
            expected.insert(std::string(part.ozjName.substr(1)));
    }
    EXPECT_EQ(namesIn(outFolder), expected);
    for (const std::string& name : expected)
        EXPECT_TRUE(looksLikeContainer(outFolder / name)) << name;

    ASSERT_EQ(user.messages.size(), 1u);
    EXPECT_EQ(user.messages[0].title, fixed::kCompletionTitle);
    EXPECT_EQ(user.messages[0].icon, MessageIcon::Information);
    const std::string_view done = type == LogoType::StartupLogo ? fixed::kStartupLogoCompletionText
                                                                : fixed::kSeasons[std::size_t(season)].completionText;
    EXPECT_EQ(user.messages[0].text, done);
    const fs::path destination = type == LogoType::StartupLogo ? outFolder / "IntroLogo.ozj" : outFolder;
    EXPECT_NE(user.messages[0].detail.find(destination.string()), std::string::npos) << user.messages[0].detail;

    for (const std::string& name : namesIn(appFolder))
        EXPECT_NE(fs::path(name).extension(), ".jpg") << name;
    // The wait cursor while the run works (at its questions too), gone when it is over.
    for (int cursor : user.cursors)
        EXPECT_EQ(cursor, int(Qt::WaitCursor));
    EXPECT_EQ(test::overrideCursorShape(), -1);
    // The preview is the typed picture's, and the run on the same cutter has not changed it.
    EXPECT_EQ(rgb32(window.previewImage()), freshPreviewOf(source));
    expectQuarters(shownPreview(), "typed");
}

INSTANTIATE_TEST_SUITE_P(Runs, WholeJobTest,
    ::testing::Values(RunRow {0, LogoType::LoadingScreen}, RunRow {1, LogoType::StartupLogo},
        RunRow {0, LogoType::StartupLogo}, RunRow {1, LogoType::LoadingScreen}, RunRow {3, LogoType::LoadingScreen}),
    [](const auto& info) {
        return "Season" + std::to_string(info.param.season)
            + (info.param.type == LogoType::StartupLogo ? "StartupLogo" : "LoadingScreen");
    });

TEST_F(MainWindowTest, NoStartupLogoForSeasonsTwoAndThree)
{
    const fs::path source = picture("typed.bmp");
    window.TxtArchivo()->setText(QString::fromStdString(source.string()));
    user.fileAnswer = (outFolder / "IntroLogo.ozj").string();
    for (int season : {2, 3}) {
        SCOPED_TRACE(season);
        user.messages.clear();
        window.OptVersion(season)->setChecked(true);
        window.CmdAceptar()->click();
        ASSERT_EQ(user.messages.size(), 1u);
        EXPECT_EQ(user.messages[0].text, fixed::kNoStartupLogoText);
        EXPECT_EQ(user.messages[0].title, fixed::kNoStartupLogoTitle);
        EXPECT_EQ(user.messages[0].icon, MessageIcon::Information);
    }
    EXPECT_TRUE(user.fileDialogs.empty());
    EXPECT_TRUE(user.folderTitles.empty());
    EXPECT_TRUE(namesIn(outFolder).empty());
}

TEST_F(MainWindowTest, BrowseAsksForAPictureAndShowsItSqueezed)
{
    const fs::path source = picture("wide.bmp", 640, 480);
    browseTo(source);

    ASSERT_EQ(user.fileDialogs.size(), 1u);
    const FileDialogRequest& r = user.fileDialogs[0];
    EXPECT_EQ(r.mode, FileDialogMode::Open);
    EXPECT_EQ(r.title, fixed::kOpenTitle);
    EXPECT_EQ(r.defaultFileName, fixed::kOpenDefaultName);
    ASSERT_EQ(r.filters.size(), 2u);
    EXPECT_EQ(r.filters[0].description, fixed::kImagesDescription);
    EXPECT_EQ(r.filters[0].pattern, fixed::kImagesPattern);
    EXPECT_EQ(r.filters[1].description, fixed::kAllFilesDescription);
    EXPECT_EQ(r.filters[1].pattern, fixed::kAllFilesPattern);
    EXPECT_EQ(r.initialFolder, appFolder.string());
    EXPECT_EQ(r.defaultExtension, fixed::kOpenDefaultExtension);

    EXPECT_EQ(window.TxtArchivo()->text().toStdString(), source.string());
    expectQuarters(window.previewImage(), "kept");
    expectQuarters(shownPreview(), "shown");
    EXPECT_TRUE(user.messages.empty());
    EXPECT_EQ(test::overrideCursorShape(), -1);
}

TEST_F(MainWindowTest, BrowseStartsInTheDialogFolderWhenOneIsSet)
{
    const fs::path pictures = madeFolder(dir / "pictures");
    window.setDialogFolder(pictures);
    browseTo("");
    ASSERT_EQ(user.fileDialogs.size(), 1u);
    EXPECT_EQ(user.fileDialogs[0].initialFolder, pictures.string());
}

TEST_F(MainWindowTest, CancelledOrUnreadableChoiceKeepsThePreviousOne)
{
    const fs::path first = picture("first.bmp");
    browseTo(first);
    const QImage before = window.previewImage();

    browseTo("");  // cancelled
    EXPECT_TRUE(user.messages.empty());

    const fs::path broken = textFile("broken.jpg");
    browseTo(broken);
    ASSERT_EQ(user.messages.size(), 1u);
    EXPECT_EQ(user.messages[0].icon, MessageIcon::Exclamation);
    EXPECT_NE(user.messages[0].text.find("cannot be read as a picture"), std::string::npos);
    EXPECT_NE(user.messages[0].text.find(broken.string()), std::string::npos);

    browseTo(dir / "missing.jpg");
    ASSERT_EQ(user.messages.size(), 2u);
    EXPECT_NE(user.messages[1].text.find("missing.jpg"), std::string::npos);

    EXPECT_EQ(window.TxtArchivo()->text().toStdString(), first.string());
    EXPECT_EQ(window.previewImage(), before);
    expectQuarters(shownPreview(), "still shown");
    EXPECT_EQ(test::overrideCursorShape(), -1);
}

// A path typed after a browsed picture replaces its preview when editing ends: by the typed
// picture, or by the placeholder and the reason, said over it rather than in a message box.
struct TypedRow {
    const char* name;
    std::function<fs::path(const TempDir& folder)> path;
    bool readable;
};

void PrintTo(const TypedRow& row, std::ostream* out) { *out << row.name; }

class TypedPathTest : public MainWindowTest, public ::testing::WithParamInterface<TypedRow> { };

TEST_P(TypedPathTest, FinishedEditShowsThePreviewOfWhatTheBoxNames)
{
    browseTo(picture("browsed.bmp"));
    const fs::path typed = GetParam().path(dir);
    typeAndEnter(typed);

    EXPECT_EQ(window.TxtArchivo()->text().toStdString(), typed.string());
    EXPECT_TRUE(user.messages.empty());
    EXPECT_EQ(test::overrideCursorShape(), -1);
    QLabel* reason = window.previewReason();
    if (GetParam().readable) {
        const std::optional<QImage> expected = freshPreviewOf(typed);
        ASSERT_TRUE(expected);
        EXPECT_EQ(rgb32(window.previewImage()), *expected);
        EXPECT_EQ(shownPreview(), *expected);
        EXPECT_TRUE(reason->isHidden());
        return;
    }
    EXPECT_EQ(rgb32(window.previewImage()), placeholder());
    if (typed.empty()) {
        // An empty box is the start state again, nothing wrong with it.
        EXPECT_TRUE(reason->isHidden());
        EXPECT_EQ(shownPreview(), placeholder());
        return;
    }
    ASSERT_TRUE(reason->isVisibleTo(&window));
    const QString named = QString::fromStdString(typed.filename().string());
    EXPECT_TRUE(reason->text().contains(named)) << reason->text().toStdString();
    EXPECT_EQ(reason->toolTip(), reason->text());
    // The reason is drawn over the placeholder, and over nothing else of it.
    const QRect area = reason->geometry();
    ASSERT_TRUE(QRect(0, 0, 256, 195).contains(area));
    const QImage shown = shownPreview();
    const QImage bare = placeholder();
    int changed = 0;
    for (int y = 0; y < 195; ++y)
        for (int x = 0; x < 256; ++x) {
            const bool differs = shown.pixel(x, y) != bare.pixel(x, y);
            if (!area.contains(x, y)) {
                ASSERT_FALSE(differs) << x << "," << y;
            }
            changed += differs;
        }
    EXPECT_GT(changed, 100);
}

INSTANTIATE_TEST_SUITE_P(Paths, TypedPathTest,
    ::testing::Values(
        TypedRow {"AnotherPicture",
            [](const TempDir& folder) {
                return test::writeBmp(folder, "typed.bmp", 90, 300, [](int x, int) { return x < 30 ? kGreen : kBlue; });
            },
            true},
        TypedRow {"MissingFile", [](const TempDir& folder) { return folder / "missing.jpg"; }, false},
        TypedRow {"NotAPicture", [](const TempDir& folder) { return madeTextFile(folder / "notes.jpg"); }, false},
        TypedRow {"Folder", [](const TempDir& folder) { return madeFolder(folder / "folder.jpg"); }, false},
        TypedRow {"EmptyBox", [](const TempDir&) { return fs::path(); }, false}),
    [](const auto& info) { return std::string(info.param.name); });

// Leaving the box with Tab, as a user does, finishes the edit too.
TEST_F(MainWindowTest, LeavingTheBoxPreviewsWhatWasTyped)
{
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    const fs::path source = picture("tabbed.bmp");
    window.TxtArchivo()->setFocus();
    QTest::keyClicks(window.TxtArchivo(), QString::fromStdString(source.string()));
    EXPECT_EQ(rgb32(window.previewImage()), placeholder());  // not while typing
    QTest::keyClick(window.TxtArchivo(), Qt::Key_Tab);
    EXPECT_FALSE(window.TxtArchivo()->hasFocus());
    expectQuarters(window.previewImage(), "tabbed");
}

// editingFinished comes at every Enter and focus loss; the picture is decoded again only when
// the path or the file changed. A file changed behind the window's back with its size and time
// kept tells the two apart: decoding it again would show the placeholder.
TEST_F(MainWindowTest, SamePathIsDecodedAgainOnlyWhenTheFileChanged)
{
    const fs::path typed = picture("typed.bmp");
    const auto typedAgain = [&] {
        QTest::keyClick(window.TxtArchivo(), Qt::Key_Return);
        return rgb32(window.previewImage());
    };

    typeAndEnter(typed);
    expectQuarters(window.previewImage(), "typed");
    spoilUnseen(typed);
    expectQuarters(typedAgain(), "typed, Enter again");
    fs::last_write_time(typed, fs::last_write_time(typed) + std::chrono::seconds(1));
    EXPECT_EQ(typedAgain(), placeholder());
    EXPECT_TRUE(window.previewReason()->isVisibleTo(&window));

    // A browsed picture is remembered as one typed.
    const fs::path browsed = picture("browsed.bmp");
    browseTo(browsed);
    const QImage shown = rgb32(window.previewImage());
    spoilUnseen(browsed);
    EXPECT_EQ(typedAgain(), shown);

    // A missing file that turns up is previewed at the next Enter.
    const fs::path later = dir / "later.bmp";
    typeAndEnter(later);
    EXPECT_EQ(rgb32(window.previewImage()), placeholder());
    picture("later.bmp");
    expectQuarters(typedAgain(), "turned up");
    EXPECT_TRUE(window.previewReason()->isHidden());
    EXPECT_TRUE(user.messages.empty());
}

// Whatever mix of browsing and typing, once an edit is over the preview is the picture the box
// names, or the placeholder when it names none. A failed browse changes neither.
TEST_F(MainWindowTest, PreviewNeverShowsAPictureOtherThanTheBoxNames)
{
    const fs::path first = picture("first.bmp");
    const fs::path second
        = test::writeBmp(dir, "second.bmp", 50, 50, [](int x, int y) { return (x + y) % 2 ? kRed : kWhite; });
    const fs::path broken = textFile("broken.jpg");
    const std::pair<const char*, std::function<void()>> steps[] = {
        {"browse the first", [&] { browseTo(first); }},
        {"type the second", [&] { typeAndEnter(second); }},
        {"browse a broken file", [&] { browseTo(broken); }},
        {"type a broken file", [&] { typeAndEnter(broken); }},
        {"browse the first again", [&] { browseTo(first); }},
        {"type the first", [&] { typeAndEnter(first); }},
        {"clear the box", [&] { typeAndEnter(QString()); }},
        {"browse the second", [&] { browseTo(second); }},
    };
    for (const auto& [name, step] : steps) {
        SCOPED_TRACE(name);
        step();
        const fs::path named = toLocalPath(window.TxtArchivo()->text());
        EXPECT_EQ(rgb32(window.previewImage()), freshPreviewOf(named).value_or(placeholder()));
        EXPECT_EQ(aroundTheReason(shownPreview()), aroundTheReason(rgb32(window.previewImage())));
    }
    EXPECT_EQ(window.TxtArchivo()->text().toStdString(), second.string());
    EXPECT_EQ(user.messages.size(), 1u);  // the broken file browsed for, only
}

// A drop is the browse button's choice without the dialog; anything but one local file is
// refused while it is dragged.
TEST_F(MainWindowTest, DroppedPictureIsTakenAsIfBrowsed)
{
    const fs::path source = picture("dropped.bmp");
    const fs::path broken = textFile("dropped.txt");
    const auto urls = [](std::initializer_list<fs::path> paths) {
        QList<QUrl> list;
        for (const fs::path& p : paths)
            list << QUrl::fromLocalFile(QString::fromStdString(p.string()));
        return list;
    };
    const auto drag = [&](QMimeData& mime) {
        QDragEnterEvent enter(QPoint(400, 200), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        enter.ignore();
        QCoreApplication::sendEvent(&window, &enter);
        QDropEvent drop(QPointF(400, 200), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&window, &drop);
        QCoreApplication::processEvents();  // the dropped file is taken once the drop is over
        return enter.isAccepted();
    };
    const std::pair<const char*, std::function<void(QMimeData&)>> refused[] = {
        {"two files",
            [&](QMimeData& m) {
                m.setUrls(urls({source, broken}));
            }},
        {"a folder", [&](QMimeData& m) { m.setUrls(urls({dir.path()})); }},
        {"a web address",
            [](QMimeData& m) { m.setUrls({QUrl(QStringLiteral("https://www.tavrenix.example/a.jpg"))}); }},
        {"plain text", [&](QMimeData& m) { m.setText(QString::fromStdString(source.string())); }},
    };
    for (const auto& [name, fill] : refused) {
        SCOPED_TRACE(name);
        QMimeData mime;
        fill(mime);
        EXPECT_FALSE(drag(mime));
        EXPECT_TRUE(window.TxtArchivo()->text().isEmpty());
    }
    EXPECT_TRUE(user.messages.empty());

    QMimeData one;
    one.setUrls(urls({source}));
    EXPECT_TRUE(drag(one));
    EXPECT_EQ(window.TxtArchivo()->text().toStdString(), source.string());
    expectQuarters(shownPreview(), "dropped");
    EXPECT_TRUE(user.fileDialogs.empty());

    // An unreadable file dropped: the message, and the picture before it stays.
    QMimeData unreadable;
    unreadable.setUrls(urls({broken}));
    EXPECT_TRUE(drag(unreadable));
    ASSERT_EQ(user.messages.size(), 1u);
    EXPECT_EQ(user.messages[0].icon, MessageIcon::Exclamation);
    EXPECT_EQ(window.TxtArchivo()->text().toStdString(), source.string());
}

// `tavrenix --screenshot` writes the client area of the window in its start state.
TEST_F(MainWindowTest, ScreenshotOptionRendersTheStartState)
{
    const QString file = QString::fromStdString((dir / "window.png").string());
    QProcess program;
    program.start(QStringLiteral(TAVRENIX_GUI), {QStringLiteral("--screenshot"), file});
    ASSERT_TRUE(program.waitForFinished(60000));
    EXPECT_EQ(program.exitCode(), 0) << program.readAllStandardError().toStdString();
    const QImage shot(file);
    ASSERT_EQ(shot.size(), QSize(743, 468));
    EXPECT_EQ(shot.convertToFormat(QImage::Format_RGB32),
        window.grab().toImage().convertToFormat(QImage::Format_RGB32));
}

}  // namespace
}  // namespace tav
