#!/usr/bin/env bash
# Prints the accessibility tree of Lumbrel's window as a screen reader sees it
# (roles, names, states), from the real application under Xvfb.
#
#   tools/a11y-tree.sh [--empty | --settings | --tree | --completion] [--events] [file or folder...]
#
# With no files it adds a small generated project (a folder and a note) and
# selects the first row, so the list items, their buttons and the status bar's
# totals are in the tree. --empty shows the window before anything is added,
# --settings opens the settings popover, --tree opens the first row's folder
# into its tree and leaves its first file out (with --events, the
# announcements of that are printed), --completion bundles the files and
# shows the completion screen. --events also prints the name changes and the
# announcements (an alert that shows itself with the text to read) the window
# sends while files are added and, with --completion, while the bundle is
# written: one per step, and one when it is done.
#
# Builds first where needed (build/bin/lumbrel; BUILD_DIR may point elsewhere)
# and installs the Debian packages it uses where missing: xvfb, xdotool, dbus,
# at-spi2-core and python3-pyatspi (tools/bootstrap.sh, group "desktop"). The
# application gets a private D-Bus session with its own accessibility bus, and
# a private home, settings and temporary folder.
set -euo pipefail

NAME=a11y-tree
source "$(dirname "${BASH_SOURCE[0]}")/xsession.sh"

MODE=list
EVENTS=0
FILES=()
while (($#)); do
    case "$1" in
        --empty) MODE=empty ;;
        --settings) MODE=settings ;;
        --tree) MODE=tree ;;
        --completion) MODE=completion ;;
        --events) EVENTS=1 ;;
        -h | --help) sed -n '2,22p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
        *) FILES+=("$(realpath "$1")") ;;
    esac
    shift
done

require

if ((${#FILES[@]} == 0)); then
    mkdir -p "$WORK/fixture/src"
    for i in $(seq 1 12); do printf 'int f%d(void) { return %d; }\n' "$i" "$i" >"$WORK/fixture/src/module$i.c"; done
    printf 'Meeting notes\n' >"$WORK/fixture/notes.md"
    FILES=("$WORK/fixture/src" "$WORK/fixture/notes.md")
fi

start_display
private_home "$WORK"
start_app

if [ "$MODE" = empty ]; then
    sleep 0.5
    echo "== Accessibility tree of the window"
    a11y tree
    exit 0
fi

BEFORE=$(runs)
if ((EVENTS)); then
    a11y events 8 >"$WORK/events.txt" &
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
    tree)
        xdotool key Right # the highlighted folder's tree, in place of the list
        wait_for 10 "the folder's tree" shows "push button" "Back to the list"
        if ((EVENTS)); then
            a11y events 4 >"$WORK/tree-events.txt" &
            EVENTS_PID=$!
            wait_for 10 "the event listener" grep -q ready "$WORK/tree-events.txt"
        fi
        xdotool key space Down space # two files left out: one announcement
        if ((EVENTS)); then
            wait "$EVENTS_PID" || true
            echo "== Name changes and announcements while two files were left out"
            grep -v '^ready$' "$WORK/tree-events.txt" || echo "(none)"
            echo
        fi
        ;;
    completion)
        wait_for 120 "the start button" start_enabled
        press "push button" "Start bundling"
        wait_for 60 "the save dialog" shows "push button" "Save"
        if ((EVENTS)); then
            a11y events 15 >"$WORK/bundle-events.txt" &
            EVENTS_PID=$!
            wait_for 10 "the event listener" grep -q ready "$WORK/bundle-events.txt"
        fi
        press "push button" "Save" # the proposed file, in the private home
        finished() { [ -s "$HOME/bundled-output.txt" ] && a11y find "push button" "Bundle More Files" >/dev/null; }
        wait_for 120 "the completion screen" finished
        sleep 1.5
        if ((EVENTS)); then
            wait "$EVENTS_PID" || true
            echo "== Name changes and announcements while the bundle was written"
            grep -v '^ready$' "$WORK/bundle-events.txt" || echo "(none)"
            echo
        fi
        ;;
esac
echo "== Accessibility tree of the window"
a11y tree
