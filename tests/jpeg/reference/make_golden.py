#!/usr/bin/env python3
"""Prints the rows of tests/jpeg/golden_stream_test.cpp: each golden picture encoded by
reference_encoder.py, with the stream's size and FNV-1a hash. The picture function is the
test's goldenPixel."""
import os, struct, sys, tempfile
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from reference_encoder import encode
def pixel(x, y):
    h = ((x * 2654435761) ^ (y * 40503) ^ (x * y * 97)) & 0xFFFFFFFF
    r = (x * 5 + y * 3 + (h >> 27)) & 255
    g = (255 - 4 * y + ((h >> 20) & 15)) & 255
    b = ((x * y) + ((h >> 12) & 63)) & 255
    return r, g, b
def write_bmp(path, w, h):
    rows = []
    for y in range(h):
        row = bytearray()
        for x in range(w):
            r, g, b = pixel(x, y); row += bytes([b, g, r])
        while len(row) % 4: row.append(0)
        rows.append(bytes(row))
    data = b''.join(reversed(rows))
    hdr = struct.pack('<2sIHHI', b'BM', 54+len(data), 0, 0, 54) + struct.pack('<IiiHHIIiiII', 40, w, h, 1, 24, 0, len(data), 0, 0, 0, 0)
    open(path, 'wb').write(hdr + data)
def fnv(data):
    h = 14695981039346656037
    for b in data:
        h ^= b; h = (h * 1099511628211) & 0xFFFFFFFFFFFFFFFF
    return h
# kCreditText of jpeg/cjpeg.h.
credit = b'JPEG Encoder Class\r\nWritten for Tavrenix\r\nSource: the Tavrenix source tree, folder jpeg/'
cases = [
    ('q100_default', 37, 23, 100, ((2,2),(1,1),(1,1)), False, b''),
    ('q75_2x1', 37, 23, 75, ((2,1),(1,1),(1,1)), False, b''),
    ('q50_grey', 64, 40, 50, None, True, b''),
    ('q30_4x4', 29, 41, 30, ((4,4),(1,1),(1,1)), False, b''),
    ('q90_all2x2', 33, 35, 90, ((2,2),(2,2),(2,2)), False, b''),
    ('q10_3x3_comment', 50, 17, 10, ((3,3),(1,1),(1,1)), False, b'Tavrenix'),
    ('q100_1x2', 31, 9, 100, ((1,2),(1,1),(1,1)), False, b''),
    ('q1_1x1', 20, 20, 1, ((1,1),(1,1),(1,1)), False, b''),
]
work = tempfile.mkdtemp()
for name, w, h, q, samp, grey, comment in cases:
    bmp = os.path.join(work, 'golden.bmp')
    write_bmp(bmp, w, h)
    data = encode(bmp, q, samp or ((1,1),(1,1),(1,1)), grey, comment, credit)
    print('        Golden{"%s", %d, %d, %d, {%s}, %s, 0x%016XULL, %du},' % (name, w, h, q,
        ', '.join(str(v) for v in ([1,1,0,0,0,0] if grey else [samp[0][0], samp[0][1], samp[1][0], samp[1][1], samp[2][0], samp[2][1]])),
        '"%s"' % comment.decode() if comment else 'nullptr', fnv(data), len(data)))
