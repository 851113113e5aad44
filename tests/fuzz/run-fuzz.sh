#!/usr/bin/env bash
# Builds the fuzz targets with the "fuzz" preset (clang, into build-fuzz) and runs the
# Base64 decoder target for SECONDS (default 20), starting from the seed corpus in
# tests/fuzz/corpus. Exits non-zero when the target crashes or finds a difference; the
# input that did it is kept in build-fuzz/fuzz/artifacts.
#
# Usage: tests/fuzz/run-fuzz.sh [SECONDS]
set -euo pipefail

seconds=${1:-20}
fuzz_dir=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$fuzz_dir/../.." && pwd)
target=base64_fuzz

cd "$root"
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz --target "$target"

out_dir=$root/build-fuzz/fuzz
artifacts=$out_dir/artifacts
log=$out_dir/$target.log
mkdir -p "$artifacts"
# New inputs go to a scratch corpus so that the seed corpus in the repository stays as it is.
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

status=0
"$out_dir/$target" -max_total_time="$seconds" -print_final_stats=1 \
    -dict="$fuzz_dir/base64.dict" -artifact_prefix="$artifacts/" \
    "$scratch" "$fuzz_dir/corpus" >"$log" 2>&1 || status=$?

runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
coverage=$(sed -n 's/^#[0-9]*.*cov: \([0-9]*\).*/\1/p' "$log" | tail -n 1)
if [ "$status" -eq 0 ]; then
    echo "$target: passed, ${runs:-?} inputs in ${seconds} s, coverage ${coverage:-?} edges"
else
    grep -E -A2 'differs from the reference|ERROR:|runtime error|SUMMARY:' "$log" | head -n 20 >&2
    echo "$target: FAILED (exit $status) after ${runs:-?} inputs; input in $artifacts" \
        "(replay: $out_dir/$target FILE), log $log"
fi
exit "$status"
