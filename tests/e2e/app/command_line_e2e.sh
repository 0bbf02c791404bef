#!/usr/bin/env bash
# The command line and the session bus: each command against a running copy and with none, the
# notifications of pictures taken while the window is hidden and their actions, a second start,
# a busy copy, a crashed copy, a missing bus and a caller from another user's session.
#
#   command_line_e2e.sh FOTOKRAN      (run inside with-xvfb --wm --tray)
set -u
program=$1
here=$(dirname "$0")
. "$here/e2e_lib.sh"

work=$(mktemp -d /tmp/fotokran-cli-e2e-XXXXXX)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill -CONT "$pid" 2>/dev/null; kill "$pid" 2>/dev/null; done
  rm -rf "$work"
}
trap cleanup EXIT
chmod 755 "$work"
mkdir -p "$work/bin" "$work/shots" "$work/home" "$work/fake"
cp "$program" "$work/bin/fotokran"
fotokran="$work/bin/fotokran"
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" QT_QPA_PLATFORM=xcb
cat >"$work/bin/config.ini" <<INI
[FileName]
Path=$work/shots
Count=0
[Format]
Type=1
[ShootSettings]
Timer=100
[Masks]
Last=shot_###.bmp
INI
read -r screen_w screen_h < <(xdpyinfo | sed -n 's/.*dimensions: *\([0-9]*\)x\([0-9]*\) pixels.*/\1 \2/p')

# A session bus of the test's own, a notification service and a file manager that log their calls,
# and an xdg-open that only writes down what it was asked to open.
read -r bus_address bus_pid < <(dbus-daemon --session --fork --print-address=1 --print-pid=1 | paste -s -d ' ')
pids+=("$bus_pid")
export DBUS_SESSION_BUS_ADDRESS=$bus_address
/usr/bin/python3 -m dbusmock --session --template notification_daemon -l "$work/notify.log" &
pids+=($!)
/usr/bin/python3 -m dbusmock --session org.freedesktop.FileManager1 /org/freedesktop/FileManager1 \
  org.freedesktop.FileManager1 -l "$work/files.log" &
files_mock=$!
pids+=("$files_mock")
bus_has() { gdbus call --session --dest org.freedesktop.DBus --object-path /org/freedesktop/DBus \
  --method org.freedesktop.DBus.NameHasOwner "$1" | grep -q true; }
wait_until 10 bus_has org.freedesktop.Notifications || fail "the notification mock did not start"
wait_until 10 bus_has org.freedesktop.FileManager1 || fail "the file manager mock did not start"
gdbus call --session --dest org.freedesktop.FileManager1 --object-path /org/freedesktop/FileManager1 \
  --method org.freedesktop.DBus.Mock.AddMethod org.freedesktop.FileManager1 ShowItems ass '' '' >/dev/null
printf '#!/bin/sh\necho "$@" >>"%s/opened.log"\n' "$work" >"$work/fake/xdg-open"
chmod +x "$work/fake/xdg-open"
export PATH="$work/fake:$PATH"

shot() { printf '%s/shots/shot_%03d.bmp' "$work" "$1"; }
# Format and size of a picture as Pillow reads it ("PNG 640x480").
picture_of() { /usr/bin/python3 -c '
import sys; from PIL import Image
i = Image.open(sys.argv[1]); b = i.info.get("wmf_bbox")  # a metafile: its size in pixels
print(i.format, "%dx%d" % ((b[2] - b[0], b[3] - b[1]) if b else i.size))' "$1"; }
# Every format --output knows, by extension (one per case), as a copy or this process writes it;
# "-" writes the picture to standard output. The running number stays.
outputs_are_written() {
  local how=$1 ext format
  for ext in jpg:JPEG bmp:BMP wmf:WMF png:PNG gif:GIF tif:TIFF; do
    format=${ext#*:} ext=${ext%:*}
    run_cli 0 --screen --output "pictures/$how.$ext"
    [ "$out" = "$work/pictures/$how.$ext" ] || fail "--output $how.$ext ($how) printed '$out'"
    [ "$(picture_of "$out")" = "$format ${screen_w}x$screen_h" ] || fail "$how.$ext is not a $format of the screen"
  done
  "$fotokran" --screen --format png --output - >"$work/pictures/$how-stdout" 2>"$work/err" || fail "--output - ($how) failed: $(cat "$work/err")"
  [ "$(picture_of "$work/pictures/$how-stdout")" = "PNG ${screen_w}x$screen_h" ] || fail "--output - ($how) wrote no PNG"
}

# Bad usage, help and version need no display and no bus.
run_cli 2 --bogus
grep -q "unknown option '--bogus'" <<<"$err" && grep -q -- '--screen' <<<"$err" || fail "no usage for --bogus"
run_cli 2 --screen --window
run_cli 2 --lang de --screen
grep -q "'de' is no language: give en or ru" <<<"$err" || fail "no message for --lang de"
run_cli 2 --screen --lang
run_cli 2 extra
run_cli 0 --help
for option in --screen --window --series --video --show --quit --help --version --lang; do
  grep -q -- "$option" <<<"$out" || fail "--help does not name $option"
done
run_cli 0 --version
[ "$out" = "Fotokran 0.7" ] || fail "--version printed '$out'"

for usage in "--screen --output x.xyz" "--screen --format foo" "--screen --delay -1" "--series --delay 1" "--window --output"; do
  run_cli 2 $usage
done
grep -q -- '--output FILE' <<<"$(cd "$work" && "$fotokran" --help)" || fail "--help does not name --output"

# No copy running: the picture is taken here, the number stored, and no window is left behind;
# no display toolkit is started for it (no platform plugin can be loaded).
cd "$work"
mkdir -p pictures
QT_QPA_PLATFORM= QT_QPA_PLATFORM_PLUGIN_PATH=/nonexistent QT_PLUGIN_PATH=/nonexistent outputs_are_written cold
grep -qx 'Count=0' "$work/bin/config.ini" || fail "--output advanced the running number"
QT_QPA_PLATFORM= QT_QPA_PLATFORM_PLUGIN_PATH=/nonexistent QT_PLUGIN_PATH=/nonexistent run_cli 0 --screen
[ "$out" = "$(shot 0)" ] || fail "--screen without a copy printed '$out'"
[ "$(bmp_size "$(shot 0)")" = "$screen_w $screen_h" ] || fail "--screen did not picture the screen"
grep -qx 'Count=1' "$work/bin/config.ini" || fail "--screen without a copy did not store the number"
# Its notification in the language of the run; config.ini keeps its own (none).
wait_until 5 grep -q 'Сохранено: shot_000.bmp' "$work/notify.log" || fail "the picture was not notified in Russian"
QT_QPA_PLATFORM= QT_QPA_PLATFORM_PLUGIN_PATH=/nonexistent QT_PLUGIN_PATH=/nonexistent run_cli 0 --lang en --screen --output pictures/en.png
wait_until 5 grep -q 'Saved: en.png' "$work/notify.log" || fail "the picture was not notified in English"
grep -q '^Language=' "$work/bin/config.ini" && fail "--lang wrote a language into config.ini"
no_window_named "Fotokran v0.7" || fail "--screen without a copy left a window"
run_cli 0 --quit
grep -q 'no copy' <<<"$err" || fail "--quit without a copy said nothing"

# A running copy takes the commands; the bus announces each saved file.
"$fotokran" >"$work/copy.log" 2>&1 &
copy=$!
pids+=("$copy")
wait_until 15 window_named "Fotokran v0.7" || fail "the running copy's window did not appear"
main=$(window_named "Fotokran v0.7")
gdbus monitor --session --dest org.fotokran.Fotokran >"$work/signals.log" 2>&1 &
pids+=($!)
wait_until 10 bus_has org.fotokran.Fotokran || fail "the running copy did not take its bus name"
run_cli 0 --screen
[ "$out" = "$(shot 1)" ] || fail "--screen printed '$out', not $(shot 1)"
[ -s "$(shot 1)" ] || fail "--screen wrote no $(shot 1)"
wait_until 5 grep -q "FileSaved ('$(shot 1)',)" "$work/signals.log" || fail "no FileSaved signal for $(shot 1)"
# The command line hands every command over without the display toolkit.
QT_QPA_PLATFORM_PLUGIN_PATH=/nonexistent QT_PLUGIN_PATH=/nonexistent outputs_are_written warm

grep -q 'shot_001' "$work/notify.log" && fail "a shot with the window shown was notified"

# The window in front, with its frame.
xmessage -geometry 300x120+600+400 -title "front window" "Fotokran e2e" &
pids+=($!)
wait_until 10 window_named "front window" || fail "xmessage did not start"
front=$(window_named "front window")
xdotool windowactivate --sync "$front"
wait_until 5 frame_extents "$front" || fail "the front window has no frame"
read -r fl fr ft fb < <(frame_extents "$front")
run_cli 0 --window
[ "$out" = "$(shot 2)" ] || fail "--window printed '$out'"
[ "$(bmp_size "$(shot 2)")" = "$((300 + fl + fr)) $((120 + ft + fb))" ] || fail "--window is not the framed front window"

# Hidden in the tray: each picture is notified, and the actions open the file and its folder.
click_in "$main" $((448 + 42)) $((288 + 18))
wait_until 10 is_unmapped "$main" || fail "Свернуть did not hide the window"
run_cli 0 --screen
[ "$out" = "$(shot 3)" ] || fail "--screen while hidden printed '$out'"
wait_until 5 grep -q 'Notify.*shot_003.bmp.*"open", "Открыть", "folder", "Открыть папку"' "$work/notify.log" ||
  { cat "$work/notify.log" >&2; fail "the hidden shot was not notified with its actions"; }
id=$(grep -c ' Notify ' "$work/notify.log")  # the mock numbers its notifications from 1
emit_action() {
  gdbus call --session --dest org.freedesktop.Notifications --object-path /org/freedesktop/Notifications \
    --method org.freedesktop.DBus.Mock.EmitSignal org.freedesktop.Notifications ActionInvoked us \
    "[<uint32 $1>, <'$2'>]" >/dev/null
}
emit_action "$id" open
wait_until 5 grep -q "shot_003.bmp" "$work/opened.log" || fail "Открыть did not open the picture"
emit_action "$id" folder
wait_until 5 grep -q "ShowItems.*file://$work/shots/shot_003.bmp" "$work/files.log" ||
  fail "Открыть папку did not ask the file manager to show the picture"
# Without a file manager the folder itself opens.
kill "$files_mock"
wait_until 5 eval '! bus_has org.freedesktop.FileManager1' || fail "the file manager mock did not end"
emit_action "$id" folder
wait_until 5 grep -qx "file://$work/shots" "$work/opened.log" || fail "Открыть папку did not open the folder"

# The series: started and stopped from the command line, notified once at each end.
run_cli 0 --series
[ "$out" = started ] || fail "--series printed '$out'"
wait_until 10 test -s "$(shot 5)" || fail "the series wrote no pictures"
run_cli 0 --series
[ "$out" = stopped ] || fail "the second --series printed '$out'"
count=$(( $(settled_count "$work/shots" 'shot_*.bmp') - 4 ))
wait_until 5 grep -q "Снятие по таймеру остановлено.*Снимков: $count\"" "$work/notify.log" ||
  { cat "$work/notify.log" >&2; fail "the series' stop was not notified with its $count pictures"; }
[ "$(grep -c 'Снятие по таймеру запущено' "$work/notify.log")" = 1 ] || fail "the series' start was not notified once"
grep -q 'shot_005' "$work/notify.log" && fail "a picture of the series was notified on its own"
next=$((4 + count))

# The video: the stop waits until the file is written and prints it.
run_cli 0 --video
[ "$out" = started ] || fail "--video printed '$out'"
wait_until 10 test -s "$work/shots/video_$next.gif.tmp" || fail "the video records nothing"
run_cli 0 --video
[ "$out" = "$work/shots/video_$next.gif" ] || fail "the video's stop printed '$out' (stderr: $err)"
[ "$(head -c 6 "$out")" = GIF89a ] && [ ! -e "$out.tmp" ] || fail "the printed video is not a finished GIF"
wait_until 5 grep -q "Notify.*video_$next.gif" "$work/notify.log" || fail "the written video was not notified"
next=$((next + 1))

# A second plain start brings the running copy's window forward and ends.
run_cli 0
wait_until 10 is_viewable "$main" || fail "a second start did not bring the window back"
[ "$(pgrep -c -f "$fotokran\$")" = 1 ] || fail "a second copy kept running"
grep -q "заняты другой программой" "$work/err" && fail "the second start took keys"

# A busy copy: the command gives up after its time-out and says so.
kill -STOP "$copy"
FOTOKRAN_COMMAND_TIMEOUT=2 run_cli 1 --screen
grep -q 'did not answer within 2 s' <<<"$err" || fail "a busy copy's time-out was not reported: $err"
kill -CONT "$copy"
wait_until 10 test -s "$(shot "$next")" || fail "the copy did not take the picture it was asked for"
next=$((next + 1))

# Another user's session cannot reach ours: its command runs in its own process.
mkdir -p "$work/other" && chown nobody "$work/other"
runuser -u nobody -- env HOME="$work/other" XDG_CONFIG_HOME="$work/other/.config" \
  DBUS_SESSION_BUS_ADDRESS="$bus_address" "$fotokran" --screen >"$work/out" 2>"$work/err"
grep -q 'no session D-Bus' "$work/err" || fail "another user's command reached our bus: $(cat "$work/err")"
[ ! -e "$(shot "$next")" ] || fail "another user's command was taken by our copy"

# --format names the next file with its extension.
run_cli 0 --screen --format png --delay 0
[ "$out" = "$(printf '%s/shots/shot_%03d.png' "$work" "$next")" ] || fail "--format png printed '$out'"
[ "$(picture_of "$out")" = "PNG ${screen_w}x$screen_h" ] || fail "--format png wrote no PNG"
next=$((next + 1))

# --quit ends the copy as its close button does.
run_cli 0 --quit
for _ in $(seq 100); do kill -0 "$copy" 2>/dev/null || break; sleep 0.1; done
kill -0 "$copy" 2>/dev/null && fail "--quit did not end the copy"
grep -qx "Count=$next" "$work/bin/config.ini" || fail "--quit did not store Count=$next"

# A copy that crashed left no name behind: a new start runs and takes the commands.
"$fotokran" >"$work/copy2.log" 2>&1 &
copy=$!
pids+=("$copy")
wait_until 10 bus_has org.fotokran.Fotokran || fail "the new copy did not take its bus name"
kill -9 "$copy"
wait_until 10 eval '! bus_has org.fotokran.Fotokran' || fail "the crashed copy's name stayed"
"$fotokran" >"$work/copy3.log" 2>&1 &
copy=$!
pids+=("$copy")
wait_until 15 bus_has org.fotokran.Fotokran || fail "a start after a crash did not run"
run_cli 0 --quit

# No session bus at all: said so, and the job is done here.
DBUS_SESSION_BUS_ADDRESS=unix:path=$work/no-bus run_cli 0 --screen
grep -q 'no session D-Bus' <<<"$err" || fail "a missing bus was not told"
[ -n "$out" ] && [ -s "$out" ] || fail "without a bus no picture was written"
echo "command line e2e: all checks passed"
