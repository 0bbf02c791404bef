#!/usr/bin/env bash
# Without a tray (as on many GNOME desktops) the window never hides where nothing can bring it
# back: starting minimised and "Свернуть" iconify it, and it keeps its task-bar entry.
#
#   app_no_tray_e2e.sh FOTOKRAN        (run inside with-xvfb --wm, without --tray)
set -u
program=$1
here=$(dirname "$0")
. "$here/e2e_lib.sh"

work=$(mktemp -d /tmp/fotokran-app-e2e-XXXXXX)
pid=
cleanup() {
  [ -n "$pid" ] && kill "$pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
mkdir -p "$work/bin" "$work/shots" "$work/home"
cp "$program" "$work/bin/fotokran"
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" QT_QPA_PLATFORM=xcb
printf '[WindowPosition]\nStartMinimazed=1\n[FileName]\nPath=%s\n' "$work/shots" >"$work/bin/config.ini"

wm_state() { xprop -id "$1" WM_STATE | sed -n 's/.*window state: //p'; }
is_iconic() { [ "$(wm_state "$1")" = Iconic ]; }
is_normal() { [ "$(wm_state "$1")" = Normal ]; }
any_window_named() { xdotool search --name "^$1\$" 2>/dev/null | head -n1 | grep .; }

"$work/bin/fotokran" >"$work/log" 2>&1 &
pid=$!
wait_until 15 any_window_named "Fotokran v0.7" || fail "the main window was not made"
main=$(any_window_named "Fotokran v0.7")
wait_until 10 is_iconic "$main" || fail "start minimised did not iconify the window ($(wm_state "$main"))"
xprop -id "$main" _NET_WM_STATE | grep -q SKIP_TASKBAR && fail "an iconified window without a task-bar entry"

# Back as a task bar would bring it, then "Свернуть" iconifies again.
xdotool windowactivate "$main"
wait_until 10 is_normal "$main" || fail "the window did not come back"
wait_until 5 is_viewable "$main"
settle
click_in "$main" $((448 + 42)) $((288 + 18))
wait_until 10 is_iconic "$main" || fail "Свернуть did not iconify the window ($(wm_state "$main"))"
kill -0 "$pid" || fail "the program ended"

xdotool windowactivate "$main"
wait_until 10 is_viewable "$main" || fail "the window did not come back a second time"
settle
click_in "$main" $((360 + 42)) $((288 + 18))
for _ in $(seq 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
kill -0 "$pid" 2>/dev/null && fail "the program did not end after Закрыть"
wait "$pid" || { cat "$work/log" >&2; fail "the program ended with an error"; }
pid=
grep -qx "StartMinimazed=1" "$work/bin/config.ini" || fail "config.ini lost StartMinimazed"
echo "app e2e without tray: all checks passed"
