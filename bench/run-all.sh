#!/usr/bin/env bash
# Builds the client and the reference program, then runs every benchmark in
# this folder one after the other; each prints its own table. About 5 minutes.
#
# Usage: bench/run-all.sh [BUILD_DIR]   (default: build; configured here if it is not yet)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build_dir=$(realpath -m "${1:-$root/build}")

build_log=$(mktemp)
trap 'rm -f "$build_log"' EXIT
if ! { [ -f "$build_dir/CMakeCache.txt" ] ||
       cmake -S "$root" -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo; } >"$build_log" 2>&1 ||
   ! cmake --build "$build_dir" -j"$(nproc)" --target dravelo qt_baseline print_paths server_download_probe job_window_probe >>"$build_log" 2>&1; then
    cat "$build_log" >&2
    exit 1
fi

# Debian's Python modules (python3-aiohttp for the print server) belong to the
# system's interpreter.
python=/usr/bin/python3
[ -x "$python" ] || python=python3

status=0
for benchmark in startup_memory.py drop_folder_latency.py clipboard_large_job.py job_windows.py \
    print_spooling.py server_download.py; do
    echo "== $benchmark"
    "$python" "$root/bench/$benchmark" "$build_dir" || status=$?
    echo
done
echo "== base64-vs-coreutils.sh"
"$root/bench/base64-vs-coreutils.sh" "$build_dir" || status=$?
echo
echo "== unlocked-copy-vs-qpdf.sh"
"$root/bench/unlocked-copy-vs-qpdf.sh" "$build_dir" || status=$?
exit "$status"
