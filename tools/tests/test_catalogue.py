"""The catalogue reader: what it refuses (with the line), what it accepts, and the checked-in file."""
import os
import tempfile
import unittest

import support
from payload_catalogue import CatalogueError, destination_problem, parse_catalogue, read_catalogue


def lines(*rows: str) -> str:
    return "".join(row + "\n" for row in rows)


class Refusals(unittest.TestCase):
    # name, catalogue text, line reported, part of the message
    CASES = [
        ("gap", lines("1\ta\t1", "3\tb\t1"), 2, "expected entry number 2"),
        ("not starting at 1", lines("2\ta\t1"), 1, "expected entry number 1"),
        ("out of order", lines("2\ta\t1", "1\tb\t1"), 1, "expected entry number 1"),
        ("duplicate number", lines("1\ta\t1", "2\tb\t1", "2\tc\t1"), 3, "already used on line 2"),
        ("too many entries", lines(*("%d\tf%d\t1" % (n, n) for n in range(1, 257))), 256, "more than 255"),
        ("spaces instead of tabs", lines("1 a.txt 5"), 1, "tab-separated fields"),
        ("two fields", lines("1\ta.txt"), 1, "tab-separated fields"),
        ("four fields", lines("1\ta.txt\t5\tx"), 1, "tab-separated fields"),
        ("word for a size", lines("1\ta.txt\tfive"), 1, "not a whole number of bytes"),
        ("negative size", lines("1\ta.txt\t-5"), 1, "not a whole number of bytes"),
        ("fractional size", lines("1\ta.txt\t5.0"), 1, "not a whole number of bytes"),
        ("number not numeric", lines("one\ta.txt\t5"), 1, "not a whole number"),
        ("same file in another case", lines("1\tData/A.txt\t1", "2\tdata/a.TXT\t1"), 2, "already used on line 1"),
        ("file where a folder is needed", lines("1\tData\t1", "2\tData/a\t1"), 2, "puts a file"),
        ("only comments", lines("# nothing", ""), None, "no entries"),
    ]

    def test_each_refusal_names_its_line_and_reason(self):
        for name, text, line, fragment in self.CASES:
            with self.subTest(name):
                with self.assertRaises(CatalogueError) as caught:
                    parse_catalogue(text, "cat")
                self.assertEqual(line, caught.exception.line)
                self.assertIn(fragment, caught.exception.message)
                self.assertTrue(str(caught.exception).startswith("cat"))

    def test_destinations_are_judged_as_the_installer_judges_them(self):
        for verdict, destination in support.destination_cases():
            with self.subTest(destination=destination):
                problem = destination_problem(destination)
                if verdict == "ok":
                    self.assertIsNone(problem)
                else:
                    self.assertIn(verdict, problem or "(accepted)")

    def test_a_refused_destination_names_its_line(self):
        with self.assertRaises(CatalogueError) as caught:
            parse_catalogue(lines("# first entry", "1\tData/../a\t1"), "cat")
        self.assertEqual(2, caught.exception.line)
        self.assertIn('".." part', caught.exception.message)

    def test_both_generators_stop_with_file_and_line(self):
        with tempfile.TemporaryDirectory() as folder:
            bad = support.write(os.path.join(folder, "bad.catalogue"), lines("# header", "1\ta\t1", "3\tb\t1"))
            output = os.path.join(folder, "payload.rc")
            for script, args in (("make_payload_rc.py", [bad, folder, output]),
                                 ("make_sample_payload.py", [bad, "--check-folder", folder])):
                with self.subTest(script):
                    result = support.run_tool(script, *args)
                    self.assertNotEqual(0, result.returncode)
                    self.assertIn("%s:3:" % bad, result.stderr)
            self.assertFalse(os.path.exists(output))

    def test_non_ascii_text_is_refused_with_its_line(self):
        with tempfile.TemporaryDirectory() as folder:
            path = support.write(os.path.join(folder, "c"), "1\ta\t1\n2\tb\xe9\t1\n".encode("latin-1"))
            with self.assertRaises(CatalogueError) as caught:
                read_catalogue(path)
            self.assertEqual(2, caught.exception.line)


class Accepted(unittest.TestCase):
    def test_comments_blank_lines_and_crlf_are_ignored(self):
        entries = parse_catalogue("# head\r\n\r\n1\tA b/c d.txt\t0\r\n# mid\r\n2\tx\t12\r\n", "cat")
        self.assertEqual([(1, "A b/c d.txt", 0, 3), (2, "x", 12, 5)],
                         [(e.number, e.destination, e.size, e.line) for e in entries])

    def test_limits_are_inclusive(self):
        self.assertEqual(255, len(parse_catalogue(lines(*("%d\tf%d\t1" % (n, n) for n in range(1, 256))), "c")))
        long_name = "/".join(["d" * 50] * 4) + "/" + "e" * 51
        self.assertEqual(255, len(long_name))
        self.assertEqual(long_name, parse_catalogue(lines("1\t%s\t1" % long_name), "c")[0].destination)


class CheckedInCatalogue(unittest.TestCase):
    def test_matches_the_product_layout(self):
        entries = read_catalogue(support.CATALOGUE)
        self.assertEqual(list(range(1, 33)), [e.number for e in entries])
        self.assertEqual(10870749, sum(e.size for e in entries))
        self.assertEqual("TorvekKel3.exe", entries[0].destination)
        by_number = {e.number: e for e in entries}
        for first, second in ((11, 18), (12, 19), (24, 29), (20, 30)):
            self.assertEqual(os.path.basename(by_number[first].destination),
                             os.path.basename(by_number[second].destination))
            self.assertEqual(by_number[first].size, by_number[second].size)


if __name__ == "__main__":
    unittest.main()
