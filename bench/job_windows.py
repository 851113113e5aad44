#!/usr/bin/env python3
"""Job windows: how long a job takes from its staging to its window shown,
for a 1-page and a 200-page PDF, and the client's memory with 20 job
windows open; each side by side with a reference in the same run.

Window latency: the client runs under a private Xvfb with the default
settings ("Preview print job"). A job pair is dropped into its home
directory; measured is the delay from the arrival of the second "Move
Successful." line after the job's "Found Dravelo Job File: NAME.pcf" (the
pair is staged and dispatch begins) to the arrival of "Opened document.
PATH" (the window is loaded, sized and shown). 5 jobs of each size.
Reference: `pdftoppm -r 96 -f 1 -l 1` drawing the first page of the same
PDF (5 runs), the least a viewer must do before it shows a page.

Memory: VmRSS of the client with no window, then 3 s after the 20th of 20
one-page job windows opened; reference: bench/qt_baseline idle.

Usage: bench/job_windows.py [BUILD_DIR]   (default: build)"""

import shutil
import statistics
import subprocess
import tempfile
import time
from pathlib import Path

import benchlib

_, BASELINE_BIN = benchlib.setup(__doc__.splitlines()[0])

import harness  # noqa: E402  (importable once setup() ran)

TimedClient = benchlib.timed_client_class()

RUNS = 5
WINDOWS = 20


def pdf_of(pages, source, target):
    """A PDF made of `pages` copies of the one page of source."""
    subprocess.run(["qpdf", "--empty", "--pages", str(source),
                    ",".join(["1"] * pages), "--", str(target)], check=True)


def staged_to_shown(client, name, pdf):
    start = client.timed.lines.count()
    shutil.copyfile(pdf, client.home / f"{name}.ppf")
    (client.home / f"{name}.pcf").write_text("copies=1\n")
    lines = client.timed.lines
    index, _, _ = lines.wait_for_line(f"Found Dravelo Job File: {name}.pcf", 10, start)
    for _ in range(2):
        index, staged, _ = lines.wait_for_line("Move Successful.", 10, index + 1)
    _, shown, _ = lines.wait_for(lambda line: line.startswith("Opened document.")
                                 and line.endswith(f"{name}.ppf"), 60, index + 1,
                                 what=f"the window of {name}")
    return shown - staged


def time_pdftoppm(pdf, work):
    times = []
    for run in range(RUNS):
        start = time.monotonic()
        subprocess.run(["pdftoppm", "-r", "96", "-f", "1", "-l", "1", "-png", str(pdf),
                        str(Path(work) / f"page-{run}")], check=True)
        times.append(time.monotonic() - start)
    return times


def baseline_rss(env):
    root = tempfile.mkdtemp(prefix="dravelo-bench-baseline-")
    baseline = None
    try:
        baseline = benchlib.start_baseline(BASELINE_BIN, root, env)
        baseline.lines.wait_for_line("ready", 30)
        time.sleep(3)
        return benchlib.status_kib(baseline.pid, "VmRSS")
    finally:
        if baseline:
            baseline.stop()
        shutil.rmtree(root, ignore_errors=True)


def main():
    with harness.Xvfb() as xvfb, tempfile.TemporaryDirectory(prefix="dravelo-bench-") as work:
        env = xvfb.environment()
        env.update(xvfb.client_environment())
        env.pop("DBUS_SESSION_BUS_ADDRESS", None)
        one = Path(work) / "one.pdf"
        harness.write_pdf(one, "Job window benchmark")
        many = Path(work) / "many.pdf"
        pdf_of(200, one, many)

        latencies = {}
        references = {}
        with TimedClient(env=env, settings={"enableClipboard": "no"}) as client:
            client.timed.lines.wait_for_line("~/.dravelo Created.", 30)
            for label, pdf in (("1 page", one), ("200 pages", many)):
                latencies[label] = [staged_to_shown(client, f"{label.split()[0]}p-{run}", pdf)
                                    for run in range(RUNS)]
                references[label] = time_pdftoppm(pdf, work)
            client.stop()

        with TimedClient(env=env, settings={"enableClipboard": "no"}) as client:
            client.timed.lines.wait_for_line("~/.dravelo Created.", 30)
            time.sleep(3)
            empty = benchlib.status_kib(client.process.pid, "VmRSS")
            for number in range(WINDOWS):
                staged_to_shown(client, f"window-{number:02d}", one)
            time.sleep(3)
            full = benchlib.status_kib(client.process.pid, "VmRSS")
            client.stop()
        reference = baseline_rss(env)

    rows = []
    for label in latencies:
        ms = [value * 1000 for value in latencies[label]]
        ref = [value * 1000 for value in references[label]]
        rows.append([f"dravelo, {label}: staged -> window shown", f"{statistics.median(ms):.0f}",
                     f"{min(ms):.0f}", f"{max(ms):.0f}", len(ms)])
        rows.append([f"pdftoppm first page at 96 dpi, {label}", f"{statistics.median(ref):.0f}",
                     f"{min(ref):.0f}", f"{max(ref):.0f}", len(ref)])
    benchlib.print_table("Job window latency (ms)", ["what", "median", "min", "max", "runs"], rows)
    print()
    benchlib.print_table(
        f"Memory (VmRSS, MiB)", ["process", "MiB"],
        [["dravelo, no window", f"{empty / 1024:.1f}"],
         [f"dravelo, {WINDOWS} job windows", f"{full / 1024:.1f}"],
         ["per window", f"{(full - empty) / 1024 / WINDOWS:.2f}"],
         ["qt_baseline idle", f"{reference / 1024:.1f}"]])
    print("  " + benchlib.load_note())


if __name__ == "__main__":
    main()
