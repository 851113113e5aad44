import os
import re
import shutil
import subprocess
import tempfile
import unittest
from pathlib import Path

from harness import DRAVELO_BIN

VERSION = r"dravelo \d+\.\d+\.\d+\n"


def run_client(arguments, home):
    env = dict(os.environ)
    env.update({"HOME": str(home), "XDG_CONFIG_HOME": str(home / ".config"),
                "XDG_RUNTIME_DIR": str(home), "QT_QPA_PLATFORM": "offscreen"})
    return subprocess.run([DRAVELO_BIN, *arguments], env=env, capture_output=True, text=True,
                          timeout=30)


class CommandLine(unittest.TestCase):
    def setUp(self):
        self.home = Path(tempfile.mkdtemp(prefix="dravelo-command-line-"))
        self.addCleanup(shutil.rmtree, self.home, ignore_errors=True)

    def test_help_and_version_answer_and_anything_else_is_refused(self):
        cases = [
            (["--version"], 0, "stdout", rf"^{VERSION}$"),
            (["--help"], 0, "stdout", r"^Usage: dravelo \[--help \| --version\]\n"),
            (["-h", "--version"], 0, "stdout", r"^Usage: dravelo"),
            # Qt's own options stay Qt's.
            (["-platform", "offscreen", "--version"], 0, "stdout", rf"^{VERSION}$"),
            (["--verbose"], 2, "stderr",
             r'^dravelo: Unknown argument "--verbose": the client takes no options but --help '
             r"and --version\.\nTry 'dravelo --help'\.\n$"),
            (["--version", "job.ppf"], 2, "stderr", r'Unknown argument "job\.ppf"'),
        ]
        for arguments, status, stream, pattern in cases:
            with self.subTest(arguments=arguments):
                result = run_client(arguments, self.home)
                self.assertEqual(result.returncode, status, result.stderr)
                self.assertRegex(getattr(result, stream), pattern)
                # Answering never starts a client.
                self.assertFalse((self.home / ".dravelo").exists())

    def test_help_names_the_user_guide_built_beside_the_program(self):
        result = run_client(["--help"], self.home)
        guide = re.search(r"^User guide: (.+)$", result.stdout, re.MULTILINE).group(1)
        self.assertEqual(Path(guide), Path(DRAVELO_BIN).resolve().parent.parent
                         / "share" / "dravelo" / "User Guide.pdf")
        self.assertTrue(Path(guide).is_file())


if __name__ == "__main__":
    unittest.main()
