#!/usr/bin/env python3
"""Writes the sample installation packages that the vendor server stand-in serves."""

import argparse
import hashlib
import os
import sys

# Name and length of each sample package. Their bytes stand in for the vendor's self-extractors.
PACKAGES = {
    "CelvaraStudio_v3.9.exe": 1_500_000,
    "CelvaraStudio_Upgrade_v3.9.exe": 350_000,
}


def package_bytes(name, length):
    """The same bytes for the same name on every machine."""
    out = bytearray()
    counter = 0
    while len(out) < length:
        out += hashlib.sha256(f"{name}:{counter}".encode()).digest()
        counter += 1
    return bytes(out[:length])


def write_packages(folder, only_missing=False):
    """Writes every sample package into `folder`, creating it; returns the paths written."""
    os.makedirs(folder, exist_ok=True)
    written = []
    for name, length in PACKAGES.items():
        path = os.path.join(folder, name)
        if only_missing and os.path.exists(path):
            continue
        with open(path, "wb") as f:
            f.write(package_bytes(name, length))
        written.append(path)
    return written


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("folder", help="folder to write the packages into (created if missing)")
    parser.add_argument("--only-missing", action="store_true",
                        help="keep packages that are already there")
    args = parser.parse_args(argv)
    for path in write_packages(args.folder, args.only_missing):
        print(path)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
