"""The package builder: the stub stays in front, the archive is readable, the bytes reproducible."""

import os
import sys
import tempfile
import unittest
import zipfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import make_package  # noqa: E402

STUB = b"MZ" + bytes(range(256)) * 8
TREE = {"b.txt": b"second", "a/z.dat": b"\0" * 5000, "a/b/c.txt": b"deep", "CVInstall_v3.9.txt": b"log"}


class MakePackageTest(unittest.TestCase):
    def setUp(self):
        self.temp = tempfile.TemporaryDirectory()
        self.folder = os.path.join(self.temp.name, "tree")
        for name, data in TREE.items():
            path = os.path.join(self.folder, *name.split("/"))
            os.makedirs(os.path.dirname(path), exist_ok=True)
            with open(path, "wb") as f:
                f.write(data)
        with open(os.path.join(self.temp.name, "stub.exe"), "wb") as f:
            f.write(STUB)

    def tearDown(self):
        self.temp.cleanup()

    def build(self, output):
        path = os.path.join(self.temp.name, output)
        make_package.build(os.path.join(self.temp.name, "stub.exe"), self.folder, path)
        with open(path, "rb") as f:
            return path, f.read()

    def test_stub_then_a_sorted_deflated_archive_of_the_tree(self):
        path, data = self.build("one.exe")
        self.assertTrue(data.startswith(STUB))
        with zipfile.ZipFile(path) as archive:
            self.assertIsNone(archive.testzip())
            infos = archive.infolist()
            self.assertEqual([i.filename for i in infos], sorted(TREE))
            self.assertEqual({i.filename: archive.read(i) for i in infos}, TREE)
            self.assertEqual({i.compress_type for i in infos}, {zipfile.ZIP_DEFLATED})
            # Offsets count from the start of the file, past the stub.
            self.assertGreaterEqual(min(i.header_offset for i in infos), len(STUB))

    def test_same_inputs_same_bytes(self):
        first = self.build("one.exe")[1]
        os.utime(os.path.join(self.folder, "b.txt"), (1, 1))
        self.assertEqual(self.build("two.exe")[1], first)


if __name__ == "__main__":
    unittest.main()
