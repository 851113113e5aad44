"""Checks the client's Debian package unpacked into ROOT: what a desktop
looks for lies in its standard place, the software centres' metadata says
what the desktop entry and the changelog say, and the unpacked program
answers on its command line and starts with a home of its own.

Usage: python3 check_package.py ROOT   (scripts/check-package.sh runs it)"""

import configparser
import email.utils
import gzip
import re
import subprocess
import sys
import unittest
from pathlib import Path
from xml.etree import ElementTree

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
                     *ENTRIES, "usr/share/metainfo/com.dravelo.client.metainfo.xml",
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

    def test_the_software_centres_metadata_agrees_with_the_entry_and_changelog(self):
        component = ElementTree.parse(ROOT / "usr/share/metainfo/com.dravelo.client.metainfo.xml")
        entry = configparser.ConfigParser(interpolation=None)
        entry.read(ROOT / ENTRIES[0])
        self.assertEqual(component.findtext("summary"), entry["Desktop Entry"]["Comment"])

        with gzip.open(ROOT / "usr/share/doc/dravelo/changelog.gz", "rt") as changelog:
            lines = changelog.read().splitlines()
        version = re.fullmatch(r"dravelo \((\S+)\) .*", lines[0]).group(1)
        day = email.utils.parsedate_to_datetime(
            next(line for line in lines if line.startswith(" -- ")).split("  ")[-1]).date()
        release = component.find("releases/release")
        self.assertEqual((release.get("version"), release.get("date")), (version, day.isoformat()))

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
