// The frame's child window: a window class of its own that paints the control's bitmap.
#include "controls/win32/frame_window.h"

#include "controls/win32/top_down_bitmap.h"

#include <windowsx.h>

#include <cstring>
#include <stdexcept>

namespace tav {
namespace {

constexpr const wchar_t* kClassName = L"TavrenixFrame";

// A bitmap of the surface's pixels, which are in its memory order.
::HBITMAP bitmapOf(const FrameCanvas& surface)
{
    std::uint32_t* pixels = nullptr;
    ::HBITMAP bitmap = createTopDownBitmap(nullptr, surface.width(), surface.height(), &pixels);
    if (bitmap)
        std::memcpy(pixels, surface.pixels.data(), surface.pixels.size() * sizeof(std::uint32_t));
    return bitmap;
}

std::int16_t buttonBits(WPARAM keys)
{
    std::int16_t bits = 0;
    if (keys & MK_LBUTTON)
        bits |= 1;
    if (keys & MK_RBUTTON)
        bits |= 2;
    if (keys & MK_MBUTTON)
        bits |= 4;
    return bits;
}

std::int16_t shiftBits(WPARAM keys)
{
    std::int16_t bits = 0;
    if (keys & MK_SHIFT)
        bits |= 1;
    if (keys & MK_CONTROL)
        bits |= 2;
    if (GetKeyState(VK_MENU) < 0)
        bits |= 4;
    return bits;
}

}  // namespace

HRGN toWindowRegion(const FrameRegion& region)
{
    HRGN result = CreateRectRgn(0, 0, 0, 0);
    for (const RegionBox& box : region.boxes()) {
        HRGN part = CreateRectRgn(box.x, box.y, box.x + box.width, box.y + box.height);
        CombineRgn(result, result, part, RGN_OR);
        DeleteObject(part);
    }
    return result;
}

FrameWindow::FrameWindow(::HWND parent, const FrameText& text, int x, int y, int width, int height) : m_frame(text)
{
    static const bool registered = [] {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof(wc);
        wc.lpfnWndProc = &FrameWindow::windowProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        wc.lpszClassName = kClassName;
        return RegisterClassExW(&wc) != 0;
    }();
    if (registered)
        m_window = CreateWindowExW(0, kClassName, L"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, x, y, width, height,
                                   parent, nullptr, GetModuleHandleW(nullptr), this);
    if (!m_window)
        throw std::runtime_error("a frame control's window cannot be made");
    m_frame.onRepainted = [this] { showRepaint(); };
    m_frame.onEnabledChanged = [this](bool enabled) {
        for (::HWND child = GetWindow(m_window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
            EnableWindow(child, enabled);
    };
    m_frame.resize(width, height);
    // Held to the smallest size, the window follows the control.
    if (m_frame.width() != width || m_frame.height() != height)
        SetWindowPos(m_window, nullptr, 0, 0, m_frame.width(), m_frame.height(), SWP_NOMOVE | SWP_NOZORDER);
}

FrameWindow::~FrameWindow()
{
    if (m_window) {
        SetWindowLongPtrW(m_window, GWLP_USERDATA, 0);
        DestroyWindow(m_window);
    }
    if (m_bitmap)
        DeleteObject(m_bitmap);
}

void FrameWindow::showRepaint()
{
    if (m_bitmap)
        DeleteObject(m_bitmap);
    m_bitmap = bitmapOf(m_frame.surface());
    // The window owns the region it is given.
    const auto& region = m_frame.windowRegion();
    SetWindowRgn(m_window, region ? toWindowRegion(*region) : nullptr, TRUE);
    InvalidateRect(m_window, nullptr, FALSE);
}

LRESULT CALLBACK FrameWindow::windowProc(::HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        auto* made = static_cast<FrameWindow*>(reinterpret_cast<const CREATESTRUCTW*>(lParam)->lpCreateParams);
        made->m_window = window;
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(made));
    }
    auto* self = reinterpret_cast<FrameWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!self)
        return DefWindowProcW(window, message, wParam, lParam);
    return self->handle(message, wParam, lParam);
}

LRESULT FrameWindow::handle(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_ERASEBKGND:
        return 1;  // the bitmap covers the window
    case WM_PAINT:
    case WM_PRINTCLIENT: {
        PAINTSTRUCT paint{};
        ::HDC dc = message == WM_PAINT ? BeginPaint(m_window, &paint) : reinterpret_cast<::HDC>(wParam);
        ::HDC source = ::CreateCompatibleDC(dc);
        HGDIOBJ old = ::SelectObject(source, m_bitmap);
        ::BitBlt(dc, 0, 0, m_frame.width(), m_frame.height(), source, 0, 0, SRCCOPY);
        ::SelectObject(source, old);
        DeleteDC(source);
        if (message == WM_PAINT)
            EndPaint(m_window, &paint);
        return 0;
    }
    case WM_MOUSEMOVE:
        m_frame.MouseMove(buttonBits(wParam), shiftBits(wParam), float(GET_X_LPARAM(lParam)),
                          float(GET_Y_LPARAM(lParam)));
        return 0;
    case WM_COMMAND:
    case WM_DRAWITEM:
    case WM_NOTIFY:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLOREDIT:
        return SendMessageW(GetAncestor(m_window, GA_ROOT), message, wParam, lParam);
    default:
        return DefWindowProcW(m_window, message, wParam, lParam);
    }
}

}  // namespace tav
