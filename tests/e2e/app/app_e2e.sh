#!/usr/bin/env bash
# The built program on a virtual display with a window manager and a tray: hot keys write the
# expected files, the tray icon hides and brings back the window, a second copy gets no hot keys
# and says so, closing writes config.ini. Screenshots of both windows go to the artifacts folder.
#
#   app_e2e.sh FOTOKRAN ARTIFACTS_FOLDER     (run inside with-xvfb --wm --tray)
set -u
program=$1
artifacts=$2
here=$(dirname "$0")
. "$here/e2e_lib.sh"

work=$(mktemp -d /tmp/fotokran-app-e2e-XXXXXX)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
  rm -rf "$work"
}
trap cleanup EXIT
mkdir -p "$work/bin" "$work/second" "$work/shots" "$work/home" "$artifacts"
failure_shot="$artifacts/app_e2e_failure.png"
rm -f "$failure_shot"
cp "$program" "$work/bin/fotokran"
cp "$program" "$work/second/fotokran"
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" QT_QPA_PLATFORM=xcb

cat >"$work/bin/config.ini" <<INI
[WindowPosition]
X=10
Y=10
[FileName]
Path=$work/shots
Count=0
[Format]
Type=1
[ShootSettings]
UseDelay=0
Delay=0
Timer=250
[Masks]
Last=shot_###.bmp
INI

read -r screen_w screen_h < <(xdpyinfo | sed -n 's/.*dimensions: *\([0-9]*\)x\([0-9]*\) pixels.*/\1 \2/p')

"$work/bin/fotokran" >"$work/first.log" 2>&1 &
pids+=($!)
first=$!
wait_until 15 window_named "Fotokran v0.7" || fail "the main window did not appear"
main=$(window_named "Fotokran v0.7")
wait_until 5 is_viewable "$main" || fail "the main window is not shown"
settle

# The task-bar entry is hidden; the tray holds our icon.
xprop -id "$main" _NET_WM_STATE | grep -q _NET_WM_STATE_SKIP_TASKBAR ||
  fail "the main window is listed in the task bar"
# Our window whose ancestors include the tray host's panel.
find_icon() {
  xwininfo -root -tree | grep '("fotokran" "Fotokran")' | grep -v 'Fotokran v0.7' |
    awk '{print $1}' | while read -r id; do
    up=$id
    for _ in 1 2 3; do
      line=$(xwininfo -id "$up" -tree | grep 'Parent window id:')
      # An unmapped window of ours sits on the root: xwininfo -id 0x0 would wait for a click.
      case "$line" in *'"panel"'*) echo "$id"; break ;; *'(the root window)'* | '') break ;; esac
      up=$(echo "$line" | awk '{print $4}')
    done
  done | head -n1 | grep .
}
wait_until 10 find_icon || fail "no tray icon in the tray"
icon=$(find_icon)
grep -q "заняты другой программой" "$work/first.log" && fail "the first copy could not take its keys"

# Print: the whole screen.
xdotool key Print
wait_until 10 test -s "$work/shots/shot_000.bmp" || fail "Print wrote no shot_000.bmp"
[ "$(bmp_size "$work/shots/shot_000.bmp")" = "$screen_w $screen_h" ] ||
  fail "shot_000.bmp is $(bmp_size "$work/shots/shot_000.bmp"), not the screen"

# With Num Lock and Caps Lock on the key still works.
xdotool key Num_Lock Caps_Lock
xdotool key Print
xdotool key Num_Lock Caps_Lock
wait_until 10 test -s "$work/shots/shot_001.bmp" || fail "Print with the lock keys on wrote nothing"

# Ctrl+Print: the window in front with its frame, another program's window.
xmessage -geometry 300x120+600+400 -title "front window" "Fotokran e2e" &
pids+=($!)
wait_until 10 window_named "front window" || fail "xmessage did not start"
front=$(window_named "front window")
xdotool windowactivate --sync "$front"
wait_until 5 frame_extents "$front"
read -r fl fr ft fb < <(frame_extents "$front")
read -r cw ch < <(xdotool getwindowgeometry "$front" | sed -n 's/.*Geometry: \([0-9]*\)x\([0-9]*\).*/\1 \2/p')
xdotool key ctrl+Print
wait_until 10 test -s "$work/shots/shot_002.bmp" || fail "Ctrl+Print wrote no shot_002.bmp"
[ "$(bmp_size "$work/shots/shot_002.bmp")" = "$((cw + fl + fr)) $((ch + ft + fb))" ] ||
  fail "shot_002.bmp is $(bmp_size "$work/shots/shot_002.bmp"), not the framed front window"

# Shift+Print twice: a series of shots a quarter second apart, then no more.
xdotool key shift+Print
wait_until 20 at_least_files 6 "$work/shots" 'shot_*.bmp' || fail "the series wrote fewer than 3 shots"
xdotool key shift+Print
series=$(settled_count "$work/shots" 'shot_*.bmp')
series=$((series - 3))
[ "$series" -ge 3 ] || fail "the series wrote $series shots"
series_files=()
for ((i = 3; i < 3 + series; i++)); do
  name=$(printf 'shot_%03d.bmp' "$i")
  [ -s "$work/shots/$name" ] || fail "$name is missing"
  series_files+=("$work/shots/$name")
done
# The pause is a lower bound: a busy machine only makes it longer.
mtimes "${series_files[@]}" | awk 'NR > 1 && $1 - last < 0.2 { bad = 1 } { last = $1 } END { exit bad }' ||
  fail "shots of the series came less than 250 ms apart: $(mtimes "${series_files[@]}" | tr '\n' ' ')"
next=$((3 + series))

# "Снимок окна" without a delay: Fotokran's own window, framed. The window manager makes a window
# active some time after the click that asks for it: the window is made active first, so that
# the shot does not race the manager.
timeout 10 xdotool windowactivate --sync "$main" || fail "the main window could not be made active"
click_in "$main" $((360 + 42)) $((248 + 18))
name=$(printf 'shot_%03d.bmp' "$next")
wait_until 10 test -s "$work/shots/$name" || fail "the window button wrote no $name"
[ "$(count_files "$work/shots" 'shot_*.bmp')" = $((next + 1)) ] || fail "the series did not stop"
read -r ml mr mt mb < <(frame_extents "$main")
[ "$(bmp_size "$work/shots/$name")" = "$((537 + ml + mr)) $((333 + mt + mb))" ] ||
  fail "$name is $(bmp_size "$work/shots/$name"), not the framed main window"
next=$((next + 1))

import -window "$main" "$artifacts/main_window.png" || fail "no screenshot of the main window"

# The help window.
click_in "$main" $((272 + 42)) $((288 + 18))
wait_until 10 window_named "Помощь :: О программе" || fail "the help window did not open"
help=$(window_named "Помощь :: О программе")
settle "$help"
import -window "$help" "$artifacts/help_window_96dpi.png" || fail "no screenshot of the help window"
xdotool windowactivate --sync "$help" key Return
wait_until 10 no_window_named "Помощь :: О программе" || fail "OK did not close help"

# "Свернуть" hides the window; a click on the tray icon brings it back.
click_in "$main" $((448 + 42)) $((288 + 18))
wait_until 10 is_unmapped "$main" || fail "Свернуть did not hide the window"
pgrep -f "$work/bin/fotokran" >/dev/null || fail "the program ended on Свернуть"
# Print works while the window is hidden.
xdotool key Print
name=$(printf 'shot_%03d.bmp' "$next")
wait_until 10 test -s "$work/shots/$name" || fail "Print while hidden wrote no $name"
next=$((next + 1))
read -r ix iy < <(xwininfo -id "$icon" | awk '/Absolute upper-left X/{x=$4} /Absolute upper-left Y/{y=$4} END{print x, y}')
xdotool mousemove $((ix + 8)) $((iy + 8)) click 1
wait_until 10 is_viewable "$main" || fail "a click on the tray icon did not bring the window back"
xprop -id "$main" _NET_WM_STATE | grep -q _NET_WM_STATE_SKIP_TASKBAR ||
  fail "the window came back with a task-bar entry"

# A second copy that cannot reach the first over the session bus: no hot keys, and it says so;
# Print still belongs to the first copy.
DBUS_SESSION_BUS_ADDRESS="unix:path=$work/no-bus" "$work/second/fotokran" >"$work/second.log" 2>&1 &
pids+=($!)
second=$!
wait_until 15 grep -q "заняты другой программой" "$work/second.log" ||
  fail "the second copy did not say its keys are taken"
for key in "Print Screen (PrnScr)" "Ctrl + PrnScr" "Shift + PrnScr" "Shift + ScrollLock"; do
  grep -qF "$key" "$work/second.log" || fail "the second copy does not name $key"
done
wait_until 10 balloon_shown "$second" || fail "the second copy showed no note"
import -window root "$artifacts/second_copy_notice.png"
before=$(count_files "$work/shots" 'shot_*.bmp')
xdotool key Print
name=$(printf 'shot_%03d.bmp' "$next")
wait_until 10 test -s "$work/shots/$name" || fail "Print with two copies wrote no $name"
[ "$(settled_count "$work/shots" 'shot_*.bmp')" = $((before + 1)) ] || fail "Print was taken twice"
next=$((next + 1))
kill "$second"

# No error box came up on the way.
no_window_named Fotokran || fail "an error box is open"

# "Закрыть": the program ends by itself and writes its settings.
click_in "$main" $((360 + 42)) $((288 + 18))
wait_until 10 process_gone "$first" || fail "the program did not end after Закрыть"
wait "$first"
status=$?
[ "$status" = 0 ] || { cat "$work/first.log" >&2; fail "the program ended with status $status"; }
grep -qx "Count=$next" "$work/bin/config.ini" || fail "config.ini does not hold Count=$next"
grep -qx "Timer=250" "$work/bin/config.ini" || fail "config.ini lost Timer"
echo "app e2e: all checks passed ($next shots)"
