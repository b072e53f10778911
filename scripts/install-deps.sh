#!/usr/bin/env bash
# Installs every Debian package that building, testing and demonstrating Tavrin Client needs,
# when it is missing. Safe to run again. Needs root or sudo.
#
#   scripts/install-deps.sh             the Linux build
#   scripts/install-deps.sh --windows   also the Windows cross build, Wine and the installer tools
set -euo pipefail

PACKAGES=(
    # toolchain
    build-essential cmake pkg-config ccache clang libclang-rt-14-dev
    # Qt 5, the X library the tray check uses and fontconfig, whose configuration start-up
    # reads ahead of Qt
    qtbase5-dev qtbase5-dev-tools libqt5svg5-dev libxcb1-dev libfontconfig-dev
    # translations: Qt's Linguist tools (lupdate, lrelease) and Qt's own translations, which the
    # program loads at run time
    qttools5-dev qttools5-dev-tools qttranslations5-l10n
    # stand-in web API and the tests' HTTP servers; the tests' throwaway certificates
    libcpp-httplib-dev libssl-dev openssl
    # benchmarks
    libbenchmark-dev
    # fonts the program loads from its "Fonts" folder
    fonts-roboto-unhinted
    # desktop entry check for the autostart entry and the launcher
    desktop-file-utils
    # the Debian package (cpack finds the programs in it with file and works out their
    # dependencies with dpkg-shlibdeps), the check of its AppStream metainfo, Debian's own
    # check of the package, and the manual page's
    dpkg-dev file appstream lintian man-db
    # real-window tests and the demo: X server, tray host, input and window tools
    xvfb xauth trayer openbox xdotool x11-utils x11-apps libx11-dev imagemagick
    # modern trays: a private session bus and the stand-in watcher (Python GObject)
    dbus-daemon dbus-session-bus-common python3-gi gir1.2-glib-2.0
)
if [ "${1:-}" = "--windows" ]; then
    PACKAGES+=(
        # the cross compilers (POSIX threads: std::thread), Wine to run what they build, the
        # installer maker, and what fetching and unpacking Debian's source packages takes
        g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 wine64 wine nsis dpkg-dev xz-utils
    )
fi

missing=()
for package in "${PACKAGES[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$package")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    echo "install-deps: all packages present"
    exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then
    SUDO="sudo"
fi
echo "install-deps: installing ${missing[*]}"
$SUDO apt-get update
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends "${missing[@]}"
