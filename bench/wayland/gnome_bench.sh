#!/usr/bin/env bash
# The GNOME figures on headless GNOME Shell at 1920x1080, pictures through the ScreenCast portal's
# PipeWire stream: the time from the command to the picture on disk (`fotokran --screen` through
# the running copy, and the bare D-Bus call from a client already connected), for BMP and PNG,
# with the shared screenshot-like picture on the screen; and the running copy's memory with the
# stream open against the same copy before the stream opened (the desktop's chooser not yet
# answered), while the screen changes, and after pictures were taken.
#
#   bench/wayland/gnome_bench.sh FOTOKRAN [ROUNDS]     (as root it runs as an unprivileged user)
set -u
program=$1
rounds=${2:-15}
bench_dir=$(cd "$(dirname "$0")" && pwd)
here=$bench_dir/../../tests/e2e/wayland
. "$here/../app/e2e_lib.sh"
. "$here/portal_desktops.sh"
command -v gnome-shell >/dev/null || { echo "SKIP: gnome-shell is not installed"; exit 0; }
picture=${FOTOKRAN_BENCH_DATA:-$bench_dir/../../../shared/bench}/screen-1080p.bmp
if [ -z "${FOTOKRAN_IN_SESSION:-}" ]; then
  cp "$picture" /tmp/fotokran-gnome-bench.bmp && chmod 644 /tmp/fotokran-gnome-bench.bmp
fi
picture=/tmp/fotokran-gnome-bench.bmp
run_as_session_user 400 "$0" "$@"

make_session_home
# As the other benchmarks: no notification per picture.
printf '[Desktop]\nNotifications=0\n' >>"$work/bin/config.ini"
start_gnome

rss_kb() { awk '/^VmRSS:/ { print $2 }' "/proc/$fotokran_pid/status"; }
# The memory once it stops moving (read every 200 ms).
settled_rss() {
  local a b
  a=$(rss_kb)
  for _ in $(seq 50); do
    sleep 0.2
    b=$(rss_kb)
    [ "$a" = "$b" ] && break
    a=$b
  done
  echo "$b"
}
detail() { awk '/^Rss(Anon|File|Shmem):/ { printf "%s%s %s kB", n++ ? ", " : "", $1, $2 }' "/proc/$fotokran_pid/status"; }
repaint() {  # the test's window changes colour N times, each seen by Mutter
  local i
  for i in $(seq "$1"); do
    echo "$([ $((i % 2)) = 1 ] && echo c00000 || echo 00c000)" >"$work/colour"
    kill -USR1 "$green_pid"
    sleep 0.1
  done
}

pixel() { /usr/bin/python3 "$oracle" pixel "$@"; }
chooser_shown() { mutter_frame "$work/probe.png" && "$oracle" changed "$work/probe.png" "$work/desktop.png"; }
picture_shown() {
  mutter_frame "$work/probe.png" && [ "$(pixel "$work/probe.png" 960 540)" = "$(pixel "$picture" 960 540)" ] &&
    [ "$(pixel "$work/probe.png" 20 20)" = "$(pixel "$picture" 20 20)" ]
}

start_fotokran
wait_for 30 chooser_shown || fail "the desktop did not ask to share the screen"
idle=$(settled_rss)
echo "idle, no stream (the chooser not answered): RSS $idle kB ($(detail))"
"$oracle" keys Tab space Tab Tab Return >/dev/null
wait_for 30 test -n "$(kept_token)" || fail "the screen was not shared"
repaint 20
streaming=$(settled_rss)
echo "stream open, 20 frames received: RSS $streaming kB ($(detail)); +$(((streaming - idle) / 1024)) MB (goal <= +16 MB, two frames)"

# The shared picture over the whole screen, so that PNG has the usual work.
GDK_BACKEND=wayland spawn picture /usr/bin/python3 -c '
import gi, sys
gi.require_version("Gtk", "3.0")
from gi.repository import Gtk
w = Gtk.Window(title="picture")
w.add(Gtk.Image.new_from_file(sys.argv[1]))
w.fullscreen()
w.connect("destroy", Gtk.main_quit)
w.show_all()
Gtk.main()' /tmp/fotokran-gnome-bench.bmp
wait_for 30 picture_shown || fail "the picture was not shown"

ms_of() {
  local start end
  start=$(date +%s%N)
  "$@" >/dev/null 2>&1 || fail "$*"
  end=$(date +%s%N)
  echo $(((end - start) / 1000))
}
summary() { sort -n | awk '{ a[NR] = $1 } END { printf "median %.1f ms, min %.1f, max %.1f", a[int((NR + 1) / 2)] / 1000, a[1] / 1000, a[NR] / 1000 }'; }
echo "load average before the timings: $(cut -d' ' -f1-3 /proc/loadavg) (2 cores)"
for format in bmp png; do
  "$fotokran" --screen --format "$format" >/dev/null || fail "--screen --format $format failed"
  times=()
  for i in $(seq "$rounds"); do times+=("$(ms_of "$fotokran" --screen --format "$format")"); done
  echo "$format: fotokran --screen to the file on disk: $(printf '%s\n' "${times[@]}" | summary) (goal <= 100 ms)"
done
/usr/bin/python3 - "$rounds" <<'PY'
import sys, time
from gi.repository import Gio, GLib
bus = Gio.bus_get_sync(Gio.BusType.SESSION, None)
times = []
for _ in range(int(sys.argv[1]) + 1):
    start = time.monotonic()
    bus.call_sync("org.fotokran.Fotokran", "/org/fotokran/Fotokran", "org.fotokran.Fotokran",
                  "Screen", None, GLib.VariantType("(s)"), 0, 30000, None)
    times.append((time.monotonic() - start) * 1000)
times = sorted(times[1:])
print("bmp: the D-Bus call Screen to the file on disk: median %.1f ms, min %.1f, max %.1f (goal <= 100 ms)"
      % (times[len(times) // 2], times[0], times[-1]))
PY
shots=$(settled_rss)
echo "after $((3 * rounds + 3)) pictures: RSS $shots kB ($(detail)); +$(((shots - idle) / 1024)) MB over idle"
quit_fotokran
