#!/usr/bin/env python3
"""Builds a self-extracting package: the stub program, followed by a zip archive of a folder tree.

    make_package.py --stub SfxStub.exe --folder DIR --log CVInstall_v3.9.txt --output Package.exe

Entries are the folder's files under their relative names with "/" separators, sorted, deflated,
all with one fixed time stamp, so that the same inputs always give the same bytes. Folders are
implied by the files' names. The log file that the installer looks for is written by this script
as the archive's last entry: the stub unpacks in archive order, so the log file appears only once
everything before it has arrived.

The stub must carry an application manifest that asks for no elevation (asInvoker) and a version
resource: without a manifest, Windows may demand administrator rights for a program whose name
looks like an installer's.
"""

import argparse
import os
import struct
import sys
import zipfile

# The earliest time a zip entry can carry; any fixed value keeps the output reproducible.
FIXED_TIME = (1980, 1, 1, 0, 0, 0)
# MS-DOS "archive" attribute: what a file freshly written on Windows carries.
DOS_ARCHIVE_ATTRIBUTE = 0x20

RT_VERSION = 16
RT_MANIFEST = 24
CREATEPROCESS_MANIFEST_RESOURCE_ID = 1
RESOURCE_DIRECTORY = 2
SECURITY_DIRECTORY = 4
FIXED_FILE_INFO_SIGNATURE = 0xFEEF04BD


class StubError(ValueError):
    pass


class PeImage:
    """Just enough of a PE file to read its data directories and resources; every read is
    checked, so that a damaged file is refused rather than misread."""

    def __init__(self, data):
        self.data = data
        pe = self.u32(0x3C) if data[:2] == b"MZ" and len(data) >= 0x40 else len(data)
        if data[pe:pe + 4] != b"PE\0\0":
            raise StubError("is not a Windows program")
        sections, optional_size = self.u16(pe + 6), self.u16(pe + 20)
        optional = pe + 24
        magic = self.u16(optional)
        if magic not in (0x10B, 0x20B):
            raise StubError("has an unknown optional header")
        first = 96 if magic == 0x10B else 112
        self.directory_count = self.u32(optional + first - 4)
        self.directories = optional + first
        table = optional + optional_size
        self.sections = [struct.unpack_from("<IIII", self.read(table + 40 * i + 8, 16))
                         for i in range(sections)]

    def read(self, offset, length):
        if offset < 0 or length < 0 or offset + length > len(self.data):
            raise StubError("is cut short or damaged")
        return self.data[offset:offset + length]

    def u16(self, offset):
        return struct.unpack("<H", self.read(offset, 2))[0]

    def u32(self, offset):
        return struct.unpack("<I", self.read(offset, 4))[0]

    def directory(self, index):
        """(address, size) of a data directory; (0, 0) when the file has none."""
        if index >= self.directory_count:
            return 0, 0
        return struct.unpack("<II", self.read(self.directories + 8 * index, 8))

    def file_offset(self, rva):
        for virtual_size, address, raw_size, raw_offset in self.sections:
            if address <= rva < address + max(virtual_size, raw_size):
                return raw_offset + (rva - address)
        raise StubError("has a resource outside its sections")

    def resource(self, type_id, name_id=None):
        """The bytes of the first resource of this type (and this id, when given), or None."""
        root_rva, _ = self.directory(RESOURCE_DIRECTORY)
        if root_rva == 0:
            return None
        root = self.file_offset(root_rva)
        node, path = root, [type_id, name_id, None]
        for level, wanted in enumerate(path):
            named, ids = self.u16(node + 12), self.u16(node + 14)
            entries = [struct.unpack("<II", self.read(node + 16 + 8 * i, 8))
                       for i in range(named + ids)]
            chosen = [target for name, target in entries
                      if wanted is None or (not name & 0x80000000 and name == wanted)]
            if not chosen:
                return None
            target = chosen[0]
            is_directory = bool(target & 0x80000000)
            if is_directory != (level < 2):
                raise StubError("has a damaged resource directory")
            node = root + (target & 0x7FFFFFFF)
        data_rva, size = self.u32(node), self.u32(node + 4)
        return self.read(self.file_offset(data_rva), size)


def check_stub(data):
    """Refuses a stub that Windows could take for an installer in need of elevation, one that is
    signed already (its signature would break once the archive follows it), or a damaged one."""
    image = PeImage(data)
    if image.directory(SECURITY_DIRECTORY)[1] != 0:
        raise StubError("is signed already: sign the package instead, once the archive is "
                        "appended")
    manifest = image.resource(RT_MANIFEST, CREATEPROCESS_MANIFEST_RESOURCE_ID)
    if manifest is None:
        raise StubError("has no application manifest")
    text = manifest.decode("utf-8", "replace").replace("'", '"')
    if 'level="asInvoker"' not in text:
        raise StubError('has a manifest that does not ask for level="asInvoker"')
    return file_version(image)


def file_version(image):
    """The file version of a program's version resource, as "3.9.0.0"."""
    version = image.resource(RT_VERSION)
    if version is None:
        raise StubError("has no version resource")
    key = "VS_VERSION_INFO".encode("utf-16-le")
    fixed = 6 + len(key) + 2
    fixed += (4 - fixed % 4) % 4
    if version[6:6 + len(key)] != key or len(version) < fixed + 52 or \
            struct.unpack_from("<I", version, fixed)[0] != FIXED_FILE_INFO_SIGNATURE:
        raise StubError("has a damaged version resource")
    ms, ls = struct.unpack_from("<II", version, fixed + 8)
    return f"{ms >> 16}.{ms & 0xFFFF}.{ls >> 16}.{ls & 0xFFFF}"


def folder_files(folder):
    """Every file below `folder`, as sorted relative names with "/" separators."""
    names = []
    for parent, folders, files in os.walk(folder):
        folders.sort()
        for name in files:
            path = os.path.join(parent, name)
            names.append(os.path.relpath(path, folder).replace(os.sep, "/"))
    return sorted(names)


def log_text(log):
    return (f"{log}\r\n"
            "Unpacked last: the installer takes this file as the sign that every file of the "
            "package arrived.\r\n").encode()


def entry(name):
    info = zipfile.ZipInfo(name, FIXED_TIME)
    info.compress_type = zipfile.ZIP_DEFLATED
    info.create_system = 0
    info.external_attr = DOS_ARCHIVE_ATTRIBUTE
    return info


def build(stub, folder, output, log):
    """Writes the package; only a complete package ever appears under `output`."""
    with open(stub, "rb") as f:
        stub_bytes = f.read()
    try:
        check_stub(stub_bytes)
    except StubError as error:
        raise ValueError(f"the stub {stub} {error}") from None
    if not log or any(c in log for c in '/\\:'):
        raise ValueError(f"the log file's name {log!r} must be a plain file name")
    names = folder_files(folder)
    if not names:
        raise ValueError(f"{folder} holds no files")
    if log.lower() in (name.lower() for name in names):
        raise ValueError(f"{folder} already holds {log}, which the package builder writes itself "
                         "as the last entry")
    os.makedirs(os.path.dirname(os.path.abspath(output)), exist_ok=True)
    part = output + ".part"
    try:
        with open(part, "wb") as target:
            target.write(stub_bytes)
        # Appending to a file that is not a zip keeps the stub in front; the directory's offsets
        # then count from the start of the whole file.
        with zipfile.ZipFile(part, "a", compression=zipfile.ZIP_DEFLATED) as archive:
            for name in names:
                with open(os.path.join(folder, name), "rb") as f:
                    archive.writestr(entry(name), f.read(), compresslevel=9)
            archive.writestr(entry(log), log_text(log), compresslevel=9)
        os.replace(part, output)
    finally:
        if os.path.exists(part):
            os.remove(part)
    return names + [log]


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--stub", required=True, help="the self-extractor stub program")
    parser.add_argument("--folder", required=True, help="the folder tree to pack")
    parser.add_argument("--log", required=True,
                        help="name of the log file the installer looks for, written last")
    parser.add_argument("--output", required=True, help="the package to write")
    args = parser.parse_args(argv)
    try:
        names = build(args.stub, args.folder, args.output, args.log)
    except (OSError, ValueError) as error:
        print(f"make_package: {error}", file=sys.stderr)
        return 1
    print(f"make_package: {args.output}: {len(names)} files, {os.path.getsize(args.output)} bytes")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
