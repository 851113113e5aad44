#!/usr/bin/env bash
# Checks the format of the C++ sources, builds the client and runs every
# test: unit, integration and system tests (each starts the peers it needs:
# X server, D-Bus sessions, keyring, print scheduler, FUSE mounts), a short
# fuzzing run, the unit and integration tests again under AddressSanitizer
# and UndefinedBehaviorSanitizer, and the Debian package's checks. Installs
# what it needs.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
scripts/check-format.sh
cmake --preset default >/dev/null
cmake --build --preset default -j"$(nproc)"

status=0
ctest --preset default -j2 --timeout 600 || status=$?
tests/fuzz/run-fuzz.sh "${FUZZ_SECONDS:-20}" || status=$?
scripts/sanitize.sh || status=$?
{ scripts/package.sh && scripts/check-package.sh; } || status=$?
exit "$status"
