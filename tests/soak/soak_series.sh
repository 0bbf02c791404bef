#!/usr/bin/env bash
# One long timed series on a virtual display: SHOTS pictures at a 10 ms pause in one format, with
# the program's open descriptors, shared-memory segments, resident memory and the X server's
# resources sampled after 50 pictures and at the end. Prints one line of figures; fails when any
# of them grew (resident memory: by more than two screen-sized pictures; a leak of 8 KB a picture
# would exceed that over the 950 compared).
#
#   soak_series.sh FOTOKRAN FORMAT_INDEX SHOTS     (run inside with-xvfb --wm)
set -u
program=$1
format=$2
shots=$3
here=$(dirname "$0")
. "$here/../e2e/app/e2e_lib.sh"
. "$here/soak_lib.sh"

names=(JPG BMP WMF PNG GIF TIF)
ext=$(echo "${names[$format]}" | tr 'A-Z' 'a-z')
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

start_soaked_program
start=$(date +%s.%N)
xdotool key shift+Print
wait_until 60 reached 50 || fail "${names[$format]}: 50 pictures did not come"
first=$(sample 1)
limit=$((shots * 2 + 120))
wait_until "$limit" reached "$shots" || fail "${names[$format]}: $shots pictures did not come in ${limit}s (at $(newest))"
last=$(sample 2)
end=$(date +%s.%N)
xdotool key shift+Print
close_soaked_program "${names[$format]}"

per_shot=$(echo "($end - $start) * 1000 / $shots" | bc)
compare "${names[$format]}" "$first" "$last" "$(printf '%5d shots %4s ms/shot' "$shots" "$per_shot")"
