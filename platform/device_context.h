// Device contexts: the screen (24 bits per pixel, nothing to draw into) and memory contexts
// that hold exactly one selected bitmap and a stretch mode.
#pragma once

#include "gdi_types.h"

#include <memory>

namespace tav {

class DeviceContext {
public:
    enum class Kind { Screen, Memory };

    explicit DeviceContext(Kind kind);
    ~DeviceContext();
    DeviceContext(const DeviceContext&) = delete;
    DeviceContext& operator=(const DeviceContext&) = delete;

    Kind kind() const { return m_kind; }
    // The selected bitmap; a new memory context holds the stock 1 × 1 monochrome bitmap,
    // the screen holds none.
    HBITMAP bitmap() const { return m_bitmap; }
    int stretchMode() const { return m_stretchMode; }

private:
    friend HBITMAP SelectObject(HDC, HBITMAP);
    friend int SetStretchBltMode(HDC, int);
    friend class DIBSection;

    Kind m_kind;
    HBITMAP m_bitmap = nullptr;
    int m_stretchMode = BLACKONWHITE;
};

// The platform's stock 1 × 1 monochrome bitmap that every new memory context holds.
HBITMAP stockBitmap();

struct HWND__;
using HWND = HWND__*;

// A memory context compatible with `hdc` (null means the screen). Null on failure.
std::unique_ptr<DeviceContext> CreateCompatibleDC(HDC hdc);
// A context for the screen; only the driver "DISPLAY" is known.
std::unique_ptr<DeviceContext> CreateDCA(const char* driver, const char* device, const char* output, const void* initData);
HWND GetDesktopWindow();
std::unique_ptr<DeviceContext> GetDC(HWND window);

// Selects `bitmap` into a memory context and returns the bitmap selected before; null when
// the context cannot hold it (the screen, a null handle, a bitmap selected elsewhere).
HBITMAP SelectObject(HDC hdc, HBITMAP bitmap);

// Returns the previous mode, 0 on failure (null context or unknown mode).
int SetStretchBltMode(HDC hdc, int mode);
int GetStretchBltMode(HDC hdc);

}  // namespace tav
