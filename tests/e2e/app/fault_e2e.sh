#!/usr/bin/env bash
# The built program under faults it must survive, each case on its own virtual display: the output
# folder fills up during a shot, a timed series, a video's recording and its assembly, turns
# read-only or disappears during a series; config.ini cannot be read, is a folder, or lies on a
# full disk at close; the X server dies during a series and during a video's recording (of either
# entry). Each case checks what the user is told and that nothing already written is lost.
#
#   fault_e2e.sh FOTOKRAN CASE     (run inside with-xvfb --wm --size 640x480)
#   CASE: disk-full | folder-gone | config | x-killed | video-disk-full | video-x-killed |
#         video-compact-x-killed
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

  # Deleted while a series runs: the folder tree moves to the folder above, which the window
  # shows, and the series goes on there without a gap in the numbers.
  local doomed="$work/doomed/shots"
  mkdir -p "$doomed"
  start_series "$doomed" 1000
  wait_until 10 test -s "$doomed/shot_000.bmp" || fail "the series wrote nothing"
  rm -rf "$doomed"
  wait_until 15 test -s "$work/doomed/shot_002.bmp" ||
    fail "the series did not go on in the folder above ($(ls "$work/doomed"))"
  xdotool key shift+Print
  no_error_box || fail "an error box came up"
  close_program
  grep -qx "Path=$work/doomed" "$work/bin/config.ini" || fail "config.ini does not name the folder shown"
  # Nothing missing between the first picture there and the last number counted.
  local first last
  first=$(ls "$work/doomed" | sed -n 's/^shot_0*\([0-9][0-9]*\)\.bmp$/\1/p' | sort -n | head -n1)
  last=$(sed -n 's/^Count=//p' "$work/bin/config.ini")
  [ -n "$first" ] && [ "$first" -le 2 ] || fail "the series did not go on at once (first: $first)"
  for ((i = first; i < last; i++)); do
    check_complete "$work/doomed/$(printf 'shot_%03d.bmp' "$i")"
  done
}

config_faults() {
  need_root
  local ini="$work/bin/config.ini"

  # A folder where config.ini belongs: told at start and at close, the folder is left alone.
  mkdir -p "$ini"
  echo kept >"$ini/inside"
  launch
  expect_error "Unable to read $ini. Is a directory"
  await_main
  press_close
  expect_error "Unable to write to $ini"
  wait_program_end 10
  [ "$status" = 0 ] || fail "the program ended with status $status"
  [ "$(cat "$ini/inside")" = kept ] || fail "the folder's content changed"
  rm -rf "$ini"

  # Unreadable (for a user who is not the superuser): told at start and at close; the file that
  # could not be read is not replaced by one without its settings.
  write_config "$work/shots" 1 500 shot_###.bmp
  chmod 000 "$ini"
  local before
  before=$(md5sum <"$ini")
  chown -R nobody "$work/bin" "$work/home"
  mkdir -m 700 "$work/runtime" && chown nobody "$work/runtime"
  XDG_RUNTIME_DIR="$work/runtime" launch setpriv --reuid=nobody --regid=nogroup --clear-groups
  expect_error "Unable to read $ini. Permission denied"
  await_main
  press_close
  expect_error "Unable to write to $ini"
  wait_program_end 10
  [ "$status" = 0 ] || fail "the program ended with status $status"
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
  press_close
  expect_error "Unable to write to $bin/config.ini"
  wait_program_end 10
  [ "$status" = 0 ] || fail "the program ended with status $status"
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

# video_x_killed [compact]: the "GIF" entry, or the compact one, whose video file grows while it
# records.
video_x_killed() {
  [ -n "${FOTOKRAN_XVFB_PID:-}" ] || fail "with-xvfb gave no server to stop"
  local shots="$work/shots"
  mkdir -p "$shots"
  if [ "${1:-}" = compact ]; then
    video_type=1 start_video "$shots" 7
    compact_file() { [ -n "$(find "$shots" -name '.video_7.gif.*.part')" ]; }
    wait_until 10 compact_file || fail "the compact video made no file"
  else
    start_video "$shots" 7
    wait_until 10 recorded 2 || fail "no frames were recorded"
  fi
  xdotool key Print
  wait_until 10 complete_picture "$shots/shot_008.bmp" || fail "Print during the recording wrote no shot"
  kill -9 "$FOTOKRAN_XVFB_PID"
  wait_program_end 10
  [ "$status" != 0 ] || fail "the program ended as if nothing had happened"
  grep -q "X11 connection broke" "$work/log" || { cat "$work/log" >&2; fail "nothing on stderr"; }
  grep -qF "The video \"$video\" was not written: the recording ended with the display" "$work/log" ||
    { cat "$work/log" >&2; fail "the user was not told the video is lost"; }
  no_video_leftovers
  [ ! -e "$video" ] || fail "a video was written"
  check_complete "$shots/shot_008.bmp"
  grep -qx "Count=9" "$work/bin/config.ini" || fail "config.ini does not hold Count=9"
}

case "$case_name" in
  disk-full) disk_full ;;
  folder-gone) folder_gone ;;
  config) config_faults ;;
  x-killed) x_killed ;;
  video-disk-full) video_disk_full ;;
  video-x-killed) video_x_killed ;;
  video-compact-x-killed) video_x_killed compact ;;
  *) fail "unknown case $case_name" ;;
esac
echo "fault e2e $case_name: all checks passed"
