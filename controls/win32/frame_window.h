// The frame control as a Win32 child window: it shows the control's surface, takes its shape
// from the control's window region, passes on its mouse moves, and hands Enabled on to the
// windows it holds. What its children ask of a parent (their colours, their clicks and owner
// drawing) it passes on to the top-level window, which knows them.
#pragma once

#include "controls/jc_frames.h"

#include <windows.h>

namespace tav {

class FrameWindow {
public:
    // A child of `parent` at (x, y), width x height (held to the control's smallest size).
    FrameWindow(::HWND parent, const FrameText& text, int x, int y, int width, int height);
    ~FrameWindow();
    FrameWindow(const FrameWindow&) = delete;
    FrameWindow& operator=(const FrameWindow&) = delete;

    ::HWND handle() const { return m_window; }
    jcFrames& frame() { return m_frame; }
    const jcFrames& frame() const { return m_frame; }
    // The surface as a bitmap, for children that show it behind their text; owned here and
    // replaced at every repaint.
    ::HBITMAP surfaceBitmap() const { return m_bitmap; }

private:
    static LRESULT CALLBACK windowProc(::HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);
    void showRepaint();

    jcFrames m_frame;
    ::HWND m_window = nullptr;
    ::HBITMAP m_bitmap = nullptr;
};

// The frame window's region from the control's: rectangles joined, in window pixels. The
// caller owns the region.
HRGN toWindowRegion(const FrameRegion& region);

}  // namespace tav
