#!/usr/bin/env python3
"""Draws the project's sample picture: a lake landscape at sunset, 800 x 600.

A sky gradient with a sun and its glow, soft clouds from fractal value noise, two ranges of
hills whose ridges come from midpoint displacement, and a lake that mirrors them with ripples
and a glitter path under the sun. Everything is computed from fixed integers (no random
module, no clock), so each run draws the same picture. The picture is written as a binary PPM
and converted with cjpeg (Debian package libjpeg-turbo-progs) at quality 90.

Usage: python3 make_sample.py [output.jpg]   (default: sample.jpg beside this script)
"""

import math
import os
import subprocess
import sys
import tempfile

from procedural import hash2, mix, ridge

WIDTH = 800
HEIGHT = 600
HORIZON = 372          # first row of water
SUN_X, SUN_Y, SUN_R = 548.0, 268.0, 34.0
QUALITY = 90


def smooth(t):
    return t * t * (3.0 - 2.0 * t)


def value_noise(x, y, seed):
    xi, yi = math.floor(x), math.floor(y)
    tx, ty = smooth(x - xi), smooth(y - yi)
    a = hash2(xi, yi, seed)
    b = hash2(xi + 1, yi, seed)
    c = hash2(xi, yi + 1, seed)
    d = hash2(xi + 1, yi + 1, seed)
    top = a + (b - a) * tx
    bottom = c + (d - c) * tx
    return top + (bottom - top) * ty


def fbm(x, y, seed, octaves):
    """Fractal sum of value noise, in [0, 1)."""
    total, amplitude, norm = 0.0, 1.0, 0.0
    for octave in range(octaves):
        total += amplitude * value_noise(x, y, seed + octave * 101)
        norm += amplitude
        amplitude *= 0.5
        x *= 2.03
        y *= 2.03
    return total / norm


def clamp_byte(v):
    return 0 if v < 0 else 255 if v > 255 else int(v + 0.5)  # half up; inputs are never negative halves


def sky_colour(x, y):
    t = y / HORIZON
    top, middle, low = (32, 64, 138), (118, 128, 178), (252, 186, 128)
    colour = mix(top, middle, t / 0.6) if t < 0.6 else mix(middle, low, (t - 0.6) / 0.4)
    dx, dy = x - SUN_X, y - SUN_Y
    distance = math.sqrt(dx * dx + dy * dy)
    glow = math.exp(-distance / 120.0) * 0.85 + math.exp(-distance / 30.0) * 0.6
    colour = mix(colour, (255, 226, 170), min(glow, 1.0))
    if distance < SUN_R:
        edge = min((SUN_R - distance) / 2.0, 1.0)  # a soft rim of two pixels
        colour = mix(colour, (255, 246, 214), edge)
    # Clouds: stretched noise, brightest away from the sun, lit from below near the horizon.
    cloud = fbm(x / 150.0, y / 38.0, 7, 5)
    cover = max(0.0, (cloud - 0.52) / 0.3) * (0.35 + 0.65 * t)
    if cover > 0.0:
        lit = mix((196, 150, 168), (255, 208, 170), t)
        colour = mix(colour, lit, min(cover, 0.85))
    return colour


def draw_land():
    """Rows 0 .. HORIZON - 1: sky, far hills, near hills. A list of rows of (r, g, b) floats."""
    far = ridge(WIDTH, HORIZON - 110.0, 120.0, 3, levels=9, decay=0.55)
    near = ridge(WIDTH, HORIZON - 48.0, 70.0, 11, levels=9, decay=0.55)
    rows = []
    for y in range(HORIZON):
        row = []
        for x in range(WIDTH):
            if y >= near[x]:
                depth = (y - near[x]) / max(HORIZON - near[x], 1.0)
                # Woods: large patches of light and shade with a fine grain of tree tops.
                texture = 0.6 * fbm(x / 24.0, y / 16.0, 23, 3) + 0.4 * value_noise(x / 2.5, y / 2.5, 29)
                base = mix((52, 82, 42), (20, 38, 28), depth)
                colour = tuple(c * (0.6 + 0.8 * texture) for c in base)
                # The rim facing the low sun catches warm light.
                rim = max(0.0, 1.0 - (y - near[x]) / 6.0)
                colour = mix(colour, (150, 112, 60), 0.45 * rim)
            elif y >= far[x]:
                depth = (y - far[x]) / max(near[x] - far[x], 1.0)
                texture = fbm(x / 16.0, y / 10.0, 31, 3)
                base = mix((78, 76, 118), (58, 66, 100), depth)
                haze = sky_colour(x, HORIZON - 1)
                colour = mix(tuple(c * (0.8 + 0.4 * texture) for c in base), haze, 0.2 + 0.15 * depth)
            else:
                colour = sky_colour(x, y)
            row.append(colour)
        rows.append(row)
    return rows


def draw_water(land):
    """Rows HORIZON .. HEIGHT - 1: the land mirrored, rippled, darkened, with sun glitter."""
    rows = []
    for y in range(HORIZON, HEIGHT):
        d = y - HORIZON + 1
        source_y = max(HORIZON - d, 0)
        strength = d / (HEIGHT - HORIZON)
        row = []
        for x in range(WIDTH):
            wave = math.sin(x / (6.0 + 10.0 * strength) + d * 0.9) + (fbm(x / 40.0, d / 3.0, 41, 3) - 0.5) * 3.0
            sx = min(max(int(x + wave * (1.0 + 5.0 * strength)), 0), WIDTH - 1)
            colour = mix(land[source_y][sx], (20, 40, 70), 0.25 + 0.35 * strength)
            # The glitter path under the sun: bright flecks where the ripples face it.
            spread = 18.0 + 90.0 * strength
            along = math.exp(-((x - SUN_X) / spread) ** 2)
            fleck = value_noise(x / 3.0, d * 1.7, 53)
            if fleck > 0.62:
                colour = mix(colour, (255, 232, 184), along * min((fleck - 0.62) * 4.0, 1.0))
            row.append(colour)
        rows.append(row)
    return rows


def write_ppm(path, rows):
    """Writes the rows with a faint sensor-like grain of up to 3 levels."""
    with open(path, "wb") as out:
        out.write(b"P6\n%d %d\n255\n" % (WIDTH, HEIGHT))
        for y, row in enumerate(rows):
            line = bytearray()
            for x, pixel in enumerate(row):
                grain = (hash2(x, y, 61) - 0.5) * 6.0
                line.extend(clamp_byte(c + grain) for c in pixel)
            out.write(line)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    target = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "sample.jpg")
    land = draw_land()
    rows = land + draw_water(land)
    with tempfile.TemporaryDirectory() as folder:
        ppm = os.path.join(folder, "sample.ppm")
        write_ppm(ppm, rows)
        subprocess.run(["cjpeg", "-quality", str(QUALITY), "-outfile", target, ppm], check=True)
    print("%s: %d x %d, %d bytes" % (target, WIDTH, HEIGHT, os.path.getsize(target)))


if __name__ == "__main__":
    main()
