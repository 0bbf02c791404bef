# The setting of the video's end-to-end scripts: a private copy of the program with its own home
# and config.ini, started and closed as a user does. Sourced after e2e_lib.sh, with $program,
# $artifacts and $name (the script's name, for its artifacts) set.

work=$(mktemp -d "/tmp/fotokran-$name-XXXXXX")
pid=
tiny=
cleanup() {
  [ -n "$pid" ] && kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null
  [ -n "$tiny" ] && umount "$tiny" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
mkdir -p "$work/bin" "$work/shots" "$work/home" "$artifacts"
failure_shot="$artifacts/${name}_failure.png"
rm -f "$failure_shot"
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" QT_QPA_PLATFORM=xcb

# write_config FOLDER COUNT VIDEO_TYPE SPEED
write_config() {
  cat >"$work/bin/config.ini" <<INI
[WindowPosition]
X=0
Y=0
[FileName]
Path=$1
Count=$2
[Format]
Type=1
GIF_palette=3
[VideoFormat]
VideoType=$3
GIFSpeed=$4
[Masks]
Last=shot_###.bmp
INI
}

# mount_tiny BYTES: a file system of that size at $tiny; fails (and leaves $tiny empty) when no
# file system can be mounted here.
mount_tiny() {
  tiny="$work/tiny"
  mkdir -p "$tiny"
  mount -t tmpfs -o size=$(($1 / 1024))k tmpfs "$tiny" 2>/dev/null && return 0
  tiny=
  return 1
}

# Two errors in a row on the full disk: the first press fails, the toggle is off again, and the
# next press starts (and fails) afresh; nothing is left on the disk.
expect_full_disk_twice() {
  xdotool key shift+Scroll_Lock
  wait_until 20 window_named "Fotokran" || fail "no error box for the full disk"
  local box
  box=$(window_named "Fotokran")
  import -window "$box" "$artifacts/${name}_full_disk.png" 2>/dev/null
  [ -z "$(ls -A "$tiny")" ] || fail "files left on the full disk: $(ls -A "$tiny")"
  xdotool windowactivate "$box" key Return
  wait_until 10 no_window_named "Fotokran" || fail "the error box did not close"
  xdotool key shift+Scroll_Lock
  wait_until 20 window_named "Fotokran" || fail "the key no longer starts a recording"
  box=$(window_named "Fotokran")
  xdotool windowactivate "$box" key Return
  wait_until 10 no_window_named "Fotokran" || fail "the second error box did not close"
  [ -z "$(ls -A "$tiny")" ] || fail "files left on the full disk: $(ls -A "$tiny")"
}
