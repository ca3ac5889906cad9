#!/usr/bin/env bash
# Installs what the build needs and is missing, then configures and builds.
# Sourced by run.sh and test.sh; the caller may set
#   BUILD_DIR              the build folder (default: build/)
#   LUMBREL_TOOLS          extra groups of tools to install (below), e.g. "desktop"
#   LUMBREL_CMAKE_OPTIONS  more options for the configure step, e.g. "-DLUMBREL_SANITIZE=ON"
# Run directly, it takes the groups as arguments: tools/bootstrap.sh xvfb
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
    # The type descriptions qmllint reads (target all_qmllint): QtQml's, and
    # Qt.labs.platform's for the macOS menu bar.
    qml6-module-qtqml qml6-module-qt-labs-platform
    # tests/install/check_install.sh validates the desktop entry and the
    # AppStream metadata with these.
    appstream desktop-file-utils
)
# Tools only some scripts need, installed when they ask for them.
declare -A TOOL_GROUPS=(
    # A virtual display, for xvfb-run (the application or bench_window without a display).
    [xvfb]="xvfb xauth"
    # tools/screenshots.sh and tools/a11y-tree.sh: the display, keyboard and
    # mouse input, window lookup and capture, the accessibility bus they read
    # the window through, and the desktop's GTK theme and font.
    [desktop]="xvfb xauth xdotool x11-utils imagemagick dbus at-spi2-core python3-pyatspi qt6-gtk-platformtheme"
)
groups=(${LUMBREL_TOOLS:-})
[ "${BASH_SOURCE[0]}" != "$0" ] || groups+=("$@")
for group in "${groups[@]}"; do
    [ -n "${TOOL_GROUPS[$group]:-}" ] || { echo "bootstrap: no tools called \"$group\" (${!TOOL_GROUPS[*]})" >&2; exit 2; }
    PACKAGES+=(${TOOL_GROUPS[$group]})
done
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

# ccache, where it is installed, makes rebuilds in a fresh folder cheap; it is
# never required. (CMake reads this when it configures a build folder first.)
if [ -z "${CMAKE_CXX_COMPILER_LAUNCHER:-}" ] && command -v ccache >/dev/null 2>&1; then
    export CMAKE_CXX_COMPILER_LAUNCHER=ccache
fi
cmake -G Ninja -S "$ROOT" -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=RelWithDebInfo ${LUMBREL_CMAKE_OPTIONS:-} >/dev/null
cmake --build "$BUILD_DIR"
