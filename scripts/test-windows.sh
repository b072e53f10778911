#!/usr/bin/env bash
# Builds the Windows program with mingw-w64 and runs its test suite under Wine: installs what is
# missing, builds the cross toolchain once (scripts/windows-toolchain.sh, cached outside the
# repository), cross-builds the client, tavrin-sim and the tests into build-windows/, makes the
# installer (build-windows/tavrin-client-<version>-win64.exe) and runs the tests in a private
# Wine prefix (build-windows/wine-prefix) on a private X display. Exits non-zero on any failure.
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"

scripts/install-deps.sh --windows
toolchain="$(scripts/windows-toolchain.sh | tail -n 1)"

jobs="$(nproc 2>/dev/null || echo 2)"
build="$root/build-windows"
launcher=()
if command -v ccache >/dev/null 2>&1; then
    launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi
echo "=== configure $build"
cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/TavrinMingw64.cmake" \
    -DTAVRIN_WINDOWS_TOOLCHAIN="$toolchain" -DCMAKE_BUILD_TYPE=Release "${launcher[@]}"
echo "=== build $build"
cmake --build "$build" -j "$jobs"
# A window program: started from Explorer or at log-on it opens no console.
echo "=== window program"
x86_64-w64-mingw32-objdump -p "$build/app/tavrin-client.exe" | grep -E '^Subsystem\s+0+2\s'
echo "=== installer"
(cd "$build" && cpack -G NSIS >/dev/null && ls "$build"/tavrin-client-*-win64.exe)

export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
# A prefix made afresh and complete, its services registered, before anything runs in it.
fresh_prefix() {
    export WINEPREFIX="$1"
    rm -rf "$WINEPREFIX"
    wineboot -i >/dev/null 2>&1 || { echo "wineboot could not make $WINEPREFIX" >&2; exit 1; }
    wineserver -w
}
# A prefix of the tests' own, made afresh: nothing of the user's Wine is read or changed.
echo "=== Wine prefix $build/wine-prefix"
fresh_prefix "$build/wine-prefix"
cleanup() {
    wineserver -k >/dev/null 2>&1 || true
    [ -n "${xvfb:-}" ] && kill "$xvfb" 2>/dev/null || true
}
trap cleanup EXIT
# Wine's desktop process wants a display even for programs that open no window of theirs.
Xvfb :97 -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
export DISPLAY=:97

echo "=== test $build"
(cd "$build" && ctest --output-on-failure -j "$jobs")

# The whole-program runs of the Windows program are driven from Linux, as a person would use it
# (xdotool on an X display with a tray host): a Linux build of the tests, given this Windows
# build, runs them (tst_wine) in a Wine prefix of their own. ccache shares the objects of the
# Linux build in build/.
driver="$build/linux-driver"
echo "=== whole-program runs under Wine ($driver)"
export CCACHE_BASEDIR="$root" CCACHE_NOHASHDIR=1
cmake -S "$root" -B "$driver" -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" \
    -DTAVRIN_WINDOWS_BUILD_DIR="$build"
cmake --build "$driver" -j "$jobs" --target tst_wine
(cd "$driver" && ctest --output-on-failure -R '^wine$')

# The installer: a silent install into a fresh prefix, the installed program started with
# nothing but its own folder (no WINEPATH) against the Windows stand-in, then a silent uninstall
# that removes the log-on entry and leaves the user's settings.
echo "=== installer in a fresh prefix"
fresh_prefix "$build/wine-install-prefix"
wine "$(ls "$build"/tavrin-client-*-win64.exe)" /S
wineserver -w
folder="$WINEPREFIX/drive_c/Program Files/Tavrin Client"
for file in tavrin-client.exe Uninstall.exe qt.conf platforms/qwindows.dll Fonts/Roboto-Regular.ttf; do
    [ -f "$folder/$file" ] || { echo "installer: $file is missing" >&2; exit 1; }
done
find "$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu" -name "Tavrin Client.lnk" \
    | grep -q . || { echo "installer: no Start menu entry" >&2; exit 1; }
# The stand-in finds its DLLs where the tests do.
dllPath="$(cat "$build/winepath.txt")"
simLog="$build/installed-sim.log"
WINEPATH="$dllPath" wine "$build/sim/tavrin-sim.exe" --port 0 >"$simLog" 2>&1 &
sim=$!
for _ in $(seq 100); do grep -q "client environment" "$simLog" && break; sleep 0.2; done
api="$(sed -n 's/.*client environment: TAVRIN_API_HOST=//p' "$simLog")"
TAVRIN_API_HOST="$api" wine "C:\\Program Files\\Tavrin Client\\tavrin-client.exe" &
client=$!
for _ in $(seq 300); do grep -q "HTTP GET /get_list/.* 200" "$simLog" && break; sleep 0.2; done
grep -q "SVC CLIENT session=1 connected" "$simLog" && grep -q "HTTP GET /get_list/.* 200" "$simLog" \
    || { echo "installer: the installed program did not reach the service and the web API" >&2
         cat "$simLog" >&2; exit 1; }
# And the person sees the login page.
for _ in $(seq 100); do
    xdotool search --onlyvisible --name '^Tavrin Client$' >/dev/null 2>&1 && break; sleep 0.2
done
xdotool search --onlyvisible --name '^Tavrin Client$' >/dev/null 2>&1 \
    || { echo "installer: the installed program showed no window" >&2; exit 1; }
kill "$client" "$sim" 2>/dev/null || true
wineserver -k >/dev/null 2>&1 || true
run='HKCU\Software\Microsoft\Windows\CurrentVersion\Run'
wine reg add "$run" /v "Tavrin Client" /d "\"C:\\Program Files\\Tavrin Client\\tavrin-client.exe\"" /f >/dev/null
wine reg add 'HKCU\Software\Tavrin' /v AutoLogin /d true /f >/dev/null
wine "C:\\Program Files\\Tavrin Client\\Uninstall.exe" /S
wineserver -w
! wine reg query "$run" /v "Tavrin Client" >/dev/null 2>&1 \
    || { echo "installer: the uninstaller left the log-on entry" >&2; exit 1; }
wine reg query 'HKCU\Software\Tavrin' /v AutoLogin >/dev/null 2>&1 \
    || { echo "installer: the uninstaller removed the user's settings" >&2; exit 1; }
[ ! -e "$folder/tavrin-client.exe" ] || { echo "installer: the program is still there" >&2; exit 1; }
echo "=== Windows suite passed"
