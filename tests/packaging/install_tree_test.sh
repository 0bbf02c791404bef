#!/usr/bin/env bash
# `cmake --install` of a build lays out the program with its desktop entry, metainfo, icons and
# manual page, each valid for the tools that read them. (Run inside with-xvfb --wm.)
#
#   install_tree_test.sh BUILD_DIR PACKAGING_SOURCE_DIR
set -u
build=$1
source=$2
fail() { echo "FAIL: $*" >&2; exit 1; }

prefix=$(mktemp -d /tmp/fotokran-install-XXXXXX)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null || fail "cmake --install failed"

id=org.fotokran.Fotokran
[ -x "$prefix/bin/fotokran" ] || fail "no bin/fotokran"
desktop="$prefix/share/applications/$id.desktop"
[ -f "$desktop" ] || fail "no desktop entry"
desktop-file-validate "$desktop" || fail "the desktop entry is not valid"
grep -qx 'StartupWMClass=Fotokran' "$desktop" || fail "the desktop entry names no window class"
grep -qx 'Name\[ru\]=Фотокран' "$desktop" || fail "the desktop entry has no Russian name"
grep -q '^Comment\[ru\]=' "$desktop" || fail "the desktop entry has no Russian comment"

# Every action of the entry runs the program with an option it knows.
help=$("$prefix/bin/fotokran" --help 2>&1) || fail "fotokran --help failed: $help"
actions=$(sed -n 's/^Actions=//p' "$desktop" | tr ';' ' ')
[ -n "$actions" ] || fail "the desktop entry has no actions"
for action in $actions; do
  exec_line=$(sed -n "/^\[Desktop Action $action\]/,/^\[/s/^Exec=//p" "$desktop")
  option=${exec_line#fotokran }
  [ "$exec_line" != "$option" ] || fail "action $action does not run fotokran with an option"
  grep -q -- "$option" <<<"$help" || fail "fotokran --help does not know $option (action $action)"
done

# Started from the install tree with no config.ini, it saves into the pictures folder, made by
# the first picture, never into bin; config.ini names no folder until it is there.
export HOME="$prefix/home" XDG_CONFIG_HOME="$prefix/home/.config" QT_QPA_PLATFORM=xcb
mkdir "$HOME"
run_once() {
  "$prefix/bin/fotokran" >"$prefix/log" 2>&1 &
  local pid=$! i
  for ((i = 0; i < 100; i++)); do
    xdotool search --onlyvisible --name '^Fotokran v0.7$' >/dev/null && "$@" && break
    sleep 0.1
  done
  ((i < 100)) || fail "the installed program did not start or $* failed: $(cat "$prefix/log")"
  kill -TERM $pid
  wait $pid || fail "the installed program ended with status $?: $(cat "$prefix/log")"
}
pictures() { [ -n "$(ls "$HOME/Pictures" 2>/dev/null)" ]; }
shoot() { xdotool key Print && pictures; }
run_once true
grep -qx 'Path=' "$prefix/bin/config.ini" || fail "the first start chose: $(grep Path= "$prefix/bin/config.ini")"
sed -i 's/^Type=.*/Type=1/' "$prefix/bin/config.ini"
run_once shoot
pictures || fail "no picture in $HOME/Pictures"
grep -qx "Path=$HOME/Pictures" "$prefix/bin/config.ini" || fail "config.ini does not name the pictures folder"
[ "$(ls "$prefix/bin")" = "$(printf 'config.ini\nfotokran')" ] || fail "bin holds $(ls "$prefix/bin")"

metainfo="$prefix/share/metainfo/$id.metainfo.xml"
appstreamcli validate --no-net "$metainfo" >/dev/null || {
  appstreamcli validate --no-net --explain "$metainfo" >&2; fail "the metainfo is not valid"; }
grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$metainfo" ||
  fail "the metainfo does not launch the desktop entry"

icons="$prefix/share/icons/hicolor"
for size in 16 22 24 32 48 64 128 256; do
  png="$icons/${size}x${size}/apps/$id.png"
  [ -f "$png" ] || fail "no ${size}x${size} icon"
  got=$(/usr/bin/python3 -c 'import sys; from PIL import Image; print("%dx%d" % Image.open(sys.argv[1]).size)' "$png")
  [ "$got" = "${size}x${size}" ] || fail "the ${size}x${size} icon is $got"
done
svg="$icons/scalable/apps/$id.svg"
[ -f "$svg" ] || fail "no scalable icon"
# The scalable icon and the window's own drawing are the same picture.
rsvg-convert -w 128 -h 128 "$svg" -o "$prefix/svg.png" || fail "the scalable icon does not render"
/usr/bin/python3 - "$prefix/svg.png" "$icons/128x128/apps/$id.png" <<'PY' || fail "the scalable icon differs from the program's icon"
import sys
from PIL import Image, ImageChops
a, b = (Image.open(p).convert("RGBA") for p in sys.argv[1:3])
pixels = list(ImageChops.difference(a, b).getdata())
off = sum(1 for p in pixels if max(p) > 48)
mean = sum(map(sum, pixels)) / (4 * len(pixels))
print(f"icon difference: mean {mean:.2f}, {off} pixels off")
sys.exit(0 if mean < 2 and off < len(pixels) // 200 else 1)
PY

gzip -dc "$prefix/share/man/man1/fotokran.1.gz" | grep -qF -- '\-\-screen' ||
  fail "the manual page does not read or does not list --screen"
[ -f "$prefix/share/doc/fotokran/copyright" ] || fail "no copyright file"
echo "install tree: all checks passed"
