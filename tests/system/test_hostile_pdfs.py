"""Jobs whose PDFs hurt a viewer: a page that takes minutes to draw, a page
tree that loops, and the malformed corpus of hostile_pdfs.py. The client
draws them in renderer processes of their own: the next job's window still
shows within seconds, the bad window closes, quitting is prompt, and no
renderer grows past its memory bound."""

import time
import unittest

import hostile_pdfs
from harness import Client, Desktop, RendererWatch, wait_until, write_job

# The renderer's address space bound, and what the client itself may use.
RENDERER_BOUND_KIB = 1024 * 1024
CLIENT_BOUND_KIB = 256 * 1024


class HostilePdfs(unittest.TestCase):
    def start_client(self, env=None):
        client = Client(env=env, settings={"enableClipboard": "no"})
        self.addCleanup(client.__exit__)
        client.start()
        client.wait_for_log("~/.dravelo Created.", timeout=30)
        return client

    def drop(self, client, name, data):
        (client.home / f"{name}.ppf").write_bytes(data)
        (client.home / f"{name}.pcf").write_text("copies=1\n")

    def assert_quits_promptly_leaving_no_renderer(self, client, watch):
        started = time.monotonic()
        self.assertEqual(client.stop(), 0)
        self.assertLess(time.monotonic() - started, 5)
        watch.__exit__()
        self.assertEqual(watch.running_renderers(), [])
        self.assertLess(watch.renderer_peak_kib, RENDERER_BOUND_KIB)
        self.assertLess(watch.client_peak_kib, CLIENT_BOUND_KIB)

    def check_the_bad_window_holds_up_nothing(self, name, data, logged):
        with Desktop() as desktop:
            client = self.start_client(desktop.client_environment())
            with RendererWatch(client.process.pid) as watch:
                self.drop(client, name, data)
                bad = desktop.window_named(f"{name}.ppf")
                dropped = time.monotonic()
                write_job(client.home, "next")
                desktop.window_named("next.ppf", timeout=10)
                self.assertLess(time.monotonic() - dropped, 10)
                if logged:
                    wait_until(lambda: any(logged in line for line in client.log()), 30,
                               what=f"the line {logged!r}")
                desktop.type_into(bad, None, "ctrl+w")
                wait_until(lambda: not any(client.staging.glob(f"{name}.*")), 10,
                           what="the bad job's files to be deleted")
                self.assertTrue(desktop.gone(bad))
                self.assertTrue(any(client.staging.glob("next.*")))
                self.assert_quits_promptly_leaving_no_renderer(client, watch)

    def test_a_page_that_takes_minutes_to_draw_holds_up_nothing(self):
        self.check_the_bad_window_holds_up_nothing(
            "heavy", hostile_pdfs.heavy_page(), "Page 1 of ")

    def test_a_page_tree_that_loops_holds_up_nothing(self):
        self.check_the_bad_window_holds_up_nothing("loop", hostile_pdfs.page_tree_loop(), None)

    def test_malformed_pdfs_neither_crash_nor_hang_the_client(self):
        client = self.start_client()
        with RendererWatch(client.process.pid) as watch:
            names = list(hostile_pdfs.CORPUS)
            for name in names:
                self.drop(client, name, hostile_pdfs.CORPUS[name]())
            for name in names:
                wait_until(lambda: any(line.startswith("Opened document.")
                                       and line.endswith(f"/{name}.ppf")
                                       for line in client.log()),
                           60, what=f"the window of {name}")
            write_job(client.home, "next")
            client.wait_for_log(f"Opened document. {client.staging / 'next.ppf'}", timeout=10)
            # The renderers still at work have a few seconds more.
            time.sleep(3)
            self.assertIsNone(client.process.poll())
            self.assert_quits_promptly_leaving_no_renderer(client, watch)
        self.assertEqual(sorted(p.name for p in client.staging.iterdir()), [])


if __name__ == "__main__":
    unittest.main()
