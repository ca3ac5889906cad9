#!/usr/bin/env bash
# The application itself under Xvfb, driven where a screen reader finds its
# controls (tools/xsession.sh), against the packer run directly on the same
# folder with the same options (bench_direct --direct):
#
#  1. CPU of the empty window, from /proc/<pid>/stat (clock ticks of 10 ms):
#     the first 10 s shown with the keyboard (the drop area invites for
#     about 11 s), the next 10 s at rest, then 10 s unmapped (hidden); and
#     the processes it has started meanwhile (none: the warm packer starts
#     with the first drop);
#  2. a generated project of FILES files (2-20 KB, default 5,000) added the
#     way a second launch adds it: time to the first totals;
#  3. an edit of the ignore patterns ("**/*.md" typed into the field): time from
#     the last key to the confirmed totals (the start button enabled again),
#     the 500 ms delay after typing included;
#  4. "Start bundling" right after that estimate: time from the save
#     dialog's Return to the completion screen, and whether the packer ran;
#  5. resident memory (VmRSS) of the application and of every process below
#     it right after the bundle and IDLE_WAIT seconds later (default 305: the
#     warm packer ends after 5 minutes without requests);
#  6. the headless command `lumbrel --bundle out.txt <project>` on the same
#     project, timed from the shell.
#
#   cmake --build build --target lumbrel bench_direct
#   bench/bench_app.sh                       # about 8 minutes here
#   FILES=1000 IDLE_WAIT=0 bench/bench_app.sh
set -euo pipefail

NAME=bench_app
source "$(dirname "${BASH_SOURCE[0]}")/../tools/xsession.sh"
require
BENCH="$BUILD_DIR/bench/bench_direct"
[ -x "$BENCH" ] || fail "$BENCH not found; build it first (cmake --build build --target bench_direct)"
FILES="${FILES:-5000}"
IDLE_WAIT="${IDLE_WAIT:-305}"

say() { echo "bench_app: $*"; }
# The application logs each packer run's command line as it starts.
packer_starts() { grep -c '^\["' "$LOG" || true; }
clock() { date +%s.%N; }
since() { awk -v a="$1" -v b="$(clock)" 'BEGIN { printf "%.2f", b - a }'; }
ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }
# Every process below `pid`, one a line.
below() {
    local child
    for child in $(cat /proc/"$1"/task/*/children 2>/dev/null); do
        echo "$child"
        below "$child"
    done
}
rss_mib() { awk '/^VmRSS/ { printf "%.0f", $2 / 1024 }' "/proc/$1/status" 2>/dev/null || echo 0; }
memory() {
    local total pid line
    total=$(rss_mib "$APP_PID")
    line="application $(rss_mib "$APP_PID") MiB"
    for pid in $(below "$APP_PID"); do
        line="$line, $(tr '\0' ' ' <"/proc/$pid/cmdline" | awk '{ n = split($2 == "" ? $1 : $0, p, "/"); print p[n] }' | cut -c1-40) $(rss_mib "$pid") MiB"
        total=$((total + $(rss_mib "$pid")))
    done
    echo "$total MiB in all ($line)"
}
idle_cpu() {
    local before after
    before=$(ticks "$APP_PID")
    sleep 10
    after=$(ticks "$APP_PID")
    awk -v t=$((after - before)) 'BEGIN { printf "%d ticks in 10 s = %.1f%% of one core", t, t / 10 }'
}

say "load average at start $(cut -d' ' -f1-3 /proc/loadavg)"
PROJECT="$WORK/project-$FILES"
"$BENCH" --make-tree "$PROJECT" "$FILES"
sleep 3 # the files' identities count once they are a few seconds old

start_display
private_home "$WORK/app"
export XDG_CURRENT_DESKTOP=GNOME # the desktop's own save dialog, a window of its own
unset QT_QPA_PLATFORMTHEME GTK_THEME
start_app
say "1. empty window shown and focused, its first 10 s (the drop area's invitation): $(idle_cpu)"
sleep 2
say "   idle, empty window shown and focused, the invitation over: $(idle_cpu); processes below it: $(below "$APP_PID" | wc -l)"
xdotool windowunmap --sync "$WID"
sleep 2
say "   idle, window hidden (unmapped): $(idle_cpu)"
xdotool windowmap --sync "$WID"
xdotool windowfocus --sync "$WID"
sleep 1

before=$(runs)
started=$(clock)
"$APP" "$PROJECT" || fail "the second launch failed"
wait_for 600 "the first estimate" more_runs_than "$before"
first=$(since "$started")
wait_for 60 "the start button" start_enabled
say "2. $FILES files added: first totals after $first s (the 0.5 s delay after a drop and the warm packer's start included)"

if ! shows "text" "Ignore patterns"; then
    for role in "push button" "toggle button" "check box"; do
        if shows "$role" "Ignore Patterns"; then
            press "$role" "Ignore Patterns"
            break
        fi
    done
    wait_for 10 "the ignore field" shows "text" "Ignore patterns"
fi
press "text" "Ignore patterns"
before=$(runs)
xdotool type --delay 40 '**/*.md'
typed=$(clock)
wait_for 600 "the estimate after the edit" more_runs_than "$before"
wait_for 60 "the start button" start_enabled
edit=$(since "$typed")
read -r direct_edit direct_edit_files < <("$BENCH" --direct "$PROJECT" --ignore '**/*.md')
say "3. ignore pattern typed: confirmed totals $edit s after the last key; the packer run directly with --ignore '**/*.md': $direct_edit s ($direct_edit_files files)"

press "push button" "Start bundling"
dialog_id() { xdotool search --onlyvisible --name '^Save Bundle$' 2>/dev/null | head -n 1; }
has_dialog() { [ -n "$(dialog_id)" ]; }
wait_for 60 "the save dialog" has_dialog
sleep 0.5
packers=$(packer_starts)
xdotool windowfocus --sync "$(dialog_id)" key Return
confirmed=$(clock)
# The bundle is in place when its file appears (it is renamed into place
# whole); the screen reader's view of the completion screen comes later
# and is slow to ask for, so it is timed on its own.
until [ -s "$HOME/bundled-output.txt" ]; do sleep 0.02; done
written=$(since "$confirmed")
completed() { shows "push button" "Copy"; }
wait_for 600 "the completion screen" completed
bundle=$(since "$confirmed")
ran=$(($(packer_starts) - packers))
say "4. Start bundling after the estimate: the bundle in place $written s after the save dialog's Return, the completion screen seen by the screen reader after $bundle s; packer runs started: $ran"

say "5. memory right after the bundle: $(memory)"
if [ "$IDLE_WAIT" -gt 0 ]; then
    sleep "$IDLE_WAIT"
    say "   memory $IDLE_WAIT s later: $(memory)"
fi
[ -n "${KEEP_LOG:-}" ] && cp "$LOG" "$KEEP_LOG"
stop_app
stop_display

read -r direct direct_files < <("$BENCH" --direct "$PROJECT")
started=$(clock)
"$APP" --bundle "$WORK/headless.txt" "$PROJECT" >"$WORK/headless.log" 2>&1 || fail "lumbrel --bundle failed: $(tail -n 3 "$WORK/headless.log")"
headless=$(since "$started")
say "6. lumbrel --bundle: $headless s; the packer run directly: $direct s ($direct_files files)"
say "load average at end $(cut -d' ' -f1-3 /proc/loadavg)"
