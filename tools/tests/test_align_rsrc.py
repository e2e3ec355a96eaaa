"""align_rsrc.py: the resources move to a page-aligned file offset and nothing in the image changes."""
import os
import struct
import subprocess
import sys
import tempfile
import unittest

import support
from test_check_pe import build_pe, failures

TOOL = os.path.join(os.path.dirname(__file__), "..", "align_rsrc.py")


def sections(data: bytes):
    """name -> (virtual address, raw offset, raw bytes) of every section."""
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    count, optional_size = struct.unpack_from("<H12xH", data, pe + 6)
    table = pe + 24 + optional_size
    found = {}
    for i in range(count):
        name, _, rva, size, raw = struct.unpack_from("<8sIIII", data, table + 40 * i)
        found[name.rstrip(b"\0").decode()] = (rva, raw, data[raw:raw + size])
    return found


class AlignRsrc(unittest.TestCase):
    def run_tool(self, data: bytes) -> bytes:
        with tempfile.TemporaryDirectory() as folder:
            path = os.path.join(folder, "Setup.exe")
            support.write(path, data)
            subprocess.run([sys.executable, "-B", TOOL, path], check=True, capture_output=True)
            return support.read(path)

    def test_resources_move_to_a_page_and_every_section_keeps_its_bytes(self):
        before = build_pe()
        self.assertNotEqual(sections(before)[".rsrc"][1] % 0x1000, 0, "the sample must start unaligned")
        after = self.run_tool(before)
        moved, kept = sections(after), sections(before)
        self.assertEqual(moved[".rsrc"][1] % 0x1000, 0)
        self.assertEqual(sorted(moved), sorted(kept))
        for name, (rva, _, body) in kept.items():
            self.assertEqual(moved[name][0], rva, name)
            self.assertEqual(moved[name][2], body, name)
        self.assertEqual(failures(after), {})

    def test_an_aligned_image_is_left_byte_for_byte(self):
        once = self.run_tool(build_pe())
        self.assertEqual(self.run_tool(once), once)

    def test_a_file_that_is_not_an_image_is_refused(self):
        with tempfile.TemporaryDirectory() as folder:
            path = os.path.join(folder, "x.exe")
            support.write(path, b"MZ" + bytes(0x100))
            result = subprocess.run([sys.executable, "-B", TOOL, path], capture_output=True, text=True)
        self.assertNotEqual(result.returncode, 0)
        self.assertIn("not a PE file", result.stderr)


if __name__ == "__main__":
    unittest.main()
