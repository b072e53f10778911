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
echo "=== installer"
(cd "$build" && cpack -G NSIS >/dev/null && ls "$build"/tavrin-client-*-win64.exe)

# A prefix of the tests' own, made afresh: nothing of the user's Wine is read or changed.
export WINEPREFIX="$build/wine-prefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
rm -rf "$WINEPREFIX"
echo "=== Wine prefix $WINEPREFIX"
wineboot -i >/dev/null 2>&1
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
