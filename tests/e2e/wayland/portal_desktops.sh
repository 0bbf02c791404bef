# Headless GNOME Shell and KWin sessions with their portals, for the end-to-end scripts of the
# desktops that take the pictures themselves. Sourced after ../app/e2e_lib.sh, with $program set.
#
# Neither desktop runs as the superuser here (and gnome-shell needs a system bus, which a
# container lacks): run_as_session_user starts the script again as an unprivileged user, in a
# session bus of its own, with a bound on its time.

case ${FOTOKRAN_DESKTOP_E2E:-ON} in
  OFF | off | 0 | false | FALSE)
    echo "SKIP: the GNOME and KDE desktops start in the release pass only (FOTOKRAN_DESKTOP_E2E=OFF)"
    exit 77
    ;;
esac

oracle="$here/desktop_oracle.py"
session_user=fotokran-wl

# run_as_session_user SECONDS "$0" "$@": re-runs the script as $session_user inside its own
# session bus; returns only in that run.
run_as_session_user() {
  local seconds=$1
  shift
  if [ -z "${FOTOKRAN_IN_SESSION:-}" ]; then
    if [ "$(id -u)" = 0 ]; then
      id "$session_user" >/dev/null 2>&1 || useradd -m "$session_user" || exit 77
      exec runuser -u "$session_user" -- env FOTOKRAN_IN_SESSION=1 \
        dbus-run-session -- timeout "$seconds" bash "$@"
    fi
    exec env FOTOKRAN_IN_SESSION=1 dbus-run-session -- timeout "$seconds" bash "$@"
  fi
}

# A private folder with the program's copy, its config.ini, a home, runtime and config folders.
make_session_home() {
  work=$(mktemp -d /tmp/fotokran-wl-XXXXXX)
  mkdir -p "$work/bin" "$work/shots" "$work/pictures" "$work/rt" "$work/config" "$work/data/applications"
  chmod 700 "$work/rt"
  cp "$program" "$work/bin/fotokran"
  fotokran=$work/bin/fotokran
  export HOME=$work XDG_RUNTIME_DIR=$work/rt XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data
  export XDG_CACHE_HOME=$work/cache XDG_SESSION_TYPE=wayland
  # The portals write their screenshots into the pictures folder; it must exist.
  echo "XDG_PICTURES_DIR=\"$work/pictures\"" >"$XDG_CONFIG_HOME/user-dirs.dirs"
  cat >"$work/bin/config.ini" <<INI
[FileName]
Path=$work/shots
Count=0
[Format]
Type=1
[Masks]
Last=shot_###.bmp
[Wayland]
GnomeShortcutsOffered=1
INI
  pids=() shells=()
  trap end_session EXIT
  trap 'exit 1' TERM INT  # the time bound: the session is ended all the same
}

end_session() {
  local pid
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
  # A shell whose main loop stalls never handles the TERM.
  for pid in "${shells[@]}"; do kill -KILL -- "-$pid" 2>/dev/null; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null; done
  # The document portal mounts a file system into the runtime folder.
  fusermount -u "$work/rt/doc" 2>/dev/null
  [ -n "${keep_work:-}" ] || rm -rf "$work"
}

# spawn NAME command...: runs a daemon of the session with its log in $work/NAME.log.
spawn() {
  local name=$1
  shift
  "$@" >"$work/$name.log" 2>&1 &
  pids+=($!)
}

# wait_for SECONDS command...: runs the command until it succeeds, for at most that long however
# long each run takes.
wait_for() {
  local deadline=$((SECONDS + $1))
  shift
  until "$@" >/dev/null 2>&1; do
    [ "$SECONDS" -lt "$deadline" ] || return 1
    sleep 0.2
  done
}

on_bus() { busctl --user status "$1" >/dev/null 2>&1; }
name_gone() { ! on_bus "$1"; }

# start_portal NAMES...: only these desktops' portal backends serve (the portal would otherwise
# take backends of every desktop installed), less the interface in $portal_left_out, if any.
start_portal() {
  mkdir -p "$work/portals"
  local name
  for name in "$@"; do cp "/usr/share/xdg-desktop-portal/portals/$name.portal" "$work/portals/"; done
  [ -z "${portal_left_out:-}" ] || sed -i "s/$portal_left_out;//; s/;$portal_left_out\$//" "$work"/portals/*.portal
  export XDG_DESKTOP_PORTAL_DIR=$work/portals
  dbus-update-activation-environment XDG_DESKTOP_PORTAL_DIR 2>/dev/null
  spawn portal /usr/libexec/xdg-desktop-portal
  wait_for 20 on_bus org.freedesktop.portal.Desktop || fail "the desktop portal did not start"
}

start_pipewire() {
  spawn pipewire pipewire
  wait_for 10 test -S "$XDG_RUNTIME_DIR/pipewire-0" || fail "PipeWire did not start"
  spawn wireplumber wireplumber
}

# The shell's main loop answers on the bus (it stalls now and then right after start-up).
shell_answers() {
  timeout 3 gdbus call --session --dest org.gnome.Shell --object-path /org/gnome/Shell \
    --method org.freedesktop.DBus.Properties.Get org.gnome.Shell ShellVersion
}

# The shell leads a process group of its own: a child it forked can hang before it runs its
# program (the shell's main loop then stalls), holding the shell's bus connection and so its
# names; only the whole group's end frees them.
start_gnome_shell() {
  DBUS_SYSTEM_BUS_ADDRESS=unix:path=$work/system_bus setsid gnome-shell --headless --wayland \
    --no-x11 --virtual-monitor 1920x1080 --wayland-display wayland-fk --sm-disable \
    >"$work/shell$1.log" 2>&1 &
  shell=$!
  pids+=("$shell")
  shells+=("$shell")
  wait_for 60 on_bus org.gnome.Shell.Screenshot && wait_for 10 shell_answers
}

# GNOME Shell headless on a 1920x1080 virtual monitor, its portal backend, a green window, the
# overview left. A shell whose main loop stalls is started once more.
start_gnome() {
  export XDG_CURRENT_DESKTOP=GNOME WAYLAND_DISPLAY=wayland-fk
  dbus-update-activation-environment XDG_RUNTIME_DIR XDG_CURRENT_DESKTOP XDG_SESSION_TYPE \
    XDG_CONFIG_HOME XDG_DATA_HOME HOME 2>/dev/null
  start_pipewire
  # No banners: the shell's own at start ("Screen Lock disabled") would be in the first pictures.
  gsettings set org.gnome.desktop.notifications show-banners false
  # The shell needs a system bus to ask for logind; an empty one of our own does.
  spawn system-bus dbus-daemon --session --nofork --address="unix:path=$work/system_bus"
  wait_for 10 test -S "$work/system_bus" || fail "no system bus"
  if ! start_gnome_shell 1; then
    echo "gnome-shell did not answer; starting it again" >&2
    kill -KILL -- "-$shell" 2>/dev/null
    wait "$shell" 2>/dev/null
    wait_for 10 name_gone org.gnome.Shell || fail "the stalled gnome-shell kept its name"
    start_gnome_shell 2 || fail "gnome-shell did not answer twice; $(tail -3 "$work/shell2.log")"
  fi
  dbus-update-activation-environment WAYLAND_DISPLAY 2>/dev/null
  spawn xdp-gnome /usr/libexec/xdg-desktop-portal-gnome
  wait_for 20 on_bus org.freedesktop.impl.portal.desktop.gnome || fail "xdg-desktop-portal-gnome did not start"
  start_portal gnome gtk
  GDK_BACKEND=wayland spawn green "$oracle" green-window "$work/colour"
  green_pid=${pids[-1]}
  "$oracle" keys Escape >/dev/null || fail "no keys through Mutter's RemoteDesktop"
  wait_for 20 colour_shown 00c000 || fail "the green window was not shown"
  cp "$work/probe.png" "$work/desktop.png"
}

# The screen as Mutter itself casts it, into $1.
mutter_frame() { timeout 30 "$oracle" mutter-frame "$1" >/dev/null 2>&1 && [ -s "$1" ]; }

# colour_shown RRGGBB: the test's window shows in that colour, as Mutter casts it.
colour_shown() {
  mutter_frame "$work/probe.png" &&
    [ "$(/usr/bin/python3 "$oracle" pixel "$work/probe.png" 960 540)" = "$1" ]
}

# fotokran_running: the program has taken its name on the session bus.
fotokran_running() { on_bus org.fotokran.Fotokran; }

# Starts the program as the copy that runs, off screen unless $fotokran_platform says otherwise
# (its own window then stays out of the pictures).
start_fotokran() {
  QT_QPA_PLATFORM=${fotokran_platform:-offscreen} "$fotokran" >>"$work/fotokran.log" 2>&1 &
  fotokran_pid=$!
  pids+=("$fotokran_pid")
  wait_for 20 fotokran_running || fail "Fotokran did not start: $(tail -5 "$work/fotokran.log")"
}

quit_fotokran() {
  "$fotokran" --quit >/dev/null 2>&1
  wait_for 20 process_gone "$fotokran_pid" || fail "Fotokran did not quit"
}

kept_token() { sed -n 's/^ScreenCastToken=//p' "$work/bin/config.ini"; }

# grant_kwin_screenshots EXECUTABLE NAME: a desktop entry through which KWin lets the program
# take its screenshots.
grant_kwin_screenshots() {
  printf '[Desktop Entry]\nType=Application\nName=%s\nExec=%s\nX-KDE-DBUS-Restricted-Interfaces=org.kde.KWin.ScreenShot2\n' \
    "$2" "$1" >"$XDG_DATA_HOME/applications/$2.desktop"
}

kwin_ready() { test -S "$XDG_RUNTIME_DIR/wayland-fk" && on_bus org.kde.KWin; }

# KWin on a 1920x1080 virtual output, the KDE portal backend and a green window in front. The
# desktop entries in $XDG_DATA_HOME/applications are read before KWin starts.
start_kde() {
  export XDG_CURRENT_DESKTOP=KDE KDE_FULL_SESSION=true WAYLAND_DISPLAY=wayland-fk
  # The installed KWin carries a file capability that a container may not grant: a copy has none.
  mkdir -p "$work/kwin"
  cp "$(command -v kwin_wayland)" "$work/kwin/"
  kbuildsycoca5 --noincremental >"$work/sycoca.log" 2>&1
  spawn kwin "$work/kwin/kwin_wayland" --virtual --width 1920 --height 1080 --socket wayland-fk \
    --no-lockscreen
  wait_for 30 kwin_ready || fail "KWin did not start: $(tail -3 "$work/kwin.log")"
  dbus-update-activation-environment WAYLAND_DISPLAY XDG_RUNTIME_DIR XDG_CURRENT_DESKTOP \
    XDG_SESSION_TYPE XDG_CONFIG_HOME XDG_DATA_HOME XDG_CACHE_HOME HOME QT_QPA_PLATFORM=wayland 2>/dev/null
  start_pipewire
  QT_QPA_PLATFORM=wayland spawn xdp-kde /usr/lib/x86_64-linux-gnu/libexec/xdg-desktop-portal-kde
  wait_for 20 on_bus org.freedesktop.impl.portal.desktop.kde || fail "xdg-desktop-portal-kde did not start"
  start_portal kde
  GDK_BACKEND=wayland spawn green "$oracle" green-window
  wait_for 40 kwin_green_shown || fail "the green window was not shown"
}

# kwin_shot OUT METHOD: KWin's own screenshot, read by a Python of the test's own, which KWin
# knows by its path (the system's Python has a desktop entry of its own, without the grant).
grant_test_reader() {
  mkdir -p "$work/reader"
  cp "$(readlink -f /usr/bin/python3)" "$work/reader/python3"
  grant_kwin_screenshots "$work/reader/python3" test-reader
}
kwin_shot() { timeout 10 "$work/reader/python3" "$oracle" kwin-shot "$@" 2>>"$work/reader.log"; }

kwin_green_shown() {
  kwin_shot "$work/probe.png" CaptureWorkspace &&
    [ "$(/usr/bin/python3 "$oracle" pixel "$work/probe.png" 960 540)" = 00c000 ]
}
