"""The vendor server stand-in answers each kind of request as the download tests expect."""

import http.client
import os
import socket
import sys
import tempfile
import threading
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import vendor_server  # noqa: E402

PACKAGE = "package.exe"
PACKAGE_BYTES = bytes((i * 37 + i // 256) % 256 for i in range(150_000))


def generated(length):
    return bytes(i % 251 for i in range(length))


class VendorServerTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.folder = tempfile.TemporaryDirectory()
        cls.root = os.path.join(cls.folder.name, "packages")
        cls.server = vendor_server.make_server(cls.root)
        with open(os.path.join(cls.root, PACKAGE), "wb") as f:
            f.write(PACKAGE_BYTES)
        cls.port = cls.server.server_address[1]
        cls.thread = threading.Thread(target=cls.server.serve_forever, daemon=True)
        cls.thread.start()

    @classmethod
    def tearDownClass(cls):
        cls.server.shutdown()
        cls.server.server_close()
        cls.folder.cleanup()

    def get(self, path):
        """Status, announced length and the body as far as it came; the error that ended it."""
        connection = http.client.HTTPConnection("127.0.0.1", self.port, timeout=10)
        try:
            connection.request("GET", path)
            reply = connection.getresponse()
            length = reply.getheader("Content-Length")
            try:
                return reply.status, int(length), reply.read(), None
            except (http.client.IncompleteRead, ConnectionError) as error:
                partial = getattr(error, "partial", b"")
                return reply.status, int(length), partial, type(error).__name__
        finally:
            connection.close()

    def test_packages_are_the_files_of_the_root(self):
        status, announced, body, error = self.get("/packages/" + PACKAGE)
        self.assertEqual((status, announced, body, error),
                         (200, len(PACKAGE_BYTES), PACKAGE_BYTES, None))

    def test_bodies_of_chosen_length(self):
        cases = [
            ("/size/300000", 300000),
            ("/short/999/300000", 999),
            ("/exact1000/300000", 1000),
            ("/empty/300000", 0),
        ]
        for path, length in cases:
            with self.subTest(path):
                self.assertEqual(self.get(path), (200, length, generated(length), None))

    def test_short_package_is_its_first_bytes(self):
        status, _, body, _ = self.get("/short/500/" + PACKAGE)
        self.assertEqual(body, PACKAGE_BYTES[:500])

    def test_error_page_is_large(self):
        status, announced, body, _ = self.get("/error404big/CelvaraStudio_v3.9.exe")
        self.assertEqual(status, 404)
        self.assertGreaterEqual(len(body), 8 * 1024)
        self.assertEqual(len(body), announced)

    def test_missing_package_is_404(self):
        self.assertEqual(self.get("/packages/nothing.exe")[0], 404)
        self.assertEqual(self.get("/packages/..%2fsecret")[0], 404)

    def test_reset_cuts_the_body(self):
        status, announced, body, error = self.get("/reset/200000")
        self.assertEqual((status, announced), (200, 200000))
        self.assertLess(len(body), 200000)
        self.assertIsNotNone(error)

    def test_stall_sends_half_then_silence(self):
        start = time.monotonic()
        status, announced, body, error = self.get("/stall/1/200000")
        self.assertGreaterEqual(time.monotonic() - start, 0.9)
        self.assertEqual((announced, len(body), error), (200000, 100000, "IncompleteRead"))

    def test_named_size_is_the_generated_body(self):
        self.assertEqual(self.get("/size/5000/CelvaraStudio_v3.9.exe"),
                         (200, 5000, generated(5000), None))

    def test_no_answer_and_no_connection(self):
        """A request that is never answered, and a port whose connect never completes."""
        with socket.create_connection(("127.0.0.1", self.port), timeout=1) as s:
            s.sendall(b"GET /noanswer/5/x HTTP/1.1\r\nHost: x\r\n\r\n")
            self.assertRaises(socket.timeout, s.recv, 1)
        _, _, port, _ = self.get("/blackhole")
        for _ in range(2):
            with socket.socket() as s:
                s.settimeout(0.5)
                self.assertRaises(socket.timeout, s.connect, ("127.0.0.1", int(port)))

    def test_endless_reply_has_no_length_and_runs_on(self):
        connection = http.client.HTTPConnection("127.0.0.1", self.port, timeout=10)
        try:
            connection.request("GET", "/endless/" + PACKAGE)
            reply = connection.getresponse()
            self.assertIsNone(reply.getheader("Content-Length"))
            body = reply.read(len(PACKAGE_BYTES) + 300_000)
        finally:
            connection.close()
        self.assertEqual(body[:len(PACKAGE_BYTES)], PACKAGE_BYTES)
        self.assertEqual(len(body), len(PACKAGE_BYTES) + 300_000)

    def test_trickle_paces_the_body(self):
        start = time.monotonic()
        self.assertEqual(self.get("/trickle/1000/50/5000"), (200, 5000, generated(5000), None))
        self.assertGreaterEqual(time.monotonic() - start, 0.2)


if __name__ == "__main__":
    unittest.main()
