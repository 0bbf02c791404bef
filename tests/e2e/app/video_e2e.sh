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

work=$(mktemp -d /tmp/fotokran-video-e2e-XXXXXX)
pid=
tiny=
cleanup() {
  [ -n "$pid" ] && kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null
  [ -n "$tiny" ] && umount "$tiny" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
mkdir -p "$work/bin" "$work/shots" "$work/home" "$artifacts"
failure_shot="$artifacts/video_e2e_failure.png"
rm -f "$failure_shot"
cp "$program" "$work/bin/fotokran"
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" QT_QPA_PLATFORM=xcb

write_config() {
  cat >"$work/bin/config.ini" <<INI
[WindowPosition]
X=0
Y=0
[FileName]
Path=$1
Count=$2
[Format]
Type=1
GIF_palette=3
[VideoFormat]
VideoType=0
GIFSpeed=20
[Masks]
Last=shot_###.bmp
INI
}

start_program() {
  "$work/bin/fotokran" >>"$work/log" 2>&1 &
  pid=$!
  wait_until 15 window_named "Fotokran v0.7" || fail "the main window did not appear"
  main=$(window_named "Fotokran v0.7")
  wait_until 5 is_viewable "$main" || fail "the main window is not shown"
  settle
}

close_program() {
  click_in "$main" $((360 + 42)) $((288 + 18))  # "Закрыть"
  for _ in $(seq 200); do kill -0 "$pid" 2>/dev/null || break; sleep 0.05; done
  kill -0 "$pid" 2>/dev/null && fail "the program did not end after Закрыть"
  wait "$pid" || { cat "$work/log" >&2; fail "the program ended with an error"; }
  pid=
}

read -r screen_w screen_h < <(xdpyinfo | sed -n 's/.*dimensions: *\([0-9]*\)x\([0-9]*\) pixels.*/\1 \2/p')

# ---- a video of a screen that turns from red to blue ----
write_config "$work/shots" 4
start_program
xsetroot -solid '#ff0000'
xdotool key shift+Scroll_Lock
wait_until 10 test -s "$work/shots/video_4.gif.tmp" || fail "no temporary file of frames"
sleep 0.7
xsetroot -solid '#0000ff'
sleep 0.7
xdotool key shift+Scroll_Lock
# A click on "Снимок экрана" while the frames are assembled goes nowhere.
part_exists() { [ -n "$(find "$work/shots" -name '.video_4.gif.*.part')" ]; }
clicked=0
if wait_until 20 part_exists; then
  click_in "$main" $((272 + 42)) $((268 + 18))
  part_exists && clicked=1
fi
wait_until 120 test -s "$work/shots/video_4.gif" || fail "no video_4.gif"
if [ "$clicked" = 1 ]; then
  sleep 1
  [ "$(count_files "$work/shots" 'shot_*.bmp')" = 0 ] || fail "a click during the assembly acted"
fi
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

# The next still shot: the number moved on once, for the video.
xdotool key Print
wait_until 10 test -s "$work/shots/shot_005.bmp" || fail "the next shot is not shot_005.bmp"
[ "$(bmp_size "$work/shots/shot_005.bmp")" = "$screen_w $screen_h" ] || fail "shot_005.bmp size"
[ ! -e "$work/shots/shot_004.bmp" ] || fail "the video did not move the number on"
close_program
grep -qx "Count=6" "$work/bin/config.ini" || fail "config.ini does not hold Count=6"

# ---- a folder on a file system too small for two frames ----
tiny="$work/tiny"
mkdir -p "$tiny"
frame_bytes=$((screen_w * screen_h * 4))
if ! mount -t tmpfs -o size=$((frame_bytes * 3 / 2 / 1024))k tmpfs "$tiny" 2>/dev/null; then
  tiny=
  echo "video e2e: cannot mount a tmpfs here; the full-disk case is skipped" >&2
  echo "video e2e: all other checks passed"
  exit 0
fi
write_config "$tiny" 0
start_program
xdotool key shift+Scroll_Lock
wait_until 20 window_named "Fotokran" || fail "no error box for the full disk"
box=$(window_named "Fotokran")
import -window "$box" "$artifacts/video_e2e_full_disk.png" 2>/dev/null
[ -z "$(ls -A "$tiny")" ] || fail "files left on the full disk: $(ls -A "$tiny")"
xdotool windowactivate "$box" key Return
wait_until 10 no_window_named "Fotokran" || fail "the error box did not close"
# The toggle is off again: the key starts a new recording, which fails the same way.
xdotool key shift+Scroll_Lock
wait_until 20 window_named "Fotokran" || fail "the key no longer starts a recording"
box=$(window_named "Fotokran")
xdotool windowactivate "$box" key Return
wait_until 10 no_window_named "Fotokran" || fail "the second error box did not close"
[ -z "$(ls -A "$tiny")" ] || fail "files left on the full disk: $(ls -A "$tiny")"
close_program
grep -qx "Count=2" "$work/bin/config.ini" || fail "each start moved the number on once"
echo "video e2e: all checks passed"
