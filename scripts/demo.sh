#!/usr/bin/env bash
# Shows Tavrin Client working against the stand-in VPN service and web API (tavrin-sim).
#
# Installs what is missing, builds into build/, starts tavrin-sim on loopback (its local socket
# in a temporary folder of this run, so it never meets a real service or another demo) and
# starts tavrin-client against it from the build folder, which holds the program's Fonts.
#
# With a desktop (DISPLAY or WAYLAND_DISPLAY set) the window and the tray icon simply open; log
# in with user "demo", password "demo", and the demo ends when the client does (tray menu, Exit).
# Without one (or with TAVRIN_DEMO_HEADLESS=1) everything runs on a virtual X display with a tray
# host, in a temporary home: the demo logs in by itself, waits for the connection and a few
# bandwidth samples, saves screenshots of the login page and the connected page to a folder it
# prints, and stops everything it started.
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
build="$root/build"
cd "$root"

say() { printf 'demo: %s\n' "$*"; }

scripts/install-deps.sh

launcher=()
if command -v ccache >/dev/null 2>&1; then
    launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi
jobs="$(nproc 2>/dev/null || echo 2)"
say "building into $build"
cmake -S "$root" -B "$build" "${launcher[@]}" >/dev/null
cmake --build "$build" -j "$jobs" --target tavrin-client tavrin-sim traywait

run="$(mktemp -d "${TMPDIR:-/tmp}/tavrin-demo.XXXXXX")"
mkdir -p "$run/tmp"
pids=()

# Ends what this script started, newest first, waiting a bounded time for each.
stop_all() {
    local i pid
    for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
        pid="${pids[$i]}"
        kill -TERM "$pid" 2>/dev/null || continue
        for _ in $(seq 50); do
            kill -0 "$pid" 2>/dev/null || break
            sleep 0.1
        done
        kill -KILL "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
    pids=()
}
trap stop_all EXIT
trap 'exit 130' INT TERM

# Polls a command until it succeeds, at most the given number of seconds.
wait_for() {
    local seconds="$1"
    shift
    local tries=$((seconds * 5))
    while ((tries-- > 0)); do
        if "$@"; then
            return 0
        fi
        sleep 0.2
    done
    return 1
}

log_has() { grep -q -- "$2" "$1" 2>/dev/null; }
log_count_at_least() { [ "$(grep -c -- "$2" "$1" 2>/dev/null || true)" -ge "$3" ]; }

# The stand-in service and web API, with its local socket in this run's own temp folder.
start_sim() {
    TMPDIR="$run/tmp" "$build/sim/tavrin-sim" --port 0 >"$run/sim.log" 2>&1 &
    pids+=($!)
    if ! wait_for 30 log_has "$run/sim.log" '^PORT '; then
        say "tavrin-sim did not start; its log:"
        cat "$run/sim.log"
        exit 1
    fi
    port="$(sed -n 's/^PORT \([0-9]*\)$/\1/p' "$run/sim.log" | head -n 1)"
    say "tavrin-sim: service socket in $run/tmp, web API on http://127.0.0.1:$port (log: $run/sim.log)"
}

client_env() {
    env TMPDIR="$run/tmp" TAVRIN_API_HOST="http://127.0.0.1:$port" "$@"
}

desktop_demo() {
    start_sim
    say "starting tavrin-client; log in with user \"demo\" and password \"demo\""
    say "(it keeps running in the tray when its window is closed: use the tray menu's Exit)"
    local status=0
    (cd "$build" && client_env ./app/tavrin-client) || status=$?
    case "$status" in
    0) say "tavrin-client ended (also the case when an instance was already running)" ;;
    1) say "no system tray on this desktop: tavrin-client needs one (try the headless demo:" \
        "TAVRIN_DEMO_HEADLESS=1 scripts/demo.sh)" ;;
    *) say "tavrin-client ended with exit code $status" ;;
    esac
    rm -rf "$run"
}

visible_window() { xdotool search --onlyvisible --name '^Tavrin Client$' 2>/dev/null | head -n 1; }
has_window() { [ -n "$(visible_window)" ]; }
has_tray() { "$build/tools/traywait" 1 2>/dev/null; }

# Clicks at a point given relative to the window's top-left corner.
click_at() {
    xdotool mousemove $((win_x + $1)) $((win_y + $2)) click 1
}

headless_demo() {
    local shots="$run/screenshots"
    mkdir -p "$shots" "$run/home/.config" "$run/run"
    chmod 700 "$run/run"
    export HOME="$run/home" XDG_CONFIG_HOME="$run/home/.config" XDG_RUNTIME_DIR="$run/run"
    export QT_QPA_PLATFORM=xcb QT_XCB_GL_INTEGRATION=none
    unset DISPLAY WAYLAND_DISPLAY XAUTHORITY DBUS_SESSION_BUS_ADDRESS

    # A virtual display; -noreset keeps it up when its first client (the tray host) goes.
    Xvfb -displayfd 3 -noreset -nolisten tcp -screen 0 1024x768x24 -br 3>"$run/display" \
        2>"$run/xvfb.log" &
    pids+=($!)
    wait_for 30 test -s "$run/display" || { say "Xvfb did not start"; exit 1; }
    export DISPLAY=":$(tr -d '[:space:]' <"$run/display")"
    say "virtual display $DISPLAY"

    trayer --edge top --align right --widthtype request --height 24 >"$run/trayer.log" 2>&1 &
    pids+=($!)
    wait_for 30 has_tray || { say "the tray host did not start"; exit 1; }

    start_sim
    (cd "$build" && exec env TMPDIR="$run/tmp" TAVRIN_API_HOST="http://127.0.0.1:$port" \
        ./app/tavrin-client >"$run/client.log" 2>&1) &
    pids+=($!)
    wait_for 60 has_window || { say "no window; client log:"; cat "$run/client.log"; exit 1; }
    local win
    win="$(visible_window)"
    eval "$(xdotool getwindowgeometry --shell "$win" | sed -n 's/^X=/win_x=/p; s/^Y=/win_y=/p')"
    sleep 1
    import -window root "$shots/1-login-page.png"

    say "logging in as demo / demo"
    click_at 160 259
    xdotool type --delay 60 demo
    click_at 160 322
    xdotool type --delay 60 demo
    import -window root "$shots/2-login-filled.png"
    click_at 90 416

    if ! wait_for 60 log_has "$run/sim.log" 'state=Connected '; then
        say "no connection; sim log:"
        cat "$run/sim.log"
        exit 1
    fi
    say "connected; waiting for a few bandwidth samples and the public address"
    wait_for 60 log_count_at_least "$run/sim.log" 'TUNNEL session=[0-9]* bandwidth ' 6 || true
    wait_for 30 log_has "$run/sim.log" 'HTTP GET /get_ip/' || true
    sleep 1
    import -window root "$shots/3-connected-page.png"

    stop_all
    say "screenshots in $shots:"
    ls -1 "$shots" | sed 's/^/    /'
    say "logs in $run (sim.log, client.log); settings in $run/home/.config/Tavrin/Tavrin.conf"
}

if [ -z "${TAVRIN_DEMO_HEADLESS:-}" ] && [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    desktop_demo
else
    headless_demo
fi
