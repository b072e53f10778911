# Sourced by the benchmark scripts: a private desktop session for one run. Needs $build (the
# build folder). Makes $work (a temporary home, runtime and temp folder, removed at the end),
# starts Xvfb and a tray host and waits for the tray; $pids holds what is to be ended on exit.
work="$(mktemp -d)"
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
mkdir -p "$work/home/.config" "$work/run" "$work/tmp" && chmod 700 "$work/run"
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" XDG_RUNTIME_DIR="$work/run" \
    TMPDIR="$work/tmp" QT_QPA_PLATFORM=xcb QT_XCB_GL_INTEGRATION=none
unset DBUS_SESSION_BUS_ADDRESS WAYLAND_DISPLAY

Xvfb -displayfd 3 -noreset -nolisten tcp -screen 0 1024x768x24 -dpi 96 3>"$work/display" 2>/dev/null &
pids+=($!)
while [ ! -s "$work/display" ]; do sleep 0.05; done
export DISPLAY=":$(cat "$work/display")"
trayer --edge top --align right --widthtype request --height 24 >/dev/null 2>&1 &
pids+=($!)
"$build/tools/traywait" 20
