#!/usr/bin/env bash
# Runs the notification tests of one scenario in the surroundings it needs:
#
#   run-scenario.sh SCENARIO TEST_BINARY
#
#   delivery      a private session bus on which the recorder owns the service
#   hung_service  a private session bus on which the recorder never answers
#   no_service    a private session bus without a notification service
#   no_bus        no session bus at all
#
# The private bus starts nothing on demand (session-bus.conf). Everything
# started here is stopped when the script exits.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
scenario=$1
test_binary=$2

# python3-dbus belongs to the system's interpreter.
python=/usr/bin/python3
[ -x "$python" ] || python=python3

workdir=$(mktemp -d)
bus_pid=
recorder_pid=

cleanup() {
    [ -n "$recorder_pid" ] && kill "$recorder_pid" 2>/dev/null && wait "$recorder_pid" 2>/dev/null
    [ -n "$bus_pid" ] && kill "$bus_pid" 2>/dev/null && wait "$bus_pid" 2>/dev/null
    rm -rf "$workdir"
}
trap cleanup EXIT

# Waits up to ten seconds until the test command holds, while the process lives.
wait_for() {
    local pid=$1
    shift
    for _ in $(seq 100); do
        "$@" && return 0
        kill -0 "$pid" 2>/dev/null || { echo "process $pid ended early" >&2; return 1; }
        sleep 0.1
    done
    echo "timed out waiting for: $*" >&2
    return 1
}

start_private_bus() {
    dbus-daemon --config-file="$here/session-bus.conf" --nofork --print-address=3 \
        3>"$workdir/bus-address" &
    bus_pid=$!
    wait_for "$bus_pid" test -s "$workdir/bus-address"
    DBUS_SESSION_BUS_ADDRESS=$(head -n 1 "$workdir/bus-address")
    export DBUS_SESSION_BUS_ADDRESS
}

start_recorder() {
    "$python" "$here/notification_recorder.py" --record "$workdir/record.jsonl" \
        --ready "$workdir/ready" "$@" &
    recorder_pid=$!
    wait_for "$recorder_pid" test -e "$workdir/ready"
}

# No display: the client must not start a bus of its own through X11.
unset DISPLAY WAYLAND_DISPLAY
export NOTIFICATION_RECORD="$workdir/record.jsonl"
export XDG_RUNTIME_DIR="$workdir"

case "$scenario" in
delivery)
    start_private_bus
    start_recorder
    filter='NotificationDelivery.*'
    ;;
hung_service)
    start_private_bus
    start_recorder --hang
    filter='NotificationHungService.*'
    ;;
no_service)
    start_private_bus
    filter='NotificationWithoutService.*'
    ;;
no_bus)
    unset DBUS_SESSION_BUS_ADDRESS
    filter='NotificationWithoutService.*'
    ;;
*)
    echo "unknown scenario: $scenario" >&2
    exit 2
    ;;
esac

"$test_binary" --gtest_filter="$filter"
