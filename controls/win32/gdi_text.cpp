// GDI text for the frame control. Fonts come from CreateFontW with a negative height, which
// asks for the em height in pixels (the character height, not the cell height), so that a size
// in points gives the same pixels as at 96 dots per inch whatever the screen's resolution; they
// are non-antialiased, so every glyph pixel is the text colour. One font is made per
// FrameFont and kept.
//
// Drawing goes through a 32-bit top-down DIB section of the rectangle's visible part: the
// pixels are copied in, DrawTextW draws on them with a transparent background, and the pixels
// GDI changed are copied back. A 32-bit DIB keeps blue, green, red, unused in memory, the order
// of the surface's 0x00RRGGBB words, so the copies are plain.
#include "controls/win32/gdi_text.h"

#include "controls/win32/top_down_bitmap.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <utility>
#include <vector>

#include <windows.h>

namespace tav {

namespace {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "the wide calls take UTF-16");

// The sizes CreateFontW is asked for: from one pixel to far above any caption.
constexpr double kMinFontPixels = 1.0;
constexpr double kMaxFontPixels = 16384.0;

// The layout flags the text interface defines. Other DrawTextW flags (no clipping, computing
// the rectangle only, tab expansion, bottom alignment) are left out, so that a format drawn
// here lays out as it does with the other platforms' engines.
constexpr UINT kLayoutFlags = kDtCenter | kDtRight | kDtVCenter | kDtWordBreak | kDtSingleLine;

const wchar_t* wide(std::u16string_view text) { return reinterpret_cast<const wchar_t*>(text.data()); }

// The wide calls count characters in int.
int length(std::u16string_view text) { return int(std::min<std::size_t>(text.size(), INT_MAX)); }

// A font or bitmap, deleted with the owner.
template <typename Handle>
class Owned {
public:
    explicit Owned(Handle handle) : m_handle(handle) {}
    ~Owned()
    {
        if (m_handle)
            DeleteObject(m_handle);
    }
    Owned(Owned&& other) noexcept : m_handle(std::exchange(other.m_handle, nullptr)) {}
    Owned& operator=(Owned&&) = delete;
    Owned(const Owned&) = delete;
    Owned& operator=(const Owned&) = delete;

    Handle get() const { return m_handle; }

private:
    Handle m_handle;
};

// Selects an object into a context for one scope and reselects the one it replaced.
class Selected {
public:
    Selected(HDC dc, HGDIOBJ object) : m_dc(dc), m_previous(SelectObject(dc, object)) {}
    ~Selected()
    {
        if (m_previous && m_previous != HGDI_ERROR)
            SelectObject(m_dc, m_previous);
    }
    Selected(const Selected&) = delete;
    Selected& operator=(const Selected&) = delete;

    bool ok() const { return m_previous && m_previous != HGDI_ERROR; }

private:
    HDC m_dc;
    HGDIOBJ m_previous;
};

}  // namespace

int gdiFontHeight(double points)
{
    double pixels = points * 96.0 / 72.0;
    if (!(pixels >= kMinFontPixels))  // NaN included
        pixels = kMinFontPixels;
    pixels = std::min(pixels, kMaxFontPixels);
    // Halves to even (std::lrint under the default rounding mode): 9.375 points, 12.5 pixels,
    // asks for 12.
    return -int(std::lrint(pixels));
}

struct GdiText::State {
    explicit State(HDC memoryDc) : dc(memoryDc) {}
    ~State()
    {
        // The fonts are deselected by now: every selection is undone at the end of its call.
        fonts.clear();
        DeleteDC(dc);
    }
    State(const State&) = delete;
    State& operator=(const State&) = delete;

    // The font for `font`, made on first use. The stock GUI font stands in if CreateFontW
    // fails, which it only does when GDI is out of resources: a caption in another face beats
    // none.
    HFONT fontFor(const FrameFont& font)
    {
        for (const auto& [key, made] : fonts)
            if (key == font)
                return made.get();
        HFONT made = CreateFontW(gdiFontHeight(font.points), 0, 0, 0, font.bold ? FW_BOLD : FW_NORMAL,
            DWORD(font.italic), DWORD(font.underline), DWORD(font.strikethrough), DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
            CLIP_DEFAULT_PRECIS, NONANTIALIASED_QUALITY, DEFAULT_PITCH | FF_DONTCARE, wide(font.name.c_str()));
        if (!made)
            return static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
        fonts.emplace_back(font, Owned<HFONT>(made));
        return made;
    }

    HDC dc;
    std::vector<std::pair<FrameFont, Owned<HFONT>>> fonts;  // few: one per caption font in use
};

std::unique_ptr<GdiText> GdiText::create()
{
    HDC dc = CreateCompatibleDC(nullptr);
    if (!dc)
        return nullptr;
    // A transparent background leaves every pixel between the glyphs' strokes alone.
    SetBkMode(dc, TRANSPARENT);
    return std::unique_ptr<GdiText>(new GdiText(std::make_unique<State>(dc)));
}

GdiText::GdiText(std::unique_ptr<State> state) : m_state(std::move(state)) {}

GdiText::~GdiText() = default;

int GdiText::lineWidth(const FrameFont& font, std::u16string_view line) const
{
    const Selected selected(m_state->dc, m_state->fontFor(font));
    SIZE size{};
    if (!GetTextExtentPoint32W(m_state->dc, wide(line), length(line), &size))
        return 0;
    return int(size.cx);
}

int GdiText::lineHeight(const FrameFont& font) const
{
    const Selected selected(m_state->dc, m_state->fontFor(font));
    TEXTMETRICW metrics{};
    if (!GetTextMetricsW(m_state->dc, &metrics))
        return 0;
    return int(metrics.tmHeight);
}

TextSize GdiText::wrappedSize(const FrameFont& font, int width, std::u16string_view text) const
{
    const Selected selected(m_state->dc, m_state->fontFor(font));
    RECT block{0, 0, std::max(width, 0), 0};
    if (!DrawTextW(m_state->dc, wide(text), length(text), &block, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX))
        return {};
    return {double(block.right - block.left), double(block.bottom - block.top)};
}

bool GdiText::draw(PixelView target, const FrameFont& font, Colour colour, const FrameRect& rect, int format,
                   std::u16string_view text) const
{
    // The part of the rectangle on the pixels; nothing outside it can change.
    const int left = std::max(rect.left, 0);
    const int top = std::max(rect.top, 0);
    const int right = std::min(rect.right, target.width);
    const int bottom = std::min(rect.bottom, target.height);
    if (text.empty() || left >= right || top >= bottom || !target.pixels)
        return true;
    const int width = right - left;
    const int height = bottom - top;

    std::uint32_t* dib = nullptr;
    const Owned<HBITMAP> bitmap(createTopDownBitmap(m_state->dc, width, height, &dib));
    if (!bitmap.get())
        return false;
    const auto canvasRow = [&](int y) { return target.pixels + std::size_t(top + y) * std::size_t(target.width) + left; };
    for (int y = 0; y < height; ++y)
        std::memcpy(dib + std::size_t(y) * std::size_t(width), canvasRow(y), std::size_t(width) * 4);

    {
        const Selected selectedBitmap(m_state->dc, bitmap.get());
        if (!selectedBitmap.ok())
            return false;
        const Selected selectedFont(m_state->dc, m_state->fontFor(font));
        SetTextColor(m_state->dc, COLORREF(colour & 0xFFFFFF));
        // The rectangle in the bitmap's coordinates; a part off the pixels lies at negative
        // coordinates or beyond the bitmap, where GDI draws nothing.
        RECT box{rect.left - left, rect.top - top, rect.right - left, rect.bottom - top};
        DrawTextW(m_state->dc, wide(text), length(text), &box, (UINT(format) & kLayoutFlags) | DT_NOPREFIX);
        // GDI may batch calls: the bits are only final once it has flushed.
        GdiFlush();
    }

    // Only what GDI changed goes back, without the unused byte, whatever GDI left in it.
    for (int y = 0; y < height; ++y) {
        std::uint32_t* out = canvasRow(y);
        const std::uint32_t* in = dib + std::size_t(y) * std::size_t(width);
        for (int x = 0; x < width; ++x)
            if (in[x] != out[x])
                out[x] = in[x] & 0xFFFFFF;
    }
    return true;
}

}  // namespace tav
