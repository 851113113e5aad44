#!/usr/bin/python3
"""A 200 MB job from the print server: throughput, memory and UI-thread
lateness of the client's server session, side by side with `curl -o` on the
same file from the same server in the same run.

The test print server (tests/system/print_server.py) serves a 200 MB print
data file from disk on loopback. bench/server_download_probe runs the
client's session (its own thread, Qt's network stack) with a 10 ms timer on
its UI thread. For each run the server announces a job; measured:

  time     from the job package's push to the server receiving the job's
           deletion, which the session sends once both files are written;
  memory   the probe's VmHWM after the jobs minus its VmRSS before the first;
  late     the worst lateness of the UI thread's timer during each job.

Reference: `curl -s -o FILE` of the same URL with the same header, timed
the same number of times, alternating with the client's runs.

Usage: bench/server_download.py [BUILD_DIR]   (default: build)"""

import os
import statistics
import subprocess
import sys
import tempfile
import time
from pathlib import Path

import benchlib

benchlib.setup(__doc__.splitlines()[0])

from print_server import PrintServer  # noqa: E402  (importable once setup() ran)

PAYLOAD_BYTES = 200 * 1024 * 1024
RUNS = 5


def status_kb(pid, field):
    with open(f"/proc/{pid}/status") as status:
        for line in status:
            if line.startswith(field + ":"):
                return int(line.split()[1])
    raise AssertionError(f"{field} not found for {pid}")


def read_line(process, prefix, timeout=120):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        line = process.stdout.readline()
        if not line:
            raise AssertionError(f"the probe ended: {process.stderr.read()}")
        if line.startswith(prefix):
            return line.strip()
    raise AssertionError(f"no line {prefix!r} from the probe")


def main():
    build = Path(os.environ["DRAVELO_BIN"]).parent.parent
    probe_path = build / "bench" / "server_download_probe"
    if not os.access(probe_path, os.X_OK):
        sys.exit(f"{probe_path} not found: build the target server_download_probe")
    with tempfile.TemporaryDirectory(prefix="dravelo-bench-") as root, PrintServer() as server:
        root = Path(root)
        payload = root / "payload.ppf"
        with open(payload, "wb") as out:
            out.write(os.urandom(1024 * 1024) * (PAYLOAD_BYTES // (1024 * 1024)))
        server.files = {"big.ppf": payload, "big.pcf": b"copies=1\n"}
        home = root / "home"
        home.mkdir()
        probe = subprocess.Popen([str(probe_path), server.address, str(home), str(root / "s.conf")],
                                 stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
        try:
            read_line(probe, "connected")
            rss_before = status_kb(probe.pid, "VmRSS")
            client_times, curl_times, lateness = [], [], []
            url = f"http://{server.address}/SessionStorage/api/printjob/file/big.ppf/eoq"
            for run in range(RUNS):
                deletions = len(server.requests_for("DELETE"))
                started = time.monotonic()
                server.push_job(str(run), "big.ppf", "big.pcf")
                server.wait_for(lambda: len(server.requests_for("DELETE")) > deletions, 120,
                                what="the deletion")
                client_times.append(time.monotonic() - started)
                lateness.append(int(read_line(probe, "job").split()[-1]))
                assert (home / "big.ppf").stat().st_size == PAYLOAD_BYTES
                (home / "big.ppf").unlink()
                (home / "big.pcf").unlink()

                started = time.monotonic()
                subprocess.run(["curl", "-s", "-f", "-o", str(root / "curl.ppf"),
                                "-H", f"Authorization: {server.expected}", url], check=True)
                curl_times.append(time.monotonic() - started)
                (root / "curl.ppf").unlink()
            hwm = status_kb(probe.pid, "VmHWM")
        finally:
            probe.terminate()
            probe.wait(10)

    megabytes = PAYLOAD_BYTES / 1e6
    client = statistics.median(client_times)
    curl = statistics.median(curl_times)
    print(f"{RUNS} runs of a {megabytes:.0f} MB job over loopback (medians)")
    print(f"{'':24}{'time s':>10}{'MB/s':>10}")
    print(f"{'client session':24}{client:>10.2f}{megabytes / client:>10.0f}")
    print(f"{'curl -o':24}{curl:>10.2f}{megabytes / curl:>10.0f}")
    print(f"throughput ratio client/curl: {curl / client:.2f} (target >= 0.8)")
    print(f"client memory growth: {(hwm - rss_before) / 1024:.1f} MB "
          f"(VmHWM {hwm / 1024:.1f} MB, VmRSS before {rss_before / 1024:.1f} MB; target < 64 MB)")
    print(f"UI thread timer lateness per job, ms: {lateness} (target <= 50)")


if __name__ == "__main__":
    main()
