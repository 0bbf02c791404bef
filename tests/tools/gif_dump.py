#!/usr/bin/env python3
"""Decodes every frame of a GIF with Pillow for the tests. For each frame it writes the line
"width height mode palette_bytes pixel_bytes\n", then the palette (RGB triples, empty when the
frame is not in "P" mode) and the pixels: colour indexes in "P" mode, RGB triples otherwise.
Exits 1 with a message when Pillow refuses the file."""
import sys

from PIL import GifImagePlugin, Image


def main() -> int:
    source, target = sys.argv[1], sys.argv[2]
    GifImagePlugin.LOADING_STRATEGY = GifImagePlugin.LoadingStrategy.RGB_AFTER_DIFFERENT_PALETTE_ONLY
    try:
        with Image.open(source) as im, open(target, "wb") as out:
            for frame in range(getattr(im, "n_frames", 1)):
                im.seek(frame)
                im.load()
                if im.mode == "P":
                    palette = bytes(im.getpalette() or [])
                    pixels = im.tobytes()
                else:
                    palette = b""
                    pixels = im.convert("RGB").tobytes()
                out.write(f"{im.width} {im.height} {im.mode} {len(palette)} {len(pixels)}\n".encode())
                out.write(palette)
                out.write(pixels)
    except Exception as e:  # noqa: BLE001 - every refusal is a test failure to report
        print(f"Pillow cannot read {source}: {e}", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
