#!/usr/bin/env bash
# Faults the program meets by ending cleanly: SIGINT during a series closes it through its normal
# close path (series stopped, config.ini written, only whole pictures; app_new_user_e2e.sh does the
# same for SIGTERM); SIGTERM or SIGINT while a video is assembled lets the video be finished, then
# closes; a picture that cannot be written in full leaves no file behind.
#
#   fault_signals_e2e.sh FOTOKRAN CASE     (run inside with-xvfb --wm --size 640x480)
#   CASE: sigint | no-partial | video-sigterm | video-sigint
set -u
program=$1
case_name=$2
here=$(dirname "$0")
. "$here/e2e_lib.sh"
. "$here/fault_lib.sh"

# Nothing but whole pictures under their final names, and no hidden temporary file either.
only_complete_pictures() {
  local f
  for f in $(find "$1" -mindepth 1 -maxdepth 1); do
    case "$(basename "$f")" in
      shot_[0-9][0-9][0-9].bmp) check_complete "$f" ;;
      keep.bin) ;;
      *) fail "a stray file was left: $f" ;;
    esac
  done
}

# A background job of a script starts with SIGINT ignored, and the program keeps an ignored
# signal ignored; a terminal's program gets it at its default.
as_from_terminal=(/usr/bin/python3 -c
  'import os, signal, sys; signal.signal(signal.SIGINT, signal.SIG_DFL); os.execv(sys.argv[1], sys.argv[1:])')

signal_during_series() {
  local signal=$1 shots="$work/shots"
  mkdir -p "$shots"
  write_config "$shots" 1 50 shot_###.bmp
  start_program "${as_from_terminal[@]}"
  xdotool key shift+Print
  wait_until 10 test -e "$shots/shot_003.bmp" || fail "the series did not run"
  kill -s "$signal" "$pid"
  wait_program_end 5
  [ "$status" = 0 ] || fail "SIG$signal ended the program with status $status"
  only_complete_pictures "$shots"
  local n
  n=$(count_shots "$shots")
  grep -qx "Count=$n" "$work/bin/config.ini" || fail "config.ini does not hold Count=$n after $n shots"
  grep -qx "Timer=50" "$work/bin/config.ini" || fail "config.ini lost its settings"
}

# The signal comes while the frames are assembled: the video is finished, then the program closes.
signal_during_assembly() {
  local signal=$1 shots="$work/shots"
  mkdir -p "$shots"
  start_video "$shots" 3 "${as_from_terminal[@]}"
  wait_until 10 recorded 4 || fail "no frames were recorded"
  stop_video_held
  kill -s "$signal" "$pid"
  kill -CONT "$pid"
  wait_program_end 60
  [ "$status" = 0 ] || fail "SIG$signal ended the program with status $status"
  complete_video "$video" "$frames" || fail "video_3.gif does not hold the $frames frames recorded"
  no_video_leftovers
  grep -qx "Count=4" "$work/bin/config.ini" || fail "config.ini does not hold Count=4 after the video"
  grep -qx "GIFSpeed=20" "$work/bin/config.ini" || fail "config.ini lost its settings"
}

# The disk fills during a shot and during a series: the failed picture leaves no file behind.
no_partial() {
  local shots="$work/shots"
  fill_during_shot "$shots"
  [ -e "$shots/shot_001.bmp" ] && fail "the failed shot left a cut-short shot_001.bmp"
  only_complete_pictures "$shots"

  fill_during_series "$shots"
  only_complete_pictures "$shots"
  [ "$(count_shots "$shots")" = 3 ] || fail "the series kept $(count_shots "$shots") pictures, not 3"
}

case "$case_name" in
  sigint) signal_during_series INT ;;
  no-partial) no_partial ;;
  video-sigterm) signal_during_assembly TERM ;;
  video-sigint) signal_during_assembly INT ;;
  *) fail "unknown case $case_name" ;;
esac
echo "fault e2e $case_name: all checks passed"
