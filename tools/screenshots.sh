#!/usr/bin/env bash
# Takes screenshots of Lumbrel's main states with the real application under
# Xvfb: the empty window, the list with its estimate, the settings popover,
# the processing overlay and the completion screen.
#
#   tools/screenshots.sh [output folder]      (default: build/screenshots)
#
# Needs a build (build/bin/lumbrel; BUILD_DIR may point elsewhere) and the
# Debian packages xvfb, xdotool and imagemagick. The application runs with a
# private home, settings and temporary folder, so it neither touches nor
# talks to a copy the user is running.
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD_DIR="${BUILD_DIR:-$ROOT/build}"
APP="$BUILD_DIR/bin/lumbrel"
OUT="${1:-$BUILD_DIR/screenshots}"

for tool in Xvfb xdotool import xwininfo awk; do
    command -v "$tool" >/dev/null || { echo "screenshots: $tool is missing (apt-get install xvfb xdotool imagemagick x11-utils)" >&2; exit 1; }
done
[ -x "$APP" ] || { echo "screenshots: $APP not found; build first (cmake --build build)" >&2; exit 1; }
mkdir -p "$OUT"
OUT="$(cd "$OUT" && pwd)"

WORK="$(mktemp -d "${TMPDIR:-/tmp}/lumbrel-screenshots.XXXXXX")"
XVFB_PID=""
APP_PID=""
cleanup() {
    [ -n "$APP_PID" ] && kill "$APP_PID" 2>/dev/null && wait "$APP_PID" 2>/dev/null
    [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null && wait "$XVFB_PID" 2>/dev/null
    rm -rf "$WORK"
}
trap cleanup EXIT

say() { echo "screenshots: $*"; }
WID=""
fail() {
    echo "screenshots: $*" >&2
    [ -f "$WORK/app.log" ] && tail -n 20 "$WORK/app.log" >&2
    [ -n "$WID" ] && import -window "$WID" "$OUT/failure.png" && echo "screenshots: the window then: $OUT/failure.png" >&2
    exit 1
}

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

# ---- Display and application -------------------------------------------------
exec {displayfd}>"$WORK/display"
Xvfb -displayfd "$displayfd" -screen 0 1024x768x24 -nolisten tcp >"$WORK/xvfb.log" 2>&1 &
XVFB_PID=$!
exec {displayfd}>&-
wait_for 10 "Xvfb" test -s "$WORK/display"

mkdir -p "$WORK/home" "$WORK/config" "$WORK/tmp" "$WORK/runtime"
chmod 700 "$WORK/runtime"
export DISPLAY=":$(head -n 1 "$WORK/display")" HOME="$WORK/home" XDG_CONFIG_HOME="$WORK/config" \
    TMPDIR="$WORK/tmp" XDG_RUNTIME_DIR="$WORK/runtime" LC_ALL=C.UTF-8
unset WAYLAND_DISPLAY QT_QPA_PLATFORM QT_QUICK_CONTROLS_STYLE

"$APP" >"$WORK/app.log" 2>&1 &
APP_PID=$!
window_id() { xdotool search --onlyvisible --name '^Lumbrel$' 2>/dev/null | head -n 1; }
has_window() { [ -n "$(window_id)" ]; }
wait_for 30 "the window" has_window
WID="$(window_id)"
xdotool windowfocus --sync "$WID" # there is no window manager to give it the keyboard
# The content is 400 x 500 below the menu bar; positions below are in content
# coordinates, and the popover's own in window coordinates.
MENU=$(($(xwininfo -id "$WID" | awk '/Height:/ { print $2 }') - 500))

click() { xdotool mousemove --window "$WID" "$1" "$(($2 + MENU))" click 1; }
capture() { sleep "${2:-0.6}"; import -window "$WID" "$OUT/$1"; say "$OUT/$1"; }
pixel() { import -window "$WID" -crop "1x1+$1+$(($2 + MENU))" +repage -depth 8 txt:- | sed -n 's/.*#\([0-9A-Fa-f]\{6\}\).*/\1/p' | tail -n 1; }
# The start button is accent blue when enabled, grey while an estimate runs.
START_X=60 START_Y=420 # on the button, clear of its label
start_enabled() { local p; p=$(pixel $START_X $START_Y); [ $((16#${p:4:2})) -gt $((16#${p:0:2} + 60)) ]; }
runs() { grep -c '^Repomix output' "$WORK/app.log" || true; }
more_runs_than() { [ "$(runs)" -gt "$1" ]; }
pixel_differs() { [ "$(pixel "$1" "$2")" != "$3" ]; }
# Adds files the way a second launch does: it hands them to the running copy.
add() {
    local before
    before=$(runs)
    "$APP" "$@" || fail "the second launch failed"
    wait_for 120 "the estimate" more_runs_than "$before"
    wait_for 120 "the start button" start_enabled
}

capture 1-empty.png 1

add "$FIXTURE/project" "$FIXTURE/notes.md"
capture 2-list.png

click 363 27 # the gear
capture 3-settings.png
# Escape closes the popover once it has the keyboard focus, which a press on
# one of its buttons gives it: "Reset to Defaults" changes nothing here. The
# popover is placed in window coordinates.
xdotool mousemove --window "$WID" 200 481 click 1
xdotool key Escape

add "$FIXTURE/large"
list_colour=$(pixel 200 224)
click $START_X $START_Y
wait_for 10 "the save dialog" pixel_differs 200 224 "$list_colour"
BEFORE=$(runs)
click 262 412 # Save: the proposed file in the private home
# The application logs each packer run as it starts; the bundle's writes the file.
bundle_started() { grep -q 'home/bundled-output\.txt' "$WORK/app.log"; }
wait_for 10 "the bundle to start" bundle_started
capture 4-processing.png
wait_for 300 "the bundle" more_runs_than "$BEFORE"
[ -s "$HOME/bundled-output.txt" ] || fail "no bundle was written"
capture 5-completion.png 2
say "done"
