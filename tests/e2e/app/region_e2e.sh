#!/usr/bin/env bash
# A region of the screen, the clipboard, the shot delay's countdown and every monitor, one case a
# run, on a screen that shows a wallpaper of noise (an off-by-one pixel shows at once).
#
#   region_e2e.sh FOTOKRAN CASE   CASE: direct | interactive | countdown | monitors
set -u
program=$1
case_name=$2
here=$(dirname "$0")
. "$here/e2e_lib.sh"

work=$(mktemp -d /tmp/fotokran-region-e2e-XXXXXX)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done
  for p in $(pgrep -f "^$work/bin/fotokran\$"); do kill "$p"; done  # a holder a failed check left
  rm -rf "$work"
}
trap cleanup EXIT
mkdir -p "$work/bin" "$work/shots" "$work/home"
cp "$program" "$work/bin/fotokran"
fotokran="$work/bin/fotokran"
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" QT_QPA_PLATFORM=xcb
# config [KEY=VALUE in section ShootSettings...]: a BMP of each picture into $work/shots.
config() {
  printf '[FileName]\nPath=%s\nCount=0\n[Format]\nType=1\n[Masks]\nLast=shot_###.bmp\n[ShootSettings]\n' \
    "$work/shots" >"$work/bin/config.ini"
  printf '%s\n' "$@" >>"$work/bin/config.ini"
}
config
# desktop_key KEY=VALUE: a switch of the tray menu, as the program stores it.
desktop_key() {
  grep -qx '\[Desktop\]' "$work/bin/config.ini" || printf '[Desktop]\n' >>"$work/bin/config.ini"
  sed -i "/^\[Desktop\]\$/a $1" "$work/bin/config.ini"
}
read -r screen_w screen_h < <(xdpyinfo | sed -n 's/.*dimensions: *\([0-9]*\)x\([0-9]*\) pixels.*/\1 \2/p')
/usr/bin/python3 -c 'import os, sys; from PIL import Image; w, h = int(sys.argv[2]), int(sys.argv[3])
Image.frombytes("RGB", (w, h), os.urandom(w * h * 3)).save(sys.argv[1])' "$work/noise.png" "$screen_w" "$screen_h"
/usr/bin/python3 "$here/../../tools/set_wallpaper.py" "$work/noise.png" || fail "no wallpaper"

shot() { printf '%s/shots/shot_%03d.bmp' "$work" "$1"; }
# same_pixels A B [X Y W H]: picture B holds the pixels of A (of that part of A, when given).
same_pixels() {
  /usr/bin/python3 -c 'import sys; from PIL import Image
a, b = Image.open(sys.argv[1]).convert("RGB"), Image.open(sys.argv[2]).convert("RGB")
if len(sys.argv) > 3:
    x, y, w, h = map(int, sys.argv[3:7]); a = a.crop((x, y, x + w, y + h))
sys.exit(0 if a.size == b.size and a.tobytes() == b.tobytes() else 1)' "$@"
}
# cli_in_background ARGS...: $cli is its process; cli_ended EXPECTED_STATUS waits for its end.
cli_in_background() {
  "$fotokran" "$@" >"$work/out" 2>"$work/err" &
  cli=$!
}
cli_ended() {
  wait_until 20 process_gone "$cli" || fail "the command did not end (line ${BASH_LINENO[0]})"
  wait "$cli"
  local status=$?
  out=$(cat "$work/out")
  err=$(cat "$work/err")
  [ "$status" = "$1" ] || fail "the command exited with $status, not $1 (stderr: $err)"
}
selector_shown() { window_named "Fotokran: снимок области"; }
# Another client holds the keyboard: a grab of our own is refused as already taken.
keyboard_taken() {
  /usr/bin/python3 -c 'import ctypes, ctypes.util, sys
x = ctypes.CDLL(ctypes.util.find_library("X11")); x.XOpenDisplay.restype = ctypes.c_void_p
d = ctypes.c_void_p(x.XOpenDisplay(None)); root = x.XDefaultRootWindow(d)
status = x.XGrabKeyboard(d, ctypes.c_ulong(root), 0, 1, 1, ctypes.c_ulong(0))
x.XUngrabKeyboard(d, ctypes.c_ulong(0)); x.XCloseDisplay(d)
sys.exit(0 if status == 1 else 1)'
}
# The frozen screen shows and has taken the keys.
await_selector() {
  wait_until 15 selector_shown || fail "the frozen screen was not shown"
  wait_until 10 keyboard_taken || fail "the frozen screen did not take the keyboard"
}
holder_running() { pgrep -f "^$fotokran\$" >/dev/null; }
clipboard() { xclip -selection clipboard -o -t "$1"; }

case $case_name in
direct)
  run_cli 0 --screen
  [ "$out" = "$(shot 0)" ] || fail "--screen printed '$out'"
  run_cli 0 --region 10,20,300,200 --clipboard
  [ "$out" = "$(shot 1)" ] || fail "--region printed '$out'"
  same_pixels "$(shot 0)" "$out" 10 20 300 200 || fail "the region is not that crop of the screen"
  # The process has ended; one in the background holds the picture until another program takes it.
  wait_until 5 holder_running || fail "nothing holds the clipboard"
  targets=$(clipboard TARGETS)
  grep -qx image/png <<<"$targets" && grep -qx text/uri-list <<<"$targets" ||
    fail "the clipboard offers: $targets"
  clipboard image/png >"$work/clip.png"
  same_pixels "$(shot 1)" "$work/clip.png" || fail "the clipboard's PNG is not the picture"
  [ "$(clipboard text/uri-list | tr -d '\r')" = "file://$(shot 1)" ] || fail "the clipboard names no file"
  echo other | xclip -selection clipboard
  wait_until 10 eval '! holder_running' || fail "the holder stayed after another program took the clipboard"
  run_cli 0 --region last
  same_pixels "$(shot 1)" "$out" || fail "--region last is not the last region"
  run_cli 1 --region "$screen_w,0,10,10"
  grep -q 'outside the screen' <<<"$err" || fail "a region off the screen said: $err"
  run_cli 2 --region 10,20,0,5
  "$fotokran" --help | grep -q -- '--clipboard.*$' || fail "--help does not tell --clipboard"
  # The running copy serves the clipboard itself when its switch is on.
  desktop_key Clipboard=1
  launch
  wait_until 15 window_named "Fotokran v0.7" || fail "the running copy did not start"
  pids+=("$pid")
  wait_until 10 eval 'gdbus call --session --dest org.freedesktop.DBus --object-path /org/freedesktop/DBus \
    --method org.freedesktop.DBus.NameHasOwner org.fotokran.Fotokran | grep -q true' || fail "the copy took no bus name"
  run_cli 0 --screen
  clipboard image/png >"$work/clip.png"
  same_pixels "$out" "$work/clip.png" || fail "the copy's clipboard does not hold its picture"
  run_cli 0 --quit
  ;;
interactive)
  run_cli 0 --screen
  screen=$out
  # Drag, one pixel right, one pixel wider, Enter.
  cli_in_background --region
  await_selector
  xdotool mousemove 100 100 mousedown 1 mousemove 200 180 mousemove 300 250 mouseup 1
  xdotool key Right shift+Right Return
  cli_ended 0
  same_pixels "$screen" "$out" 101 100 201 150 || fail "the chosen region is not that crop of the screen"
  # Esc and a right click write nothing.
  for cancel in "key Escape" "click 3"; do
    cli_in_background --region
    await_selector
    xdotool mousemove 50 50 mousedown 1 mousemove 150 150 mouseup 1 $cancel
    cli_ended 1
    grep -q cancelled <<<"$err" || fail "$cancel said: $err"
  done
  [ "$(count_files "$work/shots" '*.bmp')" = 2 ] || fail "a cancelled region wrote a file"
  # A click without dragging takes the window under the pointer, as the window's own shot does.
  xmessage -geometry 300x120+600+400 -title "picked window" "Fotokran e2e" &
  pids+=($!)
  wait_until 10 window_named "picked window" || fail "xmessage did not start"
  picked=$(window_named "picked window")
  if has_window_manager; then
    xdotool windowactivate --sync "$picked"
    wait_until 5 frame_extents "$picked" || fail "the window has no frame"
  else
    xdotool windowfocus --sync "$picked"
  fi
  xdotool mousemove 10 10
  run_cli 0 --window
  window_shot=$out
  cli_in_background --region
  await_selector
  xdotool mousemove 750 410 click 1
  cli_ended 0
  same_pixels "$window_shot" "$out" || fail "the picked window is not the window's shot"
  # Ctrl+Shift+Print opens the selector in the running copy.
  launch
  pids+=("$pid")
  wait_until 15 window_named "Fotokran v0.7" || fail "the running copy did not start"
  before=$(count_files "$work/shots" '*.bmp')
  wait_until 10 eval 'xdotool key ctrl+shift+Print; wait_until 1 selector_shown' ||
    fail "Ctrl+Shift+Print showed no frozen screen"
  await_selector
  xdotool key Escape
  wait_until 10 eval '! selector_shown' || fail "Esc did not end the selection"
  [ "$(count_files "$work/shots" '*.bmp')" = "$before" ] || fail "the cancelled hot key wrote a file"
  run_cli 0 --quit
  ;;
countdown)
  # The countdown shows while the shot waits, and is not in the picture.
  config UseDelay=1 Delay=2
  cli_in_background --screen
  wait_until 10 window_named "Fotokran: отсчет" || fail "no countdown was shown"
  cli_ended 0
  same_pixels "$work/noise.png" "$out" || fail "the picture is not the bare screen"
  # Esc cancels it.
  cli_in_background --screen
  wait_until 10 window_named "Fotokran: отсчет" || fail "no countdown was shown"
  xdotool key Escape
  cli_ended 1
  grep -q cancelled <<<"$err" || fail "Esc said: $err"
  wait_until 5 no_window_named "Fotokran: отсчет" || fail "the countdown stayed"
  [ "$(count_files "$work/shots" '*.bmp')" = 1 ] || fail "the cancelled shot wrote a file"
  ;;
monitors)
  half=$((screen_w / 2))
  xrandr --setmonitor '*left' "$half/100x$screen_h/100+0+0" none &&
    xrandr --setmonitor right "$((screen_w - half))/100x$screen_h/100+$half+0" none ||
    fail "no monitors were made"
  run_cli 0 --screen
  same_pixels "$work/noise.png" "$out" 0 0 "$half" "$screen_h" || fail "--screen is not the primary monitor"
  run_cli 0 --screen --all-monitors
  same_pixels "$work/noise.png" "$out" || fail "--all-monitors is not the whole framebuffer"
  run_cli 2 --window --all-monitors
  desktop_key WholeDesktop=1
  run_cli 0 --screen
  same_pixels "$work/noise.png" "$out" || fail "\"Весь рабочий стол\" is not the whole framebuffer"
  # The cursor is drawn where the pointer is, whichever monitor is primary and whatever is taken.
  xrandr --delmonitor left && xrandr --delmonitor right &&
    xrandr --setmonitor left "$half/100x$screen_h/100+0+0" none &&
    xrandr --setmonitor '*right' "$((screen_w - half))/100x$screen_h/100+$half+0" none ||
    fail "the primary monitor was not moved"
  config CaptureCursor=1
  xdotool mousemove $((half + 40)) 50
  cursor_at() { # PICTURE X: where PICTURE differs from the wallpaper seen from X, as a box
    /usr/bin/python3 -c 'import sys; from PIL import Image, ImageChops
b = Image.open(sys.argv[1]).convert("RGB"); x = int(sys.argv[2])
a = Image.open(sys.argv[3]).convert("RGB").crop((x, 0, x + b.width, b.height))
box = ImageChops.difference(a, b).getbbox(); print(*(box[i] + (x if i % 2 == 0 else 0) for i in range(4)) if box else "")' "$@" "$work/noise.png"
  }
  run_cli 0 --screen
  on_primary=$(cursor_at "$out" "$half")
  run_cli 0 --screen --all-monitors
  on_desktop=$(cursor_at "$out" 0)
  read -r left top _ < <(echo "$on_desktop")
  [ -n "$on_primary" ] && [ "$on_primary" = "$on_desktop" ] && [ "$left" -le $((half + 40)) ] &&
    [ "$left" -ge $((half + 8)) ] && [ "$top" -le 50 ] ||
    fail "the cursor is at $on_primary on the primary monitor, at $on_desktop on the desktop"
  ;;
*) fail "no case $case_name" ;;
esac
echo "region e2e $case_name: all checks passed"
