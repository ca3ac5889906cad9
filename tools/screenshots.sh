#!/usr/bin/env bash
# Takes screenshots of Lumbrel's main states with the real application under
# Xvfb: the empty window, the list with its estimate, the settings popover and
# the completion screen (both with a control focused from the keyboard), and
# the processing overlay; each in a light and a dark
# desktop palette and with a large (14-point) desktop font:
# light-empty.png ... light-completion.png, dark-*.png, large-*.png.
#
#   tools/screenshots.sh [output folder]      (default: build/screenshots)
#   VARIANTS="dark" tools/screenshots.sh      (only some of light, dark, large)
#
# The palette and the font come the way a GNOME desktop gives them to Qt: the
# desktop's name (XDG_CURRENT_DESKTOP) picks Qt's GTK platform theme, which
# reads the GTK settings (theme, dark preference, font) from the private
# configuration folder. Controls are found and pressed where a screen reader
# finds them (tools/a11y.py), so the script follows the layout at any size.
#
# Needs a build (build/bin/lumbrel; BUILD_DIR may point elsewhere) and the
# Debian packages xvfb, xdotool, imagemagick, x11-utils, dbus, at-spi2-core,
# python3-pyatspi and qt6-gtk-platformtheme. The application runs with a
# private home, settings, temporary folder and D-Bus session, so it neither
# touches nor talks to a copy the user is running.
set -euo pipefail

# Everything runs inside a private D-Bus session, with its accessibility bus.
if [ -z "${LUMBREL_SCREENSHOTS_SESSION:-}" ]; then
    command -v dbus-run-session >/dev/null || { echo "screenshots: dbus-run-session is missing (apt-get install dbus)" >&2; exit 1; }
    LUMBREL_SCREENSHOTS_SESSION=1 exec dbus-run-session -- "$0" "$@"
fi

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD_DIR="${BUILD_DIR:-$ROOT/build}"
APP="$BUILD_DIR/bin/lumbrel"
OUT="${1:-$BUILD_DIR/screenshots}"
VARIANTS="${VARIANTS:-light dark large}"
PYTHON=/usr/bin/python3 # Debian's, which has pyatspi

for tool in Xvfb xdotool import xwininfo awk; do
    command -v "$tool" >/dev/null || { echo "screenshots: $tool is missing (apt-get install xvfb xdotool imagemagick x11-utils)" >&2; exit 1; }
done
"$PYTHON" -c 'import pyatspi' 2>/dev/null || { echo "screenshots: pyatspi is missing (apt-get install python3-pyatspi at-spi2-core)" >&2; exit 1; }
[ -x "$APP" ] || { echo "screenshots: $APP not found; build first (cmake --build build)" >&2; exit 1; }
mkdir -p "$OUT"
OUT="$(cd "$OUT" && pwd)"

WORK="$(mktemp -d "${TMPDIR:-/tmp}/lumbrel-screenshots.XXXXXX")"
XVFB_PID=""
APP_PID=""
stop_app() {
    [ -n "$APP_PID" ] && kill "$APP_PID" 2>/dev/null && wait "$APP_PID" 2>/dev/null
    APP_PID=""
}
cleanup() {
    stop_app
    [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null && wait "$XVFB_PID" 2>/dev/null
    rm -rf "$WORK"
}
trap cleanup EXIT

say() { echo "screenshots: $*"; }
WID=""
fail() {
    echo "screenshots: $*" >&2
    [ -f "$LOG" ] && tail -n 20 "$LOG" >&2
    [ -n "$WID" ] && import -window root "$OUT/failure.png" && echo "screenshots: the screen then: $OUT/failure.png" >&2
    exit 1
}
LOG=/dev/null

# Polls a condition (a command, run anew each time) every 0.1 s for at most
# `seconds`.
wait_for() {
    local seconds="$1" what="$2"
    shift 2
    local deadline=$((SECONDS + seconds))
    until "$@"; do
        ((SECONDS < deadline)) || fail "gave up waiting for $what"
        sleep 0.1
    done
}

# ---- Fixtures ----------------------------------------------------------------
FIXTURE="$WORK/fixture"
mkdir -p "$FIXTURE/project/src" "$FIXTURE/project/docs" "$FIXTURE/large"
for i in $(seq 1 12); do
    printf 'int scale%d(int x)\n{\n    return x * %d;\n}\n' "$i" "$i" >"$FIXTURE/project/src/module$i.c"
done
printf '# Project\n\nA small example project.\n' >"$FIXTURE/project/README.md"
printf 'Meeting notes\n\n- ship the release\n' >"$FIXTURE/notes.md"
# Large enough for the bundle to run for a few seconds: 3,000 files, ~12 MB.
awk -v root="$FIXTURE/large" 'BEGIN {
    split("value count index buffer result item node entry total offset", words, " ")
    for (d = 0; d < 60; d++) {
        dir = sprintf("%s/pkg%03d", root, d)
        system("mkdir -p " dir)
        for (f = 0; f < 50; f++) {
            file = sprintf("%s/file%03d.js", dir, f)
            for (l = 0; l < 60; l++) {
                a = words[(d * 7 + f * 3 + l) % 10 + 1]; b = words[(d + f + l * 5) % 10 + 1]
                printf "const %s%d = compute_%s(%d, \"%s-%s\");\n", a, l, b, l, a, b > file
            }
            close(file)
        }
    }
}'

# ---- Display -----------------------------------------------------------------
exec {displayfd}>"$WORK/display"
Xvfb -displayfd "$displayfd" -screen 0 1024x768x24 -nolisten tcp >"$WORK/xvfb.log" 2>&1 &
XVFB_PID=$!
exec {displayfd}>&-
wait_for 10 "Xvfb" test -s "$WORK/display"
export DISPLAY=":$(head -n 1 "$WORK/display")" LC_ALL=C.UTF-8 QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 \
    XDG_CURRENT_DESKTOP=GNOME
unset WAYLAND_DISPLAY QT_QPA_PLATFORM QT_QPA_PLATFORMTHEME QT_QUICK_CONTROLS_STYLE GTK_THEME

a11y() { "$PYTHON" "$ROOT/tools/a11y.py" "$@"; }
window_id() { xdotool search --onlyvisible --name '^Lumbrel$' 2>/dev/null | head -n 1; }
has_window() { [ -n "$(window_id)" ]; }
capture() { sleep "${2:-0.6}"; import -window "$WID" "$OUT/$1"; say "$OUT/$1"; }
# Presses the element with that role and name.
press() {
    local where
    where=$(a11y find "$@") || fail "no $1 \"${2:-}\" on the screen"
    set -- $where
    xdotool mousemove "$1" "$2" click 1
}
shows() { a11y find "$@" >/dev/null; }
start_enabled() { a11y find "push button" "Start bundling" | grep -q ' enabled$'; }
runs() { grep -c '^Repomix output' "$LOG" || true; }
packer_starts() { grep -c '^\["' "$LOG" || true; }
more_runs_than() { [ "$(runs)" -gt "$1" ]; }
# Adds files the way a second launch does: it hands them to the running copy.
add() {
    local before
    before=$(runs)
    "$APP" "$@" || fail "the second launch failed"
    wait_for 120 "the estimate" more_runs_than "$before"
    wait_for 120 "the start button" start_enabled
}

# One pass through the states in a private home whose GTK settings give
# `dark` (true or false) and `font`.
shoot() {
    local variant="$1" dark="$2" font="$3" dir="$WORK/$1"
    mkdir -p "$dir/home" "$dir/config/gtk-3.0" "$dir/tmp" "$dir/runtime"
    chmod 700 "$dir/runtime"
    printf '[Settings]\ngtk-theme-name=Adwaita\ngtk-application-prefer-dark-theme=%s\ngtk-font-name=%s\n' \
        "$dark" "$font" >"$dir/config/gtk-3.0/settings.ini"
    export HOME="$dir/home" XDG_CONFIG_HOME="$dir/config" TMPDIR="$dir/tmp" XDG_RUNTIME_DIR="$dir/runtime"
    LOG="$dir/app.log"

    "$APP" >"$LOG" 2>&1 &
    APP_PID=$!
    wait_for 30 "the window" has_window
    WID="$(window_id)"
    xdotool windowfocus --sync "$WID" # there is no window manager to give it the keyboard
    wait_for 30 "the window on the accessibility bus" a11y wait
    capture "$variant-empty.png" 1

    add "$FIXTURE/project" "$FIXTURE/notes.md"
    capture "$variant-list.png"

    press "push button" "Settings"
    wait_for 10 "the settings" shows "push button" "Reset to Defaults"
    xdotool key Tab # the keyboard focus, with its ring, on the first control
    capture "$variant-settings.png"
    # Escape closes the popover once it has the keyboard focus, which a press on
    # one of its buttons gives it: "Reset to Defaults" changes nothing here.
    press "push button" "Reset to Defaults"
    xdotool key Escape

    add "$FIXTURE/large"
    press "push button" "Start bundling"
    # The desktop's own save dialog, a window of its own: Return takes the
    # proposed file, in the private home.
    dialog_id() { xdotool search --onlyvisible --name '^Save Bundle$' 2>/dev/null | head -n 1; }
    has_dialog() { [ -n "$(dialog_id)" ]; }
    wait_for 10 "the save dialog" has_dialog
    sleep 0.5
    local before started
    before=$(runs)
    started=$(packer_starts)
    xdotool windowfocus --sync "$(dialog_id)" key Return
    xdotool windowfocus --sync "$WID"
    # The application logs each packer run's command line as it starts.
    bundle_started() { [ "$(packer_starts)" -gt "$started" ]; }
    wait_for 10 "the bundle to start" bundle_started
    capture "$variant-processing.png" 0.3
    wait_for 300 "the bundle" more_runs_than "$before"
    [ -s "$HOME/bundled-output.txt" ] || fail "no bundle was written"
    sleep 1.5 # the entrance
    xdotool key Tab # the keyboard focus on the first button
    capture "$variant-completion.png"
    stop_app
    WID=""
}

for variant in $VARIANTS; do
    case "$variant" in
        light) shoot light false "DejaVu Sans 11" ;;
        dark) shoot dark true "DejaVu Sans 11" ;;
        large) shoot large false "DejaVu Sans 14" ;;
        *) fail "unknown variant $variant (light, dark, large)" ;;
    esac
done
say "done"
