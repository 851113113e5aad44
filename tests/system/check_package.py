"""Checks the client's Debian package unpacked into ROOT: what a desktop
looks for lies in its standard place, and the unpacked program answers on
its command line and starts with a home of its own.

Usage: python3 check_package.py ROOT   (scripts/check-package.sh runs it)"""

import configparser
import subprocess
import sys
import unittest
from pathlib import Path

import harness
from harness import Client, write_job

ROOT = Path()
# The menu entry and the autostart entry, the same file named as the client's id.
ENTRIES = ("usr/share/applications/com.dravelo.client.desktop",
           "etc/xdg/autostart/com.dravelo.client.desktop")


class UnpackedPackage(unittest.TestCase):
    def test_the_desktop_finds_the_program_its_entries_icon_and_guide(self):
        for path in ("usr/bin/dravelo", "usr/libexec/dravelo/dravelo-renderer",
                     "usr/share/dravelo/User Guide.pdf",
                     *ENTRIES,
                     "usr/share/icons/hicolor/scalable/apps/dravelo.svg",
                     "usr/share/doc/dravelo/copyright", "usr/share/doc/dravelo/changelog.gz",
                     "usr/share/man/man1/dravelo.1.gz"):
            with self.subTest(path=path):
                self.assertTrue((ROOT / path).is_file())
        for entry_file in ENTRIES:
            entry = configparser.ConfigParser(interpolation=None)
            entry.read(ROOT / entry_file)
            program = entry["Desktop Entry"]["Exec"].split()[0]
            self.assertTrue((ROOT / "usr/bin" / program).is_file(), entry_file)

    def test_the_unpacked_program_finds_its_guide_and_renderer_and_starts(self):
        program = ROOT / "usr/bin/dravelo"
        result = subprocess.run([program, "--help"], capture_output=True, text=True, timeout=30)
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertIn(f"User guide: {ROOT / 'usr/share/dravelo/User Guide.pdf'}\n", result.stdout)

        harness.DRAVELO_BIN = str(program)
        with Client(settings={"enableClipboard": "no"}) as client:
            client.wait_for_log("~/.dravelo Created.", timeout=30)
            write_job(client.home, "job")
            client.wait_for_log(f"Opened document. {client.staging / 'job.ppf'}", timeout=30)
            # The window's renderer was found and read the PDF: one that
            # could not start, or failed, leaves a line naming it.
            self.assertFalse([line for line in client.log() if "renderer" in line.lower()])
            self.assertEqual(client.stop(), 0)


if __name__ == "__main__":
    ROOT = Path(sys.argv.pop(1)).resolve()
    unittest.main(verbosity=2)
