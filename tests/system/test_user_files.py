"""What the client finds in the user's home and did not make stays as it is."""
import os
import time
import unittest

from harness import Client, mount_of, wait_until


class UserFiles(unittest.TestCase):
    def test_a_linked_staging_directory_and_what_it_names_survive_quit(self):
        client = Client()
        self.addCleanup(client.__exit__)
        precious = client.home / "precious"
        (precious / "inner").mkdir(parents=True)
        (precious / "notes.txt").write_text("mine")
        (precious / "inner" / "more.txt").write_text("mine too")
        client.staging.symlink_to(precious)
        client.start()
        client.wait_for_log("~/.dravelo creation failed.")
        self.assertEqual(client.stop(), 0)
        self.assertTrue(client.staging.is_symlink())
        self.assertEqual((precious / "notes.txt").read_text(), "mine")
        self.assertEqual((precious / "inner" / "more.txt").read_text(), "mine too")

    def test_an_occupied_drive_folder_is_never_mounted_over_or_emptied(self):
        for kind in ("folder", "link"):
            with self.subTest(kind=kind):
                client = Client()
                self.addCleanup(client.__exit__)
                drive = client.home / "DraveloDrive"
                holder = client.home / "holder"
                holder.mkdir()
                (holder / "own.pcf").write_text("the user's")
                (holder / "own.ppf").write_text("the user's")
                if kind == "folder":
                    holder.rename(drive)
                    holder = drive
                else:
                    drive.symlink_to(holder)
                client.start()
                client.wait_for_log("~/.dravelo Created.")
                wait_until(lambda: any("left alone" in line for line in client.log()), 15,
                           what="the occupied drive folder to be reported")
                time.sleep(2.5)
                self.assertIsNone(mount_of(drive))
                self.assertEqual(client.stop(), 0)
                self.assertEqual(sorted(os.listdir(holder)), ["own.pcf", "own.ppf"])
                self.assertEqual((holder / "own.pcf").read_text(), "the user's")
                self.assertEqual(kind == "link", drive.is_symlink())
                self.assertEqual(sum("left alone" in line for line in client.log()), 1)


if __name__ == "__main__":
    unittest.main()
