import subprocess
import time
import unittest

from harness import Client, Desktop, wait_until, write_job
from test_protected_print import write_protected_job


class WindowFocus(unittest.TestCase):
    """What the client shows by itself comes up without taking the keyboard
    from the program the user is typing in, and asks for attention; what the
    user asks for takes the focus."""

    def test_windows_a_job_brings_up_leave_the_focus_where_it_was(self):
        with Desktop(focus_new=False) as desktop:
            settings = {"notificationPrintJob": "Infinite Notification", "enableClipboard": "no"}
            client = Client(env=desktop.client_environment(), settings=settings)
            self.addCleanup(client.__exit__)
            client.start()
            client.wait_for_log("~/.dravelo Created.")
            other = subprocess.Popen(["xlogo"], env=desktop.xvfb.environment(),
                                     stderr=subprocess.DEVNULL)
            self.addCleanup(other.kill)
            typing_in = desktop.window_named("xlogo")

            # The prompt and the panel wait for an answer: the user turns to
            # them, answers with Esc and goes back to typing.
            cases = [
                ("protected-job prompt", "Print directly to printer",
                 lambda: write_protected_job(client.home, "secret"), "Dravelo Client", True),
                ("print panel", "Display print dialog only",
                 lambda: write_job(client.home, "panel"), "Print", True),
                ("job window", "Preview print job",
                 lambda: write_job(client.home, "report"), "report.ppf", False),
            ]
            for what, action, drop, title, answered in cases:
                with self.subTest(what):
                    self.turn_to(desktop, typing_in)
                    client.write_settings({**settings, "actionPrintJob": action})
                    drop()
                    window = desktop.window_named(title)
                    wait_until(lambda: desktop.demands_attention(window), 10,
                               what=f"the {what} to ask for attention")
                    self.assertEqual(desktop.active_window(), typing_in)
                    if answered:
                        desktop.type_into(window, None, "Escape")
                        wait_until(lambda: desktop.gone(window), 10, what=f"the {what} to close")

            # Starting the client again asks for it: its window takes the focus.
            client.start_another()
            wait_until(lambda: desktop.active_window() == window, 10,
                       what="the job window to take the focus")

    @staticmethod
    def turn_to(desktop, window):
        desktop.xdotool("windowactivate", "--sync", window)
        # Time for the client to hear that it is no longer the active program.
        time.sleep(1)


if __name__ == "__main__":
    unittest.main()
