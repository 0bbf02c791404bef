# Helpers of the fault-injection scripts: a private work folder, the program started on a given
# config.ini, the error box, complete pictures, tiny file systems. Sourced after e2e_lib.sh.

work=$(mktemp -d /tmp/fotokran-fault-XXXXXX)
chmod 755 "$work"
pid=
mounts=()
cleanup() {
  [ -n "$pid" ] && kill -9 "$pid" 2>/dev/null
  for ((i = ${#mounts[@]} - 1; i >= 0; i--)); do umount -l "${mounts[$i]}" 2>/dev/null; done
  rm -rf "$work"
}
trap cleanup EXIT
[ -n "${FAULT_KEEP_LOG:-}" ] && trap 'cat "$work/log" >&2; cleanup' EXIT
mkdir -p "$work/bin" "$work/home"
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" QT_QPA_PLATFORM=xcb

# Mounting needs the superuser; elsewhere the case is skipped (exit status 77).
need_root() {
  [ "$(id -u)" = 0 ] || { echo "SKIP: needs root for tmpfs mounts"; exit 77; }
}

# tiny_fs FOLDER SIZE: a tmpfs of that size (mount's syntax: 900k, 8m) at the folder.
tiny_fs() {
  mkdir -p "$1"
  mount -t tmpfs -o "size=$2,mode=0777" tmpfs "$1" || fail "cannot mount a tmpfs at $1"
  mounts+=("$1")
}
used_bytes() { df -B1 --output=used "$1" | tail -n1 | tr -d ' '; }

# write_config FOLDER FORMAT_INDEX INTERVAL MASK [COUNT]: the settings the program starts with.
write_config() {
  cat >"$work/bin/config.ini" <<INI
[WindowPosition]
X=0
Y=0
[FileName]
Path=$1
Count=${5:-0}
[Format]
Type=$2
[ShootSettings]
UseDelay=0
Delay=0
Timer=$3
[Masks]
Last=$4
INI
}

# start_series FOLDER INTERVAL: the program started on a BMP series into the folder, and the
# series started (the screen is 640x480: every picture has the same size).
bmp_bytes=$((640 * 480 * 4 + 54))
start_series() {
  write_config "$1" 1 "$2" shot_###.bmp
  start_program
  xdotool key shift+Print
}

# fill_during_shot FOLDER: a tiny file system at the folder holding keep.bin (its checksum in
# $keep); one shot fits, the second fails for want of space and the user is told.
fill_during_shot() {
  need_root
  tiny_fs "$1" 2100k
  head -c 300000 /dev/urandom >"$1/keep.bin"
  keep=$(md5sum <"$1/keep.bin")
  write_config "$1" 1 10 shot_###.bmp
  start_program
  xdotool key Print
  wait_until 10 complete_picture "$1/shot_000.bmp" || fail "Print wrote no shot_000.bmp"
  xdotool key Print
  expect_error "Cannot write file \"$1/shot_001.bmp\". No space left on device"
}
# fill_during_series FOLDER: room for two and a half more pictures, then a series; the third
# picture fails, the user is told once and the series ends.
fill_during_series() {
  mount -o remount,size=$(($(used_bytes "$1") + bmp_bytes * 5 / 2)) "$1"
  xdotool key shift+Print
  expect_error "No space left on device"
  expect_series_stopped "$1"
}

# The error box is the one window titled "Fotokran" alone.
error_box() { xdotool search --onlyvisible --name '^Fotokran$' 2>/dev/null | head -n1 | grep .; }
no_error_box() { ! error_box >/dev/null; }

# expect_error TEXT: an error box is up and the program said TEXT (also on stderr); closes the box.
expect_error() {
  wait_until 15 error_box || fail "no error box for: $1"
  wait_until 5 grep -qF "$1" "$work/log" || { cat "$work/log" >&2; fail "the program did not say: $1"; }
  local box
  box=$(error_box)
  xdotool windowactivate --sync "$box" key Return 2>/dev/null || xdotool key Return
  wait_until 10 no_error_box || fail "the error box did not close"
}
said_times() { grep -cF "$1" "$work/log"; }
# end_unsaved COMMAND FILE: asked to end by the command (press_close, a kill), the program ends
# within 2 s without an error, although FILE (config.ini) cannot be written, and says so.
end_unsaved() {
  $1
  wait_program_end 2
  [ "$status" = 0 ] || fail "the program ended with status $status"
  grep -qF "Unable to write to $2" "$work/log" || fail "the close did not say that $2 was not written"
}

# A complete picture: Pillow reads every pixel of it.
complete_picture() {
  /usr/bin/python3 -c '
import sys
from PIL import Image
im = Image.open(sys.argv[1]); im.load()' "$1" 2>/dev/null
}
check_complete() {
  local f
  for f in "$@"; do complete_picture "$f" || fail "$f is not a complete picture"; done
}
count_shots() { count_files "$1" 'shot_*'; }
# The series stays stopped: no new file and no new box for a second.
expect_series_stopped() {
  local before
  before=$(count_shots "$1")
  sleep 1
  [ "$(count_shots "$1")" = "$before" ] || fail "the series went on after the error"
  no_error_box || fail "a second error box came up"
}

# start_video FOLDER COUNT [COMMAND PREFIX...]: the program started with its GIF video at a
# 300 ms frame delay and the running number COUNT, and a recording started into the folder.
# $frames_file names the video's temporary file, $record_bytes the size of one frame in it.
start_video() {
  local folder=$1 count=$2
  shift 2
  write_config "$folder" 1 500 shot_###.bmp "$count"
  printf '[VideoFormat]\nVideoType=%s\nGIFSpeed=20\n' "${video_type:-0}" >>"$work/bin/config.ini"
  noisy_screen
  start_program "$@"
  record_video "$folder" "$count"
}
# A screen of noise: its frames take a while to assemble and make a large file.
noisy_screen() {
  /usr/bin/python3 -c '
import os, sys
from PIL import Image
w, h = map(int, sys.argv[2:4])
Image.frombytes("RGB", (w, h), os.urandom(w * h * 3)).save(sys.argv[1])' "$work/noise.png" \
    $(xdpyinfo | sed -n 's/.*dimensions: *\([0-9]*\)x\([0-9]*\) pixels.*/\1 \2/p')
  # display(1) sets the root's background and reports 1 all the same.
  display -window root "$work/noise.png" 2>/dev/null
  true
}
# record_video FOLDER NUMBER: the key starts a recording in the running program.
record_video() {
  local screen_w screen_h
  read -r screen_w screen_h < <(xdpyinfo | sed -n 's/.*dimensions: *\([0-9]*\)x\([0-9]*\) pixels.*/\1 \2/p')
  record_bytes=$((screen_w * screen_h * 4 + 54))
  video="$1/video_$2.gif"
  frames_file="$video.tmp"
  xdotool key shift+Scroll_Lock
}
# recorded FRAMES: the temporary file holds that many frames at least.
recorded() { file_size_at_least $(($1 * record_bytes)) "$frames_file"; }
# stop_video_held: stops the recording and holds the program still (SIGSTOP) once the frames
# are being assembled (its unfinished file is there), so that a fault can be put at that moment;
# `kill -CONT $pid` lets it go on. $frames tells how many frames were recorded.
stop_video_held() {
  local i
  xdotool key shift+Scroll_Lock
  # Looked for often: a few frames are assembled in a fraction of a second.
  for ((i = 0; i < 4000; i++)); do
    compgen -G "$(dirname "$video")/.$(basename "$video").*.part" >/dev/null && break
    sleep 0.005
  done
  kill -STOP "$pid"
  compgen -G "$(dirname "$video")/.$(basename "$video").*.part" >/dev/null ||
    fail "the video was not assembled (no unfinished file of it)"
  [ ! -e "$video" ] || fail "the video was written before the fault could be put"
  frames=$(($(stat -c %s "$frames_file") / record_bytes))
}
# No temporary file of the video is left, nor an unfinished one.
no_video_leftovers() {
  local folder
  folder=$(dirname "$video")
  [ -z "$(find "$folder" -maxdepth 1 \( -name '*.tmp' -o -name '*.part' \))" ] ||
    fail "temporary files were left: $(ls -A "$folder")"
}
# complete_video FILE FRAMES: Pillow reads every frame of a looping GIF with that many frames.
complete_video() {
  /usr/bin/python3 -c '
import sys
from PIL import Image
im = Image.open(sys.argv[1])
assert im.format == "GIF" and im.info.get("loop") == 0
assert im.n_frames == int(sys.argv[2]), im.n_frames
for n in range(im.n_frames):
    im.seek(n); im.load()' "$1" "$2" 2>/dev/null
}
