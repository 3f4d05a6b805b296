#!/usr/bin/env python3
"""Lays out the folder tree of a CelvaraStudio package, ready for make_package.py.

    package_contents.py --kind full|upgrade|wrong-log --product CelvaraStudio.exe --output DIR

full       the product and its files in the folders that the installer creates (about 2.5 MB
           packed, like the vendor's package)
upgrade    the product alone
wrong-log  as full; its package gets a log file that no installer run looks for

The log file is not part of the tree: make_package.py writes it as the archive's last entry.
DIR is emptied first. The data files are generated, the same bytes on every machine.
"""

import argparse
import hashlib
import math
import os
import shutil
import sys

VERSION = "v3.9"
# Generated tables that do not compress, sized so that the full package lands near 2.5 MB.
EPHEMERIS_FILES = {"Ephem/Planets1900.eph": 865_000, "Ephem/Planets2000.eph": 865_000,
                   "Ephem/Moon.eph": 300_000}


def generated(name, length):
    return hashlib.shake_256(name.encode()).digest(length)


def user_guide():
    sections = ["Installing", "Charts", "Dual charts", "Ephemeris files", "Getting help"]
    body = "".join(f"<h2>{title}</h2>\r\n<p>About {title.lower()} in CelvaraStudio {VERSION}.</p>\r\n"
                   for title in sections)
    return (f"<html><head><title>CelvaraStudio {VERSION} User Guide</title>"
            '<link rel="stylesheet" href="CelvaraStudioUserGuide_files/guide.css"></head>\r\n'
            f"<body><h1>CelvaraStudio {VERSION}</h1>\r\n{body}</body></html>\r\n")


def chart(name, rows):
    lines = [f"; CelvaraStudio chart {name}"]
    for i in range(rows):
        lines.append(f"{i:4d} {math.sin(i / 7):+.6f} {math.cos(i / 11):+.6f}")
    return ("\r\n".join(lines) + "\r\n").encode()


def files_of(kind, product):
    with open(product, "rb") as f:
        files = {"CelvaraStudio.exe": f.read()}
    if kind == "upgrade":
        return files
    files["CelvaraStudioUserGuide.htm"] = user_guide().encode()
    files["CelvaraStudioUserGuide_files/guide.css"] = b"body { font-family: sans-serif; }\r\n"
    files["Charts/Single/Natal.chr"] = chart("Natal", 400)
    files["Charts/Dual/Synastry.chr"] = chart("Synastry", 400)
    for name, length in EPHEMERIS_FILES.items():
        files[name] = generated(name, length)
    return files


def write_tree(kind, product, output):
    if os.path.isdir(output):
        shutil.rmtree(output)
    for name, data in files_of(kind, product).items():
        path = os.path.join(output, *name.split("/"))
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(data)


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--kind", required=True, choices=["full", "upgrade", "wrong-log"])
    parser.add_argument("--product", required=True, help="the built CelvaraStudio.exe")
    parser.add_argument("--output", required=True, help="folder to lay the tree out in")
    args = parser.parse_args(argv)
    try:
        write_tree(args.kind, args.product, args.output)
    except OSError as error:
        print(f"package_contents: {error}", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
