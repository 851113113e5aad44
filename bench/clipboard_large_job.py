#!/usr/bin/env python3
"""A large clipboard job: time and peak memory of the client taking a job
message that carries an 80 MB print data file (a 107 MB message), side by side with references
on the same data in the same run.

The client runs on the xcb platform under a private Xvfb and D-Bus session
with the drop volume off and the default job action: no document type
handles the staged files yet, so they stay in ~/.dravelo and the client
logs "Failed to open document. ...". xclip owns the clipboard with the
message (signature, "big-N.ppf", "|", Base64 of a small configuration plus
one extra character, "|", Base64 of the 80 MB payload).

The client starts with enableClipboard off; its idle VmRSS is read, the
message goes on the clipboard and the references read it; then the setting
is turned on, and the client's next poll takes the message. Measured:

  time   from the arrival of the log line "Pasteboard Check - Change
         detected." to both staged files being complete (big-N.ppf and
         big-N.pcf with their sizes, polled every 2 ms; each is renamed into place
         whole), and to the line "Failed to open document." after dispatch;
         the log lines in between show where the time goes;
  memory the client's VmHWM after the first job minus its VmRSS before the
         message, against the message size.

References: `base64 -d` of the same Base64 text to a file, and `xclip -o`
reading the same message from the clipboard to /dev/null (time, and its
peak memory from /usr/bin/time -v). The client takes 5 jobs in a row
(each with the channel on, after the first); the references run 5 times.

Usage: bench/clipboard_large_job.py [BUILD_DIR]   (default: build)"""

import base64
import contextlib
import os
import statistics
import subprocess
import tempfile
import time
from pathlib import Path

import benchlib

benchlib.setup(__doc__.splitlines()[0])

import harness  # noqa: E402  (importable once setup() ran)

TimedClient = benchlib.timed_client_class()

PAYLOAD_BYTES = 80_000_000
JOBS = 5
REFERENCE_RUNS = 5
SIGNATURE = "\x05\x09\x06\x08\x07"
CONFIGURATION = b"copies=1\nsides=one-sided\n"
SETTINGS_OFF = {"enableDriveMap": "no", "enableClipboard": "no"}
SETTINGS_ON = {"enableDriveMap": "no"}
# Log lines of one clipboard job, in the order the client writes them.
STEPS = ["Pasteboard Check - Change detected.", "Best type:", "Available types:",
         "Identified attempted send from server."]


def payload():
    """PDF-like: a PDF header, random bytes and an end-of-file marker."""
    head, tail = b"%PDF-1.4\n", b"\n%%EOF\n"
    return head + os.urandom(PAYLOAD_BYTES - len(head) - len(tail)) + tail


def write_message(path, name, encoded_data):
    header = SIGNATURE + name + "|" + base64.b64encode(CONFIGURATION).decode() + "x|"
    path.write_bytes(header.encode() + encoded_data)
    return path.stat().st_size


def put_on_clipboard(stack, path, env):
    """Starts xclip owning the clipboard with the file's contents, and
    waits until it does."""
    with open(path, "rb") as source:
        owner = subprocess.Popen(["xclip", "-quiet", "-selection", "clipboard", "-i"],
                                 env=env, stdin=source, stdout=subprocess.DEVNULL,
                                 stderr=subprocess.DEVNULL)
    stack.callback(lambda: owner.poll() is None and (owner.kill(), owner.wait()))
    harness.wait_until(lambda: clipboard_targets(env) or owner.poll() is not None, 30,
                       interval=0.1, what="xclip to own the clipboard")
    return owner


def clipboard_targets(env):
    targets = subprocess.run(["xclip", "-o", "-selection", "clipboard", "-t", "TARGETS"],
                             env=env, capture_output=True, timeout=10)
    return b"UTF8_STRING" in targets.stdout


def time_base64(encoded, out):
    times = []
    for _ in range(REFERENCE_RUNS):
        start = time.monotonic()
        with open(out, "wb") as sink:
            subprocess.run(["base64", "-d", str(encoded)], stdout=sink, check=True)
        times.append(time.monotonic() - start)
    return times


def time_xclip_out(env, report, expected_size):
    """(seconds, peak KiB) of each `xclip -o` of the clipboard to /dev/null,
    after one uncounted read that checks the size."""
    check = subprocess.run(["xclip", "-o", "-selection", "clipboard"], env=env,
                           capture_output=True, check=True, timeout=120)
    if len(check.stdout) != expected_size:
        raise RuntimeError(f"xclip -o read {len(check.stdout)} bytes, expected {expected_size}")
    del check
    runs = []
    for _ in range(REFERENCE_RUNS):
        start = time.monotonic()
        subprocess.run(["/usr/bin/time", "-v", "-o", str(report), "xclip", "-o", "-selection",
                        "clipboard"], env=env, check=True, timeout=120, stdout=subprocess.DEVNULL)
        runs.append((time.monotonic() - start, peak_kib(report)))
    return runs


def peak_kib(report):
    for line in Path(report).read_text().splitlines():
        if "Maximum resident set size" in line:
            return int(line.rsplit(":", 1)[1])
    raise RuntimeError(f"no peak memory in {report}")


def staged_complete(client, name, data_size):
    try:
        return ((client.staging / name).stat().st_size == data_size
                and (client.staging / name).with_suffix(".pcf").stat().st_size
                == len(CONFIGURATION))
    except FileNotFoundError:
        return False


class Job:
    """One clipboard job as the client handled it; times in seconds after
    the arrival of the "Change detected" line."""

    def __init__(self, client, name, data_size, owner, start):
        lines = client.timed.lines
        index, detected, _ = lines.wait_for_line(STEPS[0], 15, start)
        self.staged = self.owner_gone = None
        deadline = time.monotonic() + 60
        while time.monotonic() < deadline and (self.staged is None or self.owner_gone is None):
            now = time.monotonic()
            if self.staged is None and staged_complete(client, name, data_size):
                self.staged = now - detected
            if self.owner_gone is None and owner.poll() is not None:
                self.owner_gone = now - detected
            time.sleep(0.002)
        self.log = [text for _, text in lines.snapshot()[start:]]
        if self.staged is None:
            raise RuntimeError("the staged files were not complete within 60 s:\n"
                               + "\n".join(self.log))
        _, dispatched, _ = lines.wait_for(lambda text: text.startswith("Failed to open document.")
                                          or text.startswith("Opened document."), 30, index,
                                          what="the end of dispatch")
        self.dispatched = dispatched - detected
        self.steps = {}
        for when, text in lines.snapshot()[index:]:
            step = next((step for step in STEPS if text.startswith(step)), None)
            if step and step not in self.steps:
                self.steps[step] = when - detected

    def timeline(self):
        marks = [(step.rstrip(":."), seconds) for step, seconds in self.steps.items()]
        marks += [("files staged", self.staged), ("dispatch done", self.dispatched),
                  ("xclip lost the clipboard", self.owner_gone)]
        return ", ".join(f"{label} {seconds * 1000:.0f}" for label, seconds in marks
                         if seconds is not None)


def main():
    with contextlib.ExitStack() as stack:
        work = Path(stack.enter_context(tempfile.TemporaryDirectory(prefix="dravelo-bench-")))
        x = stack.enter_context(harness.Xvfb())
        bus = stack.enter_context(harness.SessionBus())
        x_env = x.environment()
        env = dict(os.environ)
        env.update(x.client_environment())
        env.update(bus.client_environment())

        data = payload()
        encoded = base64.b64encode(data)
        (work / "payload.b64").write_bytes(encoded)
        base64_times = time_base64(work / "payload.b64", work / "payload.out")
        os.unlink(work / "payload.out")

        client = stack.enter_context(TimedClient(env=env, settings=SETTINGS_OFF))
        client.timed.lines.wait_for_line("~/.dravelo Created.", 30)
        time.sleep(4)
        idle_rss = benchlib.status_kib(client.process.pid, "VmRSS")

        jobs, peaks = [], []
        for number in range(1, JOBS + 1):
            name = f"big-{number}.ppf"
            message_size = write_message(work / "message", name, encoded)
            owner = put_on_clipboard(stack, work / "message", x_env)
            start = client.timed.lines.count()
            if number == 1:
                # The references read the message while the client's channel
                # is off; turning it on lets the next poll take it.
                xclip_runs = time_xclip_out(x_env, work / "time.txt", message_size)
                start = client.timed.lines.count()
                client.write_settings(SETTINGS_ON)
            jobs.append(Job(client, name, len(data), owner, start))
            peaks.append(benchlib.status_kib(client.process.pid, "VmHWM"))
            # The staged pair stays (no document type handles it); removing
            # it keeps the next job's files apart and memory comparable.
            for leftover in client.staging.glob("big-*"):
                leftover.unlink()
        time.sleep(2)
        settled = benchlib.status_kib(client.process.pid, "VmRSS")
        client.stop()

    mb = 1e6
    growth = (peaks[0] - idle_rss) * 1024
    staged_ms = [job.staged * 1000 for job in jobs]
    dispatched_ms = [job.dispatched * 1000 for job in jobs]
    xclip_peak = max(kib for _, kib in xclip_runs) * 1024

    def timing(values):
        return [f"{statistics.median(values):.0f}", f"{min(values):.0f}", f"{max(values):.0f}"]

    rows = [["dravelo: change detected -> both files staged", *timing(staged_ms),
             f"{growth / mb:.0f}", f"{growth / message_size:.2f}"],
            ["dravelo: change detected -> dispatch done", *timing(dispatched_ms), "", ""],
            ["base64 -d FILE > FILE (the payload field)",
             *timing([seconds * 1000 for seconds in base64_times]), "", ""],
            ["xclip -o > /dev/null (the whole message)",
             *timing([seconds * 1000 for seconds, _ in xclip_runs]),
             f"{xclip_peak / mb:.0f}", f"{xclip_peak / message_size:.2f}"]]
    benchlib.print_table(
        f"Clipboard job with a {len(data) / mb:.0f} MB payload, message "
        f"{message_size / mb:.1f} MB; dravelo {JOBS} jobs, references {REFERENCE_RUNS} runs "
        f"(ms: median, min, max)",
        ["what", "median", "min", "max", "peak memory MB", "x message"], rows)
    xclip_median = statistics.median(seconds for seconds, _ in xclip_runs) * 1000
    print(f"  staged in {statistics.median(staged_ms) / xclip_median:.2f}x the time xclip -o "
          f"takes to read the message (goal: at most 1.3x); peak growth "
          f"{growth / message_size:.2f}x the message (goal: at most 1.5x)")
    print(f"  dravelo VmRSS idle {idle_rss / 1024:.1f} MiB, VmHWM after job 1 "
          f"{peaks[0] / 1024:.1f} MiB, after job {JOBS} {peaks[-1] / 1024:.1f} MiB, VmRSS 2 s "
          f"after the last {settled / 1024:.1f} MiB; dravelo's peak memory is VmHWM after job 1 "
          f"- idle VmRSS, xclip's is its maximum RSS")
    for number, job in enumerate(jobs, start=1):
        print(f"  job {number}, ms after the change was detected: {job.timeline()}")
    unexpected = sorted({text for job in jobs for text in job.log
                         if text.startswith(("Clipboard", "Unable", "Cannot write"))})
    if unexpected:
        print("  client reported: " + " | ".join(unexpected))
    print("  " + benchlib.load_note())


if __name__ == "__main__":
    main()
