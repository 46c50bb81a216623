// Device contexts. The screen is a 24-bit device with nothing selected; memory contexts start
// with the stock 1 × 1 monochrome bitmap selected, as on the platform, so that selecting a
// bitmap always has a previous one to hand back.
#include "device_context.h"

#include "dib.h"

#include <cstring>

namespace tav {

HBITMAP stockBitmap()
{
    static const std::unique_ptr<DIBSection> stock = [] {
        BITMAPINFO bmi = makeBitmapInfo(1, 1, 1);
        bmi.bmiColors[1] = RGBQUAD{255, 255, 255, 0};
        return DIBSection::create(bmi);
    }();
    return stock.get();
}

DeviceContext::DeviceContext(Kind kind) : m_kind(kind)
{
    if (kind == Kind::Memory)
        m_bitmap = stockBitmap();
}

DeviceContext::~DeviceContext()
{
    if (m_bitmap && m_bitmap != stockBitmap())
        m_bitmap->m_selectedIn = nullptr;
}

std::unique_ptr<DeviceContext> CreateCompatibleDC(HDC)
{
    // Every context here is compatible with the 24-bit screen.
    return std::make_unique<DeviceContext>(DeviceContext::Kind::Memory);
}

std::unique_ptr<DeviceContext> CreateDCA(const char* driver, const char*, const char*, const void*)
{
    if (!driver || std::strcmp(driver, "DISPLAY") != 0)
        return nullptr;
    return std::make_unique<DeviceContext>(DeviceContext::Kind::Screen);
}

HWND GetDesktopWindow()
{
    static char desktop;
    return reinterpret_cast<HWND>(&desktop);
}

std::unique_ptr<DeviceContext> GetDC(HWND window)
{
    if (window != GetDesktopWindow())
        return nullptr;
    return std::make_unique<DeviceContext>(DeviceContext::Kind::Screen);
}

HBITMAP SelectObject(HDC hdc, HBITMAP bitmap)
{
    if (!hdc || !bitmap || hdc->m_kind != DeviceContext::Kind::Memory)
        return nullptr;
    const HBITMAP stock = stockBitmap();
    // A bitmap can be selected into one context at a time (the stock bitmap into any).
    if (bitmap != stock && bitmap->m_selectedIn && bitmap->m_selectedIn != hdc)
        return nullptr;
    HBITMAP previous = hdc->m_bitmap;
    if (previous != stock)
        previous->m_selectedIn = nullptr;
    hdc->m_bitmap = bitmap;
    if (bitmap != stock)
        bitmap->m_selectedIn = hdc;
    return previous;
}

int SetStretchBltMode(HDC hdc, int mode)
{
    if (!hdc || mode < BLACKONWHITE || mode > HALFTONE)
        return 0;
    const int previous = hdc->m_stretchMode;
    hdc->m_stretchMode = mode;
    return previous;
}

int GetStretchBltMode(HDC hdc) { return hdc ? hdc->stretchMode() : 0; }

}  // namespace tav
