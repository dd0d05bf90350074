#!/usr/bin/python3
"""Pins what makes a release rebuildable bit for bit: the programs' PE headers carry no build time, and the zip
lists its files in name order, each stamped with the last commit's time, with no owner or other varying fields;
SHA256SUMS matches what was built.

Usage: release_fields_test.py EXE ZIP SHA256SUMS SOURCE_DIR
"""
import hashlib
import os
import struct
import subprocess
import sys
import time
import unittest
import zipfile

EXE, ZIP, SUMS, SOURCE_DIR = (None,) * 4
# The console programs for bank authors, beside the exam in the zip and in SHA256SUMS.
TOOLS = ["tessavon-check.exe", "tessavon-import.exe"]


def sha256(path):
    with open(path, "rb") as f:
        return hashlib.sha256(f.read()).hexdigest()


class ReleaseFields(unittest.TestCase):
    def test_exe_has_no_build_time(self):
        for exe in [EXE] + [os.path.join(os.path.dirname(EXE), tool) for tool in TOOLS]:
            with self.subTest(exe=exe), open(exe, "rb") as f:
                data = f.read()
                pe = struct.unpack_from("<I", data, 0x3C)[0]
                self.assertEqual(data[pe:pe + 4], b"PE\0\0")
                self.assertEqual(struct.unpack_from("<I", data, pe + 8)[0], 0, "TimeDateStamp of the COFF header")

    def test_zip_entries_are_fixed(self):
        commit_time = int(subprocess.check_output(["git", "-C", SOURCE_DIR, "log", "-1", "--format=%ct"]))
        stamp = time.gmtime(commit_time)[:6]
        stamp = stamp[:5] + (stamp[5] // 2 * 2,)  # zip keeps seconds in steps of two
        with zipfile.ZipFile(ZIP) as archive:
            entries = archive.infolist()
        names = [e.filename for e in entries]
        self.assertEqual(names, sorted(names))
        self.assertIn("tessavon.exe", names)
        for tool in TOOLS:
            self.assertIn(tool, names)
        for e in entries:
            with self.subTest(entry=e.filename):
                self.assertEqual(e.date_time, stamp)
                self.assertEqual(e.extra, b"", "no owner, access or creation times")
                self.assertEqual(e.create_system, 3)
                mode = 0o100755 if e.filename.endswith(".exe") else 0o100644
                self.assertEqual(e.external_attr >> 16, mode)

    def test_checksums_match(self):
        with open(SUMS) as f:
            lines = f.read().splitlines()
        tools = ["%s  %s" % (sha256(os.path.join(os.path.dirname(EXE), tool)), tool) for tool in TOOLS]
        self.assertEqual(lines, ["%s  %s" % (sha256(ZIP), os.path.basename(ZIP)),
                                 "%s  tessavon.exe" % sha256(EXE)] + tools)


if __name__ == "__main__":
    EXE, ZIP, SUMS, SOURCE_DIR = sys.argv[1:5]
    unittest.main(argv=sys.argv[:1])
