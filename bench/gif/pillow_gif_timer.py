#!/usr/bin/env python3
"""Times Pillow's GIF saves of one picture in this process, start-up and loading left out.

usage: pillow_gif_timer.py PICTURE OUT.gif RUNS
Prints one line per kind, "KIND MEDIAN_MS BYTES":
  octree  quantize(256, FASTOCTREE, FLOYDSTEINBERG) + GIF save
  mono    convert("1") + GIF save
  gray    convert("L") + GIF save
"""

import os
import sys
import time

from PIL import Image


def median_ms(work, runs):
    work()  # warm-up
    times = []
    for _ in range(runs):
        start = time.perf_counter()
        work()
        times.append((time.perf_counter() - start) * 1000.0)
    times.sort()
    return times[len(times) // 2]


def main():
    picture, out, runs = sys.argv[1], sys.argv[2], int(sys.argv[3])
    image = Image.open(picture)
    image.load()
    image = image.convert("RGB")
    kinds = {
        "octree": lambda: image.quantize(
            256, Image.Quantize.FASTOCTREE, dither=Image.Dither.FLOYDSTEINBERG
        ).save(out, "GIF"),
        "mono": lambda: image.convert("1").save(out, "GIF"),
        "gray": lambda: image.convert("L").save(out, "GIF"),
    }
    for name, work in kinds.items():
        ms = median_ms(work, runs)
        print(f"{name} {ms:.3f} {os.path.getsize(out)}", flush=True)


if __name__ == "__main__":
    main()
