#!/usr/bin/env bash
# One long timed series on a virtual display: SHOTS pictures at a 10 ms pause in one format, with
# the program's open descriptors, shared-memory segments, resident memory and the X server's
# resources sampled after 50 pictures and at the end. Prints one line of figures; fails when any
# of them grew (resident memory: by more than two screen-sized pictures, which the allocator may
# keep for its threads; a leak of 8 KB a picture would exceed that over the 950 compared).
#
#   soak_series.sh FOTOKRAN FORMAT_INDEX SHOTS     (run inside with-xvfb --wm)
set -u
program=$1
format=$2
shots=$3
here=$(dirname "$0")
. "$here/../e2e/app/e2e_lib.sh"

read -r screen_w screen_h < <(xdpyinfo | sed -n 's/.*dimensions: *\([0-9]*\)x\([0-9]*\) pixels.*/\1 \2/p')
slack_kb=${SOAK_RSS_SLACK_KB:-$((2 * screen_w * screen_h * 4 / 1024))}
names=(JPG BMP WMF PNG GIF TIF)
ext=$(echo "${names[$format]}" | tr 'A-Z' 'a-z')
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
cp "$program" "$work/bin/fotokran"
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" QT_QPA_PLATFORM=xcb
printf '[FileName]\nPath=%s\nCount=0\n[Format]\nType=%s\nGIF_palette=3\nJPEG_Quality=80\n[ShootSettings]\nTimer=10\n[Masks]\nLast=soak_#####.%s\n' \
  "$work/shots" "$format" "$ext" >"$work/bin/config.ini"

# The pictures are not kept: all but the newest few are removed as the series goes.
(
  while :; do
    ls "$work/shots" | sort | head -n -3 | sed "s|^|$work/shots/|" | xargs -r rm -f
    sleep 0.2
  done
) &
cleaner=$!

newest() { ls "$work/shots" | sort | tail -n1 | sed -n 's/^soak_0*\([0-9][0-9]*\)\..*/\1/p'; }
reached() { local n; n=$(newest); [ -n "$n" ] && [ "$n" -ge "$1" ]; }

# "descriptors shm rss_kb windows pixmaps gcs pictures pixmap_kb" of the program and the server.
sample() {
  local fds shm rss x
  # The picture being written at that moment is no leak (a leaked one would show as deleted),
  # nor is the eventfd of a helper thread that Qt starts and ends now and then: the least of
  # five looks half a second apart counts.
  fds=1000000
  for _ in 1 2 3 4 5; do
    local n
    n=$(find "/proc/$pid/fd" -mindepth 1 -printf '%l\n' | grep -cv "^$work/shots/[^ ]*\$")
    [ "$n" -lt "$fds" ] && fds=$n
    sleep 0.5
  done
  shm=$(grep -c 'SYSV' "/proc/$pid/maps")
  rss=$(awk '/^VmRSS:/ {print $2}' "/proc/$pid/status")
  find "/proc/$pid/fd" -mindepth 1 -printf '%f -> %l\n' | sort -n >"$work/fds.$1"
  xrestop -b -m 1 >"$work/xrestop.$1"
  x=$(awk -F: '
    /windows/ {w += $2} /pixmaps/ {p += $2} /GCs/ {g += $2} /pictures/ {c += $2}
    /pixmap bytes/ {b += $2}
    END {printf "%d %d %d %d %d", w, p, g, c, b / 1024}' "$work/xrestop.$1")
  echo "$fds $shm $rss $x"
}

"$work/bin/fotokran" >"$work/log" 2>&1 &
pid=$!
wait_until 30 window_named "Fotokran v0.7" || fail "the main window did not appear"
# Qt starts some helper threads (each with an eventfd) a moment after the window shows.
sleep 3
start=$(date +%s.%N)
xdotool key shift+Print
wait_until 60 reached 50 || fail "${names[$format]}: 50 pictures did not come"
read -r f1 s1 r1 w1 p1 g1 c1 b1 < <(sample 1)
limit=$((shots * 2 + 120))
wait_until "$limit" reached "$shots" || fail "${names[$format]}: $shots pictures did not come in ${limit}s (at $(newest))"
read -r f2 s2 r2 w2 p2 g2 c2 b2 < <(sample 2)
end=$(date +%s.%N)
xdotool key shift+Print
no_window_named Fotokran || fail "${names[$format]}: an error box came up: $(cat "$work/log")"
kill -0 "$pid" || fail "${names[$format]}: the program ended"
# "Закрыть" ends it as a user would.
main=$(window_named "Fotokran v0.7")
click_in "$main" $((360 + 42)) $((288 + 18))
for _ in $(seq 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
wait "$pid" || fail "${names[$format]}: the program did not close cleanly"
pid=

per_shot=$(echo "($end - $start) * 1000 / $shots" | bc)
printf '%-4s %5d shots %4s ms/shot | fds %3d -> %3d | shm %d -> %d | rss %6d -> %6d kB | X windows %d -> %d, pixmaps %d -> %d (%d -> %d kB), GCs %d -> %d, pictures %d -> %d\n' \
  "${names[$format]}" "$shots" "$per_shot" "$f1" "$f2" "$s1" "$s2" "$r1" "$r2" "$w1" "$w2" "$p1" "$p2" "$b1" "$b2" "$g1" "$g2" "$c1" "$c2"
grew=()
[ "$f2" -le "$f1" ] || grew+=("descriptors")
[ "$s2" -le "$s1" ] || grew+=("shared memory")
[ "$r2" -le $((r1 + slack_kb)) ] || grew+=("resident memory")
[ "$w2" -le "$w1" ] && [ "$p2" -le "$p1" ] && [ "$g2" -le "$g1" ] && [ "$c2" -le "$c1" ] || grew+=("X resources")
if [ ${#grew[@]} -gt 0 ]; then
  diff "$work/fds.1" "$work/fds.2" >&2
  diff "$work/xrestop.1" "$work/xrestop.2" >&2
fi
[ ${#grew[@]} -eq 0 ] || fail "${names[$format]}: grew after 50 pictures: ${grew[*]}"
