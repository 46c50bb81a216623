#!/usr/bin/env python3
"""Draws the main window's artwork: its background, its placeholder preview and its icon.

- background.jpg, 993 x 793: a night sky over a mountain range. Only the top-left 743 x 468
  is ever visible (the window's client area); the header bar covers its first 51 rows, and
  yellow and white texts stand on its lower left, so the picture stays dark there. A deep
  indigo gradient, a soft violet glow, stars, and three ranges of mountains whose ridges come
  from midpoint displacement. Written as a binary PPM and converted with cjpeg (Debian package
  libjpeg-turbo-progs) as a baseline JPEG at quality 92.
- placeholder.png, 256 x 195: what the preview shows before a picture is chosen: a pale
  panel with a dashed inner border (a picture may be dropped on the window) and a picture
  pictogram, sun and two peaks, in the middle.
- icon.png, 32 x 32, 24-bit colour: a sunset over peaks, cut by two thin lines into three
  parts, the way a loading screen is cut.
- icon.ico: the same pixels as the Windows program's icon, one 32 x 32 image in the classic
  form: a 24-bit bottom-up BMP without its file header, its height doubled to cover the
  1-bit AND mask that follows, all clear (every pixel opaque).

Everything is computed from fixed integers (no random module, no clock), so each run writes the
same files. PNG files are written with zlib from the standard library.

Usage: python3 make_artwork.py [output-folder]   (default: the folder of this script)
"""

import math
import os
import struct
import subprocess
import sys
import tempfile
import zlib

from procedural import hash2, mix, ridge, smoothstep

BACKGROUND_SIZE = (993, 793)
VISIBLE_SIZE = (743, 468)
HEADER_HEIGHT = 51
PLACEHOLDER_SIZE = (256, 195)
ICON_SIZE = (32, 32)
JPEG_QUALITY = 92


def clamp8(v):
    return 0 if v < 0 else 255 if v > 255 else int(v + 0.5)


# Background ----------------------------------------------------------------------------------

SKY_TOP = (14, 16, 48)
SKY_MIDDLE = (30, 26, 78)
SKY_LOW = (58, 38, 96)
GLOW = (120, 70, 150)
GLOW_CENTRE = (520.0, 330.0)
GLOW_RADIUS = 330.0
# Far to near: (base row, roughness, seed, colour at the ridge, colour at the foot).
RANGES = [
    (352.0, 150.0, 11, (46, 40, 92), (36, 32, 76)),
    (402.0, 120.0, 23, (30, 28, 66), (22, 22, 54)),
    (446.0, 90.0, 37, (16, 18, 44), (10, 12, 30)),
]
STAR_COUNT = 420


def sky(x, y, height):
    t = y / height
    if t < 0.45:
        c = mix(SKY_TOP, SKY_MIDDLE, t / 0.45)
    else:
        c = mix(SKY_MIDDLE, SKY_LOW, min(1.0, (t - 0.45) / 0.3))
    dx = (x - GLOW_CENTRE[0]) / GLOW_RADIUS
    dy = (y - GLOW_CENTRE[1]) / (GLOW_RADIUS * 0.55)
    g = math.exp(-(dx * dx + dy * dy) * 1.6) * 0.55
    return mix(c, GLOW, g)


def draw_background():
    width, height = BACKGROUND_SIZE
    visible_height = VISIBLE_SIZE[1]
    rows = [[sky(x, y, visible_height) for x in range(width)] for y in range(height)]

    # Stars: brighter and denser high up, none below the far range's lowest ridge.
    far = ridge(width, *RANGES[0][:3], levels=10, decay=0.58)
    for i in range(STAR_COUNT):
        sx = hash2(i, 1, 5) * width
        sy = HEADER_HEIGHT + (hash2(i, 2, 5) ** 1.6) * (visible_height * 0.72)
        if sy >= far[min(width - 1, int(sx))] - 4:
            continue
        brightness = 0.25 + 0.75 * hash2(i, 3, 5) ** 3
        radius = 0.6 + 1.1 * brightness
        tint = mix((255, 255, 255), (190, 210, 255), hash2(i, 4, 5))
        for py in range(int(sy - 3), int(sy + 4)):
            for px in range(int(sx - 3), int(sx + 4)):
                if 0 <= px < width and 0 <= py < height:
                    d2 = (px + 0.5 - sx) ** 2 + (py + 0.5 - sy) ** 2
                    a = brightness * math.exp(-d2 / (radius * radius))
                    if a > 0.01:
                        rows[py][px] = mix(rows[py][px], tint, a)

    # Mountains, far to near; the ridge pixel is covered by its fractional part.
    for base, rough, seed, ridge_colour, foot_colour in RANGES:
        line = ridge(width, base, rough, seed, levels=10, decay=0.58)
        for x in range(width):
            top = line[x]
            first = max(0, int(math.floor(top)))
            for y in range(first, height):
                cover = min(1.0, y + 1 - top)
                t = smoothstep(top, top + 140.0, y)
                # A faint rim of light along the ridge, as if lit by the glow behind.
                rim = math.exp(-(y - top) / 3.0) * 0.25
                colour = mix(mix(ridge_colour, foot_colour, t), GLOW, rim)
                rows[y][x] = mix(rows[y][x], colour, cover)
    return rows


# Placeholder ---------------------------------------------------------------------------------

PANEL_TOP = (236, 239, 245)
PANEL_BOTTOM = (206, 213, 226)
PANEL_BORDER = (138, 150, 172)
DASH_COLOUR = (160, 172, 194)
PICTOGRAM = (128, 142, 168)


def rounded_rect_distance(px, py, x0, y0, x1, y1, r):
    """Signed distance to a rounded rectangle (negative inside)."""
    cx = min(max(px, x0 + r), x1 - r)
    cy = min(max(py, y0 + r), y1 - r)
    d = math.hypot(px - cx, py - cy) - r
    return d


def supersample(width, height, shade, n=4):
    """shade(x, y) -> colour at a sub-pixel position; each pixel the mean of n x n samples."""
    rows = []
    for y in range(height):
        row = []
        for x in range(width):
            acc = [0.0, 0.0, 0.0]
            for sy in range(n):
                for sx in range(n):
                    c = shade(x + (sx + 0.5) / n, y + (sy + 0.5) / n)
                    acc[0] += c[0]
                    acc[1] += c[1]
                    acc[2] += c[2]
            row.append((acc[0] / (n * n), acc[1] / (n * n), acc[2] / (n * n)))
        rows.append(row)
    return rows


def in_triangle(px, py, a, b, c):
    def side(p, q, r):
        return (p[0] - r[0]) * (q[1] - r[1]) - (q[0] - r[0]) * (p[1] - r[1])

    d1 = side((px, py), a, b)
    d2 = side((px, py), b, c)
    d3 = side((px, py), c, a)
    negative = d1 < 0 or d2 < 0 or d3 < 0
    positive = d1 > 0 or d2 > 0 or d3 > 0
    return not (negative and positive)


def placeholder_shade(x, y):
    width, height = PLACEHOLDER_SIZE
    colour = mix(PANEL_TOP, PANEL_BOTTOM, y / height)
    # Outer border, one pixel.
    if x < 1 or y < 1 or x >= width - 1 or y >= height - 1:
        return PANEL_BORDER
    # Dashed rounded rectangle 10 pixels inside, 2 pixels wide, dashes of 8 along its length.
    d = rounded_rect_distance(x, y, 10, 10, width - 10, height - 10, 10)
    if -2.0 <= d <= 0.0:
        # Dashes follow x along the top and bottom edges, y along the sides and corners.
        along = x if 20 <= x <= width - 20 else y
        if int(along // 8) % 2 == 0:
            return DASH_COLOUR
    # Pictogram: a rounded frame 84 x 62 centred, a sun and two peaks inside it.
    cx, cy = width / 2, height / 2
    fx0, fy0, fx1, fy1 = cx - 42, cy - 31, cx + 42, cy + 31
    fd = rounded_rect_distance(x, y, fx0, fy0, fx1, fy1, 6)
    if -3.0 <= fd <= 0.0:
        return PICTOGRAM
    if fd < -3.0:
        if math.hypot(x - (cx + 18), y - (cy - 12)) <= 7.5:
            return PICTOGRAM
        if in_triangle(x, y, (fx0 + 6, fy1 - 5), (cx - 12, cy - 10), (cx + 14, fy1 - 5)):
            return PICTOGRAM
        if in_triangle(x, y, (cx - 2, fy1 - 5), (cx + 16, cy + 2), (fx1 - 6, fy1 - 5)):
            return PICTOGRAM
    return colour


# Icon ----------------------------------------------------------------------------------------

ICON_SKY_TOP = (255, 176, 64)
ICON_SKY_BOTTOM = (226, 78, 96)
ICON_SUN = (255, 236, 170)
ICON_FAR = (92, 52, 120)
ICON_NEAR = (30, 34, 84)
ICON_CUT = (255, 255, 255)
ICON_BORDER = (22, 24, 60)


def icon_shade(x, y):
    width, height = ICON_SIZE
    if x < 1 or y < 1 or x >= width - 1 or y >= height - 1:
        return ICON_BORDER
    colour = mix(ICON_SKY_TOP, ICON_SKY_BOTTOM, y / height)
    if math.hypot(x - 20.5, y - 13.0) <= 5.5:
        colour = ICON_SUN
    if in_triangle(x, y, (-2, 28), (11, 11), (24, 28)):
        colour = ICON_FAR
    if in_triangle(x, y, (10, 32), (23, 16), (36, 32)) or y >= 27:
        colour = ICON_NEAR
    # Two cut lines, one pixel wide, at a third and two thirds of the width.
    if 10.5 <= x < 11.5 or 20.5 <= x < 21.5:
        colour = mix(colour, ICON_CUT, 0.85)
    return colour


# Writers -------------------------------------------------------------------------------------


def to_bytes(rows):
    return b"".join(bytes(clamp8(v) for pixel in row for v in pixel) for row in rows)


def write_png(path, rows):
    """An 8-bit RGB PNG (colour type 2), no filtering."""
    height, width = len(rows), len(rows[0])

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    raw = b"".join(b"\x00" + to_bytes([row]) for row in rows)
    header = struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)
    with open(path, "wb") as out:
        out.write(b"\x89PNG\r\n\x1a\n")
        out.write(chunk(b"IHDR", header))
        out.write(chunk(b"IDAT", zlib.compress(raw, 9)))
        out.write(chunk(b"IEND", b""))


def write_ico(path, rows):
    """One 24-bit image in an ICO file: ICONDIR, one ICONDIRENTRY, then the image: a
    BITMAPINFOHEADER of twice the height, the colour rows bottom-up in B, G, R order, and the
    AND mask rows, 1 bit a pixel, each row of either padded to 4 bytes."""
    height, width = len(rows), len(rows[0])
    xor_stride = (width * 3 + 3) // 4 * 4
    and_stride = ((width + 7) // 8 + 3) // 4 * 4
    colour = b"".join(
        bytes(clamp8(v) for pixel in row for v in reversed(pixel)).ljust(xor_stride, b"\x00") for row in reversed(rows))
    mask = bytes(and_stride * height)
    header = struct.pack("<IiiHHIIiiII", 40, width, 2 * height, 1, 24, 0, len(colour) + len(mask), 0, 0, 0, 0)
    image = header + colour + mask
    directory = struct.pack("<HHH", 0, 1, 1)
    # Width and height are bytes, 0 meaning 256; no palette; one plane of 24 bits.
    entry = struct.pack("<BBBBHHII", width % 256, height % 256, 0, 0, 1, 24, len(image), 6 + 16)
    with open(path, "wb") as out:
        out.write(directory + entry + image)


def write_jpeg(path, rows):
    height, width = len(rows), len(rows[0])
    with tempfile.NamedTemporaryFile(suffix=".ppm", delete=False) as ppm:
        ppm.write(b"P6\n%d %d\n255\n" % (width, height))
        ppm.write(to_bytes(rows))
        name = ppm.name
    try:
        with open(path, "wb") as out:
            subprocess.run(["cjpeg", "-quality", str(JPEG_QUALITY), "-baseline", "-optimize", name],
                           stdout=out, check=True)
    finally:
        os.unlink(name)


def main():
    folder = sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(os.path.abspath(__file__))
    write_jpeg(os.path.join(folder, "background.jpg"), draw_background())
    write_png(os.path.join(folder, "placeholder.png"), supersample(*PLACEHOLDER_SIZE, placeholder_shade))
    icon = supersample(*ICON_SIZE, icon_shade)
    write_png(os.path.join(folder, "icon.png"), icon)
    write_ico(os.path.join(folder, "icon.ico"), icon)


if __name__ == "__main__":
    main()
