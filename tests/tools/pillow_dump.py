#!/usr/bin/env python3
"""Decodes every frame of a picture with Pillow for the tests. For each frame it writes the line
"width height mode palette_bytes pixel_bytes duration_ms\n", then the palette (RGB triples, empty
when the frame is not in "P" mode) and the pixels: colour indexes in "P" mode, RGB triples
otherwise. With "composed" as a third argument every frame is given as a viewer shows it instead:
composed over the frames before it (disposal and transparency honoured) on the whole logical
screen, in RGB; the mode then names the frame's stored format. Exits 1 with a message when Pillow
refuses the file."""
import sys

from PIL import GifImagePlugin, Image


def main() -> int:
    source, target = sys.argv[1], sys.argv[2]
    composed = len(sys.argv) > 3 and sys.argv[3] == "composed"
    if not composed:
        GifImagePlugin.LOADING_STRATEGY = (
            GifImagePlugin.LoadingStrategy.RGB_AFTER_DIFFERENT_PALETTE_ONLY)
    try:
        with Image.open(source) as im, open(target, "wb") as out:
            for frame in range(getattr(im, "n_frames", 1)):
                im.seek(frame)
                im.load()
                if im.mode == "P" and not composed:
                    palette = bytes(im.getpalette() or [])
                    pixels = im.tobytes()
                else:
                    palette = b""
                    pixels = im.convert("RGB").tobytes()
                duration = im.info.get("duration", 0)
                out.write(f"{im.width} {im.height} {im.mode} {len(palette)} {len(pixels)} "
                          f"{duration}\n".encode())
                out.write(palette)
                out.write(pixels)
    except Exception as e:  # noqa: BLE001 - every refusal is a test failure to report
        print(f"Pillow cannot read {source}: {e}", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
