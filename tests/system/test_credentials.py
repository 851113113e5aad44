import os
import unittest

from harness import Client, SessionBus

SERVICE = "Dravelo Client Credentials"


class CredentialsAtExit(unittest.TestCase):
    def run_client_and_quit(self, bus, settings):
        env = dict(os.environ)
        env.update(bus.client_environment())
        with Client(env=env, settings=settings) as client:
            client.wait_for_log("~/.dravelo Created.")
            self.assertEqual(client.stop(), 0)
            return client.log()

    def store_item(self, bus):
        stored = bus.secret_tool("store", "--label=Dravelo", "service", SERVICE,
                                 "account", "alice", secret="s3cret")
        self.assertEqual(stored.returncode, 0, stored.stderr)

    def test_credentials_are_deleted_at_exit_unless_remembered(self):
        with SessionBus(keyring=True) as bus:
            self.store_item(bus)
            log = self.run_client_and_quit(bus, {"rememberCredentials": "yes"})
            self.assertEqual(bus.secret_tool("lookup", "service", SERVICE).stdout, "s3cret")
            self.assertNotIn("Deleted key", log)

            log = self.run_client_and_quit(bus, {})
            self.assertIn("Deleted key", log)
            self.assertEqual(bus.secret_tool("lookup", "service", SERVICE).stdout, "")


if __name__ == "__main__":
    unittest.main()
