#!/usr/bin/env bash
# A new user on Debian's stock openbox (which binds Print itself) with a tray: the program says
# that Print is taken, says why a shot with no format wrote nothing, keeps its window on the screen
# after a bad stored position, offers no maximise, leaves no half-written or temporary file after a
# failed save, and on SIGTERM closes as its close button does: series stopped, config.ini written
# with the running number.
#
#   app_new_user_e2e.sh FOTOKRAN ARTIFACTS_FOLDER     (run inside with-xvfb --wm-stock --tray)
set -u
program=$1
artifacts=$2
here=$(dirname "$0")
. "$here/e2e_lib.sh"

work=$(mktemp -d /tmp/fotokran-new-user-XXXXXX)
pid=
cleanup() {
  [ -n "$pid" ] && kill "$pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
mkdir -p "$work/bin" "$work/home" "$artifacts"
failure_shot="$artifacts/new_user_failure.png"
rm -f "$failure_shot"
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" QT_QPA_PLATFORM=xcb
config="$work/bin/config.ini"
read -r screen_w screen_h < <(xdpyinfo | sed -n 's/.*dimensions: *\([0-9]*\)x\([0-9]*\) pixels.*/\1 \2/p')

log_count() { grep -c "$1" "$work/log" 2>/dev/null; }
has_log_count() { [ "$(log_count "$1")" = "$2" ]; }
no_part_files() { [ -z "$(find "$work/bin" -name '*.part')" ]; }

# The window in front takes the keys pressed next.
start_program_in_front() {
  start_program
  xdotool windowactivate --sync "$main"
}

# SIGTERM: the program ends by itself, promptly and without an error.
terminate_program() {
  kill -TERM "$pid"
  wait_until 10 process_gone "$pid" || fail "the program did not end after SIGTERM"
  wait "$pid"
  local status=$?
  pid=
  [ "$status" = 0 ] || { cat "$work/log" >&2; fail "the program ended with status $status after SIGTERM"; }
}

# First start: no config.ini, so no output format yet.
start_program_in_front
taken="Эти горячие клавиши заняты другой программой"
wait_until 10 grep -q "$taken" "$work/log" || fail "nobody said that Print is taken"
line=$(grep "$taken" "$work/log")
case "$line" in *"Print Screen (PrnScr)"*) ;; *) fail "the message does not name Print: $line" ;; esac
for free in "Ctrl + PrnScr" "Shift + PrnScr" "Shift + ScrollLock"; do
  case "$line" in *"$free"*) fail "the message names $free, which is free: $line" ;; esac
done
wait_until 10 balloon_shown "$pid" || fail "the note about Print was not shown"
import -window root "$artifacts/new_user_keys_taken.png"

# A shot without a format: nothing is written, and each press says why.
xdotool key ctrl+Print
wait_until 10 has_log_count "Формат снимка не выбран" 1 || fail "no note that no format is selected"
xdotool key ctrl+Print
wait_until 10 has_log_count "Формат снимка не выбран" 2 || fail "the second press was not told"
[ -z "$(find "$work/bin" -name '*.jpg' -o -name '*.part')" ] || fail "a shot without a format wrote a file"

terminate_program
grep -qx "Count=2" "$config" || fail "config.ini after SIGTERM does not hold Count=2"
grep -qx "Type=-1" "$config" || fail "config.ini does not hold Type=-1"

# Second start: BMP, the window stored far off the screen.
sed -i -e 's/^Type=.*/Type=1/' -e 's/^X=.*/X=-5000/' -e 's/^Y=.*/Y=-5000/' \
  -e 's/^Timer=.*/Timer=250/' -e 's/^Last=.*/Last=shot_###.bmp/' "$config"
start_program_in_front
read -r fl fr ft fb < <(frame_extents "$main")
read -r cx cy < <(xwininfo -id "$main" | awk '/Absolute upper-left X/{x=$4} /Absolute upper-left Y/{y=$4} END{print x, y}')
[ $((cx - fl)) -ge 0 ] && [ $((cy - ft)) -ge 0 ] && [ $((cx + 537 + fr)) -le "$screen_w" ] &&
  [ $((cy + 333 + fb)) -le "$screen_h" ] ||
  fail "the window is at $cx,$cy (frame $fl $fr $ft $fb), not on the ${screen_w}x$screen_h screen"

# Only the buttons that work: the window manager is offered neither maximising nor resizing.
allowed_actions() { xprop -id "$1" _NET_WM_ALLOWED_ACTIONS; }
expect_fixed_size() {
  local actions
  actions=$(allowed_actions "$1")
  for want in $2 _NET_WM_ACTION_CLOSE _NET_WM_ACTION_MOVE; do
    case "$actions" in *"$want"*) ;; *) fail "$3 does not allow $want: $actions" ;; esac
  done
  case "$actions" in *MAXIMIZE*|*RESIZE*) fail "$3 can be maximised or resized: $actions" ;; esac
}
expect_fixed_size "$main" _NET_WM_ACTION_MINIMIZE "the main window"
click_in "$main" $((272 + 42)) $((288 + 18))
wait_until 10 window_named "Помощь :: О программе" || fail "the help window did not open"
help=$(window_named "Помощь :: О программе")
wait_until 5 allowed_actions "$help"
expect_fixed_size "$help" "" "the help window"
xdotool windowactivate --sync "$help" key Return
wait_until 10 no_window_named "Помощь :: О программе" || fail "OK did not close help"
xdotool windowactivate --sync "$main"

xdotool key ctrl+Print
wait_until 10 test -s "$work/bin/shot_002.bmp" || fail "Ctrl+Print wrote no shot_002.bmp"
no_part_files || fail "a temporary file is left after a save"

# A save that fails part way (a file size limit, as a full disk would) leaves the older file of
# that name as it was and no temporary file; the error is shown and the number moves on.
printf 'older picture' >"$work/bin/shot_003.bmp"
limit=$(prlimit --pid "$pid" --fsize --raw --noheadings -o SOFT)
prlimit --pid "$pid" --fsize=100000: || fail "prlimit cannot limit the program"
xdotool key ctrl+Print
wait_until 10 window_named Fotokran || fail "no error box after the failed save"
grep -qF "Cannot write file \"$work/bin/shot_003.bmp\". File too large" "$work/log" ||
  fail "the error does not name the file and the reason"
[ "$(cat "$work/bin/shot_003.bmp")" = "older picture" ] || fail "the failed save touched shot_003.bmp"
no_part_files || fail "the failed save left a temporary file"
import -window root "$artifacts/new_user_failed_save.png"
xdotool windowactivate --sync "$(window_named Fotokran)" key Return
wait_until 10 no_window_named Fotokran || fail "the error box did not close"
prlimit --pid "$pid" --fsize="$limit": || fail "prlimit cannot lift the limit again"

# SIGTERM during a series: the series stops, and config.ini holds the next number.
xdotool key shift+Print
wait_until 10 test -s "$work/bin/shot_005.bmp" || fail "the series wrote no shot_005.bmp"
terminate_program
last=$(find "$work/bin" -name 'shot_*.bmp' | sed 's/.*shot_0*\([0-9][0-9]*\)\.bmp/\1/' | sort -n | tail -n1)
[ "$(find "$work/bin" -name 'shot_*.bmp' | wc -l)" = $((last - 1)) ] || fail "shots are missing or went on"
grep -qx "Count=$((last + 1))" "$config" ||
  fail "config.ini holds $(grep Count= "$config"), not Count=$((last + 1)) after shot_$last"
grep -qx "Timer=250" "$config" || fail "config.ini lost Timer"
no_part_files || fail "a temporary file is left"
echo "new user e2e: all checks passed (series up to shot_$last)"
