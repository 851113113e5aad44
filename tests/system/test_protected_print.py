import subprocess
import tempfile
import unittest
from pathlib import Path

from harness import Client, Cupsd, Xvfb, wait_until, write_pdf

PASSWORD = "user-secret"


def write_protected_job(folder, name):
    """Drops a job whose PDF opens only with PASSWORD, print data first."""
    with tempfile.TemporaryDirectory() as scratch:
        plain = Path(scratch) / "plain.pdf"
        write_pdf(plain, "Protected page")
        subprocess.run(["qpdf", "--encrypt", PASSWORD, "owner-secret", "256", "--",
                        str(plain), str(Path(folder) / f"{name}.ppf")], check=True)
    (Path(folder) / f"{name}.pcf").write_text("copies=1\n")


class ProtectedDirectPrint(unittest.TestCase):
    def start(self, x, cups):
        """A client printing directly, with a protected job dropped in its
        home, once its prompt is up and the user has clicked into it."""
        env = {**cups.environment(), **x.client_environment()}
        client = Client(env=env, settings={"actionPrintJob": "Print directly to printer",
                                           "enableClipboard": "no"})
        self.addCleanup(client.__exit__)
        client.start()
        write_protected_job(client.home, "secret")
        self.xdotool(x, "search", "--sync", "--onlyvisible", "--name", "^Dravelo Client$",
                     "windowfocus", "--sync")
        wait_until(lambda: self.prompt_has_focus(x), 10, what="the prompt to take the focus")
        return client

    def test_a_typed_password_prints_the_job_unencrypted_and_empties_staging(self):
        with Xvfb() as x, Cupsd() as cups:
            client = self.start(x, cups)
            self.xdotool(x, "type", "--delay", "30", PASSWORD)
            self.xdotool(x, "key", "Return")

            cups.wait_for_output()
            sink = Path(cups.sink)
            encrypted = subprocess.run(["qpdf", "--is-encrypted", str(sink)])
            self.assertEqual(encrypted.returncode, 2, "the printer got the PDF unencrypted")
            pages = subprocess.run(["qpdf", "--show-npages", str(sink)], capture_output=True,
                                   text=True, check=True)
            self.assertEqual(pages.stdout.strip(), "1")
            wait_until(lambda: not self.staged_jobs(client), 5, what="an empty staging directory")
            self.assertFalse(any(client.home.glob("secret.*")))

    def test_quitting_while_the_prompt_waits_is_not_held_up_and_prints_nothing(self):
        with Xvfb() as x, Cupsd() as cups:
            client = self.start(x, cups)
            self.assertEqual(client.stop(), 0)
            self.assertFalse(self.staged_jobs(client))
            self.assertEqual(cups.completed_jobs(), 0)

    @staticmethod
    def staged_jobs(client):
        return [p for p in client.staging.iterdir() if p.name != "drivemap.sparseimage"]

    @staticmethod
    def xdotool(x, *arguments):
        subprocess.run(["xdotool", *arguments], env=x.environment(), check=True, timeout=30,
                       stdout=subprocess.DEVNULL)

    @staticmethod
    def prompt_has_focus(x):
        result = subprocess.run(["xdotool", "getwindowfocus", "getwindowname"],
                                env=x.environment(), capture_output=True, text=True)
        return result.stdout.strip() == "Dravelo Client"


if __name__ == "__main__":
    unittest.main()
