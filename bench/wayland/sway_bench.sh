#!/usr/bin/env bash
# The Wayland figures on headless sway at 1920x1080: the grab against a bare screen-copy round trip
# (bench_wayland_grab), `fotokran --screen` to a PNG file against grim writing the same picture,
# and the compact video's grabs a second on a screen that changes all the time.
#
#   bench/wayland/sway_bench.sh BENCH_WAYLAND_GRAB FOTOKRAN     (as root it runs as the user wltest)
set -u
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../../tests/e2e/wayland/sway_session.sh"
[ "${3:-}" = --inside ] || as_session_user "$0" "$1" "$2"
work=$4
pids=()
trap 'for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
mkdir -p "$work/bin" "$work/shots" "$work/home"
cp "$2" "$work/bin/fotokran"
fotokran=$work/bin/fotokran
export HOME=$work/home QT_QPA_PLATFORM=wayland
/usr/bin/python3 -m dbusmock --session --template notification_daemon >/dev/null 2>&1 &
pids+=($!)
# A small terminal that writes all the time, so that every frame differs from the one before.
start_sway "for_window [title=\"busy\"] floating enable, resize set 500 300, move position 200 200
exec foot -T busy sh -c 'while :; do date +%N; sleep 0.015; done'"
for i in $(seq 100); do tree_has '"name": "busy"' && break; sleep 0.1; done

echo "== bench_wayland_grab"
"$1" || fail "bench_wayland_grab failed"

ms() { echo $((($(date +%s%N) - $1) / 1000000)); }
median() { sort -n | awk '{ a[NR] = $1 } END { print a[int((NR + 1) / 2)] }'; }
config() {
  printf '[FileName]\nPath=%s\nCount=0\n[Format]\nType=3\n[Masks]\nLast=shot_###.png\n[Video]\nVideoType=1\nGIFSpeed=50\n' \
    "$work/shots" >"$work/bin/config.ini"
}
config
"$fotokran" >"$work/copy.log" 2>&1 &
copy=$!
pids+=("$copy")
for i in $(seq 100); do tree_has '"app_id": "org.fotokran.Fotokran"' && break; sleep 0.1; done
swaymsg '[app_id="org.fotokran.Fotokran"] move scratchpad' >/dev/null  # off the screen
"$fotokran" --screen >/dev/null || fail "--screen failed"
ours=() theirs=()
for i in $(seq 9); do
  t=$(date +%s%N); "$fotokran" --screen >/dev/null; ours+=("$(ms "$t")")
  t=$(date +%s%N); grim "$work/grim.png"; theirs+=("$(ms "$t")")
done
o=$(printf '%s\n' "${ours[@]}" | median) g=$(printf '%s\n' "${theirs[@]}" | median)
echo "fotokran --screen to PNG (running copy) ${o} ms, grim to PNG ${g} ms: $(echo "scale=2; $o / $g" | bc)x (goal <= 1.2x)"

t=$(date +%s%N)
"$fotokran" --video >/dev/null || fail "--video did not start"
sleep 5
seconds=$(echo "scale=2; $(ms "$t") / 1000" | bc)
video=$("$fotokran" --video) || fail "--video did not stop"
# Every grab differs from the one before, so each is a frame of the file.
frames=$(giftext "$video" | grep -c '^Image #')
echo "compact video at 1920x1080: $frames frames in ${seconds} s recorded: $(echo "scale=1; $frames / $seconds" | bc) grabs/s (goal >= 25)"
"$fotokran" --quit
wait "$copy"
