#!/usr/bin/env python3
"""Prints what an installer pins of a package besides its digest: its size in bytes and the length,
in characters, of the longest name inside it (relative to the folder it unpacks into).

    package_facts.py PACKAGE        prints "SIZE DEEPEST_PATH"
"""

import os
import sys
import zipfile


def facts(package):
    with zipfile.ZipFile(package) as archive:
        names = [info.filename for info in archive.infolist() if not info.is_dir()]
    if not names:
        raise ValueError(f"{package} holds no files")
    return os.path.getsize(package), max(len(name) for name in names)


def main(argv):
    if len(argv) != 1:
        print(__doc__, file=sys.stderr)
        return 2
    try:
        size, deepest = facts(argv[0])
    except (OSError, ValueError, zipfile.BadZipFile) as error:
        print(f"package_facts: {error}", file=sys.stderr)
        return 1
    print(f"{size} {deepest}")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
