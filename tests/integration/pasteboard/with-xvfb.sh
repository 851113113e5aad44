#!/usr/bin/env bash
# Runs a command on a private X server of its own:
#
#   with-xvfb.sh COMMAND [ARGUMENT...]
#
# Starts Xvfb on the first free display number, runs the command with DISPLAY
# set to it and Qt's xcb platform, and stops the server when the script ends.
# Exits with the command's status.
set -euo pipefail

workdir=$(mktemp -d)
xvfb_pid=

cleanup() {
    if [ -n "$xvfb_pid" ]; then
        kill "$xvfb_pid" 2>/dev/null || true
        wait "$xvfb_pid" 2>/dev/null || true
    fi
    rm -rf "$workdir"
}
trap cleanup EXIT

# Xvfb writes the display number it chose to the descriptor once it accepts
# connections.
Xvfb -displayfd 3 -nolisten tcp -screen 0 1280x1024x24 \
    3>"$workdir/display" 2>"$workdir/xvfb.log" &
xvfb_pid=$!
for _ in $(seq 200); do
    [ "$(wc -l <"$workdir/display")" -ge 1 ] && break
    if ! kill -0 "$xvfb_pid" 2>/dev/null; then
        xvfb_pid=
        break
    fi
    sleep 0.05
done
if [ "$(wc -l <"$workdir/display")" -lt 1 ]; then
    echo "Xvfb did not start:" >&2
    cat "$workdir/xvfb.log" >&2
    exit 1
fi

DISPLAY=":$(head -n 1 "$workdir/display")"
export DISPLAY
export QT_QPA_PLATFORM=xcb
export XDG_RUNTIME_DIR="$workdir"

status=0
"$@" || status=$?
exit "$status"
