#!/usr/bin/env bash
# `fotokran --screen` from the command to the complete file, with a copy running (warm) and with
# none (cold), for PNG and JPEG (quality 90), interleaved round by round with scrot and maim
# writing the same picture; the medians and their ratios to scrot's. Run on a virtual display
# with a window manager:
#
#   tests/tools/with-xvfb --wm -- bench/cli/cli_bench.sh FOTOKRAN [ROUNDS]
set -u
rounds=${2:-15}
work=$(mktemp -d /tmp/fotokran-cli-bench-XXXXXX)
# The cold runs ask a session bus of their own, where no copy runs.
read -r cold_bus cold_bus_pid < <(dbus-daemon --session --fork --print-address=1 --print-pid=1 | paste -s -d ' ')
trap 'kill "$copy" "$cold_bus_pid" 2>/dev/null; rm -rf "$work"' EXIT
mkdir -p "$work/warm" "$work/cold" "$work/shots"
for kind in warm cold; do cp "$1" "$work/$kind/fotokran"; done
export QT_QPA_PLATFORM=xcb
config() {  # config.ini of the copy in $1 for format index $2 and the mask's extension $3
  printf '[FileName]\nPath=%s\nCount=0\n[Format]\nType=%s\nJPEG_Quality=90\n[Masks]\nLast=%s_###.%s\n[Desktop]\nNotifications=0\n' \
    "$work/shots" "$2" "$(basename "$1")" "$3" >"$1/config.ini"
}
# The screen shows the shared screenshot-like picture, as every benchmark pictures it.
here=$(cd "$(dirname "$0")" && pwd)
# (display says 1 even when it has shown it)
display -window root "${FOTOKRAN_BENCH_DATA:-$here/../../../shared/bench}/screen-1080p.bmp"
copy=

ms_of() {  # milliseconds the command takes
  local start end
  start=$(date +%s%N)
  "$@" >/dev/null 2>&1 || { echo "FAIL: $*" >&2; exit 1; }
  end=$(date +%s%N)
  echo $(((end - start) / 1000))
}
median() { sort -n | awk '{ a[NR] = $1 } END { printf "%.1f", a[int((NR + 1) / 2)] / 1000 }'; }

for format in png:3 jpg:0; do
  ext=${format%:*} index=${format#*:}
  config "$work/warm" "$index" "$ext"
  config "$work/cold" "$index" "$ext"
  "$work/warm/fotokran" >/dev/null 2>&1 &
  copy=$!
  until gdbus introspect --session --dest org.fotokran.Fotokran --object-path /org/fotokran/Fotokran >/dev/null 2>&1; do sleep 0.1; done
  : >"$work/warm.t"; : >"$work/cold.t"; : >"$work/scrot.t"; : >"$work/maim.t"
  for _ in $(seq "$rounds"); do
    ms_of "$work/warm/fotokran" --screen >>"$work/warm.t"
    DBUS_SESSION_BUS_ADDRESS=$cold_bus ms_of "$work/cold/fotokran" --screen >>"$work/cold.t"
    if [ "$ext" = jpg ]; then
      ms_of scrot -o -q 90 "$work/shots/scrot.jpg" >>"$work/scrot.t"
      command -v maim >/dev/null && ms_of maim -f jpg "$work/shots/maim.jpg" >>"$work/maim.t"
    else
      ms_of scrot -o "$work/shots/scrot.png" >>"$work/scrot.t"
      command -v maim >/dev/null && ms_of maim -f png "$work/shots/maim.png" >>"$work/maim.t"
    fi
  done
  kill "$copy"; wait "$copy" 2>/dev/null
  scrot_ms=$(median <"$work/scrot.t")
  for who in warm cold scrot maim; do
    [ -s "$work/$who.t" ] || continue
    m=$(median <"$work/$who.t")
    printf '%-5s %-6s %8s ms  %5.2f x scrot\n' "$ext" "$who" "$m" "$(echo "$m / $scrot_ms" | bc -l)"
  done
done
