"""The fault suite's prefix snapshots: what counts as a change, and where the allowed places end."""
import io
import json
import os
import sys
import tempfile
import unittest
from contextlib import redirect_stdout

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "..", "tests", "e2e"))
import snapshot  # noqa: E402

EXPORT = (
    "Windows Registry Editor Version 5.00\r\n\r\n"
    "[HKEY_LOCAL_MACHINE\\Software\\Classes\\.rc]\r\n"
    '@="TorvekPellum.rc"\r\n'
    '"Content Type"=hex(2):43,00,3a,00,\\\r\n'
    "  5c,00,00,00\r\n\r\n"
    "[HKEY_LOCAL_MACHINE\\Software\\Classes\\.rcx]\r\n"
    '@="Other"\r\n'
)


def write_export(folder, text, utf16=True):
    path = os.path.join(folder, "export.reg")
    with open(path, "wb") as f:
        f.write(b"\xff\xfe" + text.encode("utf-16-le") if utf16 else text.encode())
    return path


class ReadExportTest(unittest.TestCase):
    def test_keys_values_and_continued_lines(self):
        with tempfile.TemporaryDirectory() as d:
            for utf16 in (True, False):
                keys = snapshot.read_export(write_export(d, EXPORT, utf16))
                rc = keys["HKEY_LOCAL_MACHINE\\Software\\Classes\\.rc"]
                self.assertEqual(rc["@"], '"TorvekPellum.rc"')
                self.assertEqual(rc['"Content Type"'], "hex(2):43,00,3a,00,5c,00,00,00")
                self.assertEqual(keys["HKEY_LOCAL_MACHINE\\Software\\Classes\\.rcx"], {"@": '"Other"'})


# The same keys as EXPORT, as Wine saves them (RegSaveKey of HKLM): paths relative to the root, escaped;
# a key that only has subkeys left out; a time stamp on every key line.
SAVED = (
    "WINE REGISTRY Version 2\n"
    ";; All keys relative to REGISTRY\\\\Machine\n\n#arch=win64\n\n"
    "[Software\\\\Classes\\\\.rc] 1700000000\n"
    "#time=1d9f0c8a1b2c3d4\n"
    '@="TorvekPellum.rc"\n'
    '"Content Type"=hex(2):43,00,3a,00,\\\n'
    "  5c,00,00,00\n\n"
    "[Software\\\\Classes\\\\.rcx] 1700000001\n"
    '@="Other"\n\n'
    "[Software\\\\\\x41f\\x440\\x43e\\x433\\x440\\x430\\x43c\\x43c\\x44b 7] 1700000002\n"
)


class ReadSavedHiveTest(unittest.TestCase):
    def test_the_same_keys_and_values_as_an_export(self):
        with tempfile.TemporaryDirectory() as d:
            saved = snapshot.read_export(write_export(d, SAVED, utf16=False))
            exported = snapshot.read_export(write_export(d, EXPORT, utf16=False))
        self.assertEqual(saved.pop("HKEY_LOCAL_MACHINE\\Software\\Программы 7"), {})
        self.assertEqual(saved, exported)
        self.assertEqual(sorted(saved)[:3], ["HKEY_LOCAL_MACHINE", "HKEY_LOCAL_MACHINE\\Software",
                                             "HKEY_LOCAL_MACHINE\\Software\\Classes"])


class DiffTest(unittest.TestCase):
    def run_diff(self, before, after, files=(), keys=()):
        with tempfile.TemporaryDirectory() as d:
            paths = []
            for name, state in (("before", before), ("after", after)):
                paths.append(os.path.join(d, name + ".json"))
                with open(paths[-1], "w") as f:
                    json.dump(state, f)
            out = io.StringIO()
            with redirect_stdout(out):
                status = snapshot.diff(paths[0], paths[1], list(files), list(keys))
            return status, out.getvalue()

    def test_an_allowed_key_does_not_allow_its_namesake_with_a_longer_name(self):
        before = {"files": {}, "keys": {"HKEY_LOCAL_MACHINE\\Software\\Classes\\.rcx": {"@": '"Other"'}}}
        after = {"files": {}, "keys": {"HKEY_LOCAL_MACHINE\\Software\\Classes\\.rcx": {"@": '"Ours"'}}}
        status, out = self.run_diff(before, after, keys=["HKEY_LOCAL_MACHINE\\Software\\Classes\\.rc"])
        self.assertEqual(status, 1)
        self.assertIn("outside: key [HKEY_LOCAL_MACHINE\\Software\\Classes\\.rcx]", out)

    def test_keys_compare_without_case_and_subkeys_are_inside(self):
        key = "HKEY_LOCAL_MACHINE\\SOFTWARE\\classes\\TorvekPellum.rc\\Shell\\Open\\Command"
        status, out = self.run_diff({"files": {}, "keys": {}}, {"files": {}, "keys": {key: {"@": "x"}}},
                                    keys=["HKEY_LOCAL_MACHINE\\Software\\Classes\\TorvekPellum.rc"])
        self.assertEqual(status, 0, out)
        self.assertIn("compared 0 files, 1 keys; changed: 0 files, 1 keys; outside: 0", out)

    def test_removed_and_changed_files_outside_are_reported(self):
        before = {"files": {"drive_c/a.txt": ["file", 3, 1], "drive_c/b.txt": ["file", 3, 1]}, "keys": {}}
        after = {"files": {"drive_c/a.txt": ["file", 4, 2], "drive_c/Program Files/T/x": ["file", 1, 1]},
                 "keys": {}}
        status, out = self.run_diff(before, after, files=["drive_c/Program Files/T"])
        self.assertEqual(status, 1)
        self.assertIn("outside: file drive_c/a.txt", out)
        self.assertIn("outside: file drive_c/b.txt", out)
        self.assertNotIn("Program Files", out.replace("changed:", ""))


class FileEntriesTest(unittest.TestCase):
    def test_hives_and_drive_links_are_left_out(self):
        with tempfile.TemporaryDirectory() as d:
            os.makedirs(os.path.join(d, "dosdevices"))
            os.symlink("/", os.path.join(d, "dosdevices", "z:"))
            os.makedirs(os.path.join(d, "drive_c", "x"))
            for name in ("system.reg", "user.reg", "drive_c/x/f.txt"):
                open(os.path.join(d, name), "w").close()
            self.assertEqual(sorted(snapshot.file_entries(d)), ["dosdevices", "drive_c", "drive_c/x",
                                                                 "drive_c/x/f.txt"])


if __name__ == "__main__":
    unittest.main()
