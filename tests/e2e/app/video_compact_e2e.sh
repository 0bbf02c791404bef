#!/usr/bin/env bash
# The compact video as a user makes it, with "GIF (компактный)" chosen and the cursor drawn:
# Shift+Scroll_Lock, the screen turns from red to blue while the cursor moves and a still shot is
# taken, Shift+Scroll_Lock again; video_N.gif appears at once, with no temporary file left; Pillow
# and giflib read a looping animation whose first frame is the whole screen and whose later frames
# are smaller rectangles kept over the frames before them, whose corner is red, then blue, whose
# delays (never below 2 cs) add up to the time recorded. Then a window dragged across a plain
# desktop while lines are printed: the last frame shows the final screen. Then a folder on a file
# system too small for the first frame: the error is shown, nothing is left behind, and the key
# starts a new recording.
#
#   video_compact_e2e.sh FOTOKRAN ARTIFACTS      (run inside with-xvfb --wm)
set -u
program=$1
artifacts=$2
here=$(dirname "$0")
. "$here/e2e_lib.sh"

name=video_compact_e2e
. "$here/video_e2e_lib.sh"

now_ms() { date +%s%3N; }

# The number of frames as large as the screen among the whole frames of a GIF file being written
# (its header not yet there), read with the file's own block structure.
whole_frames() {
  /usr/bin/python3 - "$1" "$screen_w" "$screen_h" <<'PY'
import struct, sys
data = open(sys.argv[1], "rb").read()
w, h = int(sys.argv[2]), int(sys.argv[3])
def blocks(p):
    while p < len(data) and data[p]:
        p += 1 + data[p]
    return p + 1
p, whole = 13, 0
while p < len(data):
    if data[p] == 0x21:
        p = blocks(p + 2)
    elif data[p] == 0x2C and p + 10 <= len(data):
        fw, fh, packed = *struct.unpack("<HH", data[p + 5:p + 9]), data[p + 9]
        p += 10 + (3 << ((packed & 7) + 1) if packed & 0x80 else 0)
        p = blocks(p + 1)
        if p <= len(data) and (fw, fh) == (w, h):
            whole += 1
    else:
        break
print(whole)
PY
}

frames_part() { find "$work/shots" -name '.video_4.gif.*.part' | grep .; }

# The cursor is drawn into the frames; each look moves it, so that the screen shown before is
# followed by another one and its frame, whose end is then known, is written. It stays away from
# the main window and from the corner that is checked.
moves=0
move_cursor() {
  moves=$((moves + 1))
  xdotool mousemove $((screen_w - 60 + moves % 2 * 9)) $((screen_h - 60 + moves % 2 * 5))
}
whole_frames_written() {
  move_cursor
  local part
  part=$(frames_part) || return 1
  [ "$(whole_frames "$part")" -ge "$1" ]
}

read -r screen_w screen_h < <(xdpyinfo | sed -n 's/.*dimensions: *\([0-9]*\)x\([0-9]*\) pixels.*/\1 \2/p')

# ---- a compact video of a screen that turns from red to blue ----
write_config "$work/shots" 4 1 20
printf '[ShootSettings]\nCaptureCursor=1\n' >>"$work/bin/config.ini"
start_program
xsetroot -solid '#ff0000'
started=$(now_ms)
xdotool key shift+Scroll_Lock
wait_until 20 frames_part || fail "no file of the video while it records"
# The red screen is the first frame: the screen turns blue only once that frame is written.
wait_until 30 whole_frames_written 1 || fail "the first frame (the whole red screen) was not written"
first_written=$(now_ms)
# A still shot taken while recording is a picture of its own, numbered after the video.
xdotool key Print
wait_until 20 test -s "$work/shots/shot_005.bmp" || fail "no still shot_005.bmp while recording"
[ "$(bmp_size "$work/shots/shot_005.bmp")" = "$screen_w $screen_h" ] || fail "shot_005.bmp size"
xsetroot -solid '#0000ff'
wait_until 30 whole_frames_written 2 || fail "the frame of the blue screen was not written"
stopped=$(now_ms)
xdotool key shift+Scroll_Lock
wait_until 10 test -s "$work/shots/video_4.gif" || fail "no video_4.gif within 10 s of the stop"
named=$(now_ms)
wait_until 5 test ! -e "$work/shots/video_4.gif.tmp" || fail "the frame store is still there"
[ "$(find "$work/shots" -name '*.part' | wc -l)" = 0 ] || fail "an unfinished file was left"
cp "$work/shots/video_4.gif" "$artifacts/video_compact_e2e.gif"

# The recording began between the start press and the first frame's writing, and ended between
# the stop press and the video's appearance.
/usr/bin/python3 - "$work/shots/video_4.gif" "$screen_w" "$screen_h" \
  "$((stopped - first_written))" "$((named - started))" >"$work/pillow" 2>&1 <<'PY' ||
import sys
from PIL import Image
path, w, h, shortest, longest = sys.argv[1], *map(int, sys.argv[2:])
im = Image.open(path)
assert im.size == (w, h), f"size {im.size}, screen {w}x{h}"
assert im.info.get("loop") == 0, f"loop {im.info.get('loop')}"
colours, total = [], 0
for n in range(im.n_frames):
    im.seek(n)
    duration = im.info.get("duration")
    assert duration >= 20, f"frame {n} lasts {duration} ms"
    total += duration
    colours.append(im.convert("RGB").getpixel((w - 1, h - 1)))
runs = [c for i, c in enumerate(colours) if i == 0 or c != colours[i - 1]]
assert runs == [(255, 0, 0), (0, 0, 255)], f"corner colours in frame order: {runs}"
# Delays are in hundredths, the rounding carried.
assert shortest - 10 <= total <= longest + 10, \
    f"the frames last {total} ms; the recording lasted between {shortest} and {longest} ms"
print(im.n_frames, total)
PY
  fail "Pillow: $(cat "$work/pillow")"
read -r frames total < <(tail -n1 "$work/pillow")

giftext "$work/shots/video_4.gif" >"$work/giftext" 2>&1 || fail "giftext refused the video"
grep -q 'terminated normally' "$work/giftext" || fail "giftext finds no proper end"
[ "$(grep -c '^Image #' "$work/giftext")" = "$frames" ] || fail "giftext counts other images"
[ "$(grep -c 'Disposal Mode: 1' "$work/giftext")" = "$frames" ] || fail "a frame is disposed of"
grep -A2 '^Image #1:' "$work/giftext" | grep -q "Left = 0, Top = 0, Width = $screen_w, Height = $screen_h" ||
  fail "the first frame is not the whole screen"
grep -q 'Transparency on: yes' "$work/giftext" || fail "no frame keeps the pixels before it"
grep "Image Size" "$work/giftext" | tail -n +2 | grep -vq "Width = $screen_w, Height = $screen_h" ||
  fail "no later frame is smaller than the screen"
gif2rgb -1 -o "$work/rgb" "$work/shots/video_4.gif" 2>"$work/gif2rgb" ||
  fail "gif2rgb refused the video: $(cat "$work/gif2rgb")"

xdotool key Print
wait_until 10 test -s "$work/shots/shot_006.bmp" || fail "the next shot is not shot_006.bmp"
close_program
grep -qx "VideoType=1" "$work/bin/config.ini" || fail "config.ini does not keep VideoType=1"

# ---- a window dragged across a plain desktop while lines are printed ----
# A frame is written once two more screens have followed it, so each wait moves the drawn cursor
# in the bottom right corner (left out of the comparison) until the file grows. Once all is still
# and the file has grown four times more, the last frame shows the screen: no stale pixels (the
# desktop's colour shown more than 30 levels off), and a PSNR of at least 36.8 dB.
xsetroot -solid '#3a5f7f'
write_config "$work/shots" 8 1 10
printf '[ShootSettings]\nCaptureCursor=1\n' >>"$work/bin/config.ini"
start_program
xmessage -name fkdrag -geometry 420x160+200+420 "report.ods: a window dragged across the desktop" &
wait_until 10 window_named fkdrag || fail "the window to drag did not show"
drag=$(window_named fkdrag)
part_size() { local f; f=$(find "$work/shots" -name '.video_8.gif.*.part' | head -n1); stat -c %s "$f" 2>/dev/null || echo 0; }
grown() { move_cursor; [ "$(part_size)" -gt "$1" ]; }
xdotool key shift+Scroll_Lock
wait_until 20 grown 0 || fail "the dragged-window video was not started"
lines=()
for step in $(seq 1 18); do
  before=$(part_size)
  if [ "$step" -le 14 ]; then
    xdotool windowmove "$drag" $((200 + 70 * step)) $((420 - 15 * step))
    if [ $((step % 3)) = 0 ]; then
      xmessage -name "fkline$step" -geometry 600x30+60+$((60 + 8 * step)) "\$ make -j2 [$step/14] Building CXX object" &
      lines+=($!)
    fi
  fi
  wait_until 20 grown "$before" || fail "step $step of the drag made no frame"
done
import -window root "$work/final.png" || fail "cannot take the final screen"
xdotool key shift+Scroll_Lock
wait_until 10 test -s "$work/shots/video_8.gif" || fail "no video_8.gif within 10 s of the stop"
cp "$work/shots/video_8.gif" "$artifacts/video_compact_drag_e2e.gif"
/usr/bin/python3 - "$work/shots/video_8.gif" "$work/final.png" $((screen_w - 80)) $((screen_h - 80)) >"$work/last" 2>&1 <<'PY' ||
import math, sys
from PIL import Image
im = Image.open(sys.argv[1])
im.seek(im.n_frames - 1)
shown = im.convert("RGB").tobytes()
screen = Image.open(sys.argv[2]).convert("RGB").tobytes()
assert len(shown) == len(screen), "the last frame is not the screen's size"
w, cx, cy = im.size[0], int(sys.argv[3]), int(sys.argv[4])
squares, stale = 0, 0
for i in range(0, len(screen), 3):
    if i // 3 % w >= cx and i // 3 // w >= cy:
        continue  # the cursor
    d = [shown[i + k] - screen[i + k] for k in range(3)]
    squares += sum(v * v for v in d)
    if screen[i:i + 3] == bytes((0x3a, 0x5f, 0x7f)) and max(map(abs, d)) > 30:
        stale += 1
psnr = 99 if squares == 0 else 10 * math.log10(255 ** 2 * len(screen) / squares)
assert stale == 0, f"{stale} stale pixels in the last frame"
assert psnr >= 36.8, f"the last frame's PSNR is {psnr:.2f} dB"
print(f"{im.n_frames} frames, last frame {psnr:.2f} dB")
PY
  fail "the last frame of the dragged window: $(cat "$work/last")"
kill "${lines[@]}" 2>/dev/null
xdotool windowkill "$drag" 2>/dev/null
close_program

# ---- a folder on a file system too small for the first frame ----
if ! mount_tiny 8192; then
  echo "compact video e2e: cannot mount a tmpfs here; the full-disk case is skipped" >&2
  echo "compact video e2e: all other checks passed ($frames frames, $total ms)"
  exit 0
fi
xsetroot -solid '#336699'
write_config "$tiny" 0 1 20
start_program
# The compact entry writes a frame once the screen changes after it: the desktop keeps changing.
(while xsetroot -solid '#336699' && xsetroot -solid '#446699'; do :; done) 2>/dev/null &
changing=$!
expect_full_disk_twice
kill "$changing"
close_program
echo "compact video e2e: all checks passed ($frames frames, $total ms)"
