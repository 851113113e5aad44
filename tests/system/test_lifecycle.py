import os
import signal
import stat
import unittest

from harness import Client, wait_until


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
            self.assertEqual(list(client.staging.iterdir()), [])

            (client.staging / "during-run.pcf").write_text("x")
            self.assertEqual(client.stop(), 0)
            self.assertEqual(list(client.staging.iterdir()), [])

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


if __name__ == "__main__":
    unittest.main()
