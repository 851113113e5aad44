"""Peers for the system tests: the built client run as a user runs it, a
private print scheduler with a file sink, a private X server and D-Bus
session. Each test starts what it needs and stops it afterwards."""

import contextlib
import os
import shutil
import signal
import socket
import subprocess
import tempfile
import threading
import time
from pathlib import Path

DRAVELO_BIN = os.environ.get("DRAVELO_BIN", "")
HERE = Path(__file__).resolve().parent


def wait_until(predicate, timeout, interval=0.05, what="condition"):
    """Polls until predicate() is true; raises AssertionError after timeout."""
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        value = predicate()
        if value:
            return value
        time.sleep(interval)
    raise AssertionError(f"timed out after {timeout} s waiting for {what}")


class Cupsd:
    """A private print scheduler listening on a unix socket only, with one
    queue "sink" (the default destination) that writes each job's PDF to
    a file, unrasterised."""

    PPD = """*PPD-Adobe: "4.3"
*FormatVersion: "4.3"
*FileVersion: "1.0"
*LanguageVersion: English
*LanguageEncoding: ISOLatin1
*PCFileName: "SINK.PPD"
*Manufacturer: "Test"
*Product: "(Sink)"
*ModelName: "Sink"
*ShortNickName: "Sink"
*NickName: "PDF file sink"
*PSVersion: "(3010.000) 0"
*LanguageLevel: "3"
*ColorDevice: True
*DefaultColorSpace: RGB
*FileSystem: False
*Throughput: "1"
*cupsVersion: 2.4
*cupsManualCopies: True
*cupsFilter2: "application/vnd.cups-pdf application/pdf 0 -"
*OpenUI *PageSize/Page Size: PickOne
*DefaultPageSize: A4
*PageSize A4/A4: "<</PageSize[595 842]>>setpagedevice"
*CloseUI: *PageSize
*DefaultPageRegion: A4
*DefaultImageableArea: A4
*ImageableArea A4: "0 0 595 842"
*DefaultPaperDimension: A4
*PaperDimension A4: "595 842"
"""

    def __init__(self):
        self.root = Path(tempfile.mkdtemp(prefix="dravelo-cups-"))
        self.socket = self.root / "cups.sock"
        self.sink = self.root / "sink" / "sink.pdf"
        self.process = None

    def __enter__(self):
        self._write_configuration()
        self.process = subprocess.Popen(
            ["/usr/sbin/cupsd", "-f", "-c", str(self.root / "cupsd.conf"),
             "-s", str(self.root / "cups-files.conf")],
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        wait_until(self.socket.exists, 15, what="cupsd's socket")
        env = self.environment()
        subprocess.run(["lpadmin", "-p", "sink", "-E", "-v", f"file://{self.sink}",
                        "-P", str(self.root / "sink.ppd")], env=env, check=True,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        subprocess.run(["lpadmin", "-d", "sink"], env=env, check=True)
        return self

    def __exit__(self, *exc):
        if self.process:
            self.process.terminate()
            try:
                self.process.wait(10)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()
        shutil.rmtree(self.root, ignore_errors=True)

    def environment(self):
        env = dict(os.environ)
        env["CUPS_SERVER"] = str(self.socket)
        return env

    def printed(self):
        """The bytes the sink received so far (empty while nothing came)."""
        try:
            return self.sink.read_bytes()
        except FileNotFoundError:
            return b""

    def wait_for_output(self, timeout=20):
        return wait_until(lambda: self.printed().startswith(b"%PDF") and self.printed().rstrip().endswith(b"%%EOF"),
                          timeout, what="a job at the printer sink")

    def completed_jobs(self):
        """The number of jobs the scheduler has finished."""
        result = subprocess.run(["lpstat", "-W", "completed", "-o"], env=self.environment(),
                                capture_output=True, text=True)
        return len([line for line in result.stdout.splitlines() if line.strip()])

    def wait_for_completed_jobs(self, count, timeout=20):
        return wait_until(lambda: self.completed_jobs() >= count, timeout,
                          what=f"{count} finished print jobs")

    def clear_output(self):
        self.sink.unlink(missing_ok=True)

    def _write_configuration(self):
        for name in ("spool", "spool/tmp", "cache", "state", "log", "sink", "ppd"):
            (self.root / name).mkdir(parents=True, exist_ok=True)
        os.chmod(self.root / "sink", 0o777)
        os.chmod(self.root / "spool", 0o777)
        os.chmod(self.root / "spool/tmp", 0o1777)
        (self.root / "sink.ppd").write_text(self.PPD)
        (self.root / "cupsd.conf").write_text(f"""Listen {self.socket}
LogLevel warn
WebInterface No
Browsing No
DefaultAuthType None
<Location />
  Order allow,deny
  Allow all
</Location>
<Policy default>
  <Limit All>
    Order deny,allow
  </Limit>
</Policy>
""")
        (self.root / "cups-files.conf").write_text(f"""ServerRoot {self.root}
RequestRoot {self.root}/spool
TempDir {self.root}/spool/tmp
CacheDir {self.root}/cache
StateDir {self.root}/state
ErrorLog {self.root}/log/error_log
AccessLog {self.root}/log/access_log
PageLog {self.root}/log/page_log
FileDevice Yes
Sandboxing relaxed
""")


class Client:
    """The built client with a home, settings and runtime folder of its own."""

    def __init__(self, env=None, settings=None):
        self.root = Path(tempfile.mkdtemp(prefix="dravelo-client-"))
        self.home = self.root / "home"
        self.config = self.root / "config"
        self.runtime = self.root / "runtime"
        for folder in (self.home, self.config, self.runtime):
            folder.mkdir(mode=0o700)
        self.settings_file = self.config / "dravelo" / "dravelo.conf"
        self.env = dict(env or os.environ)
        self.env.update({"HOME": str(self.home), "XDG_CONFIG_HOME": str(self.config),
                         "XDG_RUNTIME_DIR": str(self.runtime)})
        self.env.setdefault("QT_QPA_PLATFORM", "offscreen")
        if settings:
            self.write_settings(settings)
        self.process = None
        self.others = []
        self.lines = []
        self._lines_lock = threading.Lock()

    @property
    def staging(self):
        return self.home / ".dravelo"

    def write_settings(self, settings):
        """Rewrites the settings file as a user editing it would."""
        self.settings_file.parent.mkdir(parents=True, exist_ok=True)
        body = "".join(f"{key}={value}\n" for key, value in settings.items())
        tmp = self.settings_file.with_suffix(".tmp")
        tmp.write_text("[General]\n" + body)
        tmp.replace(self.settings_file)

    def start(self):
        with self._lines_lock:
            self.lines = []
        if self.process:
            self.process.stderr.close()
        self.process = subprocess.Popen([DRAVELO_BIN], env=self.env, stdout=subprocess.DEVNULL,
                                        stderr=subprocess.PIPE, text=True)
        self._reader = threading.Thread(target=self._read_log, daemon=True)
        self._reader.start()
        return self

    def _read_log(self):
        for line in self.process.stderr:
            line = line.rstrip("\n")
            if line.startswith("dravelo: "):
                line = line[len("dravelo: "):]
            with self._lines_lock:
                self.lines.append(line)

    def start_another(self):
        """Starts a second client process as the same user in the same home."""
        other = subprocess.Popen([DRAVELO_BIN], env=self.env, stdout=subprocess.DEVNULL,
                                 stderr=subprocess.DEVNULL)
        self.others.append(other)
        return other

    def log(self):
        with self._lines_lock:
            return list(self.lines)

    def wait_for_log(self, line, timeout=10):
        return wait_until(lambda: line in self.log(), timeout, what=f"log line {line!r}")

    def stop(self, sig=signal.SIGTERM, timeout=15):
        if self.process and self.process.poll() is None:
            self.process.send_signal(sig)
            try:
                self.process.wait(timeout)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()
                raise AssertionError("the client did not end after the signal")
        self._reader.join(5)
        return self.process.returncode

    def __enter__(self):
        return self.start()

    def __exit__(self, *exc):
        for process in [self.process, *self.others]:
            if process and process.poll() is None:
                process.kill()
                process.wait()
        if self.process:
            self.process.stderr.close()
        subprocess.run(["fusermount3", "-u", "-z", str(self.home / "DraveloDrive")],
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        shutil.rmtree(self.root, ignore_errors=True)


def mount_of(path):
    """The file system type mounted exactly at path, or None."""
    target = os.path.realpath(path)
    with open("/proc/self/mountinfo") as mounts:
        for line in mounts:
            fields = line.split()
            separator = fields.index("-")
            if fields[4] == target:
                return fields[separator + 1]
    return None


def write_pdf(path, text="Dravelo test page"):
    """Writes a small valid one-page PDF."""
    content = f"BT /F1 24 Tf 72 720 Td ({text}) Tj ET".encode()
    objects = [
        b"<< /Type /Catalog /Pages 2 0 R >>",
        b"<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
        b"<< /Type /Page /Parent 2 0 R /MediaBox [0 0 595 842] /Contents 4 0 R "
        b"/Resources << /Font << /F1 5 0 R >> >> >>",
        b"<< /Length %d >>\nstream\n" % len(content) + content + b"\nendstream",
        b"<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>",
    ]
    Path(path).write_bytes(serialize_pdf(objects))


def serialize_pdf(objects):
    """Returns a PDF file made of the given object bodies, numbered from 1
    (the first is the catalog), with its cross-reference table."""
    out = bytearray(b"%PDF-1.4\n")
    offsets = []
    for number, body in enumerate(objects, start=1):
        offsets.append(len(out))
        out += b"%d 0 obj\n" % number + body + b"\nendobj\n"
    xref = len(out)
    out += b"xref\n0 %d\n0000000000 65535 f \n" % (len(objects) + 1)
    for offset in offsets:
        out += b"%010d 00000 n \n" % offset
    out += b"trailer\n<< /Size %d /Root 1 0 R >>\nstartxref\n%d\n%%%%EOF\n" % (len(objects) + 1, xref)
    return bytes(out)


def write_job(folder, name, text="Dravelo test page"):
    """Drops a job file pair the way a writer must: print data first."""
    folder = Path(folder)
    write_pdf(folder / f"{name}.ppf", text)
    (folder / f"{name}.pcf").write_text("copies=1\n")


class SessionBus:
    """A private D-Bus session bus on which nothing can be activated, with,
    on request, an unlocked keyring daemon owning the Secret Service."""

    CONFIG = """<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <keep_umask/>
  <listen>unix:tmpdir=/tmp</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
"""

    def __init__(self, keyring=False):
        self.root = Path(tempfile.mkdtemp(prefix="dravelo-bus-"))
        self.address = f"unix:path={self.root}/bus"
        self.keyring = keyring
        self.processes = []
        self.env = dict(os.environ)
        home = self.root / "home"
        (home / ".local" / "share").mkdir(parents=True)
        (self.root / "run").mkdir(mode=0o700)
        self.env.update({"DBUS_SESSION_BUS_ADDRESS": self.address, "HOME": str(home),
                         "XDG_DATA_HOME": str(home / ".local" / "share"),
                         "XDG_RUNTIME_DIR": str(self.root / "run")})
        for name in ("GNOME_KEYRING_CONTROL", "SSH_AUTH_SOCK"):
            self.env.pop(name, None)

    def __enter__(self):
        (self.root / "bus.conf").write_text(self.CONFIG)
        self._spawn(["dbus-daemon", "--nofork", f"--config-file={self.root}/bus.conf",
                     f"--address={self.address}"])
        wait_until(lambda: self.has_owner("org.freedesktop.DBus"), 10, what="the session bus")
        if self.keyring:
            daemon = self._spawn(["gnome-keyring-daemon", "--foreground", "--unlock",
                                  "--components=secrets"], stdin=subprocess.PIPE)
            daemon.stdin.write(b"dravelo-test-login")
            daemon.stdin.close()
            wait_until(lambda: self.has_owner("org.freedesktop.secrets"), 15,
                       what="the keyring daemon")
        return self

    def __exit__(self, *exc):
        for process in reversed(self.processes):
            process.terminate()
            try:
                process.wait(5)
            except subprocess.TimeoutExpired:
                process.kill()
                process.wait()
        shutil.rmtree(self.root, ignore_errors=True)

    def _spawn(self, command, stdin=subprocess.DEVNULL):
        process = subprocess.Popen(command, env=self.env, stdin=stdin,
                                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.processes.append(process)
        return process

    def has_owner(self, name):
        result = subprocess.run(
            ["dbus-send", "--session", "--print-reply", "--dest=org.freedesktop.DBus",
             "/org/freedesktop/DBus", "org.freedesktop.DBus.NameHasOwner", f"string:{name}"],
            env=self.env, capture_output=True, text=True)
        return "boolean true" in result.stdout

    def client_environment(self):
        """What a client on this bus needs, on top of its own HOME."""
        return {"DBUS_SESSION_BUS_ADDRESS": self.address}

    def secret_tool(self, *arguments, secret=None):
        return subprocess.run(["secret-tool", *arguments], env=self.env, input=secret,
                              capture_output=True, text=True)


class Xvfb:
    """A private X server on a free display number."""

    def __init__(self, size="1280x800x24"):
        self.size = size
        self.process = None
        self.display = None

    def __enter__(self):
        read_end, write_end = os.pipe()
        self.process = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", self.size, "-nolisten", "tcp"],
            pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_end)
        with os.fdopen(read_end) as announced:
            number = announced.readline().strip()
        if not number:
            raise AssertionError("Xvfb did not start")
        self.display = f":{number}"
        return self

    def __exit__(self, *exc):
        self.process.terminate()
        self.process.wait(10)

    def client_environment(self):
        return {"DISPLAY": self.display, "QT_QPA_PLATFORM": "xcb"}

    def environment(self):
        env = dict(os.environ)
        env["DISPLAY"] = self.display
        return env

    def xdotool(self, *arguments):
        """Runs xdotool on this display, as a user's keyboard and mouse."""
        return subprocess.run(["xdotool", *arguments], env=self.environment(),
                              capture_output=True, text=True, timeout=30)

    def visible_windows(self, title):
        """The ids of the shown windows with exactly this title."""
        found = self.xdotool("search", "--onlyvisible", "--name", f"^{title}$")
        return found.stdout.split()


# Openbox settings under which a new window does not get the focus: what the
# client then does with the focus is its own doing.
NO_FOCUS_FOR_NEW_WINDOWS = """<?xml version="1.0"?>
<openbox_config xmlns="http://openbox.org/3.4/rc">
  <focus><focusNew>no</focusNew><followMouse>no</followMouse></focus>
</openbox_config>
"""


class Desktop:
    """Xvfb with a window manager, a private print scheduler, and xdotool.
    With focus_new off, the window manager gives new windows no focus."""

    def __init__(self, size=(1280, 800), focus_new=True):
        self.size = size
        self.focus_new = focus_new
        self.folder = None

    def __enter__(self):
        self.xvfb = Xvfb(size=f"{self.size[0]}x{self.size[1]}x24").__enter__()
        self.cups = Cupsd().__enter__()
        command = ["openbox", "--sm-disable"]
        if not self.focus_new:
            self.folder = Path(tempfile.mkdtemp(prefix="dravelo-wm-"))
            (self.folder / "rc.xml").write_text(NO_FOCUS_FOR_NEW_WINDOWS)
            command += ["--config-file", str(self.folder / "rc.xml")]
        self.wm = subprocess.Popen(command, env=self.xvfb.environment(),
                                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        wait_until(self._manages_windows, 10, interval=0.1, what="the window manager")
        return self

    def __exit__(self, *exc):
        self.wm.terminate()
        self.wm.wait(10)
        self.cups.__exit__(*exc)
        self.xvfb.__exit__(*exc)
        if self.folder:
            shutil.rmtree(self.folder, ignore_errors=True)

    def _manages_windows(self):
        return "_NET_ACTIVE_WINDOW" in self.property("root", "_NET_SUPPORTED")

    def client_environment(self):
        env = self.cups.environment()
        env.update(self.xvfb.client_environment())
        return env

    def xdotool(self, *arguments):
        return subprocess.run(["xdotool", *arguments], env=self.xvfb.environment(),
                              capture_output=True, text=True, timeout=30).stdout

    def property(self, window_id, name):
        """The value xprop shows for a window's property ("root" for the root window)."""
        target = ["-root"] if window_id == "root" else ["-id", window_id]
        return subprocess.run(["xprop", *target, name], env=self.xvfb.environment(),
                              capture_output=True, text=True, timeout=30).stdout

    def window_named(self, name, timeout=20):
        def find():
            found = self.xdotool("search", "--onlyvisible", "--name", f"^{name}$").split()
            return found[-1] if found else None
        return wait_until(find, timeout, interval=0.2, what=f"a window named {name!r}")

    def active_window(self):
        return self.xdotool("getactivewindow").strip()

    def demands_attention(self, window_id):
        return "_NET_WM_STATE_DEMANDS_ATTENTION" in self.property(window_id, "_NET_WM_STATE")

    def gone(self, window_id):
        return window_id not in self.xdotool("search", "--onlyvisible", "--name", ".").split()

    def type_into(self, window_id, text, *keys):
        self.xdotool("windowactivate", "--sync", window_id)
        if text:
            self.xdotool("type", "--delay", "20", text)
        if keys:
            self.xdotool("key", *keys)

    def geometry(self, window_id):
        values = {}
        for line in self.xdotool("getwindowgeometry", "--shell", window_id).splitlines():
            key, _, value = line.partition("=")
            values[key] = int(value)
        return values["WIDTH"], values["HEIGHT"]


def resident_kib(pid):
    """VmRSS of a process in KiB, or None once it is gone."""
    try:
        with open(f"/proc/{pid}/status") as status:
            for line in status:
                if line.startswith("VmRSS:"):
                    return int(line.split()[1])
    except (FileNotFoundError, ProcessLookupError):
        return None
    return None


def children_of(parent, name=None):
    """The ids of the processes whose parent is `parent`, optionally only
    those whose command name is `name` (as the kernel keeps it: 15
    characters at most)."""
    found = []
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            with open(f"/proc/{entry}/stat") as stat:
                fields = stat.read()
        except OSError:
            continue
        head, tail = fields.rsplit(")", 1)
        command = head.split("(", 1)[1]
        if int(tail.split()[1]) == parent and (name is None or command == name[:15]):
            found.append(int(entry))
    return found


class RendererWatch:
    """Samples, on a thread of its own, the resident memory of a client and
    of its PDF renderers while it runs; keeps every renderer seen."""

    def __init__(self, client_pid, interval=0.02):
        self.client_pid = client_pid
        self.interval = interval
        self.renderers = set()
        self.client_peak_kib = 0
        self.renderer_peak_kib = 0
        self._stop = threading.Event()
        self._thread = threading.Thread(target=self._sample, daemon=True)

    def __enter__(self):
        self._thread.start()
        return self

    def __exit__(self, *exc):
        self._stop.set()
        self._thread.join(5)

    def _sample(self):
        while not self._stop.is_set():
            self.client_peak_kib = max(self.client_peak_kib,
                                       resident_kib(self.client_pid) or 0)
            for pid in children_of(self.client_pid, "dravelo-renderer"):
                self.renderers.add(pid)
                self.renderer_peak_kib = max(self.renderer_peak_kib, resident_kib(pid) or 0)
            time.sleep(self.interval)

    def running_renderers(self):
        """The renderers seen that still run, wherever they were moved."""
        return [pid for pid in self.renderers if resident_kib(pid) is not None]
