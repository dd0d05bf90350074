#!/usr/bin/python3
"""Writes a zip whose bytes depend only on the files it holds, so anyone can rebuild a release and compare.

Entries are in byte order of their names, every time stamp is the given one (the last commit's, say), modes are
0644 for files and 0755 for programs, and no extra fields (owner, access or creation times) are written.

Usage: make-zip.py FOLDER ZIP EPOCH_SECONDS
"""
import os
import sys
import time
import zipfile


def main(folder, zip_path, epoch):
    # Zip stores local time without a zone; UTC makes it the same wherever the zip is made.
    stamp = time.gmtime(max(int(epoch), 315532800))[:6]  # the format cannot go before 1980
    names = []
    for root, _dirs, files in os.walk(folder):
        for name in files:
            names.append(os.path.relpath(os.path.join(root, name), folder).replace(os.sep, "/"))
    with zipfile.ZipFile(zip_path, "w") as archive:
        for name in sorted(names):
            path = os.path.join(folder, name)
            entry = zipfile.ZipInfo(name, date_time=stamp)
            entry.create_system = 3  # Unix, so the mode below is what unzip applies
            executable = os.access(path, os.X_OK) or name.endswith(".exe")
            entry.external_attr = (0o100755 if executable else 0o100644) << 16
            entry.compress_type = zipfile.ZIP_DEFLATED
            with open(path, "rb") as source:
                archive.writestr(entry, source.read(), compresslevel=9)


if __name__ == "__main__":
    if len(sys.argv) != 4:
        sys.exit(__doc__.strip().splitlines()[-1])
    main(*sys.argv[1:])
