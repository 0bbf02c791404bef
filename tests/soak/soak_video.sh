#!/usr/bin/env bash
# The video started and stopped CYCLES times on a virtual display, each recording a few frames
# and written, with the program's open descriptors, shared-memory segments, resident memory and
# the X server's resources sampled after 10 videos and at the end. Prints one line of figures;
# fails when any of them grew.
#
#   soak_video.sh FOTOKRAN CYCLES     (run inside with-xvfb --wm)
set -u
program=$1
cycles=$2
here=$(dirname "$0")
. "$here/../e2e/app/e2e_lib.sh"
. "$here/soak_lib.sh"

printf '[FileName]\nPath=%s\nCount=0\n[Format]\nType=4\nGIF_palette=3\n[VideoFormat]\nVideoType=0\nGIFSpeed=20\n' \
  "$work/shots" >"$work/bin/config.ini"
record_bytes=$((screen_w * screen_h * 4 + 54))
frames=0

# One video of at least two frames, written and then removed.
video_cycle() {
  local video="$work/shots/video_$1.gif"
  xdotool key shift+Scroll_Lock
  wait_until 20 file_size_at_least $((2 * record_bytes)) "$video.tmp" ||
    fail "video $1: no frames were recorded"
  xdotool key shift+Scroll_Lock
  wait_until 60 test -e "$video" || fail "video $1 was not written"
  wait_until 10 test ! -e "$video.tmp" || fail "video $1 left its temporary file"
  frames=$((frames + $(/usr/bin/python3 -c '
import sys
from PIL import Image
print(Image.open(sys.argv[1]).n_frames)' "$video")))
  rm -f "$video"
}

start_soaked_program
start=$(date +%s.%N)
for ((i = 0; i < 10; i++)); do video_cycle "$i"; done
first=$(sample 1)
for ((i = 10; i < cycles; i++)); do video_cycle "$i"; done
last=$(sample 2)
end=$(date +%s.%N)
close_soaked_program video
[ -z "$(ls -A "$work/shots")" ] || fail "video: files were left: $(ls -A "$work/shots")"

per_video=$(echo "($end - $start) * 1000 / $cycles" | bc)
compare video "$first" "$last" \
  "$(printf '%5d videos %5d ms/video, %d frames in all' "$cycles" "$per_video" "$frames")"
