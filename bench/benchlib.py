"""Shared pieces of the benchmark scripts: finding the build, starting the
client and the reference program with their stderr lines timestamped as
they arrive, reading a process's memory and CPU time from /proc, and
printing results as one table.

The system-test harness (tests/system/harness.py) provides the peers (print
scheduler, X server, D-Bus session) and the client's private directories;
it reads DRAVELO_BIN when imported, so `setup()` sets that first."""

import argparse
import json
import os
import signal
import statistics
import subprocess
import sys
import threading
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
CLOCK_TICKS = os.sysconf("SC_CLK_TCK")
LOG_PREFIX = "dravelo: "


def setup(description):
    """Parses the command line (one optional build directory), checks that
    the client and the reference program are built, exports DRAVELO_BIN and
    makes the harness importable. Returns (client path, baseline path)."""
    parser = argparse.ArgumentParser(description=description)
    parser.add_argument("build_dir", nargs="?", default=str(ROOT / "build"),
                        help="a build tree with bin/dravelo and bench/qt_baseline (default: build)")
    args = parser.parse_args()
    build = Path(args.build_dir).resolve()
    client = build / "bin" / "dravelo"
    baseline = build / "bench" / "qt_baseline"
    for program in (client, baseline):
        if not os.access(program, os.X_OK):
            sys.exit(f"{program} not found: build the targets dravelo and qt_baseline in {build}")
    os.environ["DRAVELO_BIN"] = str(client)
    sys.path.insert(0, str(ROOT / "tests" / "system"))
    return client, baseline


class StderrLines:
    """Reads a process's stderr on a thread of its own and keeps each line
    with the monotonic time at which it arrived."""

    def __init__(self, stream):
        self._stream = stream
        self._lines = []
        self._lock = threading.Lock()
        self._arrived = threading.Condition(self._lock)
        self.thread = threading.Thread(target=self._read, daemon=True)
        self.thread.start()

    def _read(self):
        for line in self._stream:
            now = time.monotonic()
            line = line.rstrip("\n")
            if line.startswith(LOG_PREFIX):
                line = line[len(LOG_PREFIX):]
            with self._lock:
                self._lines.append((now, line))
                self._arrived.notify_all()

    def snapshot(self):
        with self._lock:
            return list(self._lines)

    def count(self):
        with self._lock:
            return len(self._lines)

    def wait_for(self, predicate, timeout, start=0, what="a log line"):
        """Waits for the first line at index >= start for which
        predicate(text) holds; returns (index, arrival time, text)."""
        deadline = time.monotonic() + timeout
        with self._lock:
            index = start
            while True:
                while index < len(self._lines):
                    when, text = self._lines[index]
                    if predicate(text):
                        return index, when, text
                    index += 1
                remaining = deadline - time.monotonic()
                if remaining <= 0:
                    raise TimeoutError(f"timed out after {timeout} s waiting for {what}")
                self._arrived.wait(remaining)

    def wait_for_line(self, text, timeout, start=0):
        return self.wait_for(lambda line: line == text, timeout, start, what=repr(text))


class TimedProcess:
    """A program started with its stderr lines timestamped; `started` is the
    monotonic time just before the process was created."""

    def __init__(self, command, env):
        self.started = time.monotonic()
        self.process = subprocess.Popen(command, env=env, stdin=subprocess.DEVNULL,
                                        stdout=subprocess.DEVNULL, stderr=subprocess.PIPE,
                                        text=True, errors="replace")
        self.lines = StderrLines(self.process.stderr)

    @property
    def pid(self):
        return self.process.pid

    def stop(self, timeout=15):
        """SIGTERM, then SIGKILL if it does not end in time."""
        if self.process.poll() is None:
            self.process.send_signal(signal.SIGTERM)
            try:
                self.process.wait(timeout)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()
        self.lines.thread.join(5)
        self.process.stderr.close()
        return self.process.returncode


def timed_client_class():
    """harness.Client whose start() runs the client as a TimedProcess; the
    harness's directories, settings and clean-up (unmount, removal) stay."""
    import harness

    class TimedClient(harness.Client):
        def start(self):
            self.timed = TimedProcess([harness.DRAVELO_BIN], self.env)
            self.process = self.timed.process
            self._reader = self.timed.lines.thread
            return self

        def log(self):
            return [text for _, text in self.timed.lines.snapshot()]

        def __exit__(self, *exc):
            if self.process and self.process.poll() is None:
                self.timed.stop()
            super().__exit__(*exc)

    return TimedClient


def private_environment(root, base=None):
    """HOME, XDG config and runtime folders of its own under root, the way
    harness.Client gives them to the client; for the reference program."""
    env = dict(base or os.environ)
    for name, sub in (("HOME", "home"), ("XDG_CONFIG_HOME", "config"),
                      ("XDG_RUNTIME_DIR", "runtime")):
        folder = Path(root) / sub
        folder.mkdir(mode=0o700, parents=True, exist_ok=True)
        env[name] = str(folder)
    env.setdefault("QT_QPA_PLATFORM", "offscreen")
    return env


def start_baseline(program, root, env):
    """Starts the reference program with private folders under root."""
    return TimedProcess([str(program)], private_environment(root, env))


def status_kib(pid, field):
    """A "kB" field of /proc/PID/status (VmRSS, VmHWM, ...), in KiB."""
    with open(f"/proc/{pid}/status") as status:
        for line in status:
            if line.startswith(field + ":"):
                return int(line.split()[1])
    raise KeyError(field)


def cpu_seconds(pid):
    """User plus system CPU time of a process (all its threads), in seconds."""
    with open(f"/proc/{pid}/stat") as stat:
        fields = stat.read().rsplit(")", 1)[1].split()
    # fields[0] is the state (field 3 of stat); utime and stime are fields 14 and 15.
    return (int(fields[11]) + int(fields[12])) / CLOCK_TICKS


def children(pid, name=None):
    """The pids of a process's direct children, optionally only those whose
    command name is `name`."""
    import harness

    return harness.children_of(pid, name)


def percentile(values, fraction):
    """Nearest-rank percentile of a non-empty list."""
    ordered = sorted(values)
    rank = max(1, -(-len(ordered) * fraction // 1))
    return ordered[int(rank) - 1]


def summary(values):
    """median, min and max."""
    return statistics.median(values), min(values), max(values)


def print_table(title, header, rows, left=1):
    """Prints a title, then the rows under the header: the first `left`
    columns aligned left, the others right."""
    table = [header] + [[str(cell) for cell in row] for row in rows]
    widths = [max(len(row[i]) for row in table) for i in range(len(header))]
    print(title)

    def line(row):
        cells = [cell.ljust(w) if i < left else cell.rjust(w)
                 for i, (cell, w) in enumerate(zip(row, widths))]
        return "  " + "  ".join(cells).rstrip()

    print(line(header))
    print("  " + "  ".join("-" * w for w in widths))
    for row in table[1:]:
        print(line(row))


def load_note():
    with open("/proc/loadavg") as loadavg:
        return "load average at the end: " + " ".join(loadavg.read().split()[:3])


def best_benchmark_seconds(json_path):
    """Reads a Google Benchmark JSON report and returns, per benchmark name,
    the best wall time of its repetitions in seconds. Exits on a benchmark
    that reported an error."""
    scale = {"ns": 1e-9, "us": 1e-6, "ms": 1e-3, "s": 1.0}
    best = {}
    for run in json.load(open(json_path))["benchmarks"]:
        if run.get("error_occurred"):
            sys.exit(f"{run['name']}: {run.get('error_message')}")
        if run["run_type"] != "iteration":
            continue
        name = run["run_name"].split("/")[0]
        seconds = run["real_time"] * scale[run["time_unit"]]
        best[name] = min(best.get(name, seconds), seconds)
    return best
