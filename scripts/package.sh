#!/usr/bin/env bash
# Builds the Debian package of Tavrin Client: installs what is missing, configures a Release
# build of the product alone (no stand-in, no tests) in build-package/, builds it, packs it with
# CPack and prints the path of the .deb. Install it with
#
#   sudo apt install ./build-package/tavrin-client_*.deb
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"

scripts/install-deps.sh

dir="$root/build-package"
jobs="$(nproc 2>/dev/null || echo 2)"
launcher=()
if command -v ccache >/dev/null 2>&1; then
    launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi

echo "=== configure $dir"
cmake -S "$root" -B "$dir" "${launcher[@]}" -DCMAKE_BUILD_TYPE=Release \
    -DTAVRIN_SIM=OFF -DTAVRIN_TESTS=OFF -DTAVRIN_BENCH=OFF -DTAVRIN_FUZZ=OFF \
    -DTAVRIN_SANITIZE=OFF
echo "=== build $dir"
cmake --build "$dir" -j "$jobs"
echo "=== package"
# A package left from an earlier version would be found by the glob below.
rm -f "$dir"/tavrin-client_*.deb
(cd "$dir" && cpack -G DEB)
package="$(ls "$dir"/tavrin-client_*.deb)"
dpkg-deb --info "$package"
echo "$package"
