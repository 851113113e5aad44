#!/usr/bin/env bash
# Takes the user guide's pictures: the built client under a private X server
# with a window manager, started a second time so that it opens the
# Preferences window, and then given a job dropped into its home folder,
# which it shows in a job window. Each window is captured with its frame.
# Usage: take-screenshot.sh [BUILD_DIR]   (needs Xvfb, openbox, xdotool, import)
set -euo pipefail

build=$(realpath "${1:-build}")
guide="$(dirname "$(realpath "$0")")"
system_tests="$guide/../../tests/system"
work=$(mktemp -d)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=":$(head -n1 "$work/display")"
openbox >/dev/null 2>&1 &
pids+=($!)

mkdir -p "$work/home" "$work/config/dravelo" -m 0700 "$work/runtime"
printf '[General]\nserviceUrl=print.example.com:8080\nclientName=Reception desk\n' \
    >"$work/config/dravelo/dravelo.conf"
export HOME="$work/home" XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work/runtime"
# No desktop services: the keyring is empty and nothing else is touched.
export DBUS_SESSION_BUS_ADDRESS="unix:path=$work/no-bus" QT_QPA_PLATFORM=xcb
# The icons of a desktop's icon theme, as on a desktop, not the bare fallbacks.
export XDG_CURRENT_DESKTOP=GNOME
"$build/bin/dravelo" 2>/dev/null &
pids+=($!)
sleep 2
"$build/bin/dravelo" 2>/dev/null

window=$(xdotool search --sync --onlyvisible --name '^Preferences$' | head -n1)
xdotool windowactivate --sync "$window"
xdotool type --delay 20 "alice"
xdotool key Tab
xdotool type --delay 20 "secret"
sleep 0.5
import -window "$window" -frame "$guide/preferences.png"
echo "wrote $guide/preferences.png"
xdotool key Escape

/usr/bin/python3 -c 'import sys; sys.path.insert(0, sys.argv[1]); import harness
harness.write_job(sys.argv[2], "Quarterly-report", "Quarterly report: sales up 12 percent")' \
    "$system_tests" "$HOME"
window=$(xdotool search --sync --onlyvisible --name '^Quarterly-report.ppf' | head -n1)
sleep 1
import -window "$window" -frame "$guide/job-window.png"
echo "wrote $guide/job-window.png"
