#!/usr/bin/env python3
"""Start-up time and idle memory of the client, side by side with a bare
QApplication (bench/qt_baseline) in the same run.

Start-up: from just before the process is created to the arrival of the
client's log line "~/.dravelo Created." (the reference: its line "ready",
written once its event loop runs), over 10 runs each with fresh HOME and
XDG folders, after one uncounted warm-up run each. Runs of the two programs
alternate so that any drift of the machine affects both alike.

Memory: VmRSS from /proc/PID/status after 5 s idle (counted from that same
line), in 3 of the runs. With the default settings the client mounts its
drop volume during those 5 s; the fuse2fs child serving it is a process of
its own and is shown apart.

Both programs run twice: on Qt's offscreen platform (no display) and on the
xcb platform under a private Xvfb with a private D-Bus session bus.

Usage: bench/startup_memory.py [BUILD_DIR]   (default: build)"""

import contextlib
import os
import shutil
import statistics
import tempfile
import time

import benchlib

_, BASELINE_BIN = benchlib.setup(__doc__.splitlines()[0])

import harness  # noqa: E402  (importable once setup() ran)

TimedClient = benchlib.timed_client_class()

RUNS = 10
MEMORY_RUNS = 3
IDLE_SECONDS = 5
CLIENT_READY = "~/.dravelo Created."
BASELINE_READY = "ready"


def measure_client(env, idle):
    """One client run: (seconds to the ready line, client KiB, fuse2fs KiB)."""
    with TimedClient(env=env) as client:
        _, arrived, _ = client.timed.lines.wait_for_line(CLIENT_READY, 30)
        rss = fuse_rss = None
        if idle:
            time.sleep(IDLE_SECONDS)
            rss = benchlib.status_kib(client.process.pid, "VmRSS")
            fuse_rss = sum(benchlib.status_kib(pid, "VmRSS")
                           for pid in benchlib.children(client.process.pid, "fuse2fs"))
        client.stop()
    return arrived - client.timed.started, rss, fuse_rss


def measure_baseline(env, idle):
    """One reference run: (seconds to "ready", KiB, None)."""
    root = tempfile.mkdtemp(prefix="dravelo-bench-baseline-")
    process = None
    try:
        process = benchlib.start_baseline(BASELINE_BIN, root, env)
        _, arrived, _ = process.lines.wait_for_line(BASELINE_READY, 30)
        rss = None
        if idle:
            time.sleep(IDLE_SECONDS)
            rss = benchlib.status_kib(process.pid, "VmRSS")
        return arrived - process.started, rss, None
    finally:
        if process:
            process.stop()
        shutil.rmtree(root, ignore_errors=True)


def run_platform(env):
    """Alternating runs of both programs; returns {name: [(s, kib, fuse kib)]}."""
    programs = {"dravelo": measure_client, "qt_baseline": measure_baseline}
    results = {name: [] for name in programs}
    for name, measure in programs.items():
        measure(env, idle=False)
    for run in range(RUNS):
        for name, measure in programs.items():
            results[name].append(measure(env, idle=run < MEMORY_RUNS))
    return results


def mib(kib):
    return f"{kib / 1024:.1f}"


def rows_for(platform, results):
    rows = []
    for name, runs in results.items():
        times = [seconds * 1000 for seconds, _, _ in runs]
        rss = [kib for _, kib, _ in runs if kib is not None]
        fuse = [kib for _, _, kib in runs if kib is not None]
        median, low, high = benchlib.summary(times)
        rss_median, rss_low, rss_high = benchlib.summary(rss)
        rows.append([platform, name, f"{median:.0f}", f"{low:.0f}", f"{high:.0f}",
                     mib(rss_median), f"{mib(rss_low)}-{mib(rss_high)}",
                     mib(statistics.median(fuse)) if fuse else "-"])
    return rows


def main():
    rows = []
    offscreen = dict(os.environ)
    for name in ("DISPLAY", "WAYLAND_DISPLAY", "DBUS_SESSION_BUS_ADDRESS"):
        offscreen.pop(name, None)
    offscreen["QT_QPA_PLATFORM"] = "offscreen"
    rows += rows_for("offscreen", run_platform(offscreen))

    with contextlib.ExitStack() as stack:
        x = stack.enter_context(harness.Xvfb())
        bus = stack.enter_context(harness.SessionBus())
        xcb = dict(offscreen)
        xcb.update(x.client_environment())
        xcb.update(bus.client_environment())
        rows += rows_for("xcb (Xvfb)", run_platform(xcb))

    benchlib.print_table(
        f"Start-up to ready line ({RUNS} runs each, ms) and VmRSS after {IDLE_SECONDS} s idle "
        f"({MEMORY_RUNS} runs each, MiB)",
        ["platform", "program", "start median", "min", "max", "VmRSS median", "VmRSS range",
         "fuse2fs child VmRSS"], rows, left=2)
    print(f"  ready line: dravelo {CLIENT_READY!r}, qt_baseline {BASELINE_READY!r}; "
          + benchlib.load_note())


if __name__ == "__main__":
    main()
