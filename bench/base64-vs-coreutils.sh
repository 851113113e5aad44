#!/usr/bin/env bash
# Base64 decoding throughput side by side with the system's `base64 -d`, on the same input:
# 64 MiB of random bytes encoded by `base64` (line breaks every 76 characters). Each side
# is timed best of 3; throughput is in decoded MiB per second of wall-clock time.
#
#   base64 -d FILE > /dev/null    the whole process: start, reading the file, decoding
#   decode only                   our decoder on the text already in memory as UTF-16
#   decode bytes                  our decoder on the file's bytes as they are, a megabyte at a
#                                 time into one buffer: the clipboard's road for UTF-8 texts
#   convert + decode              the file's bytes to UTF-16 (QString::fromLatin1), then decode:
#                                 the clipboard's road before it read texts as bytes
#
# Usage: bench/base64-vs-coreutils.sh [BUILD_DIR]   (a configured build tree; default: build)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build_dir=$(realpath "${1:-$root/build}")
decoded_mib=64

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
if ! cmake --build "$build_dir" --target base64_decode_bench >"$work/build.log" 2>&1; then
    cat "$work/build.log" >&2
    exit 1
fi
head -c "${decoded_mib}M" /dev/urandom >"$work/data"
base64 "$work/data" >"$work/data.b64"
rm "$work/data"

best_ns=
for _ in 1 2 3; do
    start=$(date +%s%N)
    base64 -d "$work/data.b64" >/dev/null
    ns=$(($(date +%s%N) - start))
    if [ -z "$best_ns" ] || [ "$ns" -lt "$best_ns" ]; then
        best_ns=$ns
    fi
done

DRAVELO_BASE64_FILE="$work/data.b64" "$build_dir/bench/base64_decode_bench" \
    --benchmark_repetitions=3 --benchmark_min_time=0 \
    --benchmark_format=json --benchmark_out="$work/ours.json" >/dev/null 2>&1

python3 - "$work/ours.json" "$best_ns" "$decoded_mib" "$(stat -c %s "$work/data.b64")" "$(dirname "$0")" <<'PY'
import sys

sys.path.insert(0, sys.argv[-1])
from benchlib import best_benchmark_seconds

path, coreutils_ns, decoded_mib, text_bytes = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), int(sys.argv[4])
best = best_benchmark_seconds(path)

def line(label, seconds):
    print(f"  {label:<32} {decoded_mib / seconds:8.0f} MiB/s  ({seconds * 1000:6.1f} ms)")

ratio = coreutils_ns * 1e-9 / best["DecodeBytes"]
print(f"Base64 decoding of {decoded_mib} MiB ({text_bytes / 2**20:.1f} MiB of text, "
      f"76-character lines), best of 3, decoded MiB/s:")
line("base64 -d FILE > /dev/null", coreutils_ns * 1e-9)
line("Base64 decode only (UTF-16)", best["Decode"])
line("Base64 decode bytes", best["DecodeBytes"])
line("Base64 convert + decode", best["ConvertAndDecode"])
print(f"  decode bytes: {decoded_mib / best['DecodeBytes']:.0f} MiB/s, "
      f"{ratio:.1f}x base64 -d (goal: 2 GB/s or more, about 5x)")
PY
echo "  (load average: $(cut -d ' ' -f 1-3 /proc/loadavg))"
