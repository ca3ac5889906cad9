#!/usr/bin/env bash
# Installs what the build needs and is missing, then configures and builds.
# Sourced by run.sh and test.sh; BUILD_DIR may be set by the caller.
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD_DIR="${BUILD_DIR:-$ROOT/build}"

PACKAGES=(
    build-essential cmake ninja-build pkg-config
    qt6-base-dev qt6-base-dev-tools qt6-declarative-dev qt6-declarative-dev-tools libgl-dev
    qt6-qpa-plugins qt6-wayland libssl-dev
    qml6-module-qtquick qml6-module-qtquick-controls qml6-module-qtquick-layouts
    qml6-module-qtquick-dialogs qml6-module-qtquick-window qml6-module-qtquick-templates
    qml6-module-qtqml-workerscript qml6-module-qtquick-shapes qml6-module-qttest
    qml6-module-qt-labs-folderlistmodel
    fonts-material-design-icons-iconfont
    xvfb xauth xdotool
    # tools/screenshots.sh and tools/a11y-tree.sh: the desktop's GTK theme and
    # font, and the accessibility bus they read the window through.
    qt6-gtk-platformtheme dbus at-spi2-core python3-pyatspi
    appstream desktop-file-utils
)
# npm only installs the pinned packer at build time; any npm will do,
# also one that did not come from a Debian package.
command -v npm >/dev/null 2>&1 || PACKAGES+=(nodejs npm)

missing=()
for package in "${PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done
if ((${#missing[@]})); then
    echo "Installing: ${missing[*]}"
    SUDO=""
    [ "$(id -u)" -eq 0 ] || SUDO="sudo"
    $SUDO apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

cmake -G Ninja -S "$ROOT" -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$BUILD_DIR"
