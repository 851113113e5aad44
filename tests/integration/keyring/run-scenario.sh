#!/usr/bin/env bash
# Runs the keyring integration tests of one scenario against real services:
#
#   run-scenario.sh SCENARIO TEST_BINARY
#
# Everything runs under a private HOME and XDG directories in a temporary
# directory, on a private session bus on which nothing can be activated, so
# the developer's own keyring is never touched. Whatever the scenario starts
# is stopped when the script exits, whether the tests passed or not.
#
#   unlocked      gnome-keyring-daemon, unlocked with a password on stdin
#   locked        a login keyring made and filled while unlocked, then the
#                 daemon restarted without unlocking it (no prompter exists)
#   no_service    the bus with nothing owning org.freedesktop.secrets
#   no_bus        no session bus at all
#   hung_service  a fake org.freedesktop.secrets that never answers
set -euo pipefail

scenario=$1
test_binary=$2
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
keyring_password='dravelo-test-login'
service_name='Dravelo Client Credentials'

root=$(mktemp -d "${TMPDIR:-/tmp}/dravelo-keyring.XXXXXX")
pids=()

stop_process() {
    local pid=$1
    kill "$pid" 2>/dev/null || return 0
    for _ in $(seq 50); do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    kill -KILL "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
}

cleanup() {
    local status=$?
    local i
    for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
        stop_process "${pids[i]}"
    done
    if [ "$status" -ne 0 ] && [ -s "$root/services.log" ]; then
        echo "--- services.log" >&2
        cat "$root/services.log" >&2
    fi
    rm -rf "$root"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

export HOME=$root/home
export XDG_DATA_HOME=$HOME/.local/share
export XDG_CONFIG_HOME=$HOME/.config
export XDG_CACHE_HOME=$HOME/.cache
export XDG_RUNTIME_DIR=$root/run
mkdir -p "$XDG_DATA_HOME" "$XDG_CONFIG_HOME" "$XDG_CACHE_HOME"
mkdir -m 700 "$XDG_RUNTIME_DIR"
unset DISPLAY WAYLAND_DISPLAY DBUS_SESSION_BUS_ADDRESS GNOME_KEYRING_CONTROL SSH_AUTH_SOCK

# Waits until NAME has an owner on the bus, while the process that is to own
# it (the last one started) still runs.
wait_for_name() {
    for _ in $(seq 100); do
        if ! kill -0 "${pids[-1]}" 2>/dev/null; then
            echo "the process that was to own $1 ended" >&2
            return 1
        fi
        if dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
            org.freedesktop.DBus.NameHasOwner "string:$1" 2>/dev/null | grep -q 'boolean true'; then
            return 0
        fi
        sleep 0.1
    done
    echo "$1 did not appear on the session bus" >&2
    return 1
}

start_bus() {
    dbus-daemon --nofork --config-file="$here/session-bus.conf" \
        --address="unix:path=$root/bus" >>"$root/services.log" 2>&1 &
    pids+=($!)
    export DBUS_SESSION_BUS_ADDRESS="unix:path=$root/bus"
    wait_for_name org.freedesktop.DBus
}

# With a password: unlocks the login keyring, creating it on first use.
start_keyring() {
    if [ $# -gt 0 ]; then
        printf '%s' "$1" | gnome-keyring-daemon --foreground --unlock --components=secrets \
            >>"$root/services.log" 2>&1 &
    else
        gnome-keyring-daemon --foreground --components=secrets \
            </dev/null >>"$root/services.log" 2>&1 &
    fi
    pids+=($!)
    wait_for_name org.freedesktop.secrets
}

stop_last_started() {
    stop_process "${pids[-1]}"
    unset 'pids[-1]'
}

system_python() {
    if [ -x /usr/bin/python3 ]; then echo /usr/bin/python3; else command -v python3; fi
}

case $scenario in
unlocked)
    start_bus
    start_keyring "$keyring_password"
    filter='UnlockedKeyring.*'
    ;;
locked)
    start_bus
    start_keyring "$keyring_password"
    printf '%s' 'seeded-password' |
        secret-tool store --label="$service_name" service "$service_name" account seeded
    stop_last_started
    start_keyring
    filter='LockedKeyring.*'
    ;;
no_service)
    start_bus
    filter='NoSecretService.*'
    ;;
no_bus)
    filter='NoSessionBus.*'
    ;;
hung_service)
    start_bus
    "$(system_python)" "$here/hung-secret-service.py" >>"$root/services.log" 2>&1 &
    pids+=($!)
    wait_for_name org.freedesktop.secrets
    filter='HungSecretService.*'
    ;;
*)
    echo "unknown scenario: $scenario" >&2
    exit 2
    ;;
esac

export DRAVELO_KEYRING_SCENARIO=$scenario
"$test_binary" --gtest_filter="$filter"
