#!/usr/bin/env python3
"""Decodes a picture with Pillow for the tests: writes "width height mode\n" and the pixels
as 8-bit RGB, top row first, to the output file. Exits 1 with a message when Pillow refuses."""
import sys

from PIL import Image


def main() -> int:
    source, target = sys.argv[1], sys.argv[2]
    frame = int(sys.argv[3]) if len(sys.argv) > 3 else 0
    try:
        with Image.open(source) as im:
            im.seek(frame)
            mode = im.mode
            rgb = im.convert("RGB")
            data = rgb.tobytes()
            with open(target, "wb") as out:
                out.write(f"{rgb.width} {rgb.height} {mode}\n".encode())
                out.write(data)
    except Exception as e:  # noqa: BLE001 - every refusal is a test failure to report
        print(f"Pillow cannot read {source}: {e}", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
