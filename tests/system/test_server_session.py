import json
import os
import signal
import time
import unittest

import dbus

from harness import HERE, Client, Cupsd, SessionBus, Xvfb, wait_until, write_job, write_pdf
from print_server import PrintServer

SERVICE = "Dravelo Client Credentials"
PYTHON = "/usr/bin/python3"
RECORDER = HERE.parent / "integration" / "notifications" / "notification_recorder.py"
TRAY_WATCHER = HERE / "tray_watcher.py"
ITEM = "org.kde.StatusNotifierItem"
CONNECTION_ERROR = "Connection Error - Please check your settings"


class Desktop:
    """What a desktop session gives the client: an X server, a session bus
    with an unlocked keyring, a notification service that records what it is
    asked to show, and a system tray whose menu the test can use."""

    def __enter__(self):
        self.bus = SessionBus(keyring=True).__enter__()
        self.xvfb = Xvfb().__enter__()
        self.record = self.bus.root / "notifications.jsonl"
        recorder_ready = self.bus.root / "recorder.ready"
        tray_ready = self.bus.root / "tray.ready"
        self.bus._spawn([PYTHON, str(RECORDER), "--record", str(self.record),
                         "--ready", str(recorder_ready)])
        self.bus._spawn([PYTHON, str(TRAY_WATCHER), str(tray_ready)])
        for ready in (recorder_ready, tray_ready):
            wait_until(ready.exists, 15, what=f"{ready.stem} to start")
        self.connection = dbus.bus.BusConnection(self.bus.address)
        return self

    def __exit__(self, *exc):
        self.connection.close()
        self.xvfb.__exit__(*exc)
        self.bus.__exit__(*exc)

    def client_environment(self, base):
        env = dict(base)
        env.update(self.bus.client_environment())
        env.update(self.xvfb.client_environment())
        return env

    def store_credentials(self, account, password):
        stored = self.bus.secret_tool("store", "--label=Dravelo", "service", SERVICE,
                                      "account", account, secret=password)
        assert stored.returncode == 0, stored.stderr

    def notifications(self):
        if not self.record.exists():
            return []
        return [json.loads(line)["body"] for line in self.record.read_text().splitlines()]

    def _tray_item(self):
        watcher = self.connection.get_object("org.kde.StatusNotifierWatcher",
                                             "/StatusNotifierWatcher")
        items = wait_until(lambda: watcher.Get("org.kde.StatusNotifierWatcher",
                                               "RegisteredStatusNotifierItems",
                                               dbus_interface=dbus.PROPERTIES_IFACE),
                           15, what="the tray icon")
        return self.connection.get_object(str(items[-1]), "/StatusNotifierItem")

    def tooltip(self):
        _, _, title, text = self._tray_item().Get(ITEM, "ToolTip",
                                                  dbus_interface=dbus.PROPERTIES_IFACE)
        return f"{title}\n{text}"

    def choose_from_tray_menu(self, label):
        item = self._tray_item()
        path = item.Get(ITEM, "Menu", dbus_interface=dbus.PROPERTIES_IFACE)
        menu = self.connection.get_object(item.bus_name, path)
        _, (_, _, entries) = menu.GetLayout(0, -1, [], dbus_interface="com.canonical.dbusmenu")
        ids = [entry[0] for entry in entries if entry[1].get("label") == label]
        assert ids, f"no tray menu entry {label!r}"
        menu.Event(ids[0], "clicked", dbus.Int32(0, variant_level=1), dbus.UInt32(0),
                   dbus_interface="com.canonical.dbusmenu")


class ServerSession(unittest.TestCase):
    def start(self, desktop, settings, base_env=os.environ):
        client = Client(env=desktop.client_environment(base_env), settings=settings)
        self.addCleanup(client.__exit__)
        client.start()
        client.wait_for_log("~/.dravelo Created.")
        return client

    def test_an_announced_job_is_downloaded_deleted_announced_and_printed(self):
        with Cupsd() as cups, Desktop() as desktop, PrintServer() as server:
            pdf = desktop.bus.root / "job.pdf"
            write_pdf(pdf, "From the print server")
            server.files = {"job1.ppf": pdf.read_bytes(), "job1.pcf": b"copies=1\n"}
            desktop.store_credentials("alice", "s3cret")
            client = self.start(desktop, {"serviceUrl": server.address,
                                          "actionPrintJob": "Print directly to printer"},
                                cups.environment())
            self.assertIn("Not connected to the print server", desktop.tooltip())
            self.assertEqual(server.requests, [], "the client never connects on its own")

            desktop.choose_from_tray_menu("Connect")
            client.wait_for_log("Opened")
            frames = server.wait_for(server.binary_frames, what="the client package")
            package = json.loads(frames[0])
            self.assertEqual(package["type"], 200001)
            self.assertEqual(package["size"], 0)
            self.assertEqual(package["data"]["MachineName"], "")
            self.assertNotIn("127.0.0.1", package["data"]["IPAddress"])
            self.assertIn(b"\n    ", frames[0], "pretty-printed")
            handshake = server.requests_for("GET")[0]
            self.assertEqual(handshake[2]["Authorization"], server.expected)
            wait_until(lambda: f"Connected to the print server at {server.address}"
                       in desktop.tooltip(), 5, what="the tooltip")

            server.push_job("42", "job1.ppf", "job1.pcf")
            server.wait_for(lambda: server.requests_for("DELETE"), what="the deletion")
            downloads = server.requests_for("GET")[1:]
            self.assertEqual([path for _, path, _ in downloads],
                             ["/SessionStorage/api/printjob/file/job1.ppf/eoq",
                              "/SessionStorage/api/printjob/file/job1.pcf/eoq"])
            for (_, _, headers), kind in zip(downloads, ["ppf", "pcf"]):
                self.assertEqual(headers["Authorization"], server.expected)
                self.assertEqual(headers["File_Name"], f"job1.{kind}")
                self.assertEqual(headers["Print_Job_Id"], "42")
                self.assertEqual(headers["Print_Job_Type"], kind)
            _, path, headers = server.requests_for("DELETE")[0]
            self.assertEqual(path, "/SessionStorage/api/PrintJob/42")
            self.assertEqual(headers["Print_Job_Type"], "delete")

            cups.wait_for_completed_jobs(1)
            self.assertTrue(cups.printed().startswith(b"%PDF"))
            wait_until(lambda: "New Print Job Found" in desktop.notifications(), 5,
                       what="the notification")
            self.assertEqual(desktop.notifications()[:2],
                             ["Connected to Server", "New Print Job Found"])
            road = [line for line in client.log()
                    if line in ("Received a Job Package", "Downloading files",
                                "Finished downloading files", "Deleting job from server")]
            self.assertEqual(road, ["Received a Job Package", "Downloading files",
                                    "Finished downloading files", "Deleting job from server"])

            # A name reaching outside the home directory: nothing is fetched.
            server.push_job("43", "../escape.ppf", "escape.pcf")
            client.wait_for_log('Refused a job package: "../escape.ppf" is not a plain file name')
            self.assertEqual(len(server.requests_for("GET")), 3)
            self.assertEqual(len(server.requests_for("DELETE")), 1)
            self.assertEqual(client.stop(), 0)

    def connected(self, desktop, server, settings):
        desktop.store_credentials("alice", "s3cret")
        client = self.start(desktop, {"serviceUrl": server.address, **settings})
        desktop.choose_from_tray_menu("Connect")
        client.wait_for_log("Opened")
        return client

    def test_a_trickling_download_blocks_no_other_intake_and_quit_is_prompt(self):
        with Desktop() as desktop, PrintServer() as server:
            pdf = desktop.bus.root / "job.pdf"
            write_pdf(pdf, "Slowly")
            # A byte every 0.2 s: never idle long enough for the stall time-out.
            server.files = {"slow.ppf": pdf.read_bytes(), "slow.pcf": b"copies=1\n"}
            server.trickled = {"slow.ppf": 0.2}
            client = self.connected(desktop, server, {})
            server.push_job("9", "slow.ppf", "slow.pcf")
            file_prefix = "/SessionStorage/api/printjob/file/"
            server.wait_for(lambda: any(path == file_prefix + "slow.ppf/eoq"
                                        for _, path, _ in server.requests_for("GET")),
                            what="the trickled download")

            write_job(client.home, "dropped")
            client.wait_for_log("Found Dravelo Job File: dropped.pcf", timeout=10)
            self.assertFalse((client.home / "dropped.pcf").exists())

            started = time.monotonic()
            self.assertEqual(client.stop(signal.SIGTERM), 0)
            self.assertLess(time.monotonic() - started, 5)
            self.assertEqual(server.requests_for("DELETE"), [])
            self.assertEqual([p.name for p in client.home.iterdir()
                              if p.name.startswith(".dravelo-download") or "slow" in p.name], [])

    def test_names_reach_the_server_percent_encoded_and_only_job_file_pairs_are_written(self):
        with Desktop() as desktop, PrintServer() as server:
            names = ["my job", "a?b#c", "naïve 日本"]
            server.files = {f"{name}.{kind}": f"{name} {kind}".encode()
                            for name in names for kind in ("ppf", "pcf")}
            server.files.update({".bashrc": b"echo evil", ".profile": b"echo evil"})
            # The home folder is not scanned: what was written stays to be seen.
            client = self.connected(desktop, server, {"enableDriveMap": "no"})
            (client.home / ".bashrc").write_text("mine")

            server.push_job("1", ".bashrc", ".profile")
            client.wait_for_log('Refused a job package: ".bashrc" and ".profile" are not the '
                                "print data and configuration of one job")
            ids = ["2", "../../../evil/x?y#z", "4"]
            for job_id, name in zip(ids, names):
                server.push_job(job_id, f"{name}.ppf", f"{name}.pcf")
            server.wait_for(lambda: len(server.requests_for("DELETE")) == 3, what="3 deletions")

            encoded = ["my%20job", "a%3Fb%23c", "na%C3%AFve%20%E6%97%A5%E6%9C%AC"]
            self.assertEqual([path for _, path, _ in server.requests_for("GET")[1:]],
                             [f"/SessionStorage/api/printjob/file/{name}.{kind}/eoq"
                              for name in encoded for kind in ("ppf", "pcf")])
            self.assertEqual([path for _, path, _ in server.requests_for("DELETE")],
                             ["/SessionStorage/api/PrintJob/2",
                              "/SessionStorage/api/PrintJob/..%2F..%2F..%2Fevil%2Fx%3Fy%23z",
                              "/SessionStorage/api/PrintJob/4"])
            for name in names:
                for kind in ("ppf", "pcf"):
                    self.assertEqual((client.home / f"{name}.{kind}").read_bytes(),
                                     f"{name} {kind}".encode())
            self.assertEqual((client.home / ".bashrc").read_text(), "mine")
            self.assertFalse((client.home / ".profile").exists())

            # A text frame that is not UTF-8 ends the connection, with one line.
            server.push_raw_text(b'{"type": "\xff"}')
            client.wait_for_log("Error occured with websocket: Invalid UTF-8 code encountered. "
                                "(close code 1007)")
            self.assertEqual(client.stop(), 0)

    def test_failures_are_reported_and_a_server_close_only_shows_in_the_tooltip(self):
        with Desktop() as desktop, PrintServer() as server:
            desktop.store_credentials("alice", "wrong")
            client = self.start(desktop, {"serviceUrl": "127.0.0.1:9"})

            desktop.choose_from_tray_menu("Connect")
            wait_until(lambda: desktop.notifications() == [CONNECTION_ERROR], 35,
                       what="the connection error")
            self.assertTrue(any(line.startswith("Error occured with websocket: ")
                                for line in client.log()))

            client.write_settings({"serviceUrl": server.address})
            desktop.choose_from_tray_menu("Connect")
            wait_until(lambda: len(desktop.notifications()) == 2, 35, what="the refusal")
            self.assertEqual(desktop.notifications(), [CONNECTION_ERROR] * 2)
            self.assertEqual(server.connections(), 0)
            self.assertIn("Not connected to the print server", desktop.tooltip())

            desktop.store_credentials("alice", "s3cret")
            desktop.choose_from_tray_menu("Connect")
            client.wait_for_log("Opened")
            wait_until(lambda: "Connected to the print server" in desktop.tooltip(), 5,
                       what="the tooltip")
            server.close_connections()
            wait_until(lambda: "Not connected to the print server" in desktop.tooltip(), 5,
                       what="the tooltip after the server closed")
            self.assertEqual(desktop.notifications(), [CONNECTION_ERROR] * 2 + ["Connected to Server"])
            self.assertEqual(client.stop(), 0)

    def test_a_second_start_opens_preferences_where_return_saves_the_typed_credentials_and_connects(self):
        with Desktop() as desktop, PrintServer() as server:
            xvfb = desktop.xvfb
            client = self.start(desktop, {"serviceUrl": server.address, "clientName": "desk-7",
                                          "rememberCredentials": "yes"})
            self.assertEqual(xvfb.visible_windows("Preferences"), [])
            self.assertEqual(client.start_another().wait(10), 0)
            windows = wait_until(lambda: xvfb.visible_windows("Preferences"), 10,
                                 what="the Preferences window")
            self.assertEqual(len(windows), 1)

            # The window opens with the user name field focused.
            xvfb.xdotool("windowfocus", "--sync", windows[0])
            xvfb.xdotool("type", "--delay", "30", "alice")
            xvfb.xdotool("key", "Tab")
            xvfb.xdotool("type", "--delay", "30", "s3cret")
            xvfb.xdotool("key", "Return")

            client.wait_for_log("Opened")
            self.assertEqual(xvfb.visible_windows("Preferences"), [])
            handshake = server.requests_for("GET")[0]
            self.assertEqual(handshake[2]["Authorization"], server.expected)
            frames = server.wait_for(server.binary_frames, what="the client package")
            self.assertEqual(json.loads(frames[0])["data"]["MachineName"], "desk-7")
            self.assertIn("Added credentials to keychain", client.log())
            lookup = desktop.bus.secret_tool("lookup", "service", SERVICE)
            self.assertEqual(lookup.stdout, "s3cret")
            search = desktop.bus.secret_tool("search", "service", SERVICE)
            self.assertIn("attribute.account = alice", search.stdout + search.stderr)
            self.assertEqual(client.stop(), 0)


if __name__ == "__main__":
    unittest.main()
