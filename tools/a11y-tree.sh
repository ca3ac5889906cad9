#!/usr/bin/env bash
# Prints the accessibility tree of Lumbrel's window as a screen reader sees it
# (roles, names, states), from the real application under Xvfb.
#
#   tools/a11y-tree.sh [--empty | --settings | --completion] [--events] [file or folder...]
#
# With no files it adds a small generated project (a folder and a note) and
# selects the first row, so the list items, their buttons and the status bar's
# totals are in the tree. --empty shows the window before anything is added,
# --settings opens the settings popover, --completion bundles the files and
# shows the completion screen. --events also prints the name changes the window
# sends while files are added, which is how the status bar's new totals reach a
# screen reader.
#
# Needs a build (build/bin/lumbrel; BUILD_DIR may point elsewhere) and the
# Debian packages xvfb, xdotool, dbus, at-spi2-core and python3-pyatspi. The
# application gets a private D-Bus session with its own accessibility bus, and
# a private home, settings and temporary folder.
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD_DIR="${BUILD_DIR:-$ROOT/build}"
APP="$BUILD_DIR/bin/lumbrel"
PYTHON=/usr/bin/python3 # Debian's, which has pyatspi

# Everything runs inside a private D-Bus session, which starts the
# accessibility bus when the application and the reader ask for it.
if [ -z "${LUMBREL_A11Y_SESSION:-}" ]; then
    command -v dbus-run-session >/dev/null || { echo "a11y-tree: dbus-run-session is missing (apt-get install dbus)" >&2; exit 1; }
    LUMBREL_A11Y_SESSION=1 exec dbus-run-session -- "$0" "$@"
fi

MODE=list
EVENTS=0
FILES=()
while (($#)); do
    case "$1" in
        --empty) MODE=empty ;;
        --settings) MODE=settings ;;
        --completion) MODE=completion ;;
        --events) EVENTS=1 ;;
        -h | --help) sed -n '2,19p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
        *) FILES+=("$(realpath "$1")") ;;
    esac
    shift
done

for tool in Xvfb xdotool xwininfo; do
    command -v "$tool" >/dev/null || { echo "a11y-tree: $tool is missing (apt-get install xvfb xdotool x11-utils)" >&2; exit 1; }
done
"$PYTHON" -c 'import pyatspi' 2>/dev/null || { echo "a11y-tree: pyatspi is missing (apt-get install python3-pyatspi)" >&2; exit 1; }
[ -x "$APP" ] || { echo "a11y-tree: $APP not found; build first (cmake --build build)" >&2; exit 1; }

WORK="$(mktemp -d "${TMPDIR:-/tmp}/lumbrel-a11y.XXXXXX")"
XVFB_PID=""
APP_PID=""
cleanup() {
    [ -n "$APP_PID" ] && kill "$APP_PID" 2>/dev/null && wait "$APP_PID" 2>/dev/null
    [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null && wait "$XVFB_PID" 2>/dev/null
    rm -rf "$WORK"
}
trap cleanup EXIT
fail() {
    echo "a11y-tree: $*" >&2
    [ -f "$WORK/app.log" ] && tail -n 20 "$WORK/app.log" >&2
    exit 1
}
wait_for() {
    local seconds="$1" what="$2"
    shift 2
    local deadline=$((SECONDS + seconds))
    until "$@"; do
        ((SECONDS < deadline)) || fail "gave up waiting for $what"
        sleep 0.1
    done
}

if ((${#FILES[@]} == 0)); then
    mkdir -p "$WORK/fixture/src"
    for i in $(seq 1 12); do printf 'int f%d(void) { return %d; }\n' "$i" "$i" >"$WORK/fixture/src/module$i.c"; done
    printf 'Meeting notes\n' >"$WORK/fixture/notes.md"
    FILES=("$WORK/fixture/src" "$WORK/fixture/notes.md")
fi

exec {displayfd}>"$WORK/display"
Xvfb -displayfd "$displayfd" -screen 0 1024x768x24 -nolisten tcp >"$WORK/xvfb.log" 2>&1 &
XVFB_PID=$!
exec {displayfd}>&-
wait_for 10 "Xvfb" test -s "$WORK/display"

mkdir -p "$WORK/home" "$WORK/config" "$WORK/tmp" "$WORK/runtime"
chmod 700 "$WORK/runtime"
export DISPLAY=":$(head -n 1 "$WORK/display")" HOME="$WORK/home" XDG_CONFIG_HOME="$WORK/config" \
    TMPDIR="$WORK/tmp" XDG_RUNTIME_DIR="$WORK/runtime" LC_ALL=C.UTF-8 \
    QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
unset WAYLAND_DISPLAY QT_QPA_PLATFORM QT_QUICK_CONTROLS_STYLE

tree() { "$PYTHON" "$ROOT/tools/a11y.py" "$@"; }

"$APP" >"$WORK/app.log" 2>&1 &
APP_PID=$!
window_id() { xdotool search --onlyvisible --name '^Lumbrel$' 2>/dev/null | head -n 1; }
has_window() { [ -n "$(window_id)" ]; }
wait_for 30 "the window" has_window
WID="$(window_id)"
xdotool windowfocus --sync "$WID"
wait_for 30 "the application on the accessibility bus" tree wait
# Clicks the element with that role and name, found where a screen reader finds it.
press() {
    local where
    where=$(tree find "$@") || fail "no $1 \"${2:-}\" on the screen"
    set -- $where
    xdotool mousemove "$1" "$2" click 1
}
runs() { grep -c '^Repomix output' "$WORK/app.log" || true; }
more_runs_than() { [ "$(runs)" -gt "$1" ]; }

if [ "$MODE" = empty ]; then
    sleep 0.5
    echo "== Accessibility tree of the window"
    tree tree
    exit 0
fi

BEFORE=$(runs)
if ((EVENTS)); then
    tree events 8 >"$WORK/events.txt" &
    EVENTS_PID=$!
    wait_for 10 "the event listener" grep -q ready "$WORK/events.txt"
fi
"$APP" "${FILES[@]}" || fail "could not hand the files to the window"
wait_for 120 "the estimate" more_runs_than "$BEFORE"
sleep 0.5
if ((EVENTS)); then
    wait "$EVENTS_PID" || true
    echo "== Name changes while the files were added"
    grep -v '^ready$' "$WORK/events.txt" || echo "(none)"
    echo
fi

press "list item" # the first row
sleep 0.3
case "$MODE" in
    settings)
        press "push button" "Settings"
        sleep 0.8
        ;;
    completion)
        start_enabled() { tree find "push button" "Start bundling" | grep -q ' enabled$'; }
        wait_for 120 "the start button" start_enabled
        press "push button" "Start bundling"
        saving() { tree find "push button" "Save" >/dev/null; }
        wait_for 10 "the save dialog" saving
        press "push button" "Save" # the proposed file, in the private home
        finished() { [ -s "$HOME/bundled-output.txt" ] && tree find "push button" "Bundle More Files" >/dev/null; }
        wait_for 120 "the completion screen" finished
        sleep 1.5
        ;;
esac
echo "== Accessibility tree of the window"
tree tree
