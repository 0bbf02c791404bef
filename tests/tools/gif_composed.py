#!/usr/bin/env python3
"""Decodes every frame of a GIF with Pillow as a viewer shows it: each frame composed over the
ones before it (disposal and transparency honoured) on the whole logical screen. For each frame
it writes "width height duration_ms\n" and the RGB pixels, top row first. Exits 1 with a message
when Pillow refuses the file."""
import sys

from PIL import Image


def main() -> int:
    source, target = sys.argv[1], sys.argv[2]
    try:
        with Image.open(source) as im, open(target, "wb") as out:
            for frame in range(getattr(im, "n_frames", 1)):
                im.seek(frame)
                rgb = im.convert("RGB")
                duration = im.info.get("duration", 0)
                out.write(f"{rgb.width} {rgb.height} {duration}\n".encode())
                out.write(rgb.tobytes())
    except Exception as e:  # noqa: BLE001 - every refusal is a test failure to report
        print(f"Pillow cannot read {source}: {e}", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
