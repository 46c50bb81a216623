// The frame control's child window: it shows the control's pixels in the control's shape,
// passes on mouse moves and hands Enabled on to the windows it holds.
#include "controls/win32/frame_window.h"
#include "controls/win32/gdi_frame_text.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <vector>

namespace tav {
namespace {

class FrameWindowTest : public ::testing::Test {
protected:
    FrameWindowTest()
    {
        host = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 300, 200, nullptr, nullptr, nullptr, nullptr);
        text = GdiFrameText::create();
        window = std::make_unique<FrameWindow>(host, *text, 10, 20, 150, 90);
    }
    ~FrameWindowTest() override
    {
        window.reset();
        DestroyWindow(host);
    }

    ::HWND host = nullptr;
    std::unique_ptr<GdiFrameText> text;
    std::unique_ptr<FrameWindow> window;
};

TEST_F(FrameWindowTest, TakesItsPlaceAndTheControlsShape)
{
    RECT box;
    GetWindowRect(window->handle(), &box);
    MapWindowPoints(nullptr, host, reinterpret_cast<::POINT*>(&box), 2);
    EXPECT_EQ(box.left, 10);
    EXPECT_EQ(box.top, 20);
    EXPECT_EQ(box.right - box.left, 150);
    EXPECT_EQ(window->frame().width(), 150);

    HRGN region = CreateRectRgn(0, 0, 0, 0);
    EXPECT_EQ(GetWindowRgn(window->handle(), region), ERROR) << "rectangular: no region";
    window->frame().setRoundedCorner(true);
    window->frame().setStyle(FrameStyle::CaptionPanel);
    ASSERT_NE(GetWindowRgn(window->handle(), region), ERROR);
    EXPECT_FALSE(PtInRegion(region, 0, 0)) << "the rounded corner is cut away";
    EXPECT_TRUE(PtInRegion(region, 75, 45));
    EXPECT_TRUE(PtInRegion(region, 75, 0));
    DeleteObject(region);
    ASSERT_NE(window->surfaceBitmap(), nullptr);
}

TEST_F(FrameWindowTest, PassesOnMouseMovesAndEnabled)
{
    std::vector<std::array<float, 4>> moves;
    window->frame().onMouseMove = [&](std::int16_t button, std::int16_t shift, float x, float y) {
        moves.push_back({float(button), float(shift), x, y});
    };
    SendMessageW(window->handle(), WM_MOUSEMOVE, MK_LBUTTON | MK_MBUTTON | MK_SHIFT | MK_CONTROL, MAKELPARAM(12, 30));
    ASSERT_EQ(moves.size(), 1u);
    EXPECT_EQ(moves[0], (std::array<float, 4>{1 | 4, 1 | 2, 12.0f, 30.0f}));

    ::HWND button = CreateWindowExW(0, L"BUTTON", L"b", WS_CHILD, 0, 0, 10, 10, window->handle(), nullptr, nullptr,
                                    nullptr);
    window->frame().setEnabled(false);
    EXPECT_FALSE(IsWindowEnabled(button));
    window->frame().setEnabled(true);
    EXPECT_TRUE(IsWindowEnabled(button));
}

}  // namespace
}  // namespace tav
