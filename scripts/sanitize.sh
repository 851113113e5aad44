#!/usr/bin/env bash
# Builds the unit and integration tests with AddressSanitizer and
# UndefinedBehaviorSanitizer (the "asan" preset, into build-asan) and runs
# them. The first error ends the test that made it; leaks count as errors,
# except the libraries' own listed in tests/sanitizers/leaks.supp.
set -euo pipefail
cd "$(dirname "$0")/.."

cmake --preset asan >/dev/null
cmake --build --preset asan -j"$(nproc)"
ctest --preset asan
