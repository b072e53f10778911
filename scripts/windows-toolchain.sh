#!/usr/bin/env bash
# Builds the Windows cross toolchain the Windows build links against, once: OpenSSL 3 and Qt 5's
# qtbase (Core, Gui, Widgets, Network, Test; the windows and offscreen platform plugins), both
# cross-compiled with mingw-w64 from Debian's own source packages with Debian's patches applied,
# and cpp-httplib's single header, which the stand-in and the tests compile in on Windows.
#
#   scripts/windows-toolchain.sh          build what is missing; prints the toolchain's folder last
#   scripts/windows-toolchain.sh --path   only print the folder (whether it is complete or not)
#
# Everything lands in $TAVRIN_WINDOWS_CACHE (default ~/.cache/tavrin-windows). Each piece has a
# folder named after the hash of its recipe (the function below that builds it, and the pieces
# it is built on), so a changed recipe builds that piece afresh and an unchanged one is reused.
# The toolchain's folder links the three pieces as openssl/, qt/ and httplib/. The sources come
# from apt-get source; the deb-src entry this needs is made from the system's own deb entry.
# With TAVRIN_WINDOWS_PREBUILT naming a folder of <piece>-<hash>.tar.xz archives (each a piece's
# folder packed as it stands in the cache), a piece whose recipe hash has an archive there is
# unpacked instead of built.
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
cache="${TAVRIN_WINDOWS_CACHE:-$HOME/.cache/tavrin-windows}"
jobs="$(nproc 2>/dev/null || echo 2)"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then
    SUDO="sudo"
fi

build_openssl() { # <prefix>
    # libcrypto reads openssl.cnf, engines and modules from folders compiled into it. Left to
    # Configure they would be under the build folder, a path without a drive letter that Windows
    # takes on the current drive, where any user may create it and plant a configuration every
    # user's client then loads. These are OpenSSL's own Windows defaults instead, folders only
    # administrators can write. They are given to make alone: Configure would take a path with a
    # drive letter for a relative one, and the installation stays in the prefix.
    local folders=(OPENSSLDIR="C:/Program Files/Common Files/SSL"
        ENGINESDIR="C:/Program Files/OpenSSL/lib/engines-3"
        MODULESDIR="C:/Program Files/OpenSSL/lib/ossl-modules")
    ./Configure mingw64 --cross-compile-prefix=x86_64-w64-mingw32- --prefix="$1" \
        --libdir=lib shared no-tests
    make -j "$jobs" "${folders[@]}" >build.log
    make install_sw >/dev/null
}

build_qtbase() { # <prefix> <openssl prefix>
    # The source package lacks the wintab and sqlite folders: no tablet events, no SQL.
    ./configure \
        -xplatform win32-g++ -device-option CROSS_COMPILE=x86_64-w64-mingw32- \
        -prefix "$1" -opensource -confirm-license -release -shared \
        -nomake examples -nomake tests -no-compile-examples \
        -no-opengl -no-dbus -no-icu -no-feature-tabletevent -no-feature-sql \
        -qt-zlib -qt-libpng -qt-libjpeg -qt-pcre -qt-harfbuzz -qt-freetype \
        -openssl-linked -I "$2/include" -L "$2/lib" \
        OPENSSL_LIBS="-lssl -lcrypto -lws2_32 -lcrypt32" >configure.log
    make -j "$jobs" >build.log
    make install >/dev/null
}

build_httplib() { # <prefix>
    mkdir -p "$1/include"
    cp httplib.h LICENSE "$1/include/"
}

recipe_hash() { # <function> [<hash of a piece it is built on>...]
    { declare -f "$1"; shift; echo "$@"; } | sha256sum | cut -c1-16
}

openssl_hash="$(recipe_hash build_openssl)"
qtbase_hash="$(recipe_hash build_qtbase "$openssl_hash")"
httplib_hash="$(recipe_hash build_httplib)"
toolchain="$cache/toolchain-$(echo "$openssl_hash $qtbase_hash $httplib_hash" | sha256sum | cut -c1-16)"

if [ "${1:-}" = "--path" ]; then
    echo "$toolchain"
    exit 0
fi

# The source packages come from the archive and suite the system already installs from.
add_deb_src() {
    local list=/etc/apt/sources.list.d/tavrin-deb-src.sources
    [ -f "$list" ] && return 0
    local sources=/etc/apt/sources.list.d/debian.sources uri suite
    if [ -f "$sources" ]; then
        uri="$(awk '/^URIs:/ { print $2; exit }' "$sources")"
        suite="$(awk '/^Suites:/ { print $2; exit }' "$sources")"
    else
        read -r uri suite < <(awk '$1 == "deb" { print $2, $3; exit }' /etc/apt/sources.list)
    fi
    printf 'Types: deb-src\nURIs: %s\nSuites: %s\nComponents: main\nSigned-By: %s\n' \
        "$uri" "$suite" /usr/share/keyrings/debian-archive-keyring.gpg | $SUDO tee "$list" >/dev/null
    $SUDO apt-get update
}

# Unpacks a piece from $TAVRIN_WINDOWS_PREBUILT when that folder holds it as <name>-<hash>.tar.xz,
# the piece's cache folder as it stands, packed: the hash in the name is the recipe's, so only an
# archive made by this very recipe is taken. A SHA256SUMS beside the archives must list it.
unpack_prebuilt() { # <name> <hash>
    local folder="${TAVRIN_WINDOWS_PREBUILT:-}" archive="$1-$2.tar.xz"
    [ -n "$folder" ] && [ -f "$folder/$archive" ] || return 1
    if [ -f "$folder/SHA256SUMS" ]; then
        (cd "$folder" && grep -E " \*?$archive\$" SHA256SUMS | sha256sum -c --quiet -) || {
            echo "windows-toolchain: $archive does not match $folder/SHA256SUMS" >&2
            return 1
        }
    fi
    rm -rf "${cache:?}/$1-$2"
    tar -xJf "$folder/$archive" -C "$cache" || return 1
    [ -f "$cache/$1-$2/complete" ] || { rm -rf "${cache:?}/$1-$2"; return 1; }
    echo "windows-toolchain: $1 taken from $folder/$archive"
}

# Builds one piece from a Debian source package into $cache/<name>-<hash>, unless it is there or
# can be taken from a prebuilt archive.
piece() { # <name> <hash> <source package> <build function> [<argument>...]
    local name="$1" hash="$2" package="$3" build="$4"
    shift 4
    local prefix="$cache/$name-$hash"
    [ -f "$prefix/complete" ] && return 0
    unpack_prebuilt "$name" "$hash" && return 0
    echo "=== $name for Windows"
    add_deb_src
    local work="$cache/work-$name-$hash" started
    started=$(date +%s)
    rm -rf "$work" "$prefix"
    mkdir -p "$work"
    (
        cd "$work"
        apt-get source --download-only "$package" >/dev/null
        dpkg-source -x ./*.dsc source >/dev/null
        cd source
        "$build" "$prefix" "$@"
    )
    rm -rf "$work"
    echo "$(($(date +%s) - started))" >"$prefix/build-seconds"
    touch "$prefix/complete"
    echo "windows-toolchain: $name built in $(cat "$prefix/build-seconds") s"
}

mkdir -p "$cache/ccache"
# A recipe being worked on is built more than once: the compiler's cache keeps what it may. The
# cross compilers are reached through ccache's masquerading links when it is installed.
if command -v ccache >/dev/null 2>&1; then
    mkdir -p "$cache/ccache-bin"
    for tool in gcc g++ cc c++; do
        ln -sf "$(command -v ccache)" "$cache/ccache-bin/x86_64-w64-mingw32-$tool"
    done
    export PATH="$cache/ccache-bin:$PATH"
    export CCACHE_DIR="$cache/ccache"
fi

piece openssl "$openssl_hash" openssl build_openssl
piece qtbase "$qtbase_hash" qtbase-opensource-src build_qtbase "$cache/openssl-$openssl_hash"
piece httplib "$httplib_hash" cpp-httplib build_httplib

mkdir -p "$toolchain"
ln -sfn "$cache/openssl-$openssl_hash" "$toolchain/openssl"
ln -sfn "$cache/qtbase-$qtbase_hash" "$toolchain/qt"
ln -sfn "$cache/httplib-$httplib_hash" "$toolchain/httplib"
total=0
for piece in openssl qt httplib; do
    total=$((total + $(cat "$toolchain/$piece/build-seconds")))
done
echo "windows-toolchain: ready (built in $total s in all)"
echo "$toolchain"
