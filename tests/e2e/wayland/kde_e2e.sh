#!/usr/bin/env bash
# KWin headless: Fotokran's pictures through KDE's own services equal KWin's screenshots pixel
# for pixel (KWin grants the test's reader its screenshots through a desktop entry).
#   shot2   KWin grants Fotokran its screenshots through the program's desktop entry: the screen
#           and the window in front
#   portal  KWin does not: the Screenshot portal (KDE's draws the cursor in, always), whose file
#           is removed from the pictures folder
#
#   kde_e2e.sh FOTOKRAN DESKTOP_ENTRY CASE      (exit 77 where KWin is not installed)
set -u
program=$1
entry=$2
case_name=$3
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../app/e2e_lib.sh"
. "$here/portal_desktops.sh"
for need in kwin_wayland kbuildsycoca5 /usr/lib/x86_64-linux-gnu/libexec/xdg-desktop-portal-kde \
  /usr/libexec/xdg-desktop-portal pipewire wireplumber; do
  command -v "$need" >/dev/null || { echo "SKIP: $need is not installed"; exit 77; }
done
run_as_session_user 200 "$0" "$@"

make_session_home
# A monitor shared through the portal needs a click in KDE's dialog, which no script can give.
portal_left_out=org.freedesktop.impl.portal.ScreenCast
grant_test_reader
if [ "$case_name" = shot2 ]; then
  sed "s|^Exec=.*|Exec=$fotokran|; s|^TryExec=.*|TryExec=$fotokran|" "$entry" \
    >"$XDG_DATA_HOME/applications/org.fotokran.Fotokran.desktop"
fi
start_kde
start_fotokran

# shoot OPTION N METHOD: `fotokran OPTION` writes shot N, equal to KWin's METHOD just before or
# after it.
shoot() {
  local shot answer
  shot=$(printf '%s/shots/shot_%03d.bmp' "$work" "$2")
  kwin_shot "$work/before.png" "$3" || fail "no screenshot from KWin"
  answer=$(timeout 60 "$fotokran" "$1" 2>&1) || fail "fotokran $1 failed: $answer"
  [ "$answer" = "$shot" ] || fail "fotokran $1 wrote '$answer', not $shot"
  kwin_shot "$work/after.png" "$3" || fail "no screenshot from KWin"
  "$oracle" same "$shot" "$work/before.png" "$work/after.png" || fail "shot $2 is not KWin's $3"
}

case $case_name in
  shot2)
    shoot --screen 0 CaptureWorkspace
    shoot --window 1 CaptureActiveWindow
    ;;
  portal)
    shoot --screen 0 CaptureWorkspace+cursor
    [ -z "$(ls -A "$work/pictures")" ] || fail "the portal's file was left: $(ls "$work/pictures")"
    ;;
  *) fail "no case $case_name" ;;
esac
echo "PASS: $case_name"
