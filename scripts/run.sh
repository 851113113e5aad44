#!/usr/bin/env bash
# Builds the client and starts it with its defaults. Installs what it needs.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default --target dravelo -j"$(nproc)"

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  echo "No display found: starting the client on Qt's offscreen platform (no windows, no tray icon;" \
       "drop folders, clipboard and printing still work). Stop it with Ctrl+C." >&2
  export QT_QPA_PLATFORM=offscreen
fi
exec build/bin/dravelo
