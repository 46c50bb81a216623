"""Peer pipeline for the benchmark comparison: Pillow, as an expert writes it for speed.

usage: pillow_cut.py PICTURE WIDTH HEIGHT X,Y,W,H=OUT.jpg ...

The picture is scaled without keeping its aspect ratio to WIDTH x HEIGHT and each rectangle
is saved as a JPEG at quality 100 with 4:2:0 chroma (as the project writes its parts). A JPEG
is decoded at reduced scale (draft: the largest libjpeg reduction that keeps at least the
target size); the resize is the area-averaging BOX filter, the cheapest of Pillow's filters
and the one closest to the project's halftone mean.
"""
import sys

from PIL import Image


def main(argv):
    picture, width, height = argv[1], int(argv[2]), int(argv[3])
    image = Image.open(picture)
    image.draft("RGB", (width, height))
    image = image.convert("RGB").resize((width, height), Image.BOX)
    for spec in argv[4:]:
        rect, out = spec.split("=", 1)
        x, y, w, h = (int(v) for v in rect.split(","))
        image.crop((x, y, x + w, y + h)).save(out, quality=100, subsampling=2)


if __name__ == "__main__":
    main(sys.argv)
