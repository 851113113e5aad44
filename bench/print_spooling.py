#!/usr/bin/env python3
"""Printing a 100-page PDF the way the print panel does, against painting it
into a QPrinter, in the same run on the same private print scheduler.

Both ways run in bench/print_paths (the client's own spooler, and a QPrinter
painted page by page at 300 dpi) against harness.Cupsd, whose queue writes
each job to a file. Measured: the seconds each way takes until CUPS has the
job (reported by the tool), its peak memory (/usr/bin/time), the size of the
job CUPS received, and whether its text can still be extracted (pdftotext).
2 runs of each, alternating.

Usage: bench/print_spooling.py [BUILD_DIR]   (default: build)"""

import statistics
import subprocess
import tempfile
from pathlib import Path

import benchlib

CLIENT_BIN, _ = benchlib.setup(__doc__.splitlines()[0])
TOOL = CLIENT_BIN.parent.parent / "bench" / "print_paths"

import harness  # noqa: E402  (importable once setup() ran)

RUNS = 2
PAGES = 100


def run_once(mode, pdf, cups, env, work):
    cups.clear_output()
    done = cups.completed_jobs()
    result = subprocess.run(["/usr/bin/time", "-f", "%M", str(TOOL), mode, str(pdf)], env=env,
                            capture_output=True, text=True, check=True)
    seconds = float(result.stdout.split()[-1])
    peak_kib = int(result.stderr.split()[-1])
    cups.wait_for_completed_jobs(done + 1, timeout=300)
    cups.wait_for_output(timeout=60)
    output = Path(work) / f"{mode}.pdf"
    output.write_bytes(cups.printed())
    text = subprocess.run(["pdftotext", str(output), "-"], capture_output=True,
                          text=True).stdout
    return seconds, peak_kib, output.stat().st_size, "Print benchmark" in text


def main():
    with harness.Cupsd() as cups, tempfile.TemporaryDirectory(prefix="dravelo-bench-") as work:
        env = cups.environment()
        env["QT_QPA_PLATFORM"] = "offscreen"
        one = Path(work) / "one.pdf"
        harness.write_pdf(one, "Print benchmark")
        pdf = Path(work) / "hundred.pdf"
        subprocess.run(["qpdf", "--empty", "--pages", str(one), ",".join(["1"] * PAGES), "--",
                        str(pdf)], check=True)
        results = {"spool": [], "paint": []}
        for _ in range(RUNS):
            for mode in results:
                results[mode].append(run_once(mode, pdf, cups, env, work))

    rows = []
    labels = {"spool": "the PDF itself spooled (print panel)",
              "paint": "pages painted into QPrinter, 300 dpi"}
    for mode, runs in results.items():
        seconds = [run[0] for run in runs]
        rows.append([labels[mode], f"{statistics.median(seconds):.2f}", f"{min(seconds):.2f}",
                     f"{max(runs, key=lambda run: run[1])[1] / 1024:.0f}",
                     f"{runs[-1][2] / 1024:.0f}", "yes" if all(run[3] for run in runs) else "no"])
    benchlib.print_table(f"Printing a {PAGES}-page PDF ({RUNS} runs each)",
                         ["way", "median s", "min s", "peak MiB", "job KiB", "text kept"], rows)
    print("  " + benchlib.load_note())


if __name__ == "__main__":
    main()
