#!/usr/bin/env bash
# Start-up benchmark: the time from exec to the first visible window, and the resident memory
# at that moment, of tavrin-client against a bare frameless dialog with a tray icon, measured
# alternately under Xvfb with a tray host (and the stand-in service for the client). Prints the
# medians and the two ratios.
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

cd "$build"   # the client finds its Fonts here
: >"$work/client" && : >"$work/bare"
for ((i = 0; i < runs; i++)); do
    "$build/bench/bench_firstwindow" "Tavrin Client" "$build/app/tavrin-client" >>"$work/client"
    "$build/bench/bench_firstwindow" "Bare Dialog" "$build/bench/bench_baredialog" >>"$work/bare"
done
python3 - "$work/client" "$work/bare" <<'PY'
import statistics, sys
def load(path):
    rows = [line.split() for line in open(path) if line.strip()]
    return statistics.median(float(r[0]) for r in rows), statistics.median(float(r[1]) for r in rows)
client, bare = load(sys.argv[1]), load(sys.argv[2])
print(f"tavrin-client: {client[0]:.1f} ms to the first window, {client[1]:.0f} KiB resident")
print(f"bare dialog:   {bare[0]:.1f} ms to the first window, {bare[1]:.0f} KiB resident")
print(f"ratios: time {client[0] / bare[0]:.2f}, resident memory {client[1] / bare[1]:.2f}")
PY
