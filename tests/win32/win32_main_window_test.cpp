// The Win32 main window, driven as a user would through its own controls (clicks, typed text,
// a dropped file) with a scripted user in place of the dialogs: its controls as the window's
// table places them, the handlers, and one real logo run whose file has the Linux program's
// bytes.
#include "app/main_window_layout.h"
#include "app/win32/win32_main_window.h"
#include "controls/win32/frame_window.h"
#include "controls/win32/gdi_frame_text.h"
#include "platform/wide_text.h"
#include "tests/support/fixed_texts.h"
#include "tests/support/scripted_user.h"

#include <windows.h>

#include <shlobj.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>

namespace tav {
namespace {

using test::ScriptedUser;

const std::filesystem::path kSample = std::filesystem::path(TAVRENIX_SOURCE_DIR) / "assets" / "sample.jpg";

std::vector<char> bytesOf(const std::filesystem::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// Runs what the window has been sent or posted.
void pump()
{
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

class Win32MainWindowTest : public ::testing::Test {
protected:
    Win32MainWindowTest()
    {
        folder = std::filesystem::temp_directory_path() /
                 ("tavrenix_win32_window_" + std::to_string(GetCurrentProcessId()) + "_" +
                  ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(folder);
        std::filesystem::create_directories(folder);
        text = GdiFrameText::create();
        user.cursorNow = [] { return GetCursor() == LoadCursorW(nullptr, IDC_WAIT) ? 1 : 0; };
        window = std::make_unique<Win32MainWindow>(folder, *text, &user);
        window->showPainted();
    }
    ~Win32MainWindowTest() override
    {
        window.reset();
        std::filesystem::remove_all(folder);
    }

    void click(std::string_view name)
    {
        SendMessageW(window->control(name), BM_CLICK, 0, 0);
        pump();
    }
    void type(const std::string& path)
    {
        SetWindowTextW(window->control(kPathBoxName), toWide(path).c_str());
    }
    std::wstring textOf(std::string_view name) const
    {
        const ::HWND control = window->control(name);
        std::wstring text(std::size_t(GetWindowTextLengthW(control)) + 1, L'\0');
        text.resize(std::size_t(GetWindowTextW(control, text.data(), int(text.size()))));
        return text;
    }
    bool checked(std::string_view name) const
    {
        return SendMessageW(window->control(name), BM_GETCHECK, 0, 0) == BST_CHECKED;
    }
    // The preview's pixels as the window shows them.
    std::vector<std::uint32_t> shownPreview() const
    {
        const ControlSpec& spec = mainWindowControl(kPreviewName);
        const ControlSpec& frame = mainWindowControl(spec.parent);
        const FrameCanvas shot = window->capture();
        std::vector<std::uint32_t> pixels;
        for (int y = 0; y < spec.height; ++y)
            for (int x = 0; x < spec.width; ++x)
                pixels.push_back(shot.pixel(frame.x + spec.x + x, frame.y + spec.y + y));
        return pixels;
    }

    std::filesystem::path folder;
    std::unique_ptr<GdiFrameText> text;
    ScriptedUser user;
    std::unique_ptr<Win32MainWindow> window;
};

TEST_F(Win32MainWindowTest, EveryControlHasItsPlaceTextAndFont)
{
    RECT client;
    GetClientRect(window->handle(), &client);
    EXPECT_EQ(client.right, kMainWidth);
    EXPECT_EQ(client.bottom, kMainHeight);
    std::wstring title(256, L'\0');
    title.resize(std::size_t(GetWindowTextW(window->handle(), title.data(), int(title.size()))));
    EXPECT_EQ(toUtf8(title), "Tavrenix - Written by Kelbrin - www.tavrenix.example");

    for (const ControlSpec& spec : mainWindowControls()) {
        SCOPED_TRACE(spec.name);
        const ::HWND control = window->control(spec.name);
        ASSERT_NE(control, nullptr);
        const ::HWND parent = spec.parent.empty() ? window->handle() : window->control(spec.parent);
        EXPECT_EQ(GetParent(control), parent);
        RECT box;
        GetWindowRect(control, &box);
        MapWindowPoints(nullptr, parent, reinterpret_cast<::POINT*>(&box), 2);
        EXPECT_EQ(box.left, spec.x);
        EXPECT_EQ(box.top, spec.y);
        EXPECT_EQ(box.right - box.left, spec.width);
        EXPECT_EQ(box.bottom - box.top, spec.height);
        if (spec.kind == ControlKind::Frame) {
            const std::u16string caption = window->frame(spec.name)->frame().Caption();
            EXPECT_FALSE(caption.empty());
            continue;
        }
        if (spec.kind == ControlKind::HeaderBar)
            continue;  // a plain panel, without text or font
        if (spec.kind != ControlKind::Preview) {
            EXPECT_EQ(toUtf8(textOf(spec.name)), spec.text);
        }
        const auto font = reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0));
        ASSERT_NE(font, nullptr);
        LOGFONTW face{};
        GetObjectW(font, sizeof(face), &face);
        EXPECT_EQ(std::wstring(face.lfFaceName), L"Arial");
        EXPECT_GE(face.lfWeight, FW_BOLD);
        EXPECT_EQ(face.lfHeight, -std::lround(spec.points * 96.0 / 72.0));
    }
}

TEST_F(Win32MainWindowTest, StartsWithTheDefaults)
{
    EXPECT_TRUE(checked("OptVersion0"));
    for (const char* other : {"OptVersion1", "OptVersion2", "OptVersion3", "OptType1"})
        EXPECT_FALSE(checked(other)) << other;
    EXPECT_TRUE(checked("OptType0"));
    EXPECT_TRUE(textOf(kPathBoxName).empty());
    EXPECT_TRUE(user.messages.empty());
}

TEST_F(Win32MainWindowTest, MakeWithoutAPictureSaysSoAndDoesNothingElse)
{
    click(kMakeButtonName);
    ASSERT_EQ(user.messages.size(), 1u);
    EXPECT_EQ(user.messages[0].text, fixed::kNoPictureText);
    EXPECT_EQ(user.messages[0].title, fixed::kNoPictureTitle);
    EXPECT_EQ(user.messages[0].icon, MessageIcon::Exclamation);
    EXPECT_TRUE(user.fileDialogs.empty());
    EXPECT_TRUE(std::filesystem::is_empty(folder));
}

TEST_F(Win32MainWindowTest, BrowseAsksForAPictureAndShowsIt)
{
    const std::vector<std::uint32_t> placeholder = shownPreview();
    user.fileAnswer.clear();
    click(kBrowseButtonName);
    ASSERT_EQ(user.fileDialogs.size(), 1u);
    const FileDialogRequest& asked = user.fileDialogs[0];
    EXPECT_EQ(asked.mode, FileDialogMode::Open);
    EXPECT_EQ(asked.title, "Abrir");
    EXPECT_EQ(asked.defaultFileName, "Files");
    ASSERT_EQ(asked.filters.size(), 2u);
    EXPECT_EQ(asked.filters[0].description, "Imagenes ");
    EXPECT_EQ(asked.filters[0].pattern, "*.jpg;*.bmp;*.gif");
    EXPECT_EQ(asked.filters[1].pattern, "*.*");
    EXPECT_EQ(asked.defaultExtension, "jpg");
    EXPECT_EQ(std::filesystem::path(asked.initialFolder), folder);
    EXPECT_TRUE(textOf(kPathBoxName).empty()) << "a cancelled choice changes nothing";
    EXPECT_EQ(shownPreview(), placeholder);

    user.fileAnswer = kSample.string();
    click(kBrowseButtonName);
    EXPECT_EQ(std::filesystem::path(textOf(kPathBoxName)), kSample);
    EXPECT_NE(shownPreview(), placeholder);
    EXPECT_TRUE(user.messages.empty());
}

TEST_F(Win32MainWindowTest, ADroppedPictureIsTakenAsIfBrowsed)
{
    const std::wstring path = kSample.wstring();
    // A drop as the shell hands it over: DROPFILES, then the wide names, each ended by NUL,
    // and one more NUL.
    const std::size_t bytes = sizeof(DROPFILES) + (path.size() + 2) * sizeof(wchar_t);
    HGLOBAL drop = GlobalAlloc(GHND, bytes);
    auto* files = static_cast<DROPFILES*>(GlobalLock(drop));
    files->pFiles = sizeof(DROPFILES);
    files->fWide = TRUE;
    std::memcpy(reinterpret_cast<char*>(files) + sizeof(DROPFILES), path.c_str(), path.size() * sizeof(wchar_t));
    GlobalUnlock(drop);
    SendMessageW(window->handle(), WM_DROPFILES, reinterpret_cast<WPARAM>(drop), 0);
    pump();
    EXPECT_EQ(std::filesystem::path(textOf(kPathBoxName)), kSample);
}

TEST_F(Win32MainWindowTest, NoStartupLogoForSeasonsTwoAndThree)
{
    type(kSample.string());
    click("OptVersion2");
    EXPECT_TRUE(checked("OptVersion2"));
    EXPECT_FALSE(checked("OptVersion0"));
    click(kMakeButtonName);
    ASSERT_EQ(user.messages.size(), 1u);
    EXPECT_EQ(user.messages[0].text, fixed::kNoStartupLogoText);
    EXPECT_EQ(user.messages[0].title, fixed::kNoStartupLogoTitle);
    EXPECT_EQ(user.messages[0].icon, MessageIcon::Information);
    EXPECT_TRUE(user.fileDialogs.empty());
}

// The file a typed path and the make button write is the one the Linux program writes for
// the same picture (`./dev.sh windows-test` makes it first and names it here).
TEST_F(Win32MainWindowTest, TypedPathRunsTheLogoRunAndWritesTheLinuxBytes)
{
    const char* reference = std::getenv("TAVRENIX_REFERENCE_LOGO");
    ASSERT_TRUE(reference && *reference) << "TAVRENIX_REFERENCE_LOGO names the Linux program's IntroLogo.ozj";
    const std::filesystem::path written = folder / "out" / "IntroLogo.ozj";
    std::filesystem::create_directories(written.parent_path());
    type(kSample.string());
    user.fileAnswer = written.string();
    click(kMakeButtonName);
    ASSERT_EQ(user.fileDialogs.size(), 1u);
    EXPECT_EQ(user.fileDialogs[0].mode, FileDialogMode::Save);
    ASSERT_EQ(user.messages.size(), 1u);
    EXPECT_EQ(user.messages[0].title, fixed::kCompletionTitle) << user.messages[0].text;
    EXPECT_EQ(user.cursors, (std::vector<int>{1, 1})) << "the wait cursor shows while the run works";
    EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, IDC_ARROW)) << "and is gone when it is over";
    ASSERT_TRUE(std::filesystem::exists(written));
    EXPECT_EQ(bytesOf(written), bytesOf(reference));
}

}  // namespace
}  // namespace tav
