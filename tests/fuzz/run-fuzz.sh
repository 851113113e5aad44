#!/usr/bin/env bash
# Builds the fuzz targets with the "fuzz" preset (clang, into build-fuzz) and runs each
# for SECONDS (default 20), starting from its seed corpus: the Base64 decoder against a
# plain reference decoder, and the decoder's block path against its exact path, both from
# tests/fuzz/corpus; the renderer's wire format from seeds its own encoder writes first (one
# frame of each kind of message, into build-fuzz/fuzz/renderer_protocol_corpus). Exits non-zero
# when a target crashes or finds a difference; the input that did it is kept in
# build-fuzz/fuzz/artifacts.
#
# Usage: tests/fuzz/run-fuzz.sh [SECONDS]
set -euo pipefail

seconds=${1:-20}
fuzz_dir=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$fuzz_dir/../.." && pwd)
out_dir=$root/build-fuzz/fuzz
# target, seed corpus (in tests/fuzz, or an absolute path), dictionary (- for none)
targets=(
    "base64_fuzz corpus base64.dict"
    "base64_paths_fuzz corpus base64.dict"
    "renderer_protocol_fuzz $out_dir/renderer_protocol_corpus -"
)

cd "$root"
cmake --preset fuzz >/dev/null
for entry in "${targets[@]}"; do
    read -r target _ _ <<<"$entry"
    cmake --build --preset fuzz --target "$target"
done
cmake --build --preset fuzz --target renderer_protocol_seeds
rm -rf "$out_dir/renderer_protocol_corpus"
"$out_dir/renderer_protocol_seeds" "$out_dir/renderer_protocol_corpus"

artifacts=$out_dir/artifacts
mkdir -p "$artifacts"

run_target() {
    local target=$1 corpus=$2 dict=()
    [[ $corpus == /* ]] || corpus=$fuzz_dir/$corpus
    [ "$3" = - ] || dict=(-dict="$fuzz_dir/$3")
    local log=$out_dir/$target.log status=0
    # New inputs go to a scratch corpus so that the seed corpus in the repository stays as it is.
    local scratch
    scratch=$(mktemp -d)
    "$out_dir/$target" -max_total_time="$seconds" -print_final_stats=1 \
        "${dict[@]}" -artifact_prefix="$artifacts/$target-" \
        "$scratch" "$corpus" >"$log" 2>&1 || status=$?
    rm -rf "$scratch"

    local runs coverage
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    coverage=$(sed -n 's/^#[0-9]*.*cov: \([0-9]*\).*/\1/p' "$log" | tail -n 1)
    if [ "$status" -eq 0 ]; then
        echo "$target: passed, ${runs:-?} inputs in ${seconds} s, coverage ${coverage:-?} edges"
    else
        grep -E -A2 'differs from|encodes differently|ERROR:|runtime error|SUMMARY:' "$log" | head -n 20 >&2
        echo "$target: FAILED (exit $status) after ${runs:-?} inputs; input in $artifacts" \
            "(replay: $out_dir/$target FILE), log $log"
    fi
    return "$status"
}

status=0
for entry in "${targets[@]}"; do
    # shellcheck disable=SC2086
    run_target $entry || status=$?
done
exit "$status"
