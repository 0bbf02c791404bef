#!/usr/bin/env bash
# GNOME Shell headless: Fotokran's pictures through the desktop's portals equal Mutter's own
# screen cast pixel for pixel.
#   screencast  the ScreenCast portal: the user shares the monitor once (keys through Mutter's
#               RemoteDesktop); a second start shares it without asking (restore token)
#   screenshot  no ScreenCast portal: the Screenshot portal (its permission in the permission
#               store), whose file is removed from the pictures folder
#   video       both video entries through the stream, while the test's window changes colour:
#               each decodes with giflib and Pillow and shows the change
#   left-out    with the transparency on, the program's window shown on the desktop is not in
#               the picture, and shows again afterwards
#   keys        no GlobalShortcuts portal: asked once, the program adds its keys to GNOME's own
#               shortcuts, and Print then takes a picture through the running copy
#
#   gnome_e2e.sh FOTOKRAN CASE      (exit 77 where GNOME Shell is not installed)
set -u
program=$1
case_name=$2
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../app/e2e_lib.sh"
. "$here/portal_desktops.sh"
for need in gnome-shell /usr/libexec/xdg-desktop-portal-gnome /usr/libexec/xdg-desktop-portal \
  pipewire wireplumber gst-launch-1.0; do
  command -v "$need" >/dev/null || { echo "SKIP: $need is not installed"; exit 77; }
done
run_as_session_user 240 "$0" "$@"

make_session_home
case $case_name in screenshot | keys) portal_left_out=org.freedesktop.impl.portal.ScreenCast ;; esac
start_gnome

# shoot N: `fotokran --screen` through the running copy writes shot N, equal to Mutter's frame
# just before or just after it (the top bar's clock may turn between them).
shoot() {
  local shot
  shot=$(printf '%s/shots/shot_%03d.bmp' "$work" "$1")
  mutter_frame "$work/before.png" || fail "no frame from Mutter"
  local answer
  answer=$(timeout 60 "$fotokran" --screen 2>&1) || fail "fotokran --screen failed: $answer"
  [ "$answer" = "$shot" ] || fail "fotokran --screen wrote '$answer', not $shot"
  mutter_frame "$work/after.png" || fail "no frame from Mutter"
  "$oracle" same "$shot" "$work/before.png" "$work/after.png" || fail "shot $1 is not the screen"
}

allow_screenshots() {
  gdbus call --session --dest org.freedesktop.impl.portal.PermissionStore \
    --object-path /org/freedesktop/impl/portal/PermissionStore \
    --method org.freedesktop.impl.portal.PermissionStore.SetPermission \
    screenshot true screenshot '' "['yes']" >/dev/null || fail "the permission was not stored"
}

shortcut_listed() {
  gsettings get org.gnome.settings-daemon.plugins.media-keys custom-keybindings | grep -q fotokran-screen
}

# A dialog is on the screen (the portal's chooser, the program's question).
dialog_shown() {
  mutter_frame "$work/probe.png" && "$oracle" changed "$work/probe.png" "$work/desktop.png"
}

token_kept() { [ -n "$(kept_token)" ]; }
# The user shares the monitor with a copy off screen, in the chooser the desktop shows.
share_screen() {
  start_fotokran
  wait_for 30 dialog_shown || fail "the desktop did not ask to share the screen"
  "$oracle" keys Tab space Tab Tab Return >/dev/null
  wait_for 30 token_kept || fail "no restore token was kept: $(tail -3 "$work/fotokran.log")"
}

# window_colour RRGGBB: the test's window turns that colour.
window_colour() {
  echo "$1" >"$work/colour"
  kill -USR1 "$green_pid"
  wait_for 30 colour_shown "$1" || fail "the window did not turn $1"
}
shots_bytes() { find "$work/shots" -type f -printf '%s\n' | awk '{ s += $1 } END { print s + 0 }'; }
stored_past() { [ "$(shots_bytes)" -gt "$1" ]; }
# record_video: through the running copy; the window changes colour once frames of the first are
# stored, and it stops once frames of the second (two shades: the compact entry writes a frame
# only once the screen changes after it) are stored.
record_video() {
  local bytes shade video
  window_colour 00c000
  bytes=$(shots_bytes)
  "$fotokran" --video >/dev/null || fail "--video did not start"
  wait_for 30 stored_past "$bytes" || fail "the video stores no frames"
  window_colour c00000
  for shade in c02020 c00000; do
    bytes=$(shots_bytes)
    window_colour "$shade"
    wait_for 30 stored_past "$bytes" || fail "the video stores no new frames"
  done
  video=$(timeout 120 "$fotokran" --video) || fail "--video did not stop"
  giftext "$video" 2>&1 | grep -q 'terminated normally' || fail "giftext refuses $video"
  /usr/bin/python3 "$here/pictures.py" video "$video" 960 540 00c000 c00000 ||
    fail "the video does not show the change"
}

case $case_name in
  screencast)
    share_screen
    shoot 0
    quit_fotokran
    # No keys now: a dialog would hold the picture back until the command gives up.
    start_fotokran
    shoot 1
    [ -n "$(kept_token)" ] || fail "the restore token was lost"
    ;;
  video)
    printf '[VideoFormat]\nVideoType=0\n' >>"$work/bin/config.ini"
    share_screen
    record_video
    quit_fotokran
    sed -i 's/^VideoType=.*/VideoType=1/' "$work/bin/config.ini"
    start_fotokran
    record_video
    ;;
  left-out)
    printf '[WindowPosition]\nUseAlpha=1\nAlpha=200\n' >>"$work/bin/config.ini"
    share_screen
    quit_fotokran
    fotokran_platform=wayland start_fotokran
    wait_for 30 dialog_shown || fail "the program's window did not show"
    shot=$(timeout 60 "$fotokran" --screen 2>&1) || fail "fotokran --screen failed: $shot"
    # Below the top bar, whose clock may turn, the picture is the desktop without the program.
    ! "$oracle" changed "$shot" "$work/desktop.png" || fail "the program's window is in the picture"
    wait_for 30 dialog_shown || fail "the program's window did not show again"
    ;;
  screenshot)
    allow_screenshots
    start_fotokran
    shoot 0
    [ -z "$(ls -A "$work/pictures")" ] || fail "the portal's file was left: $(ls "$work/pictures")"
    ;;
  keys)
    allow_screenshots
    sed -i '/^GnomeShortcutsOffered=/d' "$work/bin/config.ini"
    spawn media-keys /usr/libexec/gsd-media-keys
    # On screen this time, so that the question shows; Return answers yes.
    fotokran_platform=wayland start_fotokran
    wait_for 30 dialog_shown || fail "Fotokran did not ask to add its keys"
    "$oracle" keys Return >/dev/null
    # The list of custom shortcuts is written last.
    wait_for 30 shortcut_listed || fail "no shortcut of Fotokran in GNOME's settings"
    grep -q '^GnomeShortcutsOffered=1' "$work/bin/config.ini" || fail "the answer was not kept"
    [ "$(gsettings get org.gnome.shell.keybindings show-screenshot-ui)" = "@as []" ] ||
      fail "GNOME's screenshot tool kept Print"
    "$oracle" keys Print >/dev/null
    wait_for 30 test -s "$work/shots/shot_000.bmp" || fail "Print took no picture"
    ;;
  *) fail "no case $case_name" ;;
esac
echo "PASS: $case_name"
