"""The package builder: the stub stays in front, the archive is readable, the log file comes last,
the bytes are reproducible, and a stub without a manifest or version resource is refused."""

import os
import struct
import sys
import tempfile
import unittest
import zipfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import make_package  # noqa: E402

TREE = {"b.txt": b"second", "a/z.dat": b"\0" * 5000, "a/b/c.txt": b"deep", "Z/last.txt": b"z"}
LOG = "CVInstall_v3.9.txt"
AS_INVOKER = b'<requestedExecutionLevel level="asInvoker" uiAccess="false"/>'


def version_resource(ms=(3 << 16) | 9, ls=0):
    key = "VS_VERSION_INFO\0".encode("utf-16-le")
    fixed = struct.pack("<13I", 0xFEEF04BD, 0x10000, ms, ls, ms, ls, 0x3F, 0, 4, 1, 0, 0, 0)
    body = struct.pack("<HHH", 0, len(fixed), 0) + key
    body += b"\0" * ((4 - len(body) % 4) % 4) + fixed
    return struct.pack("<H", len(body)) + body[2:]


def pe_with(resources, signed=False):
    """A minimal 32-bit program whose one section holds a resource tree {(type, id): data}, in
    three levels (type, id, language): the directories, then the data entries, then the data."""
    section_rva, section_offset = 0x1000, 0x200
    types = sorted({t for t, _ in resources})
    ids = {t: sorted(i for tt, i in resources if tt == t) for t in types}
    entries_at = 16 + 8 * len(types) + sum(16 + 8 * len(ids[t]) + 24 * len(ids[t]) for t in types)
    data_at = entries_at + 16 * len(resources)
    tree = struct.pack("<IIHHHH", 0, 0, 0, 0, 0, len(types))
    nodes, entries, data = b"", b"", b""
    node_at = 16 + 8 * len(types)
    for t in types:
        tree += struct.pack("<II", t, 0x80000000 | node_at)
        node = struct.pack("<IIHHHH", 0, 0, 0, 0, 0, len(ids[t]))
        language_at = node_at + 16 + 8 * len(ids[t])
        languages = b""
        for i in ids[t]:
            node += struct.pack("<II", i, 0x80000000 | (language_at + len(languages)))
            languages += struct.pack("<IIHHHHII", 0, 0, 0, 0, 0, 1, 0x409,
                                     entries_at + len(entries))
            blob = resources[(t, i)]
            entries += struct.pack("<IIII", section_rva + data_at + len(data), len(blob), 0, 0)
            data += blob + b"\0" * ((4 - len(blob) % 4) % 4)
        nodes += node + languages
        node_at = language_at + len(languages)
    section = tree + nodes + entries + data
    dos = b"MZ" + b"\0" * 58 + struct.pack("<I", 0x40)
    optional = bytearray(224)
    struct.pack_into("<HI", optional, 0, 0x10B, 0)
    struct.pack_into("<I", optional, 92, 16)
    if resources:
        struct.pack_into("<II", optional, 96 + 8 * 2, section_rva, len(section))
    if signed:
        struct.pack_into("<II", optional, 96 + 8 * 4, 0x400, 8)
    header = dos + b"PE\0\0" + struct.pack("<HHIIIHH", 0x14C, 1, 0, 0, 0, len(optional), 0x102)
    header += bytes(optional)
    header += struct.pack("<8sIIIIIIHHI", b".rsrc", len(section), section_rva, len(section),
                          section_offset, 0, 0, 0, 0, 0x40000040)
    return header + b"\0" * (section_offset - len(header)) + section


GOOD_STUB = {(24, 1): AS_INVOKER, (16, 1): version_resource()}


class MakePackageTest(unittest.TestCase):
    def setUp(self):
        self.temp = tempfile.TemporaryDirectory()
        self.folder = os.path.join(self.temp.name, "tree")
        for name, data in TREE.items():
            path = os.path.join(self.folder, *name.split("/"))
            os.makedirs(os.path.dirname(path), exist_ok=True)
            with open(path, "wb") as f:
                f.write(data)
        self.stub = self.write_stub(pe_with(GOOD_STUB))

    def tearDown(self):
        self.temp.cleanup()

    def write_stub(self, data, name="stub.exe"):
        path = os.path.join(self.temp.name, name)
        with open(path, "wb") as f:
            f.write(data)
        return path

    def build(self, output, stub=None):
        path = os.path.join(self.temp.name, output)
        make_package.build(stub or self.stub, self.folder, path, LOG)
        with open(path, "rb") as f:
            return path, f.read()

    def test_stub_then_a_deflated_archive_of_the_tree_with_the_log_last(self):
        path, data = self.build("one.exe")
        with open(self.stub, "rb") as f:
            stub = f.read()
        self.assertTrue(data.startswith(stub))
        with zipfile.ZipFile(path) as archive:
            self.assertIsNone(archive.testzip())
            infos = archive.infolist()
            self.assertEqual([i.filename for i in infos], sorted(TREE) + [LOG])
            self.assertEqual({i.filename: archive.read(i) for i in infos[:-1]}, TREE)
            self.assertIn(LOG.encode(), archive.read(LOG))
            self.assertEqual({i.compress_type for i in infos}, {zipfile.ZIP_DEFLATED})
            # Offsets count from the start of the file, past the stub.
            self.assertGreaterEqual(min(i.header_offset for i in infos), len(stub))

    def test_same_inputs_same_bytes(self):
        first = self.build("one.exe")[1]
        os.utime(os.path.join(self.folder, "b.txt"), (1, 1))
        self.assertEqual(self.build("two.exe")[1], first)

    def test_the_stub_version_is_read(self):
        self.assertEqual(make_package.check_stub(pe_with(GOOD_STUB)), "3.9.0.0")

    def test_refused_inputs_leave_no_package(self):
        without = lambda key: {k: v for k, v in GOOD_STUB.items() if k != key}  # noqa: E731
        rows = [
            ("not a program", b"MZ" + bytes(range(256)) * 8, "not a Windows program"),
            ("no resources", pe_with({}), "no application manifest"),
            ("no manifest", pe_with(without((24, 1))), "no application manifest"),
            ("manifest under another id", pe_with({**without((24, 1)), (24, 2): AS_INVOKER}),
             "no application manifest"),
            ("elevation asked", pe_with({**GOOD_STUB, (24, 1): AS_INVOKER.replace(
                b"asInvoker", b"requireAdministrator")}), 'level="asInvoker"'),
            ("no version", pe_with(without((16, 1))), "no version resource"),
            ("version damaged", pe_with({**GOOD_STUB, (16, 1): version_resource()[:40]}),
             "damaged version resource"),
            ("cut short", pe_with(GOOD_STUB)[:0x230], "cut short"),
            ("signed already", pe_with(GOOD_STUB, signed=True), "signed already"),
        ]
        for name, stub, message in rows:
            with self.subTest(name):
                path = self.write_stub(stub, "bad.exe")
                with self.assertRaises(ValueError) as raised:
                    self.build("refused.exe", stub=path)
                self.assertIn(message, str(raised.exception))
                self.assertFalse(os.path.exists(os.path.join(self.temp.name, "refused.exe")))

    def test_a_tree_that_holds_the_log_already_is_refused(self):
        with open(os.path.join(self.folder, LOG.upper()), "wb") as f:
            f.write(b"stale")
        with self.assertRaises(ValueError) as raised:
            self.build("refused.exe")
        self.assertIn("already holds", str(raised.exception))


if __name__ == "__main__":
    unittest.main()
