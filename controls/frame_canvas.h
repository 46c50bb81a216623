// The frame control's drawing surface and the drawing routines its painting is written in.
//
// The surface is a persistent image that keeps what was drawn until the next repaint, plus the
// drawing state the routines share (pen colour, fill colour, fill mode, background colour,
// font). Every pixel but the caption's glyphs is put there by the routines below, in plain
// code, so that the frames look the same wherever they are shown. The pixel rules are those
// of the 2D calls the control was written against:
// - a line never includes its end point;
// - a rounded rectangle covers left..right-1 and top..bottom-1, its outline one pixel wide and
//   inside that area, the inside filled unless the fill mode is hollow;
// - a rounded-rectangle region leaves out one more column and row at the right and bottom
//   (observed behaviour of the platform's region call; windows set their shape with
//   right + 1, bottom + 1 because of it);
// - gradients are drawn one line at a time and skip their first line and their end colour.
// Colours are 0x00BBGGRR values; system references are translated when a pixel is drawn, and
// an untranslatable colour draws as the low 24 bits of 0xFFFFFFFF, white.
#pragma once

#include "controls/frame_colours.h"
#include "controls/frame_picture.h"
#include "controls/frame_region.h"
#include "controls/frame_text.h"

#include <cstdint>
#include <vector>

namespace tav {

enum class FillMode { Solid, Hollow };
enum class Corners { Square, Rounded };
enum class GradientAxis { Vertical, Horizontal };
enum class Outline { None, Drawn };

// (x, y, width, height), the form the gradient routines take.
struct FrameArea {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

struct FrameCanvas {
    FrameCanvas();

    int width() const { return m_width; }
    int height() const { return m_height; }

    // A new image of the given size (at least 1 x 1), cleared to the background colour.
    void resize(int newWidth, int newHeight);
    // Clears the whole surface to the background colour.
    void Cls();

    // A pixel, 0x00RRGGBB (in memory blue, green, red, unused: a 32-bit bitmap's order).
    std::uint32_t pixel(int x, int y) const { return pixels[index(x, y)]; }
    void setPixel(int x, int y, std::uint32_t rgb) { pixels[index(x, y)] = rgb; }
    // Pixels x .. x + width - 1 of row y, clipped to the surface.
    void fillSpan(int x, int y, int width, std::uint32_t rgb);
    void fillBox(int x, int y, int width, int height, std::uint32_t rgb);

    std::vector<std::uint32_t> pixels;  // rows top to bottom, width() pixels each
    Colour foreColor = kBlack;  // pen and text colour
    Colour fillColor = kBlack;
    FillMode fillMode = FillMode::Solid;
    Colour backColor = systemColourRef(kColorBtnFace);
    FrameFont font;

private:
    std::size_t index(int x, int y) const { return std::size_t(y) * std::size_t(m_width) + std::size_t(x); }

    int m_width = 0;
    int m_height = 0;
};

// The pixel a colour is drawn as (0x00RRGGBB): system references translated, the high byte
// dropped.
std::uint32_t paintColour(Colour colour);

void SetPixel(FrameCanvas& canvas, int x, int y, Colour colour);

// One-pixel line from (x1, y1) towards (x2, y2), the end point excluded.
void DrawLine(FrameCanvas& canvas, int x1, int y1, int x2, int y2, Colour colour);

// Lines (x, y) -> (x + w, y) -> (x + w, y + h) -> (x, y + h) -> (x, y): a closed outline
// covering x..x + w and y..y + h.
void DrawBoxOutline(FrameCanvas& canvas, int x, int y, int width, int height, Colour colour);

// The platform's rounded rectangle with the surface's pen colour, fill colour and fill mode.
void RoundRect(FrameCanvas& canvas, FrameRect rect, int cornerWidth, int cornerHeight);

// Sets fill and pen colour and fill mode, draws RoundRect with corner size r (0 unless
// rounded), then leaves the fill mode solid.
void DrawRoundBox(FrameCanvas& canvas, Corners rounded, int r, Colour fill, Colour pen, FrameRect rect,
                  FillMode mode);

// Linear gradient from c1 towards c2 as 1-pixel lines. Vertical: rows y0 + 1 .. y0 + b - 1,
// each from x0 to the absolute right end a (excluded). Horizontal: columns x0 + 1 .. x0 + a - 1,
// each from y0 to the absolute bottom end b (excluded). Line 0 and the colour c2 itself are
// never drawn.
void FillGradient(FrameCanvas& canvas, Colour c1, Colour c2, int x0, int y0, int a, int b, GradientAxis axis);

// A towards B over the first 1/q of the extent, B back towards A over the rest (q <= 1 is
// taken as 1.01).
void FillMirrorGradient(FrameCanvas& canvas, Colour a, Colour b, FrameArea area, GradientAxis axis, double q);

// Mode 0 vertical and 1 horizontal gradients from B towards A; modes 2 and 3 mirror gradients
// from A (vertical, horizontal); other modes nothing. Then the outline of the area if asked.
void FillByMode(FrameCanvas& canvas, Colour a, Colour b, FrameArea area, std::int32_t mode, Outline outline,
                Colour outlineColour, double q);

// Nine 3D dots centred across the surface in a strip of the given height.
void DrawGripper(FrameCanvas& canvas, Colour light, Colour dark, int stripHeight);

// Eight single pixels that smooth the corners of a 9-pixel rounded outline.
void DrawCornerPixels(FrameCanvas& canvas, Colour colour);

// The picture scaled to w x h at (x, y), each pixel from the source pixel under its centre:
// a bitmap opaque, an icon composed over the surface by its alpha.
void DrawPicture(FrameCanvas& canvas, int x, int y, int width, int height, const FramePicture& picture);

// The picture in grey tones at (x, y), w x h: pixels that are black in the rendered picture
// (an icon's transparent parts among them) leave the surface as it was.
void DrawPictureDisabled(FrameCanvas& canvas, int x, int y, int width, int height, const FramePicture& picture);

void FillRegion(FrameCanvas& canvas, const FrameRegion& region, Colour colour);

}  // namespace tav
