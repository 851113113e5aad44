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
from harness import Client

ROOT = Path()


class UnpackedPackage(unittest.TestCase):
    def test_the_desktop_finds_the_program_its_entries_icon_and_guide(self):
        for path in ("usr/bin/dravelo", "usr/share/dravelo/User Guide.pdf",
                     "usr/share/applications/dravelo.desktop", "etc/xdg/autostart/dravelo.desktop",
                     "usr/share/icons/hicolor/scalable/apps/dravelo.svg",
                     "usr/share/doc/dravelo/copyright", "usr/share/doc/dravelo/changelog.gz",
                     "usr/share/man/man1/dravelo.1.gz"):
            with self.subTest(path=path):
                self.assertTrue((ROOT / path).is_file())
        for entry_file in ("usr/share/applications/dravelo.desktop",
                           "etc/xdg/autostart/dravelo.desktop"):
            entry = configparser.ConfigParser(interpolation=None)
            entry.read(ROOT / entry_file)
            program = entry["Desktop Entry"]["Exec"].split()[0]
            self.assertTrue((ROOT / "usr/bin" / program).is_file(), entry_file)

    def test_the_unpacked_program_finds_its_guide_and_starts(self):
        program = ROOT / "usr/bin/dravelo"
        result = subprocess.run([program, "--help"], capture_output=True, text=True, timeout=30)
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertIn(f"User guide: {ROOT / 'usr/share/dravelo/User Guide.pdf'}\n", result.stdout)

        harness.DRAVELO_BIN = str(program)
        with Client() as client:
            client.wait_for_log("~/.dravelo Created.", timeout=30)
            self.assertEqual(client.stop(), 0)


if __name__ == "__main__":
    ROOT = Path(sys.argv.pop(1)).resolve()
    unittest.main(verbosity=2)
