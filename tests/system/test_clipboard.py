import base64
import subprocess
import unittest
from pathlib import Path

from harness import Client, Cupsd, Xvfb, wait_until, write_pdf

SIGNATURE = "\x05\x09\x06\x08\x07"


def job_message(name, configuration, pdf):
    return (SIGNATURE + name + "|" + base64.b64encode(configuration).decode() + "x|"
            + base64.b64encode(pdf).decode())


class ClipboardJobs(unittest.TestCase):
    def test_a_job_message_on_the_x11_clipboard_is_printed_and_the_clipboard_cleared(self):
        with Xvfb() as x, Cupsd() as cups:
            env = cups.environment()
            env.update(x.client_environment())
            with Client(env=env, settings={"actionPrintJob": "Print directly to printer",
                                           "enableDriveMap": "no"}) as client:
                client.wait_for_log("~/.dravelo Created.")
                pdf_path = client.root / "source.pdf"
                write_pdf(pdf_path, "From the clipboard")
                message = job_message("clip-job.ppf", b"copies=1\n", pdf_path.read_bytes())

                owner = subprocess.Popen(["xclip", "-quiet", "-selection", "clipboard", "-i"],
                                         env=x.environment(), stdin=subprocess.PIPE,
                                         stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
                self.addCleanup(lambda: owner.poll() is None and owner.kill())
                owner.stdin.write(message.encode())
                owner.stdin.close()

                cups.wait_for_output()
                client.wait_for_log("Identified attempted send from server.")
                wait_until(lambda: owner.poll() is not None, 10,
                           what="xclip to lose the clipboard to the client")

                cleared = subprocess.run(["xclip", "-selection", "clipboard", "-o"],
                                         env=x.environment(), capture_output=True, timeout=10)
                self.assertEqual(cleared.stdout, b"\x00")
                wait_until(lambda: not any(client.staging.iterdir()), 5,
                           what="the staged pair to be deleted after printing")


if __name__ == "__main__":
    unittest.main()
