#!/usr/bin/env python3
"""Checks pictures for the Wayland end-to-end test with Pillow.
  pictures.py same A B exact|mean:N   A equals B pixel for pixel, or differs by at most N on average
  pictures.py colour A X Y            prints the colour at (X, Y) as rrggbb
  pictures.py video A X Y C1 C2       A has two frames or more, the first showing about colour C1
                                      at (X, Y) and the last C2 (rrggbb; the palette may move them)
Exits 1 with a message when the check fails."""
import sys

from PIL import Image, ImageChops, ImageStat


def same(a, b, how):
    with Image.open(a) as x, Image.open(b) as y:
        x, y = x.convert("RGB"), y.convert("RGB")
        if x.size != y.size:
            sys.exit(f"{a} is {x.size}, {b} is {y.size}")
        diff = ImageChops.difference(x, y)
        if how == "exact":
            if diff.getbbox():
                sys.exit(f"{a} and {b} differ within {diff.getbbox()}")
            return
        mean = sum(ImageStat.Stat(diff).mean) / 3
        if mean > float(how.split(":")[1]):
            sys.exit(f"{a} and {b} differ by {mean:.2f} on average")


def near(colour, text):
    return max(abs(c - int(text[i:i + 2], 16)) for i, c in zip((0, 2, 4), colour)) <= 48


def video(path, x, y, want_first, want_last):
    with Image.open(path) as im:
        frames = getattr(im, "n_frames", 1)
        first = im.convert("RGB").getpixel((int(x), int(y)))
        im.seek(frames - 1)
        last = im.convert("RGB").getpixel((int(x), int(y)))
    if frames < 2 or not near(first, want_first) or not near(last, want_last):
        sys.exit(f"{path}: {frames} frames, from {first} to {last}")


if __name__ == "__main__":
    what = sys.argv[1]
    if what == "same":
        same(*sys.argv[2:5])
    elif what == "colour":
        with Image.open(sys.argv[2]) as im:
            print("%02x%02x%02x" % im.convert("RGB").getpixel((int(sys.argv[3]), int(sys.argv[4]))))
    elif what == "video":
        video(*sys.argv[2:7])
