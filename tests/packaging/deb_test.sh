#!/usr/bin/env bash
# The Debian package: built, accepted by lintian, and (as the superuser, on a machine where it is
# not installed yet) installed, run on a virtual display with --screen, and removed without a trace.
set -u
cd "$(dirname "$0")/../.."
fail() { echo "FAIL: $*" >&2; exit 1; }

deb=$(scripts/package | tail -n1) || fail "the package did not build or lintian refused it"
[ -f "$deb" ] || fail "no package at '$deb'"
contents=$(dpkg-deb -c "$deb")
for path in ./usr/bin/fotokran ./usr/share/applications/org.fotokran.Fotokran.desktop \
  ./usr/share/metainfo/org.fotokran.Fotokran.metainfo.xml \
  ./usr/share/icons/hicolor/scalable/apps/org.fotokran.Fotokran.svg \
  ./usr/share/icons/hicolor/256x256/apps/org.fotokran.Fotokran.png \
  ./usr/share/man/man1/fotokran.1.gz ./usr/share/doc/fotokran/copyright; do
  grep -q " $path\$" <<<"$contents" || fail "the package lacks $path"
done
depends=$(dpkg-deb -f "$deb" Depends)
for lib in libqt6widgets6 libqt6dbus6 libx11-6 libjpeg62-turbo zlib1g qt6-qpa-plugins qt6-wayland libwayland-client0; do
  grep -q "$lib" <<<"$depends" || fail "the package does not depend on $lib: $depends"
done

if [ "$(id -u)" != 0 ]; then
  echo "package: built and checked; installing it needs the superuser, not tried"
  exit 0
fi
if dpkg-query -W -f='${Status}' fotokran 2>/dev/null | grep -q 'install ok installed'; then
  echo "package: built and checked; fotokran is installed on this machine already, not touched"
  exit 0
fi

export DEBIAN_FRONTEND=noninteractive
apt-get install -y -qq --no-install-recommends "./$deb" >/dev/null || fail "the package did not install"
removed=0
remove() { [ "$removed" = 1 ] || apt-get remove -y -qq fotokran >/dev/null; removed=1; }
trap remove EXIT
[ "$(command -v fotokran)" = /usr/bin/fotokran ] || fail "fotokran is not on the PATH after installing"

home=$(mktemp -d /tmp/fotokran-deb-XXXXXX)
mkdir -p "$home/.config/fotokran" "$home/shots"
printf '[FileName]\nPath=%s/shots\nCount=0\n[Format]\nType=1\n[Masks]\nLast=shot_###.bmp\n' "$home" \
  >"$home/.config/fotokran/config.ini"
run_installed() {
  # A session of its own, with the user's settings in the user's config folder.
  read -r address pid < <(dbus-daemon --session --fork --print-address=1 --print-pid=1 | paste -s -d ' ')
  HOME="$home" XDG_CONFIG_HOME="$home/.config" DBUS_SESSION_BUS_ADDRESS="$address" QT_QPA_PLATFORM=xcb \
    fotokran --screen >"$home/out" 2>"$home/err"
  local status=$?
  kill "$pid"
  return $status
}
export home
export -f run_installed
tests/tools/with-xvfb -- bash -c run_installed || fail "the installed fotokran --screen failed: $(cat "$home/err")"
picture=$(cat "$home/out")
[ "$picture" = "$home/shots/shot_000.bmp" ] && [ -s "$picture" ] ||
  fail "the installed program printed '$picture', not a picture in the user's folder"
grep -qx 'Count=1' "$home/.config/fotokran/config.ini" ||
  fail "the installed program did not keep its settings in the user's config folder"
[ ! -e /usr/bin/config.ini ] || fail "the installed program wrote config.ini beside itself"

remove
trap - EXIT
for path in /usr/bin/fotokran /usr/share/applications/org.fotokran.Fotokran.desktop \
  /usr/share/metainfo/org.fotokran.Fotokran.metainfo.xml /usr/share/icons/hicolor/256x256/apps/org.fotokran.Fotokran.png; do
  [ ! -e "$path" ] || fail "$path is left after removing the package"
done
rm -rf "$home"
echo "package: built, lint-clean, installed, run with --screen and removed"
