#!/usr/bin/env bash
# The client under load from the stand-in, under Xvfb with a tray host: logged in with auto-login,
# the stand-in sends what the arguments ask for (tavrin-sim's options), and after the settling
# time the client's processor use and resident memory are sampled over the measuring time.
#
#   bench/client-under-load.sh <build folder> [seconds] [tavrin-sim options...]
# for example, a thousand bandwidth samples a second:
#   bench/client-under-load.sh build-release 10 --bandwidth-interval 1
set -euo pipefail
build="$(cd "${1:?usage: bench/client-under-load.sh <build folder> [seconds] [options...]}" && pwd)"
seconds="${2:-10}"
shift $(($# > 1 ? 2 : 1))
source "$(dirname "$0")/session.sh"
mkdir -p "$work/home/.config/Tavrin"
printf '[General]\nAutoLogin=true\nCreditentials=tzYyEhq3NjISGg==\n' \
    >"$work/home/.config/Tavrin/Tavrin.conf" # demo / demo
"$build/sim/tavrin-sim" --port 0 --connect-delay 10 "$@" >/dev/null 2>"$work/sim.err" &
pids+=($!)
sleep 0.5
port="$(ss -ltnp 2>/dev/null | grep tavrin-sim | grep -o '127.0.0.1:[0-9]*' | head -1)"
export TAVRIN_API_HOST="http://$port"
cd "$build"
"$build/app/tavrin-client" >/dev/null 2>&1 &
client=$!
pids+=($client)
sleep 2 # start-up, log-on and the first samples

ticks() { awk '{print $14 + $15}' "/proc/$client/stat"; }
hz="$(getconf CLK_TCK)"
before="$(ticks)"
start="$(date +%s.%N)"
peak=0
for ((i = 0; i < seconds * 10; i++)); do
    rss="$(awk '/VmRSS/ {print $2}' "/proc/$client/status")"
    [ "$rss" -gt "$peak" ] && peak="$rss"
    sleep 0.1
done
after="$(ticks)"
end="$(date +%s.%N)"
python3 -c "print(f'processor {100 * ($after - $before) / $hz / ($end - $start):.1f} %, resident memory at most {$peak / 1024:.1f} MiB')"
