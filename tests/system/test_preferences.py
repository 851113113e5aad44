import os
import subprocess
import unittest

from harness import Client, SessionBus, Xvfb, wait_until

SERVICE = "Dravelo Client Credentials"


def xdotool(xvfb, *arguments):
    return subprocess.run(["xdotool", *arguments], env=xvfb.environment(),
                          capture_output=True, text=True, timeout=30)


def visible_preferences_windows(xvfb):
    found = xdotool(xvfb, "search", "--onlyvisible", "--name", "^Preferences$")
    return found.stdout.split()


class PreferencesWindow(unittest.TestCase):
    def test_a_second_start_opens_preferences_where_return_saves_the_typed_credentials(self):
        with Xvfb() as xvfb, SessionBus(keyring=True) as bus:
            env = dict(os.environ)
            env.update(xvfb.client_environment())
            env.update(bus.client_environment())
            settings = {"serviceUrl": "127.0.0.1:9", "clientName": "desk-7",
                        "rememberCredentials": "yes", "enableDriveMap": "no"}
            with Client(env=env, settings=settings) as client:
                client.wait_for_log("~/.dravelo Created.")
                self.assertEqual(visible_preferences_windows(xvfb), [])
                self.assertEqual(client.start_another().wait(10), 0)
                windows = wait_until(lambda: visible_preferences_windows(xvfb), 10,
                                     what="the Preferences window")
                self.assertEqual(len(windows), 1)

                xdotool(xvfb, "windowfocus", "--sync", windows[0])
                xdotool(xvfb, "type", "--delay", "30", "alice")
                xdotool(xvfb, "key", "Tab")
                xdotool(xvfb, "type", "--delay", "30", "s3cret word")
                xdotool(xvfb, "key", "Return")

                client.wait_for_log("Added credentials to keychain")
                wait_until(lambda: not visible_preferences_windows(xvfb), 10,
                           what="the Preferences window to close")
                lookup = bus.secret_tool("lookup", "service", SERVICE)
                self.assertEqual(lookup.stdout, "s3cret word")
                search = bus.secret_tool("search", "service", SERVICE)
                self.assertIn("attribute.account = alice", search.stdout + search.stderr)
                self.assertEqual(client.stop(), 0)


if __name__ == "__main__":
    unittest.main()
