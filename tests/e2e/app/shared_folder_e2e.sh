#!/usr/bin/env bash
# Shots and videos into a folder that everyone may write to (not sticky), where another user
# (nobody) has put symbolic and hard links under the names of the next two pictures, of two
# videos and of their frame files. The files those links lead to are never opened (inotify
# watches them) and stay as they were; the pictures and videos are our own regular files with
# the screen's content and a new file's permissions; the links under the frame files' names
# stay and the frames go beside them and are gone afterwards. At the start, our own temporary
# file that no running copy holds is removed, while another user's and one held stay.
#
#   shared_folder_e2e.sh FOTOKRAN ARTIFACTS      (run as root inside with-xvfb --wm)
set -u
program=$1
artifacts=$2
here=$(dirname "$0")
. "$here/e2e_lib.sh"

if [ "$(id -u)" != 0 ] || ! command -v runuser >/dev/null || ! command -v inotifywait >/dev/null; then
  echo "shared folder e2e: needs root, runuser and inotifywait; skipped" >&2
  exit 0
fi

work=$(mktemp -d /tmp/fotokran-shared-e2e-XXXXXX)
pid=
watcher=
holder=
cleanup() {
  [ -n "$holder" ] && kill "$holder" 2>/dev/null
  [ -n "$pid" ] && kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null
  [ -n "$watcher" ] && kill "$watcher" 2>/dev/null && wait "$watcher" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
mkdir -p "$work/bin" "$work/home" "$work/mine" "$work/theirs" "$work/shots" "$artifacts"
failure_shot="$artifacts/shared_folder_e2e_failure.png"
rm -f "$failure_shot"
chmod 755 "$work"
chmod 777 "$work/shots"
chown nobody "$work/theirs"
cp "$program" "$work/bin/fotokran"
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" QT_QPA_PLATFORM=xcb
umask 022
shots=$work/shots
as_nobody() { runuser -u nobody -- "$@"; }

# My files elsewhere, and files of the other user that they link under our names.
for f in notes frames video; do echo "my $f" >"$work/mine/$f.txt"; done
chmod 600 "$work/mine/frames.txt"
as_nobody sh -c "umask 0; echo theirs >'$work/theirs/one.txt'; echo theirs too >'$work/theirs/two.txt'"
as_nobody ln -s "$work/mine/notes.txt" "$shots/shot_000.bmp"
as_nobody ln "$work/theirs/one.txt" "$shots/shot_001.bmp"
as_nobody ln -s "$work/mine/frames.txt" "$shots/video_2.gif.tmp"
as_nobody ln -s "$work/mine/video.txt" "$shots/video_2.gif"
as_nobody ln "$work/theirs/two.txt" "$shots/video_3.gif.tmp"
as_nobody ln -s "$work/mine/not-there.txt" "$shots/video_3.gif"
watched=("$work"/mine/*.txt "$work"/theirs/*.txt)
state() { for f in "${watched[@]}"; do stat -c '%n %s %a %U' "$f"; md5sum <"$f"; done; }
links() { for f in "$shots"/*.tmp; do stat -c '%n %F %i %U' "$f"; done; }
state >"$work/state.before"
links >"$work/links.before"

# Temporary files of an earlier run: ours of two days ago goes, the others stay.
for f in .shot_099.bmp.Ab12Cd.part .shot_098.bmp.Xy34Zw.part; do echo stale >"$shots/$f"; done
touch -d '2 days ago' "$shots/.shot_099.bmp.Ab12Cd.part"
# A copy running in another session holds its temporary file locked.
(exec 9<"$shots/.shot_098.bmp.Xy34Zw.part" && flock 9 && exec sleep 600) </dev/null >/dev/null 2>&1 &
holder=$!
wait_until 5 eval '! flock -n "$shots/.shot_098.bmp.Xy34Zw.part" true' || fail "the file could not be locked"
as_nobody sh -c "echo theirs >'$shots/video_97.gif.tmp'; touch -d '2 days ago' '$shots/video_97.gif.tmp'"

cat >"$work/bin/config.ini" <<INI
[WindowPosition]
X=0
Y=0
[FileName]
Path=$shots
Count=0
[Format]
Type=1
GIF_palette=3
[VideoFormat]
VideoType=0
GIFSpeed=20
[ShootSettings]
UseDelay=0
[Masks]
Last=shot_###.bmp
INI

inotifywait -m -e open,modify,move_self,delete_self --format '%w %e' "${watched[@]}" \
  >"$work/events" 2>"$work/inotify.log" &
watcher=$!
wait_until 10 grep -q 'Watches established' "$work/inotify.log" || fail "inotifywait did not start"

read -r screen_w screen_h < <(xdpyinfo | sed -n 's/.*dimensions: *\([0-9]*\)x\([0-9]*\) pixels.*/\1 \2/p')
xsetroot -solid '#00ff00'
start_program

[ ! -e "$shots/.shot_099.bmp.Ab12Cd.part" ] || fail "our stale temporary file was not removed"
[ -e "$shots/.shot_098.bmp.Xy34Zw.part" ] || fail "a temporary file of a running copy was removed"
[ -e "$shots/video_97.gif.tmp" ] || fail "another user's file was removed"

# Our own regular file, with a new file's permissions, in place of what stood there.
is_ours() { [ ! -L "$1" ] && [ "$(stat -c '%F %a %U %h' "$1")" = "regular file 644 root 1" ]; }

xdotool key Print
wait_until 10 is_ours "$shots/shot_000.bmp" || fail "shot_000.bmp: $(stat -c '%F %a %U' "$shots/shot_000.bmp")"
xdotool key Print
wait_until 10 is_ours "$shots/shot_001.bmp" || fail "shot_001.bmp: $(stat -c '%F %a %U' "$shots/shot_001.bmp")"

record_video() {
  local n=$1
  frames() { find "$shots" -maxdepth 1 -type f -name "video_$n.gif.??????.tmp" -size +0 | grep .; }
  xdotool key shift+Scroll_Lock
  wait_until 10 frames || fail "video $n: no frame file beside the link"
  sleep 0.5
  xdotool key shift+Scroll_Lock
  wait_until 60 is_ours "$shots/video_$n.gif" || fail "video_$n.gif: $(stat -c '%F %a %U' "$shots/video_$n.gif")"
  wait_until 10 eval '! frames' || fail "video $n: the frame file is still there"
}
record_video 2
record_video 3

kill -TERM "$pid"
wait "$pid" || { cat "$work/log" >&2; fail "the program ended with an error"; }
pid=
kill "$watcher" && wait "$watcher" 2>/dev/null
watcher=

[ ! -s "$work/events" ] || fail "a linked file was touched: $(sort -u "$work/events" | tr '\n' ' ')"
state >"$work/state.after"
diff "$work/state.before" "$work/state.after" >&2 || fail "a linked file changed"
links >"$work/links.after"
grep -v video_97 "$work/links.after" | diff "$work/links.before" - >&2 ||
  fail "the links under the frame files' names did not stay"
[ ! -e "$work/mine/not-there.txt" ] || fail "a file was made through a dangling link"

/usr/bin/python3 - "$shots" "$screen_w" "$screen_h" >"$work/pillow" 2>&1 <<'PY' ||
import sys
from PIL import Image
shots, w, h = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
for name in ("shot_000.bmp", "shot_001.bmp", "video_2.gif", "video_3.gif"):
    im = Image.open(f"{shots}/{name}")
    assert im.size == (w, h), f"{name}: size {im.size}, screen {w}x{h}"
    for n in range(getattr(im, "n_frames", 1)):
        im.seek(n)
        corner = im.convert("RGB").getpixel((w - 1, h - 1))
        assert corner == (0, 255, 0), f"{name} frame {n}: corner {corner}"
PY
  fail "Pillow: $(cat "$work/pillow")"
names=$(cd "$shots" && ls -A | sort | tr '\n' ' ')
[ "$names" = ".shot_098.bmp.Xy34Zw.part shot_000.bmp shot_001.bmp video_2.gif video_2.gif.tmp video_3.gif video_3.gif.tmp video_97.gif.tmp " ] ||
  fail "the folder holds: $names"
echo "shared folder e2e: all checks passed"
