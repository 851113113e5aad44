import os
import signal
import stat
import subprocess
import time
import unittest

from harness import Client, Cupsd, mount_of, wait_until, write_job

DIRECT = {"actionPrintJob": "Print directly to printer"}


class DropFolders(unittest.TestCase):
    def start_client(self, cups, settings=DIRECT):
        client = Client(env=cups.environment(), settings=settings)
        self.addCleanup(client.__exit__)
        client.start()
        return client

    def wait_for_volume(self, client):
        volume = client.home / "DraveloDrive"
        wait_until(lambda: (volume / "DVClient.config").exists(), 15, what="the drop volume")
        return volume

    def test_pairs_on_the_volume_and_in_home_are_printed_and_leave_nothing_behind(self):
        with Cupsd() as cups:
            client = self.start_client(cups)
            volume = self.wait_for_volume(client)
            self.assertEqual(mount_of(volume), "fuse.ext4", "the volume is a real mount")
            image = client.staging / "drivemap.sparseimage"
            self.assertEqual(stat.S_IMODE(image.stat().st_mode), 0o600)

            write_job(volume, "from-volume")
            write_job(client.home, "from-home")
            cups.wait_for_completed_jobs(2)
            self.assertTrue(cups.printed().startswith(b"%PDF"))
            wait_until(lambda: not any(client.staging.glob("from-*")), 5, what="an empty staging")
            self.assertEqual(sorted(p.name for p in volume.iterdir()), ["DVClient.config"])
            self.assertFalse(any(client.home.glob("from-*")))

    def test_turning_the_drive_map_off_unmounts_and_leaves_home_pairs_alone(self):
        with Cupsd() as cups:
            client = self.start_client(cups)
            volume = self.wait_for_volume(client)
            client.write_settings({**DIRECT, "enableDriveMap": "no"})
            image = client.staging / "drivemap.sparseimage"
            # The image is deleted once the unmount has finished.
            wait_until(lambda: mount_of(volume) is None and not image.exists(), 5,
                       what="the volume to be unmounted and its image deleted")

            write_job(client.home, "waiting")
            time.sleep(4.5)
            self.assertTrue((client.home / "waiting.pcf").exists())
            self.assertEqual(cups.completed_jobs(), 0)

            client.write_settings(DIRECT)
            cups.wait_for_completed_jobs(1, timeout=10)
            self.assertFalse((client.home / "waiting.pcf").exists())

            self.assertEqual(client.stop(), 0)
            self.assertIsNone(mount_of(volume))

    def test_a_killed_clients_mount_and_image_are_gone_after_the_next_start(self):
        with Cupsd() as cups:
            client = self.start_client(cups)
            volume = self.wait_for_volume(client)
            (volume / "forgotten.txt").write_text("left on the volume")
            client.process.send_signal(signal.SIGKILL)
            client.process.wait()
            time.sleep(0.5)

            client.start()
            client.wait_for_log("~/.dravelo Created.")
            self.assertNotIn("drivemap.sparseimage", os.listdir(client.staging))
            volume = self.wait_for_volume(client)
            self.assertEqual(mount_of(volume), "fuse.ext4")
            self.assertFalse((volume / "forgotten.txt").exists())
            self.assertEqual(client.stop(), 0)
            fuse_children = subprocess.run(["pgrep", "-f", f"fuse2fs .*{client.staging}"],
                                           capture_output=True, text=True).stdout.split()
            self.assertEqual(fuse_children, [])

    def test_links_fifos_and_folders_named_like_jobs_are_skipped_and_later_jobs_print(self):
        with Cupsd() as cups:
            client = Client(env=cups.environment(), settings=DIRECT)
            self.addCleanup(client.__exit__)
            home = client.home
            (home / "secret").write_text("the user's private file")
            write_job(home, "leak")
            (home / "leak.ppf").unlink()
            (home / "leak.ppf").symlink_to(home / "secret")
            os.mkfifo(home / "stuck.pcf")
            write_job(home, "fifo-data")
            (home / "fifo-data.ppf").unlink()
            os.mkfifo(home / "fifo-data.ppf")
            (home / "folder.pcf").mkdir()
            (home / "folder.pcf" / "kept.txt").write_text("the user's file")
            client.start()
            self.wait_for_volume(client)

            write_job(home, "later")
            cups.wait_for_completed_jobs(1)
            time.sleep(4.5)
            self.assertEqual(cups.completed_jobs(), 1)
            self.assertNotIn(b"private", cups.printed())
            for name in ("leak.pcf", "stuck.pcf", "fifo-data.pcf", "folder.pcf"):
                noted = [line for line in client.log() if line.startswith("Not a job") and name in line]
                self.assertEqual(len(noted), 1, f"{name}: {noted}")
            self.assertTrue((home / "leak.ppf").is_symlink())
            self.assertEqual((home / "folder.pcf" / "kept.txt").read_text(), "the user's file")
            self.assertEqual((home / "secret").read_text(), "the user's private file")
            self.assertEqual(client.stop(), 0)

    def test_jobs_on_the_volume_of_a_killed_client_are_printed_after_the_next_start(self):
        with Cupsd() as cups:
            client = self.start_client(cups)
            volume = self.wait_for_volume(client)
            # Stopped first, so the jobs stay on the volume when it dies.
            client.process.send_signal(signal.SIGSTOP)
            for index in range(3):
                write_job(volume, f"burst-{index}")
            client.process.send_signal(signal.SIGKILL)
            client.process.wait()
            wait_until(lambda: mount_of(volume) is None, 10, what="the dead client's volume to go")

            client.start()
            cups.wait_for_completed_jobs(3, timeout=30)
            self.assertFalse(any(client.home.glob("burst-*")))
            self.assertEqual(client.stop(), 0)

    def test_a_pair_still_on_the_volume_at_quit_is_moved_home(self):
        client = Client()
        self.addCleanup(client.__exit__)
        client.start()
        volume = self.wait_for_volume(client)
        # A job of that name is open in its window, so the volume's pair waits.
        write_job(client.home, "busy")
        client.wait_for_log(f"Opened document. {client.staging}/busy.ppf")
        write_job(volume, "busy", "From the volume")
        client.wait_for_log(f"Job busy.pcf waits until the job of that name in {client.staging} "
                            "is done.")

        self.assertEqual(client.stop(), 0)
        self.assertIsNone(mount_of(volume))
        self.assertIn(b"From the volume", (client.home / "busy.ppf").read_bytes())
        self.assertTrue((client.home / "busy.pcf").exists())
        moved = f"Job busy.pcf from {volume} was moved to {client.home}."
        self.assertEqual(client.log().count(moved), 1, client.log())


if __name__ == "__main__":
    unittest.main()
