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
# Builds first where needed (build/bin/lumbrel; BUILD_DIR may point elsewhere)
# and installs the Debian packages it uses where missing: xvfb, xdotool,
# imagemagick, x11-utils, dbus, at-spi2-core, python3-pyatspi and
# qt6-gtk-platformtheme (tools/bootstrap.sh, group "desktop"). The application runs with a
# private home, settings, temporary folder and D-Bus session, so it neither
# touches nor talks to a copy the user is running.
set -euo pipefail

NAME=screenshots
source "$(dirname "${BASH_SOURCE[0]}")/xsession.sh"
OUT="${1:-$BUILD_DIR/screenshots}"
VARIANTS="${VARIANTS:-light dark large}"
require import awk
mkdir -p "$OUT"
OUT="$(cd "$OUT" && pwd)"

say() { echo "screenshots: $*"; }
on_failure() {
    [ -n "$WID" ] && import -window root "$OUT/failure.png" && echo "screenshots: the screen then: $OUT/failure.png" >&2
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
start_display
export XDG_CURRENT_DESKTOP=GNOME
unset QT_QPA_PLATFORMTHEME GTK_THEME

capture() { sleep "${2:-0.6}"; import -window "$WID" "$OUT/$1"; say "$OUT/$1"; }
packer_starts() { grep -c '^\["' "$LOG" || true; }
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
    local variant="$1" dark="$2" font="$3"
    private_home "$WORK/$variant"
    mkdir -p "$XDG_CONFIG_HOME/gtk-3.0"
    printf '[Settings]\ngtk-theme-name=Adwaita\ngtk-application-prefer-dark-theme=%s\ngtk-font-name=%s\n' \
        "$dark" "$font" >"$XDG_CONFIG_HOME/gtk-3.0/settings.ini"
    start_app
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
    wait_for 60 "the save dialog" has_dialog
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
