#!/usr/bin/env bash
# Fails when a C++ file under src/ or tests/ differs from what clang-format
# (with the repository's .clang-format) makes of it; run clang-format -i on
# the files it names.
set -euo pipefail
cd "$(dirname "$0")/.."
find src tests \( -name '*.cpp' -o -name '*.h' \) -print0 |
    xargs -0 clang-format --dry-run --Werror
echo "clang-format: every file under src/ and tests/ is formatted"
