# Headless sway for the end-to-end scripts: an unprivileged user (sway refuses root), a private
# session bus, a fresh runtime folder, the pixman renderer. Sourced, not run.
#
# as_session_user SCRIPT ARGS...: runs this script again as that user inside dbus-run-session
# (the caller is root) or inside dbus-run-session only; exits with its status. A machine without
# sway, grim or wtype skips the test (77).
as_session_user() {
  for tool in sway swaymsg grim wtype foot; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed" >&2; exit 77; }
  done
  work=$(mktemp -d /tmp/fotokran-wayland-XXXXXX)
  chmod 755 "$work"
  local run=(dbus-run-session -- bash "$@" --inside "$work")
  if [ "$(id -u)" = 0 ]; then
    id wltest >/dev/null 2>&1 || useradd -m wltest || { echo "cannot create user wltest" >&2; exit 1; }
    chown wltest "$work"
    run=(runuser -u wltest -- env PATH="$PATH" LSAN_OPTIONS="${LSAN_OPTIONS:-}" "${run[@]}")
  fi
  timeout 170 "${run[@]}"
  local status=$?
  rm -rf "$work"
  exit $status
}

# start_sway CONFIG_LINES: sway on one 1920x1080 output; sets WAYLAND_DISPLAY and SWAYSOCK.
start_sway() {
  export XDG_RUNTIME_DIR=$work/rt
  mkdir -m 700 "$XDG_RUNTIME_DIR"
  export WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman
  export XDG_CURRENT_DESKTOP=sway XDG_SESSION_TYPE=wayland
  unset DISPLAY WAYLAND_DISPLAY SWAYSOCK
  printf 'output HEADLESS-1 resolution 1920x1080\n%s\n' "$1" >"$work/sway.cfg"
  sway -c "$work/sway.cfg" >"$work/sway.log" 2>&1 &
  pids+=($!)
  local i
  for i in $(seq 100); do
    WAYLAND_DISPLAY=$(ls "$XDG_RUNTIME_DIR" 2>/dev/null | grep -m1 '^wayland-[0-9]*$')
    SWAYSOCK=$(ls "$XDG_RUNTIME_DIR"/sway-ipc.*.sock 2>/dev/null | head -1)
    [ -n "$WAYLAND_DISPLAY" ] && [ -n "$SWAYSOCK" ] && break
    sleep 0.1
  done
  [ -n "$WAYLAND_DISPLAY" ] && [ -n "$SWAYSOCK" ] || fail "sway did not start: $(tail -3 "$work/sway.log")"
  export WAYLAND_DISPLAY SWAYSOCK
}

# Whether a window matching the jq-free grep pattern is in sway's tree.
tree_has() { swaymsg -t get_tree | grep -q "$1"; }

# The rectangle "x y w h" of the window focused now, with its border and title bar.
focused_rect() {
  swaymsg -t get_tree | /usr/bin/python3 -c '
import json, sys
def walk(n):
    if n.get("focused") and n["type"] in ("con", "floating_con") and not n["nodes"]:
        r = n["rect"]; print(r["x"], r["y"], r["width"], r["height"]); sys.exit(0)
    for c in n["nodes"] + n["floating_nodes"]:
        walk(c)
walk(json.load(sys.stdin)); sys.exit(1)'
}
