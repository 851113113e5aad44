#!/usr/bin/env python3
"""Job windows: how long a job takes from its staging to its window shown
and to its first page painted, for a 1-page and a 200-page PDF, and the
client's memory with 20 job windows open, its renderers counted apart; each
side by side with a reference in the same run.

Window latency, the client: it runs under a private Xvfb with the default
settings ("Preview print job"). A job pair is dropped into its home
directory; measured is the delay from the arrival of the second "Move
Successful." line after the job's "Found Dravelo Job File: NAME.pcf" (the
pair is staged and dispatch begins) to the arrival of "Opened document.
PATH" (the window is loaded, sized and shown). 5 jobs of each size.

First page painted: bench/job_window_probe opens the same PDFs as job
documents, as dispatch does once a job is staged, with the renderer program
(5 runs after one uncounted); measured is the time from the opening to the
window shown and to the first paint of the window's view after the first
page's image came from the renderer. The probe then loads the PDF with QtPdf
and draws its first page at the window's size in its own process, which is
what the client did before its renderers (5 runs). Reference: `pdftoppm -r 96
-f 1 -l 1` drawing the first page of the same PDF (5 runs).

Memory: VmRSS of the client with no window, then 3 s after the 20th of 20
one-page job windows opened, and 35 s later, once the renderers left idle
have ended; the renderers' VmRSS and PSS (their shared libraries counted
once among all that share them) summed apart. Reference: bench/qt_baseline
idle.

Usage: bench/job_windows.py [BUILD_DIR]   (default: build)"""

import shutil
import statistics
import subprocess
import tempfile
import time
from pathlib import Path

import benchlib

CLIENT_BIN, BASELINE_BIN = benchlib.setup(__doc__.splitlines()[0])
BUILD = CLIENT_BIN.parent.parent
PROBE_BIN = BUILD / "bench" / "job_window_probe"
RENDERER_BIN = BUILD / "libexec" / "dravelo" / "dravelo-renderer"

import harness  # noqa: E402  (importable once setup() ran)

TimedClient = benchlib.timed_client_class()

RUNS = 5
WINDOWS = 20
RENDERER = "dravelo-renderer"


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


def probe(pdf, env):
    """(window shown ms, first page painted ms, in process ms) lists."""
    result = subprocess.run([str(PROBE_BIN), str(RENDERER_BIN), str(pdf), str(RUNS + 1)],
                            env=env, capture_output=True, text=True, timeout=300, check=True)
    shown, painted, in_process = [], [], []
    for line in result.stdout.splitlines():
        words = line.split()
        if words[0] == "window":
            shown.append(float(words[1]))
            painted.append(float(words[3]))
        else:
            in_process.append(float(words[1]))
    # The first opening starts the dynamic linker's and Qt's caches warm.
    return shown[1:], painted[1:], in_process[1:]


def time_pdftoppm(pdf, work):
    times = []
    for run in range(RUNS):
        start = time.monotonic()
        subprocess.run(["pdftoppm", "-r", "96", "-f", "1", "-l", "1", "-png", str(pdf),
                        str(Path(work) / f"page-{run}")], check=True)
        times.append((time.monotonic() - start) * 1000)
    return times


def pss_kib(pid):
    with open(f"/proc/{pid}/smaps_rollup") as rollup:
        for line in rollup:
            if line.startswith("Pss:"):
                return int(line.split()[1])
    return 0


def memory(client):
    """(client VmRSS, renderer count, their VmRSS sum, their PSS sum), KiB."""
    renderers = benchlib.children(client.process.pid, RENDERER[:15])
    return (benchlib.status_kib(client.process.pid, "VmRSS"), len(renderers),
            sum(benchlib.status_kib(pid, "VmRSS") for pid in renderers),
            sum(pss_kib(pid) for pid in renderers))


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


def row(label, values):
    return [label, f"{statistics.median(values):.0f}", f"{min(values):.0f}",
            f"{max(values):.0f}", len(values)]


def main():
    if not PROBE_BIN.exists():
        raise SystemExit(f"{PROBE_BIN} not found: build the target job_window_probe")
    with harness.Xvfb() as xvfb, tempfile.TemporaryDirectory(prefix="dravelo-bench-") as work:
        env = xvfb.environment()
        env.update(xvfb.client_environment())
        env.pop("DBUS_SESSION_BUS_ADDRESS", None)
        one = Path(work) / "one.pdf"
        harness.write_pdf(one, "Job window benchmark")
        many = Path(work) / "many.pdf"
        pdf_of(200, one, many)
        sizes = (("1 page", one), ("200 pages", many))

        rows = []
        with TimedClient(env=env, settings={"enableClipboard": "no"}) as client:
            client.timed.lines.wait_for_line("~/.dravelo Created.", 30)
            for label, pdf in sizes:
                shown = [staged_to_shown(client, f"{label.split()[0]}p-{run}", pdf) * 1000
                         for run in range(RUNS)]
                rows.append(row(f"dravelo, {label}: staged -> window shown", shown))
            client.stop()
        for label, pdf in sizes:
            shown, painted, in_process = probe(pdf, benchlib.private_environment(work, env))
            rows.append(row(f"job window, {label}: staged -> window shown", shown))
            rows.append(row(f"job window, {label}: staged -> first page painted", painted))
            rows.append(row(f"in process (QtPdf), {label}: load + first page", in_process))
            rows.append(row(f"pdftoppm first page at 96 dpi, {label}", time_pdftoppm(pdf, work)))

        with TimedClient(env=env, settings={"enableClipboard": "no"}) as client:
            client.timed.lines.wait_for_line("~/.dravelo Created.", 30)
            time.sleep(3)
            empty = memory(client)
            for number in range(WINDOWS):
                staged_to_shown(client, f"window-{number:02d}", one)
            time.sleep(3)
            full = memory(client)
            time.sleep(35)
            idle = memory(client)
            client.stop()
        reference = baseline_rss(env)

    benchlib.print_table("Job window latency (ms)", ["what", "median", "min", "max", "runs"],
                         rows)
    print()
    mib = lambda kib: f"{kib / 1024:.1f}"  # noqa: E731
    benchlib.print_table(
        "Memory (MiB)", ["state", "client VmRSS", "renderers", "their VmRSS", "their PSS"],
        [["no window", mib(empty[0]), empty[1], mib(empty[2]), mib(empty[3])],
         [f"{WINDOWS} job windows, 3 s after", mib(full[0]), full[1], mib(full[2]),
          mib(full[3])],
         [f"{WINDOWS} job windows, 38 s after", mib(idle[0]), idle[1], mib(idle[2]),
          mib(idle[3])],
         ["qt_baseline idle", mib(reference), "", "", ""]])
    print("  " + benchlib.load_note())


if __name__ == "__main__":
    main()
