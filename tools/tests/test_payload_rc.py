"""payload.rc: what it says, that windres reads it as meant, and what stops it being written."""
import os
import shutil
import struct
import subprocess
import tempfile
import unittest

import support
from make_payload_rc import rc_string

WINDRES = shutil.which("i686-w64-mingw32-windres") or shutil.which("x86_64-w64-mingw32-windres")


def res_entries(data: bytes):
    """(type, name, language, data) of every entry of a .res file; ids as ints, names as strings."""
    def ident(at):
        if struct.unpack_from("<H", data, at)[0] == 0xFFFF:
            return struct.unpack_from("<H", data, at + 2)[0], at + 4
        end = at
        while struct.unpack_from("<H", data, end)[0]:
            end += 2
        return data[at:end].decode("utf-16-le"), end + 2 + (end + 2 - at) % 4

    entries, at = [], 0
    while at < len(data):
        data_size, header_size = struct.unpack_from("<II", data, at)
        type_, after = ident(at + 8)
        name, after = ident(after)
        language = struct.unpack_from("<H", data, after + 6)[0]
        body = data[at + header_size:at + header_size + data_size]
        entries.append((type_, name, language, body))
        at += header_size + data_size + (-data_size % 4)
    return entries[1:]  # the first is the empty entry every .res starts with


class PayloadScript(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.mkdtemp()
        self.addCleanup(shutil.rmtree, self.folder)
        self.payload = os.path.join(self.folder, "pay load")  # a space, as in many real paths
        support.write(os.path.join(self.payload, "Main.exe"), b"MZ\0\x01")
        support.write(os.path.join(self.payload, "Data", "it's.db"), b"a|b\r\n")
        self.catalogue = support.write(os.path.join(self.folder, "c"), "# test\n1\tMain.exe\t4\n2\tData/it's.db\t5\n")
        self.output = os.path.join(self.folder, "payload.rc")

    def generate(self):
        return support.run_tool("make_payload_rc.py", self.catalogue, self.payload, self.output)

    def test_script_names_every_file_and_destination_in_language_1049(self):
        result = self.generate()
        self.assertEqual(0, result.returncode, result.stderr)
        with open(self.output) as f:
            text = f.read()
        statements = [line for line in text.splitlines() if line and not line.startswith("//")]
        self.assertEqual("LANGUAGE 0x19, 0x01", statements[0])
        self.assertIn('FILE1 RCDATA "%s/Main.exe"' % self.payload, statements)
        self.assertIn('FILE2 RCDATA "%s/Data/it\'s.db"' % self.payload, statements)
        table = statements[statements.index("STRINGTABLE"):]
        self.assertEqual(["STRINGTABLE", "BEGIN", '    1, "Main.exe"', '    2, "Data/it\'s.db"', "END"], table)

    def test_quotes_and_backslashes_are_escaped(self):
        self.assertEqual('"a""b\\\\c"', rc_string('a"b\\c'))
        with self.assertRaises(ValueError):
            rc_string("a\nb")

    @unittest.skipUnless(WINDRES, "no MinGW windres")
    def test_windres_reads_back_the_bytes_strings_and_language(self):
        self.assertEqual(0, self.generate().returncode)
        compiled = os.path.join(self.folder, "payload.res")
        subprocess.run([WINDRES, "-i", self.output, "-o", compiled, "-O", "res"], check=True)
        entries = res_entries(support.read(compiled))
        self.assertEqual({1049}, {language for _, _, language, _ in entries})
        data = {name: body for type_, name, _, body in entries if type_ == 10}
        self.assertEqual({"FILE1": b"MZ\0\x01", "FILE2": b"a|b\r\n"}, data)
        strings = [body for type_, _, _, body in entries if type_ == 6]
        self.assertEqual(1, len(strings))
        self.assertIn("Data/it's.db".encode("utf-16-le"), strings[0])
        self.assertIn(struct.pack("<H", 8) + "Main.exe".encode("utf-16-le"), strings[0])

    def test_a_file_of_the_wrong_size_is_refused_and_nothing_written(self):
        support.write(os.path.join(self.payload, "Main.exe"), b"MZ\0\x01\0")
        result = self.generate()
        self.assertEqual(1, result.returncode)
        self.assertIn("%s:2:" % self.catalogue, result.stderr)
        self.assertIn("Main.exe is 5 bytes, the catalogue says 4", result.stderr)
        self.assertFalse(os.path.exists(self.output))

    def test_a_missing_file_is_refused(self):
        os.remove(os.path.join(self.payload, "Data", "it's.db"))
        result = self.generate()
        self.assertEqual(1, result.returncode)
        self.assertIn("%s:3:" % self.catalogue, result.stderr)
        self.assertIn("missing", result.stderr)

    def test_a_refusal_keeps_the_previous_script(self):
        self.assertEqual(0, self.generate().returncode)
        before = support.read(self.output)
        support.write(self.catalogue, "1\tMain.exe\t4\n3\tData/it's.db\t5\n")
        self.assertEqual(1, self.generate().returncode)
        self.assertEqual(before, support.read(self.output))


if __name__ == "__main__":
    unittest.main()
