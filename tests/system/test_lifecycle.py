import os
import signal
import stat
import subprocess
import time
import unittest

from harness import DRAVELO_BIN, Client, Cupsd, wait_until, write_job


class Lifecycle(unittest.TestCase):
    def test_staging_directory_is_private_emptied_at_start_and_at_exit(self):
        with Client() as client:
            client.wait_for_log("~/.dravelo Created.")
            client.stop()
            leftovers = client.staging / "folder" / "inner"
            leftovers.mkdir(parents=True)
            (client.staging / "old.pcf").write_text("x")
            (leftovers / "old.ppf").write_text("x")
            os.chmod(client.staging, 0o755)

            client.start()
            client.wait_for_log("~/.dravelo Created.")
            self.assertEqual(stat.S_IMODE(client.staging.stat().st_mode), 0o700)
            # The start-up line comes just before the leftovers are removed,
            # and the watcher may add the drive image right after that.
            wait_until(lambda: {p.name for p in client.staging.iterdir()} <= {"drivemap.sparseimage"},
                       10, what="the leftovers removed")

            (client.staging / "during-run.pcf").write_text("x")
            self.assertEqual(client.stop(), 0)
            self.assertEqual(list(client.staging.iterdir()), [])

    def test_jobs_a_killed_client_left_in_staging_go_home_at_the_next_start(self):
        with Client() as client:
            client.wait_for_log("~/.dravelo Created.")
            write_job(client.home, "open")
            client.wait_for_log(f"Opened document. {client.staging}/open.ppf", timeout=15)
            (client.staging / "open.pdf").write_text("a viewer's copy")
            client.process.send_signal(signal.SIGKILL)
            client.process.wait()

            # The home folder is not scanned: the job stays there to be seen.
            client.write_settings({"enableDriveMap": "no"})
            client.start()
            client.wait_for_log(f"Job open.pcf from {client.staging} was moved to {client.home}.")
            wait_until(lambda: not any(client.staging.iterdir()), 10, what="an empty staging")
            self.assertTrue((client.home / "open.pcf").exists())
            self.assertTrue((client.home / "open.ppf").read_bytes().startswith(b"%PDF"))
            self.assertEqual(client.stop(), 0)

    def test_interrupt_ends_the_client_the_orderly_way(self):
        with Client() as client:
            client.wait_for_log("~/.dravelo Created.")
            (client.staging / "job.ppf").write_text("x")
            self.assertEqual(client.stop(signal.SIGINT), 0)
            self.assertEqual(list(client.staging.iterdir()), [])

    def test_a_second_start_hands_over_to_the_running_client(self):
        with Client() as client:
            client.wait_for_log("~/.dravelo Created.")
            second = client.start_another()
            self.assertEqual(second.wait(20), 0)
            self.assertIsNone(client.process.poll())
            client.stop()

    def test_a_file_in_place_of_the_staging_directory_is_reported(self):
        with Client() as client:
            client.wait_for_log("~/.dravelo Created.")
            client.stop()
            os.rmdir(client.staging)
            client.staging.write_text("mine")
            client.start()
            client.wait_for_log("~/.dravelo creation failed.")
            client.stop()
            self.assertEqual(client.staging.read_text(), "mine")

    def test_quit_with_a_print_command_that_never_ends_is_done_within_seconds(self):
        with Cupsd() as cups:
            client = Client(env=cups.environment(),
                            settings={"actionPrintJob": "Print directly to printer"})
            self.addCleanup(client.__exit__)
            # A frozen scheduler: lp waits for its answer for ever.
            os.kill(cups.process.pid, signal.SIGSTOP)
            try:
                client.start()
                client.wait_for_log("~/.dravelo Created.")
                write_job(client.home, "hung")
                client.wait_for_log("Found Dravelo Job File: hung.pcf", timeout=15)
                time.sleep(0.5)
                started = time.monotonic()
                self.assertEqual(client.stop(), 0)
                self.assertLess(time.monotonic() - started, 5)
                self.assertTrue(any("client quit before the print command finished" in line
                                    for line in client.log()), client.log())
                self.assertEqual(list(client.staging.iterdir()), [])
            finally:
                os.kill(cups.process.pid, signal.SIGCONT)

    def test_a_display_without_an_x_server_ends_with_one_line_and_status_1(self):
        client = Client()
        self.addCleanup(client.__exit__)
        env = dict(client.env, DISPLAY=":97")
        env.pop("QT_QPA_PLATFORM", None)
        env.pop("WAYLAND_DISPLAY", None)
        result = subprocess.run([DRAVELO_BIN], env=env, capture_output=True, text=True,
                                timeout=30)
        self.assertEqual(result.returncode, 1, result.stderr)
        lines = result.stderr.splitlines()
        self.assertEqual(len(lines), 1, result.stderr)
        self.assertIn('":97"', lines[0])


if __name__ == "__main__":
    unittest.main()
