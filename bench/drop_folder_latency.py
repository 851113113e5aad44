#!/usr/bin/env python3
"""Drop-folder latency and idle CPU of the client, each side by side with a
reference in the same run.

Latency: the client runs with "Print directly to printer" against a
private print scheduler (harness.Cupsd) and its drop volume mounted. 50 job
pairs are dropped into its home directory one at a time, after a random
pause of 0-2 s so that the drops fall at every moment of the watcher's 2 s
cycle: the .ppf first, then the .pcf. Measured is the delay from just
before the .pcf is written to the arrival of the client's second "Move
Successful." line after that job's "Found Dravelo Job File: NAME.pcf": the
client starts /usr/bin/lp right after it. The next job is dropped once the
client has deleted the staged pair, that is once lp has returned.
Reference: the time `lp FILE` takes to queue the same PDF on the same
scheduler (10 runs).

Idle CPU: with the volume mounted and nothing to do, the CPU time (user +
system, all threads, from /proc/PID/stat) of the client and of its fuse2fs
child over 60 s, as a share of one core; reference: bench/qt_baseline idle
over the same 60 s.

Usage: bench/drop_folder_latency.py [BUILD_DIR]   (default: build)"""

import random
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

JOBS = 50
LP_RUNS = 10
IDLE_SECONDS = 60
SEED = 20240601
DIRECT = {"actionPrintJob": "Print directly to printer"}


def time_lp(pdf, env):
    times = []
    for _ in range(LP_RUNS):
        start = time.monotonic()
        subprocess.run(["lp", str(pdf)], env=env, check=True, stdout=subprocess.DEVNULL)
        times.append(time.monotonic() - start)
    return times


def print_started(lines, name, start):
    """Arrival time of the second "Move Successful." after the job's Found
    line: the client runs lp right after it."""
    found, _, _ = lines.wait_for_line(f"Found Dravelo Job File: {name}.pcf", 10, start)
    index = found
    for _ in range(2):
        index, arrived, text = lines.wait_for(
            lambda line: line in ("Move Successful.", "Move Failed."), 10, index + 1,
            what=f"the moves of {name}")
        if text != "Move Successful.":
            raise RuntimeError(f"the client could not move {name}")
    return arrived


def drop_jobs(client, pdf):
    rng = random.Random(SEED)
    latencies = []
    for number in range(JOBS):
        name = f"bench-{number:02d}"
        time.sleep(rng.uniform(0, 2))
        shutil.copyfile(pdf, client.home / f"{name}.ppf")
        start_line = client.timed.lines.count()
        dropped = time.monotonic()
        (client.home / f"{name}.pcf").write_text("copies=1\n")
        latencies.append(print_started(client.timed.lines, name, start_line) - dropped)
        harness.wait_until(lambda: not any(client.staging.glob(f"{name}.*")), 20,
                           what=f"{name} to be printed and its staged pair deleted")
    return latencies


def idle_cpu(client, env):
    """CPU shares (% of one core) of the client, its fuse2fs child and the
    reference over the same IDLE_SECONDS."""
    root = tempfile.mkdtemp(prefix="dravelo-bench-baseline-")
    baseline = None
    try:
        baseline = benchlib.start_baseline(BASELINE_BIN, root, env)
        baseline.lines.wait_for_line("ready", 30)
        fuse = benchlib.children(client.process.pid, "fuse2fs")
        if len(fuse) != 1:
            raise RuntimeError(f"expected one fuse2fs child of the client, found {fuse}")
        pids = {"dravelo": client.process.pid, "fuse2fs (child)": fuse[0],
                "qt_baseline": baseline.pid}
        before = {name: benchlib.cpu_seconds(pid) for name, pid in pids.items()}
        start = time.monotonic()
        time.sleep(IDLE_SECONDS)
        after = {name: benchlib.cpu_seconds(pid) for name, pid in pids.items()}
        elapsed = time.monotonic() - start
        return {name: (after[name] - before[name], 100 * (after[name] - before[name]) / elapsed)
                for name in pids}, elapsed
    finally:
        if baseline:
            baseline.stop()
        shutil.rmtree(root, ignore_errors=True)


def main():
    with harness.Cupsd() as cups, tempfile.TemporaryDirectory(prefix="dravelo-bench-") as work:
        env = cups.environment()
        for name in ("DISPLAY", "WAYLAND_DISPLAY", "DBUS_SESSION_BUS_ADDRESS"):
            env.pop(name, None)
        env["QT_QPA_PLATFORM"] = "offscreen"
        pdf = Path(work) / "job.pdf"
        harness.write_pdf(pdf, "Drop folder benchmark")
        lp_times = time_lp(pdf, env)

        with TimedClient(env=env, settings=DIRECT) as client:
            harness.wait_until((client.home / "DraveloDrive" / "DVClient.config").exists, 20,
                               what="the drop volume")
            latencies = drop_jobs(client, pdf)
            cups.wait_for_completed_jobs(LP_RUNS + JOBS, timeout=60)
            cpu, elapsed = idle_cpu(client, env)
            client.stop()

    ms = [seconds * 1000 for seconds in latencies]
    lp_ms = [seconds * 1000 for seconds in lp_times]
    benchlib.print_table(
        f"Drop-folder latency, {JOBS} jobs dropped into HOME at random moments of the 2 s cycle "
        f"(ms, .pcf written -> lp started)",
        ["what", "median", "p90", "max", "min", "runs"],
        [["dravelo: drop -> print command", f"{statistics.median(ms):.0f}",
          f"{benchlib.percentile(ms, 0.9):.0f}", f"{max(ms):.0f}", f"{min(ms):.0f}", len(ms)],
         ["lp FILE (queueing the same PDF)", f"{statistics.median(lp_ms):.0f}",
          f"{benchlib.percentile(lp_ms, 0.9):.0f}", f"{max(lp_ms):.0f}", f"{min(lp_ms):.0f}",
          len(lp_ms)]])
    print(f"  jobs finished by the scheduler: {LP_RUNS + JOBS} of {LP_RUNS + JOBS}; "
          f"over 2200 ms: {sum(1 for value in ms if value > 2200)}")
    print()
    benchlib.print_table(
        f"CPU while idle with the drop volume mounted, over {elapsed:.0f} s",
        ["process", "CPU s", "% of one core"],
        [[name, f"{seconds:.2f}", f"{share:.2f}"] for name, (seconds, share) in cpu.items()])
    print("  " + benchlib.load_note())


if __name__ == "__main__":
    main()
