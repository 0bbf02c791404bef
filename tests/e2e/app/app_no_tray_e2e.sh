#!/usr/bin/env bash
# Without a tray (as on many GNOME desktops), with a window manager and with none at all: the
# program does not start minimised into nothing and says once how a minimised window comes back;
# a window stored below the screen comes back onto it; with transparency on, its windows (main,
# note, help) are left out of a shot pixel for pixel, frames and all. With the window manager,
# "Свернуть" iconifies and keeps a task-bar entry, and the help window is shown at 120 dpi too;
# both windows are shown in English (--lang en, for that run only) at 96 and 120 dpi.
#
#   app_no_tray_e2e.sh FOTOKRAN ARTIFACTS_FOLDER   (run inside with-xvfb --wm or with-xvfb alone)
set -u
program=$1
artifacts=$2
here=$(dirname "$0")
. "$here/e2e_lib.sh"

work=$(mktemp -d /tmp/fotokran-app-e2e-XXXXXX)
pid=
cleanup() {
  [ -n "$pid" ] && kill "$pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
mkdir -p "$work/bin" "$work/shots" "$work/home" "$artifacts"
cp "$program" "$work/bin/fotokran"
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" QT_QPA_PLATFORM=xcb
wm=0
xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && wm=1
failure_shot="$artifacts/app_no_tray_failure_wm$wm.png"
rm -f "$failure_shot"
read -r screen_w screen_h < <(xdpyinfo | sed -n 's/.*dimensions: *\([0-9]*\)x\([0-9]*\) pixels.*/\1 \2/p')

# A known picture as the wallpaper: the screen as it is without Fotokran.
/usr/bin/python3 -c '
import sys
from PIL import Image
w, h = int(sys.argv[2]), int(sys.argv[3])
Image.frombytes("RGB", (w, h), bytes(((x * 7) % 256, (y * 5) % 256, ((x ^ y) * 3) % 256)[i % 3]
    for y in range(h) for x in range(w) for i in range(3))).save(sys.argv[1])' \
  "$work/wallpaper.png" "$screen_w" "$screen_h" || fail "no wallpaper picture"
"$here/../../tools/set_wallpaper.py" "$work/wallpaper.png" || fail "the wallpaper could not be set"

cat >"$work/bin/config.ini" <<INI
[WindowPosition]
X=100
Y=99999
Alpha=255
UseAlpha=1
StartMinimazed=1
[FileName]
Path=$work/shots
Count=0
[Format]
Type=1
[ShootSettings]
CaptureCursor=0
[Masks]
Last=shot_###.bmp
INI

# "same" or how many pixels differ and where the first one is.
compare_with_wallpaper() {
  /usr/bin/python3 -c '
import sys
from PIL import Image
a = Image.open(sys.argv[1]).convert("RGB")
b = Image.open(sys.argv[2]).convert("RGB")
if a.size != b.size:
    print("sizes", a.size, b.size); sys.exit()
pa, pb = a.load(), b.load()
diff = [(x, y) for y in range(a.size[1]) for x in range(a.size[0]) if pa[x, y] != pb[x, y]]
print("same" if not diff else "%d pixels differ, the first at %d,%d" % (len(diff), *diff[0]))' "$1" "$work/wallpaper.png"
}
expect_left_out() {
  local shot="$work/shots/$1" result
  wait_until 10 test -s "$shot" || fail "Print wrote no $1"
  result=$(compare_with_wallpaper "$shot")
  [ "$result" = same ] || { cp "$shot" "$artifacts/"; fail "$2 show in $1: $result"; }
}

wm_state() { xprop -id "$1" WM_STATE | sed -n 's/.*window state: //p'; }
is_iconic() { [ "$(wm_state "$1")" = Iconic ]; }
is_normal() { [ "$(wm_state "$1")" = Normal ]; }
any_window_named() { xdotool search --name "^$1\$" 2>/dev/null | head -n1 | grep .; }
no_tray_notes() { grep -c "Области уведомлений нет" "$work/log"; }
# Presses Return in a window until it has gone; the window manager need not take part. The
# focus is given again when something else took it first (a window activated as it maps).
press_return_in() {
  for _ in 1 2 3 4 5; do
    xdotool windowfocus --sync "$1" 2>/dev/null
    [ "$(xdotool getwindowfocus 2>/dev/null)" = "$1" ] && xdotool key Return
    wait_until 2 is_unmapped "$1" && return 0
  done
  return 1
}
# windows_at DPI [en]: a copy started at the desktop's DPI (in English with en), its note closed
# and its main and help windows shot into the artifacts.
windows_at() {
  local in=${2:+_$2} log="$work/log$1${2:-}" help_title="Помощь :: О программе"
  [ -n "${2:-}" ] && help_title="Help :: About"
  "$work/bin/fotokran" ${2:+--lang "$2"} >"$log" 2>&1 &
  pid=$!
  wait_until 15 window_named "Fotokran v0.7" || fail "the main window did not appear at $1 dpi$in"
  main=$(window_named "Fotokran v0.7")
  wait_until 10 window_named Fotokran || fail "no note about the missing tray at $1 dpi$in"
  [ -z "${2:-}" ] || grep -q "There is no notification area" "$log" || fail "the note is not in English at $1 dpi"
  press_return_in "$(window_named Fotokran)"
  wait_until 10 no_window_named Fotokran || fail "the note did not close at $1 dpi$in"
  settle
  read -r mw mh < <(xdotool getwindowgeometry "$main" | sed -n 's/.*Geometry: \([0-9]*\)x\([0-9]*\).*/\1 \2/p')
  [ "$1" != 120 ] || [ "$mw" = 671 ] || fail "at 120 dpi$in the main window is $mw pixels wide, not 671"
  import -window "$main" "$artifacts/main_window${in}_$1dpi.png" || fail "no screenshot at $1 dpi$in"
  click_in "$main" $(((272 + 42) * mw / 537)) $(((288 + 18) * mh / 333))
  wait_until 10 window_named "$help_title" || fail "the help window did not open at $1 dpi$in"
  help=$(window_named "$help_title")
  settle "$help"
  import -window "$help" "$artifacts/help_window${in}_$1dpi.png" || fail "no help screenshot at $1 dpi$in"
  kill "$pid"
  wait "$pid"
  pid=
  grep -q "^Language=" "$work/bin/config.ini" && fail "--lang $2 wrote a language into config.ini"
  return 0
}

launch
wait_until 15 any_window_named "Fotokran v0.7" || fail "the main window was not made"
main=$(any_window_named "Fotokran v0.7")
# Asked to start minimised, but with nothing to come back from: shown, and told why.
wait_until 10 is_viewable "$main" || fail "the window is not shown ($(wm_state "$main"))"
[ "$wm" = 0 ] || wait_until 5 is_normal "$main" || fail "the window started $(wm_state "$main")"
wait_until 10 window_named Fotokran || fail "no note about the missing tray"
note=$(window_named Fotokran)
[ "$(no_tray_notes)" = 1 ] || fail "the missing tray was told $(no_tray_notes) times"
grep -q "не свернуто при запуске" "$work/log" || fail "the note does not say why the window shows"
# The note belongs to the main window, so that it never opens behind it.
xprop -id "$note" WM_TRANSIENT_FOR | grep -qi "$(printf '0x%x' "$main")\$" || fail "the note stands alone"
settle

# The window stored below the screen is on it, its frame too; its left edge stays (whether the
# window manager places the frame or the window itself there).
read -r wx wy < <(xwininfo -id "$main" | awk '/Absolute upper-left X/{x=$4} /Absolute upper-left Y/{y=$4} END{print x, y}')
read -r fl fr ft fb < <(frame_extents "$main" || echo 0 0 0 0)
{ [ "$wx" = 100 ] || [ $((wx - fl)) = 100 ]; } && [ $((wy - ft)) -ge 0 ] && [ $((wy + 333 + fb)) -le "$screen_h" ] ||
  fail "the window is at $wx,$wy with a frame of $fl $fr $ft $fb, not on the screen"

# Transparency is on: neither the main window nor the note, nor their frames, are in the shot.
xdotool key Print
expect_left_out shot_000.bmp "the main window or the note"
import -window root "$artifacts/no_tray_wm${wm}_screen.png"
click_in "$main" $((272 + 42)) $((288 + 18))
wait_until 10 window_named "Помощь :: О программе" || fail "the help window did not open"
help=$(window_named "Помощь :: О программе")
settle "$help"
xdotool key Print
expect_left_out shot_001.bmp "the help window"
click_in "$help" $((420 + 37)) $((346 + 11))
wait_until 10 no_window_named "Помощь :: О программе" || fail "OK did not close help"
press_return_in "$note"
wait_until 10 no_window_named Fotokran || fail "the note did not close"

if [ "$wm" = 1 ]; then
  # "Свернуть" iconifies and keeps the task-bar entry; the note is not given again.
  xprop -id "$main" _NET_WM_STATE | grep -q SKIP_TASKBAR && fail "a window without a task-bar entry"
  click_in "$main" $((448 + 42)) $((288 + 18))
  wait_until 10 is_iconic "$main" || fail "Свернуть did not iconify the window ($(wm_state "$main"))"
  # As the note says: starting the program again brings the window back, and that start ends.
  grep -q "новым запуском Fotokran" "$work/log" || fail "the note does not say how the window comes back"
  "$work/bin/fotokran" >"$work/second.log" 2>&1 &
  second=$!
  wait_until 10 is_normal "$main" || fail "a second start did not bring the window back"
  wait_until 10 is_viewable "$main" || fail "the window did not come back"
  wait_until 10 process_gone "$second" || fail "the second start did not end"
  wait "$second" || { cat "$work/second.log" >&2; fail "the second start failed"; }
  settle
else
  # Nothing can iconify the window: it stays where it is.
  click_in "$main" $((448 + 42)) $((288 + 18))
  # A key pressed after the click is handled after it: once its shot is there, the click is done.
  xdotool key Print
  wait_until 10 test -s "$work/shots/shot_002.bmp" || fail "Print after Свернуть wrote no shot_002.bmp"
  is_viewable "$main" || fail "Свернуть without a window manager left nothing on the screen"
fi
[ "$(no_tray_notes)" = 1 ] || fail "the missing tray was told again"
kill -0 "$pid" || fail "the program ended"

close_program
grep -qx "StartMinimazed=1" "$work/bin/config.ini" || fail "config.ini lost StartMinimazed"
grep -qx "Y=99999" "$work/bin/config.ini" && fail "config.ini kept the position off the screen"

if [ "$wm" = 1 ]; then
  sed -i -e 's/^X=.*/X=0/' -e 's/^Y=.*/Y=0/' "$work/bin/config.ini"
  windows_at 96 en
  # The windows at 120 dpi, as the desktop's font setting gives it.
  echo "Xft.dpi: 120" | xrdb -merge
  windows_at 120
  windows_at 120 en
fi
echo "app e2e without tray (window manager: $wm): all checks passed"
