#!/usr/bin/env bash
# The built program under faults it must survive, each case on its own virtual display: the output
# folder fills up during a shot, a timed series, a video's recording and its assembly, turns
# read-only or disappears during a series; config.ini cannot be read, is a folder, or lies on a
# full disk at close; the X server dies during a series and during a video's recording (of either
# entry); the program is killed; the screen changes its size during a video; the display has 8
# bits a pixel. Each case checks what the user is told and that nothing already written is lost.
#
#   fault_e2e.sh FOTOKRAN CASE     (run inside with-xvfb --wm --size 640x480)
#   CASE: disk-full | folder-gone | config | x-killed | video-disk-full | video-x-killed |
#         video-compact-x-killed | killed | video-resized | depth-8
set -u
program=$1
case_name=$2
here=$(dirname "$0")
. "$here/e2e_lib.sh"
. "$here/fault_lib.sh"

disk_full() {
  local shots="$work/shots"
  fill_during_shot "$shots"
  check_complete "$shots/shot_000.bmp"
  [ "$(md5sum <"$shots/keep.bin")" = "$keep" ] || fail "a file already in the folder changed"

  # Room again: the next shot is written in full, under the next number.
  mount -o remount,size=8m "$shots"
  xdotool key Print
  wait_until 10 complete_picture "$shots/shot_002.bmp" || fail "no shot after room was made"

  # A series that fills the disk: two more pictures fit, the third fails, the series ends.
  fill_during_series "$shots"
  grep -qF "Cannot write file \"$shots/shot_005.bmp\". No space left on device" "$work/log" ||
    fail "the user was not told which picture failed"
  [ "$(said_times 'No space left on device')" = 2 ] || fail "the user was told more than once per failure"
  check_complete "$shots/shot_000.bmp" "$shots/shot_002.bmp" "$shots/shot_003.bmp" "$shots/shot_004.bmp"
  [ "$(md5sum <"$shots/keep.bin")" = "$keep" ] || fail "a file already in the folder changed"

  close_program
  grep -qx "Count=6" "$work/bin/config.ini" || fail "config.ini does not count the six shots"
}

folder_gone() {
  need_root
  # Read-only while a series runs.
  local shots="$work/shots"
  tiny_fs "$shots" 16m
  start_series "$shots" 200
  wait_until 10 complete_picture "$shots/shot_001.bmp" || fail "the series wrote no second shot"
  # A picture being written keeps the file system busy for a moment.
  wait_until 5 mount -o remount,ro "$shots" || fail "cannot make the folder read-only"
  wait_until 10 error_box || fail "no error box when the folder turned read-only"
  local n
  n=$(count_shots "$shots")
  expect_error "Cannot create file \"$shots/$(printf 'shot_%03d.bmp' "$n")\". Read-only file system"
  expect_series_stopped "$shots"
  for ((i = 0; i < n; i++)); do check_complete "$shots/$(printf 'shot_%03d.bmp' "$i")"; done
  close_program
  grep -qx "Count=$((n + 1))" "$work/bin/config.ini" || fail "config.ini does not hold Count=$((n + 1))"

  # Deleted while a series runs: the picture fails naming the folder, which stays chosen;
  # nothing lands in the folder above, and pictures go to the folder again once it is back.
  local doomed="$work/doomed/shots"
  mkdir -p "$doomed"
  start_series "$doomed" 1000
  wait_until 10 test -s "$doomed/shot_000.bmp" || fail "the series wrote nothing"
  rm -rf "$doomed"
  expect_error ". The folder \"$doomed\" does not exist"
  [ -z "$(ls -A "$work/doomed")" ] || fail "pictures went to the folder above: $(ls -A "$work/doomed")"
  n=$(sed -n 's|.*/shot_0*\([0-9][0-9]*\)\.bmp". The folder.*|\1|p' "$work/log" | head -n1)
  mkdir -p "$doomed"
  xdotool key Print
  wait_until 10 complete_picture "$doomed/$(printf 'shot_%03d.bmp' $((n + 1)))" ||
    fail "no picture once the folder was back"
  close_program
  grep -qx "Path=$doomed" "$work/bin/config.ini" || fail "config.ini does not keep the folder chosen"
}

config_faults() {
  need_root
  local ini="$work/bin/config.ini"

  # A folder, a FIFO, a link to /dev/zero, a 50 MB file where config.ini belongs: the start is
  # not held, told once the window is up, and the close says so without waiting for anyone; the
  # thing in its place is left alone.
  # What the program takes with no config.ini: none of the kinds below may add much to it (the
  # 50 MB file read whole would), whatever the build's own overhead.
  local make told rss before base
  start_program
  base=$(ps -o rss= -p "$pid")
  close_program
  rm -f "$ini"
  while IFS=: read -r -u 3 make told; do
    eval "$make"
    before=$(stat -c '%F %s' "$ini")
    launch
    await_main
    rss=$(ps -o rss= -p "$pid")
    [ "$rss" -lt $((base + 30720)) ] || fail "$make: the program takes $rss KB, $base KB without config.ini"
    expect_error "Unable to read $ini. $told"
    end_unsaved press_close "$ini"
    [ "$(stat -c '%F %s' "$ini")" = "$before" ] || fail "$make: config.ini was changed"
    rm -rf "$ini"
  done 3<<'KINDS'
mkdir "$ini" && echo kept >"$ini/inside":Is a directory
mkfifo "$ini":Not a regular file
ln -s /dev/zero "$ini":Not a regular file
truncate -s 50M "$ini":File too large (more than 1 MB)
KINDS

  # A bad value: named with its key once the window is up, and while the box is open the
  # command line is answered.
  mkdir -p "$work/shots"
  write_config "$work/shots" 1 500 shot_###.bmp 5
  sed -i 's/^X=0$/X=2147483648/' "$ini"
  start_program
  wait_until 15 error_box || fail "no box for the bad value"
  local shot
  shot=$("$work/bin/fotokran" --screen) || fail "--screen failed while the box was open"
  [ "$shot" = "$work/shots/shot_005.bmp" ] && complete_picture "$shot" || fail "--screen wrote '$shot'"
  expect_error "[WindowPosition] X: '2147483648' is not a valid integer value"
  close_program
  rm -f "$ini"

  # Unreadable (for a user who is not the superuser): told at start and at close; the file that
  # could not be read is not replaced by one without its settings.
  write_config "$work/shots" 1 500 shot_###.bmp
  chmod 000 "$ini"
  before=$(md5sum <"$ini")
  chown -R nobody "$work/bin" "$work/home"
  mkdir -m 700 "$work/runtime" && chown nobody "$work/runtime"
  XDG_RUNTIME_DIR="$work/runtime" launch setpriv --reuid=nobody --regid=nogroup --clear-groups
  expect_error "Unable to read $ini. Permission denied"
  await_main
  end_unsaved "kill -TERM $pid" "$ini"
  [ "$(md5sum <"$ini")" = "$before" ] && [ "$(stat -c %a "$ini")" = 0 ] ||
    fail "the unreadable config.ini was changed"
  chown -R root "$work/bin" "$work/home"
  rm -f "$ini"

  # On a full disk at close: told, and the old file stays whole.
  local bin="$work/fullbin"
  tiny_fs "$bin" $(($(stat -c %s "$program") + 200000))
  cp "$program" "$bin/fotokran"
  mkdir -p "$work/shots"
  cat >"$bin/config.ini" <<INI
[FileName]
Path=$work/shots
Count=41
[Format]
Type=1
[Masks]
Last=shot_###.bmp
INI
  before=$(md5sum <"$bin/config.ini")
  head -c 400000 /dev/zero >"$bin/filler" 2>/dev/null
  : >"$work/log"
  "$bin/fotokran" >>"$work/log" 2>&1 &
  pid=$!
  await_main
  xdotool key Print
  wait_until 10 complete_picture "$work/shots/shot_041.bmp" || fail "Print wrote no shot_041.bmp"
  end_unsaved press_close "$bin/config.ini"
  [ "$(md5sum <"$bin/config.ini")" = "$before" ] || fail "config.ini was damaged on the full disk"
  [ -z "$(find "$bin" -name 'config.ini?*')" ] || fail "a temporary file was left: $(ls "$bin")"
}

x_killed() {
  [ -n "${FOTOKRAN_XVFB_PID:-}" ] || fail "with-xvfb gave no server to stop"
  local shots="$work/shots"
  mkdir -p "$shots"
  start_series "$shots" 50
  wait_until 10 test -e "$shots/shot_003.bmp" || fail "the series did not run"
  kill -9 "$FOTOKRAN_XVFB_PID"
  wait_program_end 10
  [ "$status" != 0 ] || fail "the program ended as if nothing had happened"
  grep -q "X11 connection broke" "$work/log" || { cat "$work/log" >&2; fail "nothing on stderr"; }
  local n
  n=$(count_shots "$shots")
  for ((i = 0; i < n; i++)); do check_complete "$shots/$(printf 'shot_%03d.bmp' "$i")"; done
  # The running number survives, or the next start would overwrite these pictures.
  grep -qx "Count=$n" "$work/bin/config.ini" || fail "config.ini does not hold Count=$n after $n shots"
}

video_disk_full() {
  need_root
  local shots="$work/shots"
  tiny_fs "$shots" 64m
  head -c 300000 /dev/urandom >"$shots/keep.bin"
  keep=$(md5sum <"$shots/keep.bin")
  # A first video, written in full.
  start_video "$shots" 0
  wait_until 10 recorded 4 || fail "no frames were recorded"
  stop_video_held
  kill -CONT "$pid"
  wait_until 60 complete_video "$video" "$frames" || fail "video_0.gif was not written in full"
  local first
  first=$(md5sum <"$video")

  # The disk fills while recording: the user is told, the recording ends, nothing is left.
  mount -o remount,size=$(($(used_bytes "$shots") + record_bytes * 5 / 2)) "$shots"
  record_video "$shots" 1
  expect_error "Cannot write file \"$frames_file\". No space left on device"
  [ ! -e "$video" ] || fail "a video was written from a recording that failed"
  no_video_leftovers

  # The disk fills while the frames are assembled (another program takes the rest of it).
  mount -o remount,size=64m "$shots"
  record_video "$shots" 2
  wait_until 10 recorded 4 || fail "no frames were recorded"
  stop_video_held
  head -c 64m /dev/zero >"$shots/filler" 2>/dev/null
  kill -CONT "$pid"
  expect_error "Cannot write file \"$video\". No space left on device"
  [ ! -e "$video" ] || fail "a video was left on the full disk"
  no_video_leftovers
  [ "$(md5sum <"$shots/keep.bin")" = "$keep" ] || fail "a file already in the folder changed"
  [ "$(md5sum <"$shots/video_0.gif")" = "$first" ] || fail "the video written before changed"

  # Room again: the key starts a recording as before, and the video is written.
  rm "$shots/filler"
  record_video "$shots" 3
  wait_until 10 recorded 4 || fail "no frames were recorded after room was made"
  stop_video_held
  kill -CONT "$pid"
  wait_until 60 complete_video "$video" "$frames" || fail "video_3.gif was not written in full"
  close_program
  grep -qx "Count=4" "$work/bin/config.ini" || fail "config.ini does not count the four videos"
}

# video_x_killed [compact]: the "GIF" entry, whose frames are lost with the display, or the
# compact one, whose video is completed up to the screen shown at the kill.
video_x_killed() {
  [ -n "${FOTOKRAN_XVFB_PID:-}" ] || fail "with-xvfb gave no server to stop"
  local shots="$work/shots" colour size
  mkdir -p "$shots"
  part_size() { 2>/dev/null stat -c %s "$shots"/.video_7.gif.*.part || echo 0; }
  part_over() { [ "$(part_size)" -gt "$1" ]; }
  video_type=${1:+1} start_video "$shots" 7
  local recording="recorded 2"
  [ -z "${1:-}" ] || recording="part_over 0"
  wait_until 10 $recording || fail "no frames were recorded"
  xdotool key Print
  wait_until 10 complete_picture "$shots/shot_008.bmp" || fail "Print during the recording wrote no shot"
  # Each new screen hands the compact video the frame before it: red is written, green waits.
  for colour in ${1:+'#ff0000' '#00ff00'}; do
    size=$(part_size)
    xsetroot -solid "$colour"
    wait_until 10 part_over "$size" || fail "the frame before $colour was not written"
  done
  kill -9 "$FOTOKRAN_XVFB_PID"
  wait_program_end 10
  [ "$status" != 0 ] || fail "the program ended as if nothing had happened"
  grep -q "X11 connection broke" "$work/log" || { cat "$work/log" >&2; fail "nothing on stderr"; }
  no_video_leftovers
  check_complete "$shots/shot_008.bmp"
  grep -qx "Count=9" "$work/bin/config.ini" || fail "config.ini does not hold Count=9"
  if [ -z "${1:-}" ]; then
    grep -qF "The video \"$video\" was not written: the recording ended with the display" "$work/log" ||
      { cat "$work/log" >&2; fail "the user was not told the video is lost"; }
    [ ! -e "$video" ] || fail "a video was written"
    return
  fi
  grep -qF "The video \"$video\" was saved with the first" "$work/log" || fail "not told the video was saved"
  giftext "$video" | grep -q 'terminated normally' || fail "giflib does not read the video"
  /usr/bin/python3 -c '
import sys; from PIL import Image
im, shown = Image.open(sys.argv[1]), []
for n in range(im.n_frames):  # the screens in turn: a frame that mends another shows the same
    im.seek(n); c = im.convert("RGB").getpixel((639, 479)); shown += [c] if shown[-1:] != [c] else []
assert im.info.get("loop") == 0 and shown[-2:] == [(255, 0, 0), (0, 255, 0)], shown' "$video" ||
    fail "Pillow: the video does not end with the screens before the kill"
}

# SIGKILL after three pictures and during a video: the next start counts on from the pictures
# (none is overwritten) and removes what the killed copy left at once (a file a running copy
# holds stays: shared_folder_e2e.sh).
killed() {
  local shots="$work/shots" i sums
  mkdir -p "$shots"
  write_config "$shots" 1 500 shot_###.bmp
  start_program
  for i in 0 1 2; do
    xdotool key Print
    wait_until 10 complete_picture "$shots/shot_00$i.bmp" || fail "Print wrote no shot_00$i.bmp"
  done
  wait_until 5 grep -qx "Count=3" "$work/bin/config.ini" || fail "config.ini does not count the pictures"
  sums=$(md5sum "$shots"/shot_*.bmp)
  record_video "$shots" 3
  wait_until 10 test -s "$frames_file" || fail "the video recorded nothing"
  echo dead >"$shots/.shot_007.bmp.Dead00.part"
  kill -9 "$pid"
  wait "$pid" 2>/dev/null
  start_program
  [ ! -e "$frames_file" ] && [ ! -e "$shots/.shot_007.bmp.Dead00.part" ] ||
    fail "the killed copy's leftovers are still there: $(ls -A "$shots")"
  xdotool key Print
  wait_until 10 complete_picture "$shots/shot_003.bmp" || fail "Print after the restart wrote no shot_003.bmp"
  [ "$(md5sum "$shots"/shot_00[0-2].bmp)" = "$sums" ] || fail "a picture before the kill changed"
  close_program
}

# An entry-0 recording while the screen shrinks and grows again: every frame is in the video,
# the small ones at its top left with black beyond.
video_resized() {
  local shots="$work/shots" small=$((320 * 240 * 4 + 54)) at
  mkdir -p "$shots"
  xrandr --newmode small 5 320 330 340 350 240 245 250 255 && xrandr --addmode screen small ||
    fail "xrandr cannot add a screen size"
  write_config "$shots" 1 500 shot_###.bmp 7
  printf '[VideoFormat]\nVideoType=0\nGIFSpeed=20\n' >>"$work/bin/config.ini"
  xsetroot -solid '#00ff00'
  start_program
  # Out of the way: every frame shows only the green screen.
  one_colour() { [ "$(import -window root -format %k info:)" = 1 ]; }
  xdotool windowminimize "$main" && wait_until 10 one_colour || fail "the window stays"
  record_video "$shots" 7
  wait_until 10 recorded 2 || fail "no frames were recorded"
  for mode in small 640x480; do
    xrandr --output screen --mode "$mode" || fail "xrandr cannot set $mode"
    # Measured once the screen has its new size: then at most the grab under way is of the old.
    at=$(stat -c %s "$frames_file")
    wait_until 20 file_size_at_least $((at + 2 * record_bytes + 2 * small)) "$frames_file" ||
      fail "no frames were recorded at $mode"
  done
  xdotool key shift+Scroll_Lock
  wait_until 60 test -s "$video" || fail "no video was written"
  # Frames of 640x480 and of 320x240, in the order recorded.
  /usr/bin/python3 -c '
import re, sys; from PIL import Image
im, kinds = Image.open(sys.argv[1]), ""
for n in range(im.n_frames):
    im.seek(n); rgb = im.convert("RGB"); w, h = (320, 240) if rgb.getpixel((639, 479)) == (0, 0, 0) else (640, 480)
    assert rgb.crop((0, 0, w, h)).getcolors() == [(w * h, (0, 255, 0))] and rgb.getcolors(2), n
    kinds += "L" if w == 640 else "s"
assert im.size == (640, 480) and re.fullmatch("L{2,}s{2,}L{2,}", kinds), kinds' "$video" ||
    fail "Pillow: the video does not show the frames recorded"
  no_video_leftovers
  kill -TERM "$pid"
  wait_program_end 10
}

# An 8-bit display: the program says why it cannot work there and ends with status 1.
depth_8() {
  launch
  wait_program_end 10
  [ "$status" = 1 ] || fail "the program ended with status $status on an 8-bit display"
  grep -qF "has a depth of 8 bits per pixel" "$work/log" || fail "nothing said: $(cat "$work/log")"
}

case "$case_name" in
  disk-full) disk_full ;;
  folder-gone) folder_gone ;;
  config) config_faults ;;
  x-killed) x_killed ;;
  video-disk-full) video_disk_full ;;
  video-x-killed) video_x_killed ;;
  video-compact-x-killed) video_x_killed compact ;;
  killed) killed ;;
  video-resized) video_resized ;;
  depth-8) depth_8 ;;
  *) fail "unknown case $case_name" ;;
esac
echo "fault e2e $case_name: all checks passed"
