#!/usr/bin/env bash
# The unencrypted private copy a password-protected job is printed from, side by side with
# `qpdf --decrypt` on the same input: a 200-page PDF, each page carrying 100 KB of random hex
# text, encrypted with AES-256 by qpdf (about 11 MiB). Each side is timed best of 3.
#
#   qpdf --password=PW --decrypt IN OUT   the whole process: start, open, decrypt, write
#   open + unlock                         PdfDocument on the file, unlockWithPassword
#   open + unlock + copy                  the same, then writeUnencryptedCopy (what printing does)
#
# Usage: bench/unlocked-copy-vs-qpdf.sh [BUILD_DIR]   (a configured build tree; default: build)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build_dir=$(realpath "${1:-$root/build}")
password=bench-secret

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
if ! cmake --build "$build_dir" --target unlocked_copy_bench >"$work/build.log" 2>&1; then
    cat "$work/build.log" >&2
    exit 1
fi

python3 - "$work/plain.pdf" "$(dirname "$0")/../tests/system" <<'PY'
import os, sys

sys.path.insert(0, sys.argv[2])
from harness import serialize_pdf

pages = 200
# 1: catalog, 2: page tree, 3: font, then each page and its contents.
objects = [b"<< /Type /Catalog /Pages 2 0 R >>", None,
           b"<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>"]
kids = []
for page in range(pages):
    filler = b"".join(b"%" + os.urandom(50).hex().encode() + b"\n" for _ in range(1000))
    content = filler + b"BT /F1 24 Tf 72 720 Td (Page %d) Tj ET" % (page + 1)
    number = len(objects) + 1
    kids.append(number)
    objects.append(b"<< /Type /Page /Parent 2 0 R /MediaBox [0 0 595 842] /Contents %d 0 R "
                   b"/Resources << /Font << /F1 3 0 R >> >> >>" % (number + 1))
    objects.append(b"<< /Length %d >>\nstream\n" % len(content) + content + b"\nendstream")
objects[1] = b"<< /Type /Pages /Kids [%s] /Count %d >>" % (b" ".join(b"%d 0 R" % k for k in kids), pages)
open(sys.argv[1], "wb").write(serialize_pdf(objects))
PY
qpdf --encrypt "$password" owner-secret 256 -- "$work/plain.pdf" "$work/locked.pdf"
test "$(qpdf --show-npages --password="$password" "$work/locked.pdf")" = 200

best_ns=
for _ in 1 2 3; do
    start=$(date +%s%N)
    qpdf --password="$password" --decrypt "$work/locked.pdf" "$work/decrypted.pdf"
    ns=$(($(date +%s%N) - start))
    rm "$work/decrypted.pdf"
    if [ -z "$best_ns" ] || [ "$ns" -lt "$best_ns" ]; then
        best_ns=$ns
    fi
done

DRAVELO_LOCKED_PDF="$work/locked.pdf" DRAVELO_LOCKED_PDF_PASSWORD="$password" \
    "$build_dir/bench/unlocked_copy_bench" \
    --benchmark_repetitions=3 --benchmark_min_time=0 \
    --benchmark_format=json --benchmark_out="$work/ours.json" >/dev/null 2>&1

python3 - "$work/ours.json" "$best_ns" "$(stat -c %s "$work/locked.pdf")" "$(dirname "$0")" <<'PY'
import sys

sys.path.insert(0, sys.argv[-1])
from benchlib import best_benchmark_seconds

path, qpdf_ns, size = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
best = best_benchmark_seconds(path)

print(f"Unencrypted copy of a 200-page AES-256 PDF ({size / 2**20:.1f} MiB), best of 3:")
print(f"  {'qpdf --decrypt (whole process)':<34} {qpdf_ns / 1e6:8.1f} ms")
print(f"  {'open + unlock':<34} {best['OpenAndUnlock'] * 1000:8.1f} ms")
print(f"  {'open + unlock + copy':<34} {best['OpenUnlockAndWriteCopy'] * 1000:8.1f} ms")
PY
echo "  (load average: $(cut -d ' ' -f 1-3 /proc/loadavg))"
