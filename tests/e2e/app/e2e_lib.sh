# Helpers of the program's end-to-end scripts: waiting, windows, BMP sizes. Sourced, not run.

# Reports the failure, with a picture of the display in $failure_shot when that is set.
fail() {
  echo "FAIL: $*" >&2
  [ -n "${failure_shot:-}" ] && import -window root "$failure_shot" 2>/dev/null
  exit 1
}

# wait_until SECONDS command...: runs the command every 50 ms until it succeeds.
wait_until() {
  local seconds=$1
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

# A window that has just been mapped takes clicks only once the window manager and the toolkit
# are done with the map; a person never clicks that fast.
settle() { sleep 0.5; }

# Clicks at a point of a window's client area.
click_in() {
  xdotool mousemove --window "$1" "$2" "$3" click 1
}

count_files() {
  find "$1" -maxdepth 1 -type f -name "$2" | wc -l
}

# Waits until the number of matching files stays the same for half a second.
settled_count() {
  local before=-1 now
  for _ in $(seq 40); do
    now=$(count_files "$1" "$2")
    [ "$now" = "$before" ] && { echo "$now"; return; }
    before=$now
    sleep 0.5
  done
  echo "$now"
}
