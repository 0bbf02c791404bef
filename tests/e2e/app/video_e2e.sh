#!/usr/bin/env bash
# The video as a user makes it: Shift+Scroll_Lock, the screen changes, Shift+Scroll_Lock again;
# video_N.gif appears, giflib and Pillow read a looping animation of the screen with the
# slider's delay whose frames show the screen in order, the temporary file is gone, and the
# next still shot's number has moved on once. Then a folder on a tiny file system: the recording
# fails, the error is shown, nothing is left behind, and the key starts a new recording.
#
#   video_e2e.sh FOTOKRAN ARTIFACTS      (run inside with-xvfb --wm)
set -u
program=$1
artifacts=$2
here=$(dirname "$0")
. "$here/e2e_lib.sh"

name=video_e2e
. "$here/video_e2e_lib.sh"

read -r screen_w screen_h < <(xdpyinfo | sed -n 's/.*dimensions: *\([0-9]*\)x\([0-9]*\) pixels.*/\1 \2/p')

# ---- a video of a screen that turns from red to blue ----
write_config "$work/shots" 4 0 20
start_program
# Each frame is an uncompressed record of more than 4 bytes a pixel's worth: two more records
# than a size seen means one frame at least grabbed wholly after it.
record_bytes=$((screen_w * screen_h * 4 + 1024))
frames_file="$work/shots/video_4.gif.tmp"
xsetroot -solid '#ff0000'
xdotool key shift+Scroll_Lock
wait_until 10 test -s "$frames_file" || fail "no temporary file of frames"
wait_until 20 file_size_at_least $((2 * record_bytes)) "$frames_file" || fail "no red frames recorded"
xsetroot -solid '#0000ff'
blue_from=$(stat -c %s "$frames_file")
wait_until 20 file_size_at_least $((blue_from + 2 * record_bytes)) "$frames_file" ||
  fail "no blue frames recorded"
xdotool key shift+Scroll_Lock
# A click on "Снимок экрана" while the frames are assembled goes nowhere.
part_exists() { [ -n "$(find "$work/shots" -name '.video_4.gif.*.part')" ]; }
clicked=0
if wait_until 20 part_exists; then
  click_in "$main" $((272 + 42)) $((268 + 18))
  part_exists && clicked=1
fi
wait_until 120 test -s "$work/shots/video_4.gif" || fail "no video_4.gif"
wait_until 10 test ! -e "$work/shots/video_4.gif.tmp" || fail "the temporary file is still there"
[ "$(find "$work/shots" -name '*.part' | wc -l)" = 0 ] || fail "an unfinished file was left"

# Pillow: the screen's size, looping for ever, 300 ms a frame (slider 20: 50 - 20 = 30),
# and a corner that is red in the first frames and blue from some frame on, never back.
/usr/bin/python3 - "$work/shots/video_4.gif" "$screen_w" "$screen_h" >"$work/pillow" 2>&1 <<'PY' ||
import sys
from PIL import Image
path, w, h = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
im = Image.open(path)
assert im.size == (w, h), f"size {im.size}, screen {w}x{h}"
assert im.info.get("loop") == 0, f"loop {im.info.get('loop')}"
colours = []
for n in range(im.n_frames):
    im.seek(n)
    assert im.info.get("duration") == 300, f"frame {n} lasts {im.info.get('duration')} ms"
    colours.append(im.convert("RGB").getpixel((w - 1, h - 1)))
runs = [c for i, c in enumerate(colours) if i == 0 or c != colours[i - 1]]
assert runs == [(255, 0, 0), (0, 0, 255)], f"corner colours in frame order: {runs}"
print(im.n_frames)
PY
  fail "Pillow: $(cat "$work/pillow")"
frames=$(tail -n1 "$work/pillow")
[ "$frames" -ge 4 ] || fail "only $frames frames were recorded"

# giflib: the same number of images, the loop block and the delay on every frame.
giftext "$work/shots/video_4.gif" >"$work/giftext" 2>&1 || fail "giftext refused the video"
[ "$(grep -c '^Image #' "$work/giftext")" = "$frames" ] || fail "giftext counts other images"
[ "$(grep -c 'application block' "$work/giftext")" = 1 ] || fail "giftext finds no one loop block"
[ "$(grep -c 'DelayTime: 30$' "$work/giftext")" = "$frames" ] || fail "giftext finds other delays"
grep -q 'terminated normally' "$work/giftext" || fail "giftext finds no proper end"
gif2rgb -1 -o "$work/rgb" "$work/shots/video_4.gif" 2>"$work/gif2rgb" ||
  fail "gif2rgb refused the video: $(cat "$work/gif2rgb")"

# The next still shot: the number moved on once, for the video. A click that had waited behind
# the assembly would have been handled before this key, and its shot be there beside this one.
xdotool key Print
wait_until 10 test -s "$work/shots/shot_005.bmp" || fail "the next shot is not shot_005.bmp"
if [ "$clicked" = 1 ]; then
  [ "$(settled_count "$work/shots" 'shot_*.bmp')" = 1 ] || fail "a click during the assembly acted"
fi
[ "$(bmp_size "$work/shots/shot_005.bmp")" = "$screen_w $screen_h" ] || fail "shot_005.bmp size"
[ ! -e "$work/shots/shot_004.bmp" ] || fail "the video did not move the number on"
close_program
grep -qx "Count=6" "$work/bin/config.ini" || fail "config.ini does not hold Count=6"

# ---- a folder on a file system too small for two frames ----
frame_bytes=$((screen_w * screen_h * 4))
if ! mount_tiny $((frame_bytes * 3 / 2)); then
  echo "video e2e: cannot mount a tmpfs here; the full-disk case is skipped" >&2
  echo "video e2e: all other checks passed"
  exit 0
fi
write_config "$tiny" 0 0 20
start_program
expect_full_disk_twice
close_program
grep -qx "Count=2" "$work/bin/config.ini" || fail "each start moved the number on once"
echo "video e2e: all checks passed"
