"""The sample payload: sizes, repeats, determinism, and that every binary format holds together."""
import os
import re
import shutil
import struct
import subprocess
import tempfile
import unittest
from unittest import mock

import support
from payload_catalogue import read_catalogue
from samplegen.libraries import BUCKETS, dictionary_hash

MAIN = support.fake_program(300000, b"sample main program")
UNINSTALLER = support.fake_program(20000, b"sample uninstaller")
folder = None
entries = []


def generate(output: str, catalogue: str = support.CATALOGUE, licence: str = support.LICENCE):
    programs = tempfile.mkdtemp()
    try:
        main = support.write(os.path.join(programs, "main.exe"), MAIN)
        uninstaller = support.write(os.path.join(programs, "un.exe"), UNINSTALLER)
        return support.run_tool("make_sample_payload.py", catalogue, "--main-program", main,
                                "--uninstaller", uninstaller, "--licence", licence, "--output", output)
    finally:
        shutil.rmtree(programs)


def setUpModule():
    global folder, entries
    folder = tempfile.mkdtemp()
    result = generate(folder)
    if result.returncode:
        raise RuntimeError(result.stderr)
    entries = read_catalogue(support.CATALOGUE)


def tearDownModule():
    shutil.rmtree(folder)


def payload(destination: str) -> bytes:
    return support.read(os.path.join(folder, *destination.split("/")))


class Layout(unittest.TestCase):
    def test_every_entry_has_its_exact_size(self):
        for entry in entries:
            self.assertEqual(entry.size, os.path.getsize(entry.local_path(folder)), entry.destination)

    def test_repeated_entries_are_byte_identical(self):
        by_number = {e.number: e.destination for e in entries}
        for first, second in ((11, 18), (12, 19), (24, 29), (20, 30)):
            self.assertEqual(payload(by_number[first]), payload(by_number[second]))

    def test_the_time_it_tells_is_the_builds_source_date(self):
        with mock.patch.dict(os.environ, {"SOURCE_DATE_EPOCH": "1700000000"}), \
                tempfile.TemporaryDirectory() as dated:
            self.assertEqual(0, generate(dated).returncode)
            manual = support.read(os.path.join(dated, "Help", "TorvekKELHelp.pdf"))
            self.assertIn(b"/CreationDate (D:20231114221320Z)", manual)
            library = os.path.join(dated, "Examples", "ExampleProjectMasm1", "WorkModules", "Kernel32.lib")
            self.assertEqual(b"1700000000  ", support.read(library)[8 + 16:8 + 28], "the first member's date")
            for entry in entries:
                self.assertEqual(entry.size, os.path.getsize(entry.local_path(dated)), entry.destination)

    def test_a_second_run_writes_the_same_bytes(self):
        with tempfile.TemporaryDirectory() as again:
            self.assertEqual(0, generate(again).returncode)
            for entry in entries:
                self.assertEqual(payload(entry.destination), support.read(entry.local_path(again)),
                                 entry.destination)

    def test_check_mode_accepts_the_payload_and_names_each_wrong_file(self):
        self.assertEqual(0, support.run_tool("make_sample_payload.py", support.CATALOGUE,
                                             "--check-folder", folder).returncode)
        with tempfile.TemporaryDirectory() as copy:
            shutil.copytree(folder, copy, dirs_exist_ok=True)
            with open(os.path.join(copy, "Licence.txt"), "ab") as f:
                f.write(b"x")
            os.remove(os.path.join(copy, "Data", "wb.kelwb"))
            result = support.run_tool("make_sample_payload.py", support.CATALOGUE, "--check-folder", copy)
            self.assertEqual(1, result.returncode)
            self.assertRegex(result.stderr, r"catalogue:\d+: .*Licence.txt is 1440 bytes, the catalogue says 1439")
            self.assertRegex(result.stderr, r"catalogue:\d+: .*wb.kelwb is missing")


class Programs(unittest.TestCase):
    def test_programs_keep_their_image_and_are_padded_after_it(self):
        for name, program in (("TorvekKel3.exe", MAIN), ("Uninstall.exe", UNINSTALLER)):
            data = payload(name)
            self.assertEqual(program, data[:len(program)])
            self.assertEqual(b"", data[len(program):].strip(b"\0"))

    def _refusal(self, catalogue_text: str, **files) -> str:
        with tempfile.TemporaryDirectory() as work:
            catalogue = support.write(os.path.join(work, "c"), catalogue_text)
            licence = support.write(os.path.join(work, "l.txt"), files.get("licence", b"ok\r\n"))
            result = generate(os.path.join(work, "out"), catalogue, licence)
            self.assertEqual(1, result.returncode)
            self.assertFalse(os.path.exists(os.path.join(work, "out")), "nothing is written on a refusal")
            return result.stderr

    def test_a_program_bigger_than_its_slot_is_refused(self):
        stderr = self._refusal("1\tMain.exe\t1000\n")
        self.assertIn("c:1: Main.exe: the main program is 300000 bytes, larger than its 1000-byte slot", stderr)

    def test_licence_must_match_its_slot_and_use_crlf(self):
        self.assertIn("c:2: Licence.txt: the licence text is 4 bytes, the catalogue says 5",
                      self._refusal("1\tMain.exe\t400000\n2\tLicence.txt\t5\n"))
        self.assertIn("without CR", self._refusal("1\tMain.exe\t400000\n2\tLicence.txt\t3\n", licence=b"ok\n"))

    def test_a_kind_of_file_without_sample_content_is_refused(self):
        self.assertIn("c:2: notes.xyz: there is no sample content",
                      self._refusal("1\tMain.exe\t400000\n2\tnotes.xyz\t10\n"))

    def test_input_that_is_not_a_windows_program_is_refused(self):
        with tempfile.TemporaryDirectory() as work:
            text = support.write(os.path.join(work, "t.exe"), b"just text, not a program" * 10)
            result = support.run_tool("make_sample_payload.py", support.CATALOGUE, "--main-program", text,
                                      "--uninstaller", text, "--licence", support.LICENCE,
                                      "--output", os.path.join(work, "o"))
            self.assertEqual(1, result.returncode)
            self.assertIn("not a Windows program", result.stderr)


class Texts(unittest.TestCase):
    TEXT_ENDINGS = (".txt", ".db", ".kelwb", ".asm", ".inc", ".rc", ".kelp")

    def test_texts_are_ascii_with_crlf_line_ends(self):
        for entry in entries:
            if entry.destination.lower().endswith(self.TEXT_ENDINGS):
                data = payload(entry.destination)
                data.decode("ascii")
                self.assertNotIn(b"\n", data.replace(b"\r\n", b""), entry.destination)
                self.assertTrue(data.endswith(b"\r\n"), entry.destination)

    def test_licence_is_the_agreement_of_33_lines(self):
        data = payload("Licence.txt")
        self.assertEqual(support.read(support.LICENCE), data)
        self.assertEqual(33, data.count(b"\r\n"))

    def test_api_database_has_one_unique_function_per_line(self):
        rows = [line.split("|") for line in payload("Data/wadescp.db").decode().split("\r\n")[:-1]]
        self.assertTrue(all(len(row) == 4 and row[0] and row[1].endswith((".dll", ".drv")) for row in rows))
        self.assertEqual(len(rows), len({row[0] for row in rows}))

    def test_masm_examples_find_every_function_they_invoke(self):
        windows_inc = payload("Examples/ExampleProjectMasm1/Windows.inc").decode()
        prototypes = set(re.findall(r"^(\w+)\s+PROTO\b", windows_inc, re.M))
        for project in ("ExampleProjectMasm1", "ExampleProjectMasm2"):
            code = "".join(payload(e.destination).decode() for e in entries
                           if e.destination.startswith("Examples/%s/" % project) and e.destination.endswith(".asm"))
            # a procedure defined in the source, or prototyped in its include file, needs no more
            own = set(re.findall(r"^(\w+)\s+pro(?:to|c)\b", code + self._includes(project), re.M | re.I))
            for name in set(re.findall(r"invoke\s+(\w+)", code)):
                self.assertTrue(name in prototypes or name in own, "%s invokes %s" % (project, name))

    def _includes(self, project: str) -> str:
        return "".join(payload(e.destination).decode() for e in entries
                       if e.destination.startswith("Examples/%s/" % project) and e.destination.endswith(".inc"))

    def test_menu_script_and_compiled_resources_agree(self):
        script = payload("Examples/ExampleProjectMasm2/menu.rc").decode()
        ids = {name: int(value) for name, value in re.findall(r"#define (IDM_\w+)\s+(\d+)", script)}
        expected = {ids[name]: text for name, text in re.findall(r'^\s+(IDM_\w+)\s+"([^"]*)"', script, re.M)}
        from test_payload_rc import res_entries
        res = payload("Examples/ExampleProjectMasm2/WorkModules/menu.RES")
        self.assertEqual(struct.pack("<II", 0, 32) + b"\xff\xff\0\0\xff\xff\0\0" + bytes(16), res[:32])
        found = {}
        for type_, block, _, body in res_entries(res):
            at = 0
            for index in range(16) if type_ == 6 else ():
                length = struct.unpack_from("<H", body, at)[0]
                if length:
                    found[(block - 1) * 16 + index] = body[at + 2:at + 2 + 2 * length].decode("utf-16-le")
                at += 2 + 2 * length
        self.assertEqual(expected, found)
        menus = [body for type_, _, _, body in res_entries(res) if type_ == 4]
        self.assertEqual(1, len(menus))
        self.assertEqual(set(ids.values()), self.menu_item_ids(menus[0]))

    @staticmethod
    def menu_item_ids(menu: bytes):
        ids, at = set(), 4  # past the menu header
        while at < len(menu):
            flags = struct.unpack_from("<H", menu, at)[0]
            at += 2
            if not flags & 0x10:  # a popup has no identifier
                ids.add(struct.unpack_from("<H", menu, at)[0])
                at += 2
            while menu[at:at + 2] != b"\0\0":
                at += 2
            at += 2
        return ids - {0}  # the separator


class Manual(unittest.TestCase):
    def setUp(self):
        self.pdf = payload("Help/TorvekKELHelp.pdf")

    def test_cross_reference_table_points_at_every_object(self):
        self.assertTrue(self.pdf.startswith(b"%PDF-1.5\n"))
        self.assertTrue(self.pdf.endswith(b"%%EOF\n"))
        xref_at = int(re.search(rb"startxref\n(\d+)\n%%EOF\n$", self.pdf).group(1))
        self.assertEqual(b"xref\n", self.pdf[xref_at:xref_at + 5])
        first, count = map(int, re.match(rb"xref\n(\d+) (\d+)\n", self.pdf[xref_at:]).groups())
        self.assertEqual(0, first)
        rows = self.pdf[xref_at:].split(b"\n")[2:2 + count]
        self.assertEqual(b"0000000000 65535 f ", rows[0])
        for number, row in enumerate(rows[1:], start=1):
            offset = int(row[:10])
            self.assertEqual(b"%d 0 obj\n" % number, self.pdf[offset:offset + len(b"%d 0 obj\n" % number)])
        self.assertIn(b"/Size %d " % count, self.pdf[xref_at:])

    def test_stream_lengths_are_exact_and_text_is_there(self):
        streams = list(re.finditer(rb"/Length (\d+) >>\nstream\n", self.pdf))
        self.assertGreater(len(streams), 3)
        for match in streams:
            end = match.end() + int(match.group(1))
            self.assertEqual(b"\nendstream", self.pdf[end:end + 10])
        self.assertIn(b"(Torvek Pellum 3.9.8.7 manual) Tj", self.pdf)

    @unittest.skipUnless(shutil.which("pdfinfo"), "poppler-utils not installed")
    def test_poppler_reads_it(self):
        path = os.path.join(folder, "Help", "TorvekKELHelp.pdf")
        info = subprocess.run(["pdfinfo", path], capture_output=True, text=True, check=True).stdout
        self.assertRegex(info, r"PDF version:\s+1\.5")
        self.assertRegex(info, r"Pages:\s+[2-9]")
        self.assertRegex(info, r"Title:\s+Torvek Pellum 3\.9\.8\.7 manual")

    @unittest.skipUnless(shutil.which("qpdf"), "qpdf not installed")
    def test_qpdf_finds_no_errors(self):
        result = subprocess.run(["qpdf", "--check", os.path.join(folder, "Help", "TorvekKELHelp.pdf")],
                                capture_output=True, text=True)
        self.assertEqual(0, result.returncode, result.stdout + result.stderr)


class CoffLibraries(unittest.TestCase):
    def members(self, data: bytes):
        self.assertEqual(b"!<arch>\n", data[:8])
        at, found = 8, []
        while at < len(data):
            header = data[at:at + 60]
            self.assertEqual(b"`\n", header[58:60])
            size = int(header[48:58])
            found.append((at, header[:16].decode().strip(), data[at + 60:at + 60 + size]))
            at += 60 + size + size % 2
        self.assertEqual(len(data), at)
        return found

    def test_linker_members_point_at_objects_that_define_the_symbols(self):
        for name, needed in (("Kernel32.lib", [b"_ExitProcess@4", b"__imp__GetModuleHandleA@4"]),
                             ("User32.lib", [b"_MessageBoxA@16", b"__imp__CreateWindowExA@48"])):
            with self.subTest(name):
                members = self.members(payload("Examples/ExampleProjectMasm1/WorkModules/" + name))
                (_, first_name, first), (_, second_name, second) = members[:2]
                self.assertEqual(("/", "/"), (first_name, second_name))
                count = struct.unpack_from(">I", first, 0)[0]
                offsets = struct.unpack_from(">%dI" % count, first, 4)
                names = first[4 + 4 * count:].split(b"\0")[:count]
                objects = {at: body for at, _, body in members[2:]}
                for symbol, offset in zip(names, offsets):
                    self.assertEqual(0x14C, struct.unpack_from("<H", objects[offset], 0)[0])
                    self.assertIn(symbol + b"\0", objects[offset])
                self.assertTrue(set(needed) <= set(names))
                sorted_names = second[8 + 4 * len(objects) + 2 * count:].split(b"\0")[:count]
                self.assertEqual(sorted(names), sorted_names)


class OmfLibrary(unittest.TestCase):
    def test_records_modules_and_dictionary_agree(self):
        data = payload("Examples/ExampleProjectTasm1/WorkModules/Import32.lib")
        kind, length, dictionary_at, blocks = struct.unpack_from("<BHIH", data, 0)
        self.assertEqual(0xF0, kind)
        page = length + 3
        self.assertEqual(len(data), dictionary_at + 512 * blocks)
        modules, at = {}, page
        while data[at] != 0xF1:
            start, name = at, None
            while True:
                kind, length = struct.unpack_from("<BH", data, at)
                self.assertEqual(0, sum(data[at:at + 3 + length]) & 0xFF, "record checksum at %d" % at)
                if kind == 0x80:
                    name = data[at + 4:at + 4 + data[at + 3]]
                at += 3 + length
                if kind == 0x8A:
                    break
            modules[name] = start // page
            at += -at % page
        tasm_includes = "".join(payload(e.destination).decode() for e in entries
                                if "Tasm" in e.destination and e.destination.endswith(".inc"))
        for line in re.findall(r"^\s+extrn\s+(.*)$", tasm_includes, re.M):
            for name in re.findall(r"(\w+):proc", line):
                self.assertIn(name.encode(), modules, "the TASM examples import %s" % name)
        for name, page_number in modules.items():
            self.assertEqual(page_number, self.lookup(data[dictionary_at:], blocks, name), name)

    @staticmethod
    def lookup(dictionary: bytes, blocks: int, name: bytes):
        block, block_step, bucket, bucket_step = dictionary_hash(name, blocks)
        for _ in range(blocks):
            data = dictionary[512 * block:512 * (block + 1)]
            slot = bucket
            for _ in range(BUCKETS):
                if data[slot]:
                    at = 2 * data[slot]
                    if data[at + 1:at + 1 + data[at]] == name:
                        return struct.unpack_from("<H", data, at + 1 + data[at])[0]
                slot = (slot + bucket_step) % BUCKETS
            block = (block + block_step) % blocks
        return None


if __name__ == "__main__":
    unittest.main()
