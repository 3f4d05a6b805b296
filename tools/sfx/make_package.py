#!/usr/bin/env python3
"""Builds a self-extracting package: the stub program, followed by a zip archive of a folder tree.

    make_package.py --stub SfxStub.exe --folder DIR --output Package.exe

Entries are the folder's files under their relative names with "/" separators, sorted, deflated,
all with one fixed time stamp, so that the same inputs always give the same bytes. Folders are
implied by the files' names.
"""

import argparse
import os
import sys
import zipfile

# The earliest time a zip entry can carry; any fixed value keeps the output reproducible.
FIXED_TIME = (1980, 1, 1, 0, 0, 0)
# MS-DOS "archive" attribute: what a file freshly written on Windows carries.
DOS_ARCHIVE_ATTRIBUTE = 0x20


def folder_files(folder):
    """Every file below `folder`, as sorted relative names with "/" separators."""
    names = []
    for parent, folders, files in os.walk(folder):
        folders.sort()
        for name in files:
            path = os.path.join(parent, name)
            names.append(os.path.relpath(path, folder).replace(os.sep, "/"))
    return sorted(names)


def build(stub, folder, output):
    """Writes the package; only a complete package ever appears under `output`."""
    names = folder_files(folder)
    if not names:
        raise ValueError(f"{folder} holds no files")
    os.makedirs(os.path.dirname(os.path.abspath(output)), exist_ok=True)
    part = output + ".part"
    try:
        with open(stub, "rb") as source, open(part, "wb") as target:
            target.write(source.read())
        # Appending to a file that is not a zip keeps the stub in front; the directory's offsets
        # then count from the start of the whole file.
        with zipfile.ZipFile(part, "a", compression=zipfile.ZIP_DEFLATED) as archive:
            for name in names:
                info = zipfile.ZipInfo(name, FIXED_TIME)
                info.compress_type = zipfile.ZIP_DEFLATED
                info.create_system = 0
                info.external_attr = DOS_ARCHIVE_ATTRIBUTE
                with open(os.path.join(folder, name), "rb") as f:
                    archive.writestr(info, f.read(), compresslevel=9)
        os.replace(part, output)
    finally:
        if os.path.exists(part):
            os.remove(part)
    return names


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--stub", required=True, help="the self-extractor stub program")
    parser.add_argument("--folder", required=True, help="the folder tree to pack")
    parser.add_argument("--output", required=True, help="the package to write")
    args = parser.parse_args(argv)
    try:
        names = build(args.stub, args.folder, args.output)
    except (OSError, ValueError) as error:
        print(f"make_package: {error}", file=sys.stderr)
        return 1
    print(f"make_package: {args.output}: {len(names)} files, {os.path.getsize(args.output)} bytes")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
