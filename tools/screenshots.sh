#!/usr/bin/env bash
# Takes screenshots of Lumbrel's main states with the real application under
# Xvfb: the empty window, the list with its estimate, a folder's tree with a
# file left out (the totals provisional), the heaviest files, the settings
# popover and the completion screen (both with a control focused from the
# keyboard), the processing overlay, and the list of what a bundle left out.
# Each variant is a desktop palette (light or dark) with a desktop font size,
# or twice the scale: <variant>-empty.png ... <variant>-leftout.png.
#
#   tools/screenshots.sh [output folder]              (default: build/screenshots)
#   VARIANTS="dark-11 light-2x" tools/screenshots.sh  (only some variants)
#
# Variants: light-11, dark-11, light-14, dark-14, light-16, dark-16 (the
# desktop font in points), light-2x, dark-2x (an 11-point font at twice the
# scale, QT_SCALE_FACTOR=2, on a screen twice as large).
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
VARIANTS="${VARIANTS:-light-11 dark-11 light-14 dark-14 light-16 dark-16 light-2x dark-2x}"
require import awk
mkdir -p "$OUT"
OUT="$(cd "$OUT" && pwd)"

say() { echo "screenshots: $*"; }
on_failure() {
    [ -n "$WID" ] && import -window root "$OUT/failure.png" && echo "screenshots: the screen then: $OUT/failure.png" >&2
}

# ---- Fixtures ----------------------------------------------------------------
FIXTURE="$WORK/fixture"
mkdir -p "$FIXTURE/project/src" "$FIXTURE/project/docs" "$FIXTURE/project/assets" "$FIXTURE/large"
for i in $(seq 1 12); do
    printf 'int scale%d(int x)\n{\n    return x * %d;\n}\n' "$i" "$i" >"$FIXTURE/project/src/module$i.c"
done
printf '# Project\n\nA small example project.\n' >"$FIXTURE/project/README.md"
printf 'Meeting notes\n\n- ship the release\n' >"$FIXTURE/notes.md"
# Left out of the bundle: a key the security check finds, and a folder of
# images, of which the packer takes nothing.
printf 'aws_access_key_id = AKIA2E0A8F3B244C9986\naws_secret_access_key = 8FnQ3hJ9vLk2sP0wXyZ7tRb4MqE1cDa6uG5iHoNf\n' \
    >"$FIXTURE/large/credentials.env"
printf '\x89PNG\r\n\x1a\n\0\0\0\rIHDR\0\0\0\1\0\0\0\1\x08\x06\0\0\0\x1f\x15\xc4\x89\0\0\0\rIDATx\x9cc\xf8\x0f\0\0\x01\x01\0\x05\x18\xd8N\0\0\0\0IEND\xaeB`\x82' \
    >"$FIXTURE/project/assets/logo.png"
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

# The pointer goes off the window first, so that no tool tip stands in the picture.
capture() {
    xdotool mousemove 0 "$(xwininfo -root | awk '/Height:/ { print $2 - 1 }')"
    sleep "${2:-0.6}"
    import -window "$WID" "$OUT/$1"
    say "$OUT/$1"
}
packer_starts() { grep -c '^\["' "$LOG" || true; }
reuses() { grep -c '^The bundle is the output of the estimate' "$LOG" || true; }
# Adds files the way a second launch does: it hands them to the running copy.
add() {
    local before
    before=$(runs)
    "$APP" "$@" || fail "the second launch failed"
    wait_for 120 "the estimate" more_runs_than "$before"
    wait_for 120 "the start button" start_enabled
}

# One pass through the states on a fresh display, in a private home whose GTK
# settings give `dark` (true or false) and `font`, at `scale`.
shoot() {
    local variant="$1" dark="$2" font="$3" scale="$4"
    if [ "$scale" = 1 ]; then SCREEN_SIZE=1024x768; else SCREEN_SIZE=2048x1536; fi
    start_display
    export XDG_CURRENT_DESKTOP=GNOME QT_SCALE_FACTOR="$scale"
    unset QT_QPA_PLATFORMTHEME GTK_THEME
    private_home "$WORK/$variant"
    mkdir -p "$XDG_CONFIG_HOME/gtk-3.0"
    printf '[Settings]\ngtk-theme-name=Adwaita\ngtk-application-prefer-dark-theme=%s\ngtk-font-name=%s\n' \
        "$dark" "$font" >"$XDG_CONFIG_HOME/gtk-3.0/settings.ini"
    start_app
    capture "$variant-empty.png" 1

    add "$FIXTURE/project" "$FIXTURE/notes.md"
    capture "$variant-list.png"

    # The project's tree in place of the list, by the keyboard: its first
    # folder opened and that folder's first file left out, so the totals
    # are provisional until the next estimate.
    press "list item" "project, folder*"
    xdotool key Right
    wait_for 10 "the folder's tree" shows "push button" "Back to the list"
    xdotool key Right Right space
    capture "$variant-tree.png" 0.2
    xdotool key Escape
    wait_for 10 "the list" shows "list" "Files"
    # The totals open the heaviest files, once the estimate has confirmed
    # them (while it runs, they give way to its progress).
    wait_for 120 "the confirmed totals" shows "push button" "[0-9]*files, *characters, *tokens"
    press "push button" "[0-9]*files, *characters, *tokens"
    wait_for 10 "the heaviest files" shows "dialog" "Heaviest files"
    capture "$variant-heaviest.png"
    xdotool key Escape
    heaviest_closed() { ! shows "dialog" "Heaviest files"; }
    wait_for 10 "the heaviest files to close" heaviest_closed

    press "push button" "Settings"
    wait_for 10 "the settings" shows "push button" "Reset to Defaults"
    xdotool key Tab # the keyboard focus, with its ring, on the first control
    capture "$variant-settings.png"
    # Escape closes the popover once it has the keyboard focus, which a press on
    # one of its buttons gives it: "Reset to Defaults" changes nothing here.
    press "push button" "Reset to Defaults"
    xdotool key Escape
    settings_closed() { ! shows "push button" "Reset to Defaults"; }
    wait_for 10 "the settings to close" settings_closed

    add "$FIXTURE/large"
    press "push button" "Start bundling"
    # The desktop's own save dialog, a window of its own: Return takes the
    # proposed file, in the private home.
    dialog_id() { xdotool search --onlyvisible --name '^Save Bundle$' 2>/dev/null | head -n 1; }
    has_dialog() { [ -n "$(dialog_id)" ]; }
    wait_for 60 "the save dialog" has_dialog
    sleep 0.5
    local before started reused
    before=$(runs)
    started=$(packer_starts)
    reused=$(reuses)
    xdotool windowfocus --sync "$(dialog_id)" key Return
    xdotool windowfocus --sync "$WID"
    # The application logs each packer run's command line as it starts; a
    # bundle of the selection the last estimate packed takes that output
    # instead, and says so.
    bundle_started() { [ "$(packer_starts)" -gt "$started" ] || [ "$(reuses)" -gt "$reused" ]; }
    bundle_done() { more_runs_than "$before" || [ "$(reuses)" -gt "$reused" ]; }
    wait_for 10 "the bundle to start" bundle_started
    capture "$variant-processing.png" 0.8
    wait_for 300 "the bundle" bundle_done
    completed() { [ -s "$HOME/bundled-output.txt" ] && shows "push button" "Copy"; }
    wait_for 60 "the completion screen" completed
    sleep 1.5 # the entrance; the focus is on Copy
    capture "$variant-completion.png"

    local where
    where=$(a11y find "push button" "$(left_out_button)") || fail "no left-out line on the completion screen"
    set -- $where
    xdotool mousemove "$1" "$2" click 1
    wait_for 10 "the left-out list" shows "list" "Left out of the bundle"
    capture "$variant-leftout.png"
    stop_app
    stop_display
}

# The name of the completion screen's "N items left out" button.
left_out_button() {
    "$PYTHON" - <<'PY'
import pyatspi, re
for app in pyatspi.Registry.getDesktop(0):
    if app is not None and (app.name or "").lower() == "lumbrel":
        stack = list(app)
        while stack:
            node = stack.pop()
            if node is None:
                continue
            if node.getRoleName() == "push button" and re.search(r"left out|see why", node.name or ""):
                print(node.name)
                raise SystemExit(0)
            stack.extend(child for child in node)
raise SystemExit(1)
PY
}

for variant in $VARIANTS; do
    case "$variant" in
        light-11) shoot "$variant" false "DejaVu Sans 11" 1 ;;
        dark-11) shoot "$variant" true "DejaVu Sans 11" 1 ;;
        light-14) shoot "$variant" false "DejaVu Sans 14" 1 ;;
        dark-14) shoot "$variant" true "DejaVu Sans 14" 1 ;;
        light-16) shoot "$variant" false "DejaVu Sans 16" 1 ;;
        dark-16) shoot "$variant" true "DejaVu Sans 16" 1 ;;
        light-2x) shoot "$variant" false "DejaVu Sans 11" 2 ;;
        dark-2x) shoot "$variant" true "DejaVu Sans 11" 2 ;;
        *) fail "unknown variant $variant (light-11, dark-11, light-14, dark-14, light-16, dark-16, light-2x, dark-2x)" ;;
    esac
done
say "done"
