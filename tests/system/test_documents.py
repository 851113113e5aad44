import struct
import subprocess
import time
import unittest
from pathlib import Path

from harness import Client, Desktop, wait_until, write_job, write_pdf

SCREEN = (1280, 800)


def single(value):
    """The value rounded to single precision."""
    return struct.unpack("f", struct.pack("f", value))[0]


def expected_content_width(page_points, pages=1):
    """The window's content width for a PDF whose pages all measure
    page_points, at 96 dpi and zoom 1 in a column with page breaks, fitted
    to a screen without panels."""
    row_width = round(page_points[0] * 96 / 72)
    row_height = round(page_points[1] * 96 / 72) + 3
    width = SCREEN[0] - (14 if pages > 1 else 0)
    height = SCREEN[1] - 70
    width_ratio = single(width / row_width)
    height_ratio = height / row_height
    scale = single(height_ratio) if width_ratio > height_ratio else width_ratio
    return int(single(scale * row_width))


def pdf_text(data, folder):
    path = Path(folder) / "printed.pdf"
    path.write_bytes(data)
    return subprocess.run(["pdftotext", str(path), "-"], capture_output=True, text=True).stdout


def page_count(data, folder):
    path = Path(folder) / "counted.pdf"
    path.write_bytes(data)
    info = subprocess.run(["pdfinfo", str(path)], capture_output=True, text=True).stdout
    return int(next(line.split()[-1] for line in info.splitlines() if line.startswith("Pages:")))


class JobWindows(unittest.TestCase):
    def desktop(self):
        return Desktop(size=SCREEN)

    def start_client(self, desktop, settings):
        client = Client(env=desktop.client_environment(), settings=settings)
        self.addCleanup(client.__exit__)
        client.start()
        client.wait_for_log("~/.dravelo Created.")
        return client

    def test_a_dropped_job_is_shown_printed_unrasterised_and_deleted_when_closed(self):
        with self.desktop() as desktop:
            client = self.start_client(desktop, {"notificationPrintJob": "Bring To Front"})
            write_job(client.home, "report", text="Quarterly report")
            window = desktop.window_named("report.ppf")
            width, height = desktop.geometry(window)
            self.assertEqual(width, expected_content_width((595, 842)))
            self.assertLessEqual(height, SCREEN[1])
            staged = sorted(p.name for p in client.staging.glob("report.*"))
            self.assertEqual(staged, ["report.pcf", "report.ppf"])

            desktop.type_into(window, None, "ctrl+p")
            dialog = desktop.window_named("Print")
            desktop.type_into(dialog, None, "Return")
            desktop.cups.wait_for_output()
            printed = desktop.cups.printed()
            self.assertEqual(page_count(printed, client.root), 1)
            self.assertIn("Quarterly report", pdf_text(printed, client.root))

            desktop.type_into(window, None, "ctrl+w")
            wait_until(lambda: not any(client.staging.glob("report.*")), 10,
                       what="the job's files to be deleted")
            self.assertTrue(desktop.gone(window))

    def test_print_dialog_only_asks_for_the_password_and_prints_an_unencrypted_copy(self):
        with self.desktop() as desktop:
            client = self.start_client(desktop, {"actionPrintJob": "Display print dialog only"})
            plain = client.root / "plain.pdf"
            write_pdf(plain, "Protected pages")
            encrypted = client.root / "locked.ppf"
            subprocess.run(["qpdf", "--encrypt", "open-sesame", "owner-pw", "256", "--",
                            str(plain), str(encrypted)], check=True)
            encrypted.replace(client.home / "locked.ppf")
            (client.home / "locked.pcf").write_text("copies=1\n")

            prompt = desktop.window_named("Dravelo Client")
            desktop.type_into(prompt, "wrong", "Return")
            time.sleep(0.5)
            prompt = desktop.window_named("Dravelo Client")
            desktop.type_into(prompt, None, "ctrl+a")
            desktop.type_into(prompt, "open-sesame", "Return")
            dialog = desktop.window_named("Print")
            self.assertFalse(desktop.xdotool("search", "--onlyvisible", "--name", "^locked.ppf$"))
            desktop.type_into(dialog, None, "Return")

            desktop.cups.wait_for_output()
            printed = desktop.cups.printed()
            self.assertNotIn(b"/Encrypt", printed)
            self.assertIn("Protected pages", pdf_text(printed, client.root))
            wait_until(lambda: not any(client.staging.glob("locked.*")), 10,
                       what="the job's files to be deleted")
            self.assertEqual(sorted(p.name for p in client.staging.iterdir()
                                    if p.name != "drivemap.sparseimage"), [])


if __name__ == "__main__":
    unittest.main()
