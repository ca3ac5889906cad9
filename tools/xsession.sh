# Sourced by the scripts that drive the real application under Xvfb
# (tools/screenshots.sh, tools/a11y-tree.sh): a private D-Bus session, a
# display, the application started in it, and controls found and pressed where
# a screen reader finds them (tools/a11y.py).
#
# The sourcing script sets NAME (its name in messages) and sources this with
# its own arguments in place; it may define `on_failure`, run before `fail`
# exits.

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD_DIR="${BUILD_DIR:-$ROOT/build}"
APP="$BUILD_DIR/bin/lumbrel"
PYTHON=/usr/bin/python3 # Debian's, which has pyatspi

# First the tools these scripts need (bootstrap's group "desktop") and the
# build, both only where missing.
if [ -z "${LUMBREL_PRIVATE_BUS:-}" ]; then
    LUMBREL_TOOLS="${LUMBREL_TOOLS:-} desktop" source "$ROOT/tools/bootstrap.sh" >&2
fi

# The calling script runs again inside a private D-Bus session, which starts
# the accessibility bus when the application and the reader ask for it. The
# session gets a runtime folder of its own first: the bus daemon and the
# accessibility bus it starts put their sockets there, so that sessions
# running at the same time never take each other's.
if [ -z "${LUMBREL_PRIVATE_BUS:-}" ]; then
    command -v dbus-run-session >/dev/null || { echo "$NAME: dbus-run-session is missing (apt-get install dbus)" >&2; exit 1; }
    LUMBREL_SESSION_RUNTIME="$(mktemp -d "${TMPDIR:-/tmp}/lumbrel-$NAME-bus.XXXXXX")"
    chmod 700 "$LUMBREL_SESSION_RUNTIME"
    export LUMBREL_SESSION_RUNTIME XDG_RUNTIME_DIR="$LUMBREL_SESSION_RUNTIME"
    unset AT_SPI_BUS_ADDRESS
    LUMBREL_PRIVATE_BUS=1 dbus-run-session -- "$0" "$@" && status=0 || status=$?
    rm -rf "$LUMBREL_SESSION_RUNTIME"
    exit "$status"
fi

# Stops with a message when a program, pyatspi or the build is missing.
require() {
    local tool
    for tool in Xvfb xdotool xwininfo "$@"; do
        command -v "$tool" >/dev/null || { echo "$NAME: $tool is missing (apt-get install xvfb xdotool imagemagick x11-utils)" >&2; exit 1; }
    done
    "$PYTHON" -c 'import pyatspi' 2>/dev/null || { echo "$NAME: pyatspi is missing (apt-get install python3-pyatspi at-spi2-core)" >&2; exit 1; }
    [ -x "$APP" ] || { echo "$NAME: $APP not found; build first (cmake --build build)" >&2; exit 1; }
}

WORK="$(mktemp -d "${TMPDIR:-/tmp}/lumbrel-$NAME.XXXXXX")"
XVFB_PID=""
APP_PID=""
WID=""
LOG=/dev/null
stop_app() {
    [ -n "$APP_PID" ] && kill "$APP_PID" 2>/dev/null && wait "$APP_PID" 2>/dev/null
    APP_PID=""
    WID=""
}
stop_display() {
    [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null && wait "$XVFB_PID" 2>/dev/null
    XVFB_PID=""
}
cleanup() {
    stop_app
    stop_display
    rm -rf "$WORK"
}
trap cleanup EXIT

fail() {
    echo "$NAME: $*" >&2
    [ -f "$LOG" ] && tail -n 20 "$LOG" >&2
    declare -F on_failure >/dev/null && on_failure
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

# Starts Xvfb (a screen of SCREEN_SIZE, 1024x768 by default) and points
# DISPLAY at it, for a session without the user's desktop settings.
start_display() {
    rm -f "$WORK/display"
    exec {displayfd}>"$WORK/display"
    Xvfb -displayfd "$displayfd" -screen 0 "${SCREEN_SIZE:-1024x768}x24" -nolisten tcp >"$WORK/xvfb.log" 2>&1 &
    XVFB_PID=$!
    exec {displayfd}>&-
    wait_for 10 "Xvfb" test -s "$WORK/display"
    export DISPLAY=":$(head -n 1 "$WORK/display")" LC_ALL=C.UTF-8 QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
    unset WAYLAND_DISPLAY QT_QPA_PLATFORM QT_QUICK_CONTROLS_STYLE
}

# Gives the application a private home, settings, temporary and runtime
# folder under `dir`, so it neither touches nor talks to a copy the user runs.
private_home() {
    local dir="$1"
    mkdir -p "$dir/home" "$dir/config" "$dir/tmp" "$dir/runtime"
    chmod 700 "$dir/runtime"
    export HOME="$dir/home" XDG_CONFIG_HOME="$dir/config" TMPDIR="$dir/tmp" XDG_RUNTIME_DIR="$dir/runtime"
    LOG="$dir/app.log"
}

a11y() { "$PYTHON" "$ROOT/tools/a11y.py" "$@"; }
window_id() { xdotool search --onlyvisible --name '^Lumbrel$' 2>/dev/null | head -n 1; }
has_window() { [ -n "$(window_id)" ]; }

# Starts the application (log in LOG) and waits until its window is on the
# screen, has the keyboard and is on the accessibility bus.
start_app() {
    "$APP" >"$LOG" 2>&1 &
    APP_PID=$!
    wait_for 30 "the window" has_window
    WID="$(window_id)"
    xdotool windowfocus --sync "$WID" # there is no window manager to give it the keyboard
    wait_for 30 "the window on the accessibility bus" a11y wait
}

# Presses the element with that role and name.
press() {
    local where
    where=$(a11y find "$@") || fail "no $1 \"${2:-}\" on the screen"
    set -- $where
    xdotool mousemove "$1" "$2" click 1
}
shows() { a11y find "$@" >/dev/null; }
start_enabled() { a11y find "push button" "Start bundling" | grep -q ' enabled$'; }

# The application logs each packer run's summary as it ends.
runs() { grep -c '^Repomix output' "$LOG" || true; }
more_runs_than() { [ "$(runs)" -gt "$1" ]; }
