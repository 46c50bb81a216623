#!/usr/bin/env python3
"""Writes the seed corpora of the fuzz harnesses into fuzz/corpus/<target>/.

Every seed is a small, valid file of a kind the target reads, made here from first principles
(BMP, GIF with its LZW coder, PNG with zlib, TIFF with its LZW, PackBits and zlib, PCX) or, for
JPEG, by cjpeg from libjpeg-turbo-progs with each coding process it offers, and for WebP by
libwebp's encoder (through ctypes), extended and animated files put together chunk by chunk.
The fuzzer mutates from there, so the seeds cover the variants: every BMP depth, header and
compression, interlaced and transparent GIFs, every PNG colour type and depth, baseline,
progressive, arithmetic and restart-marker JPEGs, TIFF strips and tiles of every kind of
sample, WebP lossy and lossless, with alpha, metadata and animation. Seeds are named seed-*; other files in the folders (inputs that once found a fault,
named regression-*) are kept. The output is the same on every run.

    fuzz/make_corpus.py            # rewrite the seeds
"""

import os
import random
import shutil
import struct
import subprocess
import sys
import tempfile
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
CORPUS = os.path.join(HERE, "corpus")


def pattern(width, height):
    """An asymmetric RGB test pattern: every pixel differs from its mirror images."""
    return [[((x * 37 + y * 11) % 256, (x * 7 + y * 53 + 90) % 256, (x * y * 3 + 30) % 256)
             for x in range(width)] for y in range(height)]


# ---------------------------------------------------------------- BMP

def bmp_file(info_header, table, pixel_bytes, extra_after_header=b""):
    offset = 14 + len(info_header) + len(extra_after_header) + len(table)
    size = offset + len(pixel_bytes)
    return b"BM" + struct.pack("<IHHI", size, 0, 0, offset) + info_header + extra_after_header + table + pixel_bytes


def info_header(width, height, bits, compression=0, size_image=0, colours=0, header_size=40, masks=None):
    h = struct.pack("<IiiHHIIiiII", header_size, width, height, 1, bits, compression, size_image, 2835, 2835,
                    colours, 0)
    if header_size > 40:
        m = list(masks or (0, 0, 0)) + [0]
        h += struct.pack("<IIII", *m)[: header_size - 40]
        h += bytes(header_size - len(h))
    return h


def packed_rows(width, height, bits, index, top_down=False):
    rows = []
    for y in range(height):
        bitstring = 0
        nbits = 0
        row = bytearray()
        for x in range(width):
            bitstring = (bitstring << bits) | index(x, y)
            nbits += bits
            while nbits >= 8:
                nbits -= 8
                row.append((bitstring >> nbits) & 0xFF)
        if nbits:
            row.append((bitstring << (8 - nbits)) & 0xFF)
        while len(row) % 4:
            row.append(0)
        rows.append(bytes(row))
    if not top_down:
        rows.reverse()  # bottom-up: the file's first row is the picture's last
    return b"".join(rows)


def grey_table(count, entry=4):
    return b"".join(bytes((i * 255 // max(count - 1, 1),) * 3) + bytes(entry - 3) for i in range(count))


def rle8(width, height, index):
    out = bytearray()
    for y in reversed(range(height)):
        row = [index(x, y) for x in range(width)]
        x = 0
        while x < width:
            run = 1
            while x + run < width and row[x + run] == row[x] and run < 255:
                run += 1
            if run >= 2:
                out += bytes((run, row[x]))
                x += run
            else:
                n = min(width - x, 255)
                if n >= 3:
                    out += bytes((0, n)) + bytes(row[x:x + n]) + (b"\0" if n % 2 else b"")
                    x += n
                else:
                    out += bytes((1, row[x]))
                    x += 1
        out += b"\0\0"
    return bytes(out) + b"\0\1"


def rle4(width, height, index):
    out = bytearray()
    for n, y in enumerate(reversed(range(height))):
        x = 0
        if n == 0:
            # The bottom row starts with a literal run of three pixels and a delta of one column.
            out += b"\0\3\x12\x30" + b"\0\2\1\0"
            x = 4
        while x < width:
            count = min(width - x, 254)
            out += bytes((count, (index(x, y) << 4) | index(x + 1, y)))
            x += count
        out += b"\0\0"
    return bytes(out[:-2]) + b"\0\1"


def bmp_seeds():
    seeds = {}
    w, h = 13, 7
    px = pattern(w, h)

    def idx(n):
        return lambda x, y: (x * 3 + y * 5) % n

    for bits in (1, 4, 8):
        n = 1 << bits
        seeds[f"rgb{bits}"] = bmp_file(info_header(w, h, bits), grey_table(n), packed_rows(w, h, bits, idx(n)))
    seeds["rgb8-short-table"] = bmp_file(info_header(w, h, 8, colours=20), grey_table(20),
                                         packed_rows(w, h, 8, idx(20)))
    seeds["rgb8-top-down"] = bmp_file(info_header(w, -h, 8), grey_table(256),
                                      packed_rows(w, h, 8, idx(256), top_down=True))
    seeds["core8"] = (lambda hdr: bmp_file(hdr, grey_table(256, 3), packed_rows(w, h, 8, idx(256))))(
        struct.pack("<IHHHH", 12, w, h, 1, 8))
    seeds["core24"] = bmp_file(struct.pack("<IHHHH", 12, w, h, 1, 24), b"",
                               packed_rows(w, h, 24, lambda x, y: int.from_bytes(bytes(px[y][x][::-1]), "big")))

    def rgb24(x, y):
        r, g, b = px[y][x]
        return (b << 16) | (g << 8) | r  # the packer writes big-endian: B, G, R in the file

    seeds["rgb24"] = bmp_file(info_header(w, h, 24), b"", packed_rows(w, h, 24, rgb24))
    seeds["rgb32"] = bmp_file(info_header(w, h, 32), b"", packed_rows(w, h, 32, lambda x, y: rgb24(x, y) << 8))

    def be16(v):
        return ((v & 0xFF) << 8) | (v >> 8)

    def p555(x, y):
        r, g, b = px[y][x]
        return be16(((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3))

    def p565(x, y):
        r, g, b = px[y][x]
        return be16(((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3))

    seeds["rgb16"] = bmp_file(info_header(w, h, 16), b"", packed_rows(w, h, 16, p555))
    seeds["bitfields565"] = bmp_file(info_header(w, h, 16, compression=3), b"", packed_rows(w, h, 16, p565),
                                     struct.pack("<III", 0xF800, 0x07E0, 0x001F))
    seeds["bitfields32-v4"] = bmp_file(
        info_header(w, h, 32, compression=3, header_size=108, masks=(0xFF000000, 0xFF0000, 0xFF00)), b"",
        packed_rows(w, h, 32, lambda x, y: rgb24(x, y) << 8))
    seeds["v5-rgb24"] = bmp_file(info_header(w, h, 24, header_size=124), b"", packed_rows(w, h, 24, rgb24))
    seeds["v3-bitfields16"] = bmp_file(
        info_header(w, h, 16, compression=3, header_size=56, masks=(0x7C00, 0x03E0, 0x001F)), b"",
        packed_rows(w, h, 16, p555))
    data = rle8(w, h, lambda x, y: (x // 4 + y) % 256)
    seeds["rle8"] = bmp_file(info_header(w, h, 8, compression=1, size_image=len(data)), grey_table(256), data)
    data = rle4(w, h, lambda x, y: (x // 3 + y) % 16)
    seeds["rle4"] = bmp_file(info_header(w, h, 4, compression=2, size_image=len(data)), grey_table(16), data)
    return seeds


# ---------------------------------------------------------------- GIF

def lzw(indices, min_code_size):
    """GIF's variable-length LZW (GIF89a appendix F), with a clear code at the start."""
    clear = 1 << min_code_size
    end = clear + 1
    out = bytearray()
    acc = 0
    nbits = 0
    size = min_code_size + 1

    def emit(code):
        nonlocal acc, nbits
        acc |= code << nbits
        nbits += size
        while nbits >= 8:
            out.append(acc & 0xFF)
            acc >>= 8
            nbits -= 8

    table = {(i,): i for i in range(clear)}
    next_code = end + 1
    emit(clear)
    prefix = ()
    for i in indices:
        candidate = prefix + (i,)
        if candidate in table:
            prefix = candidate
            continue
        emit(table[prefix])
        if next_code < 4096:
            table[candidate] = next_code
            next_code += 1
            if next_code > (1 << size) and size < 12:
                size += 1
        else:
            emit(clear)
            table = {(j,): j for j in range(clear)}
            next_code = end + 1
            size = min_code_size + 1
        prefix = (i,)
    if prefix:
        emit(table[prefix])
    emit(end)
    if nbits:
        out.append(acc & 0xFF)
    blocks = bytearray((min_code_size,))
    for k in range(0, len(out), 255):
        chunk = out[k:k + 255]
        blocks += bytes((len(chunk),)) + chunk
    return bytes(blocks) + b"\0"


def gif_palette(bits):
    n = 1 << bits
    return b"".join(bytes(((i * 67) % 256, (i * 151 + 40) % 256, (255 - i * 29) % 256)) for i in range(n))


def gif_image(left, top, w, h, index, bits, interlace=False, local=False):
    rows = list(range(h))
    if interlace:
        rows = list(range(0, h, 8)) + list(range(4, h, 8)) + list(range(2, h, 4)) + list(range(1, h, 2))
    indices = [index(x, y) for y in rows for x in range(w)]
    packed = (0x80 | (bits - 1) if local else 0) | (0x40 if interlace else 0)
    out = b"," + struct.pack("<HHHHB", left, top, w, h, packed)
    if local:
        out += gif_palette(bits)
    return out + lzw(indices, max(bits, 2))


def gif_file(version, sw, sh, bits, body, global_table=True):
    packed = (0x80 | ((bits - 1) << 4) | (bits - 1)) if global_table else 0
    head = b"GIF" + version + struct.pack("<HHBBB", sw, sh, packed, 0, 0)
    if global_table:
        head += gif_palette(bits)
    return head + body + b";"


def gce(transparent):
    return b"!\xF9\x04" + bytes((1 if transparent is not None else 0,)) + b"\x05\x00" + bytes(
        (transparent or 0,)) + b"\0"


def gif_seeds():
    seeds = {}
    w, h = 11, 9

    def idx(n):
        return lambda x, y: (x + 2 * y) % n

    seeds["87a"] = gif_file(b"87a", w, h, 4, gif_image(0, 0, w, h, idx(16), 4))
    seeds["89a-bits1"] = gif_file(b"89a", w, h, 1, gif_image(0, 0, w, h, idx(2), 1))
    seeds["89a-bits8"] = gif_file(b"89a", 20, 17, 8, gif_image(0, 0, 20, 17, lambda x, y: (x * 13 + y) % 256, 8))
    seeds["interlaced"] = gif_file(b"89a", w, 19, 4, gif_image(0, 0, w, 19, idx(16), 4, interlace=True))
    seeds["transparent"] = gif_file(b"89a", w, h, 4, gce(3) + gif_image(0, 0, w, h, idx(16), 4))
    seeds["local-table-offset"] = gif_file(b"89a", 16, 12, 2, gce(None) + gif_image(5, 4, w, h, idx(8), 3, local=True),
                                           global_table=False)
    seeds["partly-off-screen"] = gif_file(b"89a", 8, 6, 4, gif_image(3, 2, w, h, idx(16), 4))
    comment = b"!\xFE\x0Bseed corpus\0"
    app = b"!\xFF\x0BNETSCAPE2.0\x03\x01\x00\x00\0"
    frames = gce(1) + gif_image(0, 0, w, h, idx(16), 4) + gce(2) + gif_image(1, 1, 4, 4, idx(16), 4)
    seeds["animation"] = gif_file(b"89a", w, h, 4, app + comment + frames)
    return seeds


# ---------------------------------------------------------------- PNG

def png_chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)


ADAM7 = ((0, 0, 8, 8), (4, 0, 8, 8), (0, 4, 4, 8), (2, 0, 4, 4), (0, 2, 2, 4), (1, 0, 2, 2), (0, 1, 1, 2))


def png_file(w, h, colour_type, depth, sample, interlace=False, extra=b"", filters=(0, 1, 2, 3, 4)):
    channels = {0: 1, 2: 3, 3: 1, 4: 2, 6: 4}[colour_type]

    def scanlines(xs, ys):
        raw = bytearray()
        for n, y in enumerate(ys):
            bits = 0
            nbits = 0
            row = bytearray()
            for x in xs:
                for value in sample(x, y):
                    bits = (bits << depth) | value
                    nbits += depth
                    while nbits >= 8:
                        nbits -= 8
                        row.append((bits >> nbits) & 0xFF)
            if nbits:
                row.append((bits << (8 - nbits)) & 0xFF)
            # Filter type per row; a "Sub" and "Up" row are encoded for real, the others as None
            # would be too simple for the decoder, so Paeth/Average rows are stored as None.
            kind = filters[n % len(filters)]
            if kind == 1:
                bpp = max(1, channels * depth // 8)
                row = bytearray((row[i] - (row[i - bpp] if i >= bpp else 0)) % 256 for i in range(len(row)))
            elif kind != 0:
                kind = 0
            raw += bytes((kind,)) + row
        return raw

    if interlace:
        raw = bytearray()
        for x0, y0, dx, dy in ADAM7:
            xs = list(range(x0, w, dx))
            ys = list(range(y0, h, dy))
            if xs and ys:
                raw += scanlines(xs, ys)
    else:
        raw = scanlines(range(w), range(h))
    ihdr = struct.pack(">IIBBBBB", w, h, depth, colour_type, 0, 0, 1 if interlace else 0)
    return (b"\x89PNG\r\n\x1a\n" + png_chunk(b"IHDR", ihdr) + extra + png_chunk(b"IDAT", zlib.compress(bytes(raw), 9))
            + png_chunk(b"IEND", b""))


def png_seeds():
    seeds = {}
    w, h = 10, 7
    px = pattern(w, h)
    for depth in (1, 2, 4, 8, 16):
        top = (1 << depth) - 1
        seeds[f"grey{depth}"] = png_file(w, h, 0, depth, lambda x, y: ((x * 5 + y * 3) % (top + 1),))
    for depth in (8, 16):
        scale = 257 if depth == 16 else 1
        seeds[f"rgb{depth}"] = png_file(w, h, 2, depth, lambda x, y: tuple(c * scale for c in px[y][x]))
        seeds[f"grey-alpha{depth}"] = png_file(w, h, 4, depth,
                                               lambda x, y: (px[y][x][0] * scale, (x * 29) % 256 * scale))
        seeds[f"rgba{depth}"] = png_file(w, h, 6, depth,
                                         lambda x, y: tuple(c * scale for c in px[y][x]) + ((y * 40) % 256 * scale,))
    plte = png_chunk(b"PLTE", gif_palette(4))
    for depth in (1, 2, 4, 8):
        seeds[f"palette{depth}"] = png_file(w, h, 3, depth, lambda x, y: ((x + y) % (1 << min(depth, 4)),), extra=plte)
    trns = png_chunk(b"tRNS", bytes((0, 128, 255)))
    seeds["palette-trns"] = png_file(w, h, 3, 4, lambda x, y: ((x + y) % 16,), extra=plte + trns)
    seeds["rgb-trns"] = png_file(w, h, 2, 8, lambda x, y: px[y][x],
                                 extra=png_chunk(b"tRNS", struct.pack(">HHH", *px[0][0])))
    seeds["grey-trns"] = png_file(w, h, 0, 8, lambda x, y: (px[y][x][1],), extra=png_chunk(b"tRNS", b"\0\x5a"))
    seeds["interlaced-rgb"] = png_file(19, 13, 2, 8, lambda x, y: pattern(19, 13)[y][x], interlace=True)
    seeds["interlaced-rgba"] = png_file(19, 13, 6, 8, lambda x, y: pattern(19, 13)[y][x] + ((x * 13) % 256,),
                                        interlace=True)
    text = png_chunk(b"tEXt", b"Comment\0seed corpus") + png_chunk(b"gAMA", struct.pack(">I", 45455))
    seeds["ancillary"] = png_file(w, h, 2, 8, lambda x, y: px[y][x], extra=text)
    return seeds


# ---------------------------------------------------------------- JPEG (cjpeg)

def ppm(width, height, grey=False):
    px = pattern(width, height)
    if grey:
        return b"P5 %d %d 255\n" % (width, height) + bytes(p[0] for row in px for p in row)
    return b"P6 %d %d 255\n" % (width, height) + bytes(c for row in px for p in row for c in p)


JPEG_VARIANTS = {
    # name: (width, height, grey, cjpeg options)
    "baseline-420": (16, 16, False, ["-quality", "80"]),
    "baseline-444-odd": (13, 9, False, ["-sample", "1x1", "-quality", "95"]),
    "baseline-422": (21, 10, False, ["-sample", "2x1"]),
    "baseline-411-restart": (33, 17, False, ["-sample", "4x1", "-restart", "1B"]),
    "baseline-odd-sampling": (17, 23, False, ["-sample", "1x2,1x1,2x1"]),
    "grey": (12, 10, True, ["-grayscale"]),
    "optimized": (16, 8, False, ["-optimize"]),
    "progressive": (24, 18, False, ["-progressive"]),
    "progressive-grey": (9, 9, True, ["-progressive", "-grayscale"]),
    "arithmetic": (16, 16, False, ["-arithmetic"]),
    "arithmetic-progressive": (15, 11, False, ["-arithmetic", "-progressive"]),
    "extended-12bit-tables": (8, 8, False, ["-quality", "5", "-baseline"]),
    "rgb-colourspace": (10, 10, False, ["-rgb"]),
    "smooth-dct-float": (16, 16, False, ["-dct", "float", "-smooth", "20"]),
}


def jpeg_seeds():
    cjpeg = shutil.which("cjpeg")
    if not cjpeg:
        sys.exit("make_corpus.py: cjpeg (Debian package libjpeg-turbo-progs) is needed for the JPEG seeds")
    seeds = {}
    with tempfile.TemporaryDirectory() as tmp:
        for name, (w, h, grey, options) in JPEG_VARIANTS.items():
            source = os.path.join(tmp, name + ".pnm")
            with open(source, "wb") as f:
                f.write(ppm(w, h, grey))
            seeds[name] = subprocess.run([cjpeg, *options, source], check=True, capture_output=True).stdout
    # An Adobe APP14 marker after SOI: the decoder then reads three components as YCbCr with
    # the marker's transform flag, and the CMYK path's marker test sees it.
    adobe = b"\xFF\xEE\x00\x0EAdobe\x00\x64\x00\x00\x00\x00\x01"
    base = seeds["baseline-420"]
    seeds["adobe-marker"] = base[:2] + adobe + base[2:]
    return seeds


# ---------------------------------------------------------------- TIFF

TIFF_SHORT, TIFF_LONG, TIFF_RATIONAL, TIFF_UNDEFINED, TIFF_LONG8 = 3, 4, 5, 7, 16
TIFF_FORMATS = {TIFF_SHORT: "H", TIFF_LONG: "I", TIFF_UNDEFINED: "B", TIFF_LONG8: "Q"}


def tiff_pack(e, kind, values):
    if kind == TIFF_RATIONAL:
        return b"".join(struct.pack(e + "II", n, d) for n, d in values)
    return b"".join(struct.pack(e + TIFF_FORMATS[kind], v) for v in values)


def tiff_container(tags, chunks, little=True, big=False):
    """A one-directory TIFF (BigTIFF when big): the chunks (strips or tiles) after the header,
    then the directory, then the values that do not fit in their entries. `tags` maps a tag to
    (type, values); the offsets and byte counts of the chunks are filled in here."""
    e = "<" if little else ">"
    head = (b"II" if little else b"MM") + struct.pack(e + "H", 43 if big else 42)
    head_size = 16 if big else 8
    offsets, position = [], head_size
    for chunk in chunks:
        offsets.append(position)
        position += len(chunk) + len(chunk) % 2
    data = b"".join(c + b"\0" * (len(c) % 2) for c in chunks)
    offset_kind = TIFF_LONG8 if big else TIFF_LONG
    tiled = 322 in tags
    tags = dict(tags)
    tags[324 if tiled else 273] = (offset_kind, offsets)
    tags[325 if tiled else 279] = (offset_kind, [len(c) for c in chunks])
    directory = position
    entry_size, count_format, inline = (20, "Q", 8) if big else (12, "I", 4)
    count_size = 8 if big else 2
    extra_at = directory + count_size + entry_size * len(tags) + inline
    entries, extra = b"", b""
    for tag in sorted(tags):
        kind, values = tags[tag]
        packed = values if isinstance(values, bytes) else tiff_pack(e, kind, values)
        entry = struct.pack(e + "HH" + count_format, tag, kind, len(values))
        if len(packed) <= inline:
            entry += packed + b"\0" * (inline - len(packed))
        else:
            entry += struct.pack(e + count_format, extra_at + len(extra))
            extra += packed + b"\0" * (len(packed) % 2)
        entries += entry
    if big:
        head += struct.pack(e + "HHQ", 8, 0, directory)
        directory_bytes = struct.pack(e + "Q", len(tags)) + entries + struct.pack(e + "Q", 0)
    else:
        head += struct.pack(e + "I", directory)
        directory_bytes = struct.pack(e + "H", len(tags)) + entries + struct.pack(e + "I", 0)
    return head + data + directory_bytes + extra


def tiff_lzw(data):
    """TIFF's LZW (MSB-first codes of 9 to 12 bits), switching widths where libtiff's coder does."""
    out, acc, pending = bytearray(), 0, 0
    width = 9

    def emit(code):
        nonlocal acc, pending
        acc = (acc << width) | code
        pending += width
        while pending >= 8:
            pending -= 8
            out.append((acc >> pending) & 0xFF)

    table, free = {bytes((i,)): i for i in range(256)}, 258
    emit(256)
    current = b""
    for byte in data:
        longer = current + bytes((byte,))
        if longer in table:
            current = longer
            continue
        emit(table[current])
        table[longer] = free
        free += 1
        if free == 4094:
            emit(256)
            table, free, width = {bytes((i,)): i for i in range(256)}, 258, 9
        elif free > (1 << width) - 1:
            width += 1
        current = bytes((byte,))
    if current:
        emit(table[current])
        free += 1
        if free > (1 << width) - 1 and width < 12:
            width += 1
    emit(257)
    if pending:
        out.append((acc << (8 - pending)) & 0xFF)
    return bytes(out)


def packbits(data):
    """PackBits with literal runs only: valid, and each run at most 128 bytes."""
    return b"".join(bytes((len(data[i:i + 128]) - 1,)) + data[i:i + 128] for i in range(0, len(data), 128))


def tiff_samples(w, h, kind):
    """Per pixel sample lists of the pattern: grey, RGB, RGBA, grey+alpha, CMYK, CMYK+alpha."""
    px = pattern(w, h)
    alphas = (255, 0, 128, 51, 1, 254)
    rows = []
    for y, row in enumerate(px):
        out = []
        for x, (r, g, b) in enumerate(row):
            a = alphas[(x + 2 * y) % 6]
            out.append({"grey": [r], "grey+a": [r, a], "rgb": [r, g, b], "rgba": [r, g, b, a],
                        "premultiplied": [r * a // 255, g * a // 255, b * a // 255, a],
                        "cmyk": [255 - r, 255 - g, 255 - b, (r * g) % 64],
                        "cmyk+a": [255 - r, 255 - g, 255 - b, 0, a]}[kind])
        rows.append(out)
    return rows


def tiff_pack_row(pixels, bits, e, plane=None):
    values = [v for p in pixels for i, v in enumerate(p) if plane is None or i == plane]
    if bits == 16:
        return b"".join(struct.pack(e + "H", v * 257) for v in values)
    if bits == 8:
        return bytes(values)
    acc, pending, out = 0, 0, bytearray()
    for v in values:
        acc = (acc << bits) | (v >> (8 - bits))
        pending += bits
        if pending == 8:
            out.append(acc)
            acc, pending = 0, 0
    if pending:
        out.append(acc << (8 - pending))
    return bytes(out)


def tiff_picture(w, h, kind, photometric, bits=8, little=True, big=False, tile=None, planar=False, rows_per_strip=3,
         compression=1, extra_samples=None, more_tags=None):
    e = "<" if little else ">"
    rows = tiff_samples(w, h, kind)
    spp = len(rows[0][0])
    planes = list(range(spp)) if planar else [None]
    encode = {1: lambda d: d, 5: tiff_lzw, 8: zlib.compress, 32773: packbits}[compression]
    chunks = []
    for plane in planes:
        if tile:
            for ty in range(0, h, tile):
                for tx in range(0, w, tile):
                    block = b""
                    for y in range(ty, ty + tile):
                        pixels = [rows[y][x] if y < h and x < w else [0] * spp for x in range(tx, tx + tile)]
                        block += tiff_pack_row(pixels, bits, e, plane)
                    chunks.append(encode(block))
        else:
            for y0 in range(0, h, rows_per_strip):
                chunks.append(encode(b"".join(tiff_pack_row(rows[y], bits, e, plane)
                                              for y in range(y0, min(h, y0 + rows_per_strip)))))
    tags = {256: (TIFF_LONG, [w]), 257: (TIFF_LONG, [h]), 258: (TIFF_SHORT, [bits] * spp),
            259: (TIFF_SHORT, [compression]), 262: (TIFF_SHORT, [photometric]), 277: (TIFF_SHORT, [spp]),
            282: (TIFF_RATIONAL, [(72, 1)]), 283: (TIFF_RATIONAL, [(72, 1)]), 284: (TIFF_SHORT, [2 if planar else 1])}
    if tile:
        tags[322] = (TIFF_LONG, [tile])
        tags[323] = (TIFF_LONG, [tile])
    else:
        tags[278] = (TIFF_LONG, [rows_per_strip])
    if extra_samples is not None:
        tags[338] = (TIFF_SHORT, [extra_samples])
    if photometric == 3:
        n = 1 << bits
        tags[320] = (TIFF_SHORT, [((i * 73 + 10) % 256) * 257 for i in range(n)] +
                     [((i * 151 + 200) % 256) * 257 for i in range(n)] + [((i * 29 + 90) % 256) * 257 for i in range(n)])
    tags.update(more_tags or {})
    return tiff_container(tags, chunks, little, big)


def jpeg_size(stream):
    """Width and height from the first SOF marker of a JPEG stream."""
    i = 2
    while i < len(stream):
        marker, length = stream[i + 1], struct.unpack(">H", stream[i + 2:i + 4])[0]
        if 0xC0 <= marker <= 0xCF and marker not in (0xC4, 0xC8, 0xCC):
            height, width = struct.unpack(">HH", stream[i + 5:i + 9])
            return width, height
        i += 2 + length
    raise ValueError("no SOF marker")


def tiff_seeds(jpeg):
    seeds = {
        "le-rgb8-strips": tiff_picture(11, 7, "rgb", 2),
        "be-rgb8-strips": tiff_picture(11, 7, "rgb", 2, little=False),
        "bigtiff-le-rgb8": tiff_picture(9, 5, "rgb", 2, big=True),
        "bigtiff-be-grey8-tiled": tiff_picture(20, 17, "grey", 1, big=True, little=False, tile=16),
        "grey1": tiff_picture(19, 5, "grey", 1, bits=1),
        "grey4-min-is-white": tiff_picture(13, 6, "grey", 0, bits=4),
        "grey16": tiff_picture(7, 5, "grey", 1, bits=16),
        "grey8-alpha": tiff_picture(8, 6, "grey+a", 1, extra_samples=2),
        "palette4": tiff_picture(15, 6, "grey", 3, bits=4),
        "palette8-lzw": tiff_picture(12, 9, "grey", 3, compression=5),
        "rgb8-lzw": tiff_picture(16, 12, "rgb", 2, compression=5, rows_per_strip=12),
        "rgb8-deflate-tiled": tiff_picture(20, 18, "rgb", 2, compression=8, tile=16),
        "rgb8-packbits": tiff_picture(10, 7, "rgb", 2, compression=32773),
        "rgb16-planar": tiff_picture(6, 5, "rgb", 2, bits=16, planar=True),
        "rgba8-unassociated-tiled": tiff_picture(17, 16, "rgba", 2, tile=16, extra_samples=2),
        "rgba8-associated": tiff_picture(9, 7, "premultiplied", 2, extra_samples=1),
        "rgba16-unassociated": tiff_picture(5, 4, "rgba", 2, bits=16, extra_samples=2),
        "cmyk8": tiff_picture(10, 6, "cmyk", 5),
        "cmyk8-tiled-deflate": tiff_picture(18, 16, "cmyk", 5, tile=16, compression=8),
        "cmyk8-planar": tiff_picture(7, 5, "cmyk", 5, planar=True),
        "cmyk8-alpha": tiff_picture(6, 6, "cmyk+a", 5, extra_samples=2),
        "rgb8-orientation-6": tiff_picture(5, 3, "rgb", 2, more_tags={274: (TIFF_SHORT, [6])}),
    }
    # JPEG in TIFF: one strip holding a whole 4:2:0 JPEG stream, as libtiff writes YCbCr JPEG.
    stream = jpeg["baseline-420"]
    w, h = jpeg_size(stream)
    seeds["jpeg-ycbcr-420"] = tiff_container({
        256: (TIFF_LONG, [w]), 257: (TIFF_LONG, [h]), 258: (TIFF_SHORT, [8, 8, 8]), 259: (TIFF_SHORT, [7]),
        262: (TIFF_SHORT, [6]), 277: (TIFF_SHORT, [3]), 278: (TIFF_LONG, [h]), 284: (TIFF_SHORT, [1]),
        530: (TIFF_SHORT, [2, 2])}, [stream])
    return seeds


# ---------------------------------------------------------------- WebP (libwebp's encoder)

def libwebp():
    import ctypes
    import ctypes.util
    name = ctypes.util.find_library("webp")
    if not name:
        sys.exit("make_corpus.py: libwebp (Debian package libwebp-dev) is needed for the WebP seeds")
    lib = ctypes.CDLL(name)
    for f in ("WebPEncodeRGBA", "WebPEncodeLosslessRGBA"):
        getattr(lib, f).restype = ctypes.c_size_t
    return lib, ctypes


def webp_encode(w, h, alpha, lossless, quality=75):
    lib, ctypes = libwebp()
    px = pattern(w, h)
    alphas = (255, 0, 128, 51, 1, 254)
    rgba = bytes(v for y, row in enumerate(px) for x, p in enumerate(row)
                 for v in (*p, alphas[(x + 2 * y) % 6] if alpha else 255))
    out = ctypes.POINTER(ctypes.c_uint8)()
    if lossless:
        size = lib.WebPEncodeLosslessRGBA(rgba, w, h, w * 4, ctypes.byref(out))
    else:
        size = lib.WebPEncodeRGBA(rgba, w, h, w * 4, ctypes.c_float(quality), ctypes.byref(out))
    data = ctypes.string_at(out, size)
    lib.WebPFree(out)
    return data


def riff_chunk(fourcc, payload):
    return fourcc + struct.pack("<I", len(payload)) + payload + b"\0" * (len(payload) % 2)


def webp_file(chunks):
    body = b"WEBP" + b"".join(chunks)
    return b"RIFF" + struct.pack("<I", len(body)) + body


def le24(v):
    return struct.pack("<I", v)[:3]


def vp8x(flags, w, h):
    return riff_chunk(b"VP8X", bytes((flags, 0, 0, 0)) + le24(w - 1) + le24(h - 1))


def anmf(x, y, w, h, image_chunk, flags=0):
    return riff_chunk(b"ANMF", le24(x // 2) + le24(y // 2) + le24(w - 1) + le24(h - 1) + le24(80) + bytes((flags,))
                      + image_chunk)


def webp_seeds():
    still = lambda w, h, alpha, lossless: webp_encode(w, h, alpha, lossless)[12:]  # the image chunks
    exif = b"MM\0*" + struct.pack(">IHHHII", 8, 1, 0x0112, 3, 1, 6 << 16) + b"\0\0\0\0"
    icc = b"\0" * 128  # a profile header's worth, not a usable profile
    anim = riff_chunk(b"ANIM", struct.pack("<IH", 0xFF808080, 0))
    return {
        "lossless": webp_encode(13, 11, False, True),
        "lossless-alpha": webp_encode(13, 11, True, True),
        "lossy": webp_encode(16, 16, False, False),
        "lossy-alpha": webp_encode(15, 9, True, False),
        "extended-exif-icc": webp_file([vp8x(0x28, 7, 5), riff_chunk(b"ICCP", icc), still(7, 5, False, True),
                                        riff_chunk(b"EXIF", exif)]),
        "animation": webp_file([vp8x(0x12, 12, 10), anim, anmf(2, 2, 6, 5, still(6, 5, True, True)),
                                anmf(0, 0, 12, 10, still(12, 10, False, False), flags=1)]),
    }


# ---------------------------------------------------------------- header-only formats

def pcx(w, h, bits, planes):
    head = struct.pack("<BBBBHHHHHH", 10, 5, 1, bits, 0, 0, w - 1, h - 1, 72, 72)
    head += bytes(48) + bytes((0, planes)) + struct.pack("<HH", (w * bits + 15) // 16 * 2, 1) + bytes(58)
    return head + bytes(16)


def tiff(little, w, h, bits_per_sample):
    e = "<" if little else ">"
    entries = []
    extra = b""
    count = len(bits_per_sample)
    entries.append(struct.pack(e + "HHII", 256, 4, 1, w))
    entries.append(struct.pack(e + "HHI", 257, 3, 1) + struct.pack(e + "HH", h, 0))
    directory = 8
    end_of_directory = directory + 2 + 12 * 3 + 4
    if count == 1:
        entries.append(struct.pack(e + "HHI", 258, 3, 1) + struct.pack(e + "HH", bits_per_sample[0], 0))
    else:
        entries.append(struct.pack(e + "HHII", 258, 3, count, end_of_directory))
        extra = b"".join(struct.pack(e + "H", b) for b in bits_per_sample)
    head = (b"II*\0" if little else b"MM\0*") + struct.pack(e + "I", directory)
    return head + struct.pack(e + "H", len(entries)) + b"".join(entries) + b"\0\0\0\0" + extra


def header_seeds():
    return {
        "pcx-8bit": pcx(40, 30, 8, 1),
        "pcx-24bit": pcx(7, 300, 8, 3),
        "tiff-le-rgb": tiff(True, 640, 480, (8, 8, 8)),
        "tiff-be-grey": tiff(False, 33, 2, (8,)),
        "tiff-le-grey16": tiff(True, 1, 1, (16,)),
        "jpeg-after-junk": b"junk before the picture\0" + jpeg_seeds()["grey"],
    }


# ---------------------------------------------------------------- encoder inputs

def encoder_seeds():
    rng = random.Random(20240601)
    seeds = {}

    def le16(v):
        return struct.pack("<H", v)

    # width-1, height-1 (mod 300), quality byte, six factors, comment length and text, pixels.
    layouts = {
        "default-16x16": (15, 15, 74, (2, 2, 1, 1, 1, 1), b""),
        "grey-1x1": (0, 0, 99, (1, 1, 0, 0, 0, 0), b""),
        "444-300x1": (299, 0, 49, (1, 1, 1, 1, 1, 1), b"comment"),
        "odd-factors": (36, 52, 9, (3, 1, 1, 2, 4, 4), b""),
        "max-factors-300": (299, 299, 0, (4, 4, 4, 4, 4, 4), b""),
        "invalid-factor": (20, 20, 90, (5, 1, 1, 1, 1, 1), b""),
        "quality-out-of-range": (7, 3, 250, (2, 1, 1, 1, 1, 1), b"caf\xc3\xa9"),
        "comment-not-1252": (4, 4, 50, (1, 1, 1, 1, 1, 1), "\u4e2d".encode()),
    }
    for name, (w, h, q, factors, comment, ) in layouts.items():
        head = le16(w) + le16(h) + bytes((q,)) + bytes(factors) + bytes((len(comment),)) + comment
        seeds[name] = head + bytes(rng.randrange(256) for _ in range(rng.randrange(1, 700)))
    seeds["flat-white"] = le16(63) + le16(47) + bytes((99, 2, 2, 1, 1, 1, 1, 0)) + b"\xff"
    seeds["checkerboard"] = le16(31) + le16(31) + bytes((99, 1, 1, 1, 1, 1, 1, 0)) + b"\0\0\0\xff\xff\xff" * 3
    return seeds


# ---------------------------------------------------------------- output

def write(target, seeds):
    folder = os.path.join(CORPUS, target)
    os.makedirs(folder, exist_ok=True)
    for name in os.listdir(folder):
        if name.startswith("seed-"):
            os.remove(os.path.join(folder, name))
    for name, data in sorted(seeds.items()):
        with open(os.path.join(folder, "seed-" + name), "wb") as f:
            f.write(data)
    print(f"{target}: {len(seeds)} seeds, {sum(map(len, seeds.values()))} bytes")


def main():
    bmp, gif, png, jpeg = bmp_seeds(), gif_seeds(), png_seeds(), jpeg_seeds()
    write("picture_bmp", bmp)
    write("picture_gif", gif)
    write("picture_png", png)
    write("picture_jpeg", jpeg)
    tiff_, webp = tiff_seeds(jpeg), webp_seeds()
    write("picture_tiff", tiff_)
    write("picture_webp", webp)
    every = {}
    for prefix, seeds in (("bmp-", bmp), ("gif-", gif), ("png-", png), ("jpeg-", jpeg)):
        every.update({prefix + name: data for name, data in seeds.items()})
    write("load_picture", {**every, **{"tiff-" + n: d for n, d in tiff_.items()},
                           **{"webp-" + n: d for n, d in webp.items()}})
    write("picture_reader", every)
    write("cls_image", {**every, **header_seeds()})
    ozj = {name: data[:24] + data for name, data in jpeg.items()}
    ozj["too-short"] = b"\xFF\xD8" * 20
    write("ozj_unwrap", ozj)
    write("cjpeg", encoder_seeds())


if __name__ == "__main__":
    main()
