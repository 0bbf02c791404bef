# Helpers of the program's end-to-end scripts: waiting, windows, BMP sizes. Sourced, not run.

# Reports the failure, with a picture of the display in $failure_shot when that is set.
fail() {
  echo "FAIL: $*" >&2
  [ -n "${failure_shot:-}" ] && import -window root "$failure_shot" 2>/dev/null
  exit 1
}

# wait_until SECONDS command...: runs the command every 50 ms until it succeeds.
wait_until() {
  local seconds=$1 i
  shift
  local tries=$((seconds * 20))
  for ((i = 0; i < tries; i++)); do
    "$@" >/dev/null 2>&1 && return 0
    sleep 0.05
  done
  return 1
}

# The first visible window whose name is exactly the given text; fails when there is none.
window_named() {
  local id
  id=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -n1)
  [ -n "$id" ] && echo "$id"
}

no_window_named() { ! window_named "$1" >/dev/null; }

map_state() {
  [ -n "$1" ] || return 1
  xwininfo -id "$1" | sed -n 's/.*Map State: //p'
}

is_viewable() { [ "$(map_state "$1")" = IsViewable ]; }
is_unmapped() { [ "$(map_state "$1")" != IsViewable ]; }

# "left right top bottom" of the window manager's frame around a window.
frame_extents() {
  xprop -id "$1" _NET_FRAME_EXTENTS | sed -n 's/.*= //p' | tr -d ',' | grep .
}

# "width height" from a BMP file's header.
bmp_size() {
  /usr/bin/python3 -c '
import struct, sys
data = open(sys.argv[1], "rb").read(26)
assert data[:2] == b"BM", "not a BMP file"
w, h = struct.unpack("<ii", data[18:26])
print(w, abs(h))' "$1"
}

# A window manager runs while its check window exists (one that has gone can leave the root
# property behind).
has_window_manager() {
  local check
  check=$(xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | sed -n 's/.*window id # //p')
  [ -n "$check" ] && xwininfo -id "$check" >/dev/null 2>&1
}

origin_of() {
  xwininfo -id "$1" 2>/dev/null | awk '/Absolute upper-left X/{x=$4} /Absolute upper-left Y/{y=$4} END{print x, y}'
}

# A window is where it stays, and takes clicks there, once it is shown, under a window manager
# framed, and no longer moving (a manager may animate a window that comes back from an icon).
window_ready() {
  is_viewable "$1" || return 1
  if has_window_manager; then frame_extents "$1" >/dev/null || return 1; fi
  local before
  before=$(origin_of "$1")
  sleep 0.1
  [ "$(origin_of "$1")" = "$before" ]
}

# settle [WINDOW]: waits until the window (the main window by default) is ready for clicks.
settle() {
  local window=${1:-${main:-}}
  wait_until 10 window_ready "$window" || fail "the window '$window' was not shown and framed"
}

# A tooltip-like window of the process is shown: Qt's own balloon of a tray message.
balloon_shown() {
  local id
  for id in $(xdotool search --onlyvisible --pid "$1" 2>/dev/null); do
    xprop -id "$id" _NET_WM_WINDOW_TYPE 2>/dev/null | grep -q _NET_WM_WINDOW_TYPE_TOOLTIP && return 0
  done
  return 1
}

# process_gone PID: the process has ended (it may not yet have been waited for).
process_gone() { ! kill -0 "$1" 2>/dev/null; }

# Clicks at a point of a window's client area.
click_in() {
  xdotool mousemove --window "$1" "$2" "$3" click 1
}

count_files() {
  find "$1" -maxdepth 1 -type f -name "$2" | wc -l
}

# Waits until the number of matching files stays the same for half a second, at most 20 seconds;
# prints it, and fails when it never settles.
settled_count() {
  local before=-1 now
  for _ in $(seq 40); do
    now=$(count_files "$1" "$2")
    [ "$now" = "$before" ] && { echo "$now"; return; }
    before=$now
    sleep 0.5
  done
  fail "files $2 in $1 still appear after 20 seconds ($now of them)"
}

# at_least_files N FOLDER PATTERN: there are N or more matching files.
at_least_files() { [ "$(count_files "$2" "$3")" -ge "$1" ]; }

# file_size_at_least BYTES FILE
file_size_at_least() { [ -e "$2" ] && [ "$(stat -c %s "$2")" -ge "$1" ]; }

# The modification times of the files, one a line, in seconds with fractions.
mtimes() { stat -c %.Y "$@"; }

# The program under test is the private copy $work/bin/fotokran (copied from $program when not
# there yet), its output in $work/log, its process in $pid and its main window in $main.
# launch [COMMAND PREFIX...]: starts it in the background with a fresh log.
launch() {
  [ -x "$work/bin/fotokran" ] || cp "$program" "$work/bin/fotokran"
  : >"$work/log"
  "$@" "$work/bin/fotokran" >>"$work/log" 2>&1 &
  pid=$!
}
# await_main: the main window is shown and ready for clicks. The window may be mapped again
# while the program puts it in place, so it is looked for until it is found shown.
main_shown() { main=$(window_named "Fotokran v0.7") && is_viewable "$main"; }
await_main() {
  wait_until 30 main_shown || fail "the main window was not shown${main:+ ($(map_state "$main"))}"
  settle
}
start_program() {
  launch "$@"
  await_main
}

# Presses "Закрыть".
press_close() { click_in "$main" $((360 + 42)) $((288 + 18)); }
# wait_program_end [SECONDS]: the program ends within the time (10 s by default); its exit
# status is then in $status.
wait_program_end() {
  wait_until "${1:-10}" process_gone "$pid" || fail "the program did not end within ${1:-10}s"
  wait "$pid"
  status=$?
  pid=
}
# "Закрыть" ends the program promptly and without an error.
close_program() {
  press_close
  wait_program_end 10
  [ "$status" = 0 ] || { cat "$work/log" >&2; fail "the program ended with status $status"; }
}

# run_cli EXPECTED_STATUS ARGS...: runs $fotokran (in $work); its output lands in $out and $err.
run_cli() {
  local expected=$1
  shift
  "$fotokran" "$@" >"$work/out" 2>"$work/err"
  local status=$?
  out=$(cat "$work/out")
  err=$(cat "$work/err")
  [ "$status" = "$expected" ] || fail "fotokran $* exited with $status, not $expected (stderr: $err)"
}
