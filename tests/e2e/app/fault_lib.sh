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

# launch [COMMAND PREFIX...]: starts the program in $work/bin, its output in $work/log.
launch() {
  [ -x "$work/bin/fotokran" ] || cp "$program" "$work/bin/fotokran"
  : >"$work/log"
  "$@" "$work/bin/fotokran" >>"$work/log" 2>&1 &
  pid=$!
}
await_main() {
  wait_until 30 window_named "Fotokran v0.7" || fail "the main window did not appear"
  main=$(window_named "Fotokran v0.7")
  wait_until 5 is_viewable "$main" || fail "the main window is not shown"
  settle
}
start_program() {
  launch "$@"
  await_main
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

# Closes the program with its "Закрыть" button.
close_program() {
  click_in "$main" $((360 + 42)) $((288 + 18))
}
wait_program_end() {
  local seconds=${1:-10}
  for _ in $(seq $((seconds * 10))); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
  kill -0 "$pid" 2>/dev/null && fail "the program did not end within ${seconds}s"
  wait "$pid"
  status=$?
  pid=
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
