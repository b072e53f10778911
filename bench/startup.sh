#!/usr/bin/env bash
# Start-up benchmark: the time from exec to the first visible window, and the resident memory
# at that moment, of tavrin-client against two floors: the look floor (the least that shows the
# client's first window, bench/lookfloor.cpp) and a bare frameless dialog with a tray icon,
# measured in turn under Xvfb with a tray host (and the stand-in service for the client). Prints
# the medians and the client's ratios to each floor.
#
#   bench/startup.sh <build folder> [runs]     (configured with -DTAVRIN_BENCH=ON; default 9 runs)
set -euo pipefail
build="$(cd "${1:?usage: bench/startup.sh <build folder> [runs]}" && pwd)"
runs="${2:-9}"
source "$(dirname "$0")/session.sh"
"$build/sim/tavrin-sim" --port 0 >"$work/sim.log" 2>&1 &
pids+=($!)
while ! grep -q "^PORT" "$work/sim.log"; do sleep 0.05; done
export TAVRIN_API_HOST="http://127.0.0.1:$(head -1 "$work/sim.log" | cut -d' ' -f2)"

cd "$build"   # the client and the look floor find their Fonts here
: >"$work/client" && : >"$work/look" && : >"$work/bare"
for ((i = 0; i < runs; i++)); do
    "$build/bench/bench_firstwindow" "Tavrin Client" "$build/app/tavrin-client" >>"$work/client"
    "$build/bench/bench_firstwindow" "Look Floor" "$build/bench/bench_lookfloor" >>"$work/look"
    "$build/bench/bench_firstwindow" "Bare Dialog" "$build/bench/bench_baredialog" >>"$work/bare"
done
python3 - "$work/client" "$work/look" "$work/bare" <<'PY'
import statistics, sys
def load(path):
    rows = [line.split() for line in open(path) if line.strip()]
    return statistics.median(float(r[0]) for r in rows), statistics.median(float(r[1]) for r in rows)
client, look, bare = (load(path) for path in sys.argv[1:4])
for name, (ms, kib) in (("tavrin-client", client), ("look floor", look), ("bare dialog", bare)):
    print(f"{name + ':':15}{ms:6.1f} ms to the first window, {kib:6.0f} KiB resident")
for name, floor in (("look floor", look), ("bare dialog", bare)):
    print(f"against the {name}: time {client[0] / floor[0]:.2f}, "
          f"resident memory {client[1] / floor[1]:.2f}")
PY
