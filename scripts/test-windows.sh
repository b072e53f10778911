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
# OpenSSL reads its configuration, engines and modules from folders compiled into libcrypto. In
# the DLL the installer ships they are under Program Files, which only administrators can
# write: a folder without a drive letter would be one any user could create.
echo "=== OpenSSL's folders"
crypto="$(find "$build/_CPack_Packages" -name libcrypto-3-x64.dll | head -n 1)"
folders="$(strings -a "$crypto" | grep -E '^(OPENSSLDIR|ENGINESDIR|MODULESDIR): ')"
echo "$folders"
[ "$(echo "$folders" | grep -cE '^[A-Z]+: "C:/Program Files/')" -eq 3 ] \
    || { echo "libcrypto reads its folders from where users can write" >&2; exit 1; }

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
# nothing but its own folder (no WINEPATH) against the Windows stand-in; then the same installer
# again while the program runs, as a person upgrades with the client in the tray: it ends the
# program, replaces every file, keeps every user's log-on entry and starts the program again;
# then a silent uninstall, the program running, that removes every user's log-on entry and
# leaves the user's settings.
echo "=== installer in a fresh prefix"
fresh_prefix "$build/wine-install-prefix"
installer="$(ls "$build"/tavrin-client-*-win64.exe)"
wine "$installer" /S
wineserver -w
folder="$WINEPREFIX/drive_c/Program Files/Tavrin Client"
for file in tavrin-client.exe Uninstall.exe qt.conf platforms/qwindows.dll Fonts/Roboto-Regular.ttf; do
    [ -f "$folder/$file" ] || { echo "installer: $file is missing" >&2; exit 1; }
done
program='C:\Program Files\Tavrin Client\tavrin-client.exe'
find "$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu" -name "Tavrin Client.lnk" \
    -exec strings {} + | grep -ixF "$program" >/dev/null \
    || { echo "installer: no Start menu entry for the program" >&2; exit 1; }
# The stand-in finds its DLLs where the tests do.
dllPath="$(cat "$build/winepath.txt")"
simLog="$build/installed-sim.log"
WINEPATH="$dllPath" wine "$build/sim/tavrin-sim.exe" --port 0 >"$simLog" 2>&1 &
sim=$!
for _ in $(seq 100); do grep -q "client environment" "$simLog" && break; sleep 0.2; done
api="$(sed -n 's/.*client environment: TAVRIN_API_HOST=//p' "$simLog")"
# The upgrade below ends it: not a job of this shell's to report on.
TAVRIN_API_HOST="$api" wine "$program" &
disown
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
# Two users have the log-on entry, in the program's older and newer forms: this one, and one more
# signed in (a hive under HKU, which Wine keeps while its server runs: the stand-in sees to it).
run='Software\Microsoft\Windows\CurrentVersion\Run'
otherUser='HKU\S-1-5-21-1-2-3-1001'
wine reg add "HKCU\\$run" /v "Tavrin Client" /d "\"$program\"" /f >/dev/null
wine reg add "$otherUser\\$run" /v "Tavrin Client" /d "\"$program\" --autostart" /f >/dev/null
# The upgrade writes every file anew: one still dated here was not replaced.
find "$folder" -type f -exec touch -d @0 {} +
wine "$installer" /S || { echo "installer: the upgrade failed" >&2; exit 1; }
! find "$folder" -type f ! -newermt @1 | grep . \
    || { echo "installer: the upgrade left the files above as they were" >&2; exit 1; }
for _ in $(seq 300); do grep -q "SVC CLIENT session=2 connected" "$simLog" && break; sleep 0.2; done
grep -q "SVC CLIENT session=2 connected" "$simLog" \
    || { echo "installer: the program did not run again after the upgrade" >&2; exit 1; }
for user in HKCU "$otherUser"; do
    wine reg query "$user\\$run" /v "Tavrin Client" | grep -F "\"$program\" --autostart" >/dev/null \
        || { echo "installer: the upgrade lost the log-on entry of $user" >&2; exit 1; }
done
wine reg add 'HKCU\Software\Tavrin' /v AutoLogin /d true /f >/dev/null
# The uninstaller ends the program, and removes the folder last.
wine "C:\\Program Files\\Tavrin Client\\Uninstall.exe" /S
for _ in $(seq 300); do [ -e "$folder" ] || break; sleep 0.2; done
[ ! -e "$folder" ] || { echo "installer: the program is still there" >&2; exit 1; }
for user in HKCU "$otherUser"; do
    ! wine reg query "$user\\$run" /v "Tavrin Client" >/dev/null 2>&1 \
        || { echo "installer: the uninstaller left the log-on entry of $user" >&2; exit 1; }
done
wine reg query "$otherUser\\$run" >/dev/null 2>&1 \
    || { echo "installer: Wine dropped the second user's hive" >&2; exit 1; }
wine reg query 'HKCU\Software\Tavrin' /v AutoLogin >/dev/null 2>&1 \
    || { echo "installer: the uninstaller removed the user's settings" >&2; exit 1; }
kill "$sim" 2>/dev/null || true
wineserver -k >/dev/null 2>&1 || true
echo "=== Windows suite passed"
