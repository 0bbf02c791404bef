# Helpers of the soak scripts: the program in a private folder, and samples of what it holds.
# Sourced after e2e_lib.sh, with $program set.

read -r screen_w screen_h < <(xdpyinfo | sed -n 's/.*dimensions: *\([0-9]*\)x\([0-9]*\) pixels.*/\1 \2/p')
# Resident memory may grow by two screen pictures, which the allocator may keep for its threads.
slack_kb=${SOAK_RSS_SLACK_KB:-$((2 * screen_w * screen_h * 4 / 1024))}
work=$(mktemp -d /tmp/fotokran-soak-XXXXXX)
pid=
cleaner=
cleanup() {
  [ -n "$cleaner" ] && kill "$cleaner" 2>/dev/null
  [ -n "$pid" ] && kill -9 "$pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
mkdir -p "$work/bin" "$work/shots" "$work/home"
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" QT_QPA_PLATFORM=xcb

start_soaked_program() {
  start_program
  # Qt starts some helper threads (each with an eventfd) a moment after the window shows.
  sleep 3
}

# "descriptors shm rss_kb windows pixmaps gcs pictures pixmap_kb" of the program and the server.
sample() {
  local fds shm rss x
  # A file being written at that moment is no leak (a leaked one would show as deleted), nor is
  # the eventfd of a helper thread that Qt starts and ends now and then: the least of five looks
  # half a second apart counts.
  fds=1000000
  for _ in 1 2 3 4 5; do
    local n
    n=$(find "/proc/$pid/fd" -mindepth 1 -printf '%l\n' 2>/dev/null | grep -cv "^$work/shots/[^ ]*\$")
    [ "$n" -lt "$fds" ] && fds=$n
    sleep 0.5
  done
  shm=$(grep -c 'SYSV' "/proc/$pid/maps")
  rss=$(awk '/^VmRSS:/ {print $2}' "/proc/$pid/status")
  find "/proc/$pid/fd" -mindepth 1 -printf '%f -> %l\n' 2>/dev/null | sort -n >"$work/fds.$1"
  xrestop -b -m 1 >"$work/xrestop.$1"
  x=$(awk -F: '
    /windows/ {w += $2} /pixmaps/ {p += $2} /GCs/ {g += $2} /pictures/ {c += $2}
    /pixmap bytes/ {b += $2}
    END {printf "%d %d %d %d %d", w, p, g, c, b / 1024}' "$work/xrestop.$1")
  echo "$fds $shm $rss $x"
}

# "Закрыть" ends the program as a user would; it must end cleanly.
close_soaked_program() {
  no_window_named Fotokran || fail "$1: an error box came up: $(cat "$work/log")"
  kill -0 "$pid" || fail "$1: the program ended"
  close_program
}

# compare NAME "FIRST SAMPLE" "LAST SAMPLE" "WHAT WAS DONE": prints one line of figures, fails
# when any of them grew.
compare() {
  local f1 s1 r1 w1 p1 g1 c1 b1 f2 s2 r2 w2 p2 g2 c2 b2
  read -r f1 s1 r1 w1 p1 g1 c1 b1 <<<"$2"
  read -r f2 s2 r2 w2 p2 g2 c2 b2 <<<"$3"
  printf '%-5s %s | fds %3d -> %3d | shm %d -> %d | rss %6d -> %6d kB | X windows %d -> %d, pixmaps %d -> %d (%d -> %d kB), GCs %d -> %d, pictures %d -> %d\n' \
    "$1" "$4" "$f1" "$f2" "$s1" "$s2" "$r1" "$r2" "$w1" "$w2" "$p1" "$p2" "$b1" "$b2" "$g1" "$g2" "$c1" "$c2"
  local grew=()
  [ "$f2" -le "$f1" ] || grew+=("descriptors")
  [ "$s2" -le "$s1" ] || grew+=("shared memory")
  [ "$r2" -le $((r1 + slack_kb)) ] || grew+=("resident memory")
  [ "$w2" -le "$w1" ] && [ "$p2" -le "$p1" ] && [ "$g2" -le "$g1" ] && [ "$c2" -le "$c1" ] ||
    grew+=("X resources")
  if [ ${#grew[@]} -gt 0 ]; then
    diff "$work/fds.1" "$work/fds.2" >&2
    diff "$work/xrestop.1" "$work/xrestop.2" >&2
  fi
  [ ${#grew[@]} -eq 0 ] || fail "$1: grew: ${grew[*]}"
}
