"""Reads resources/payload.catalogue, the list of files Setup.exe carries.

Each entry is one line "number<TAB>destination<TAB>size"; lines starting with "#" and blank lines are
ignored. Numbers must run 1, 2, 3 ... in file order: the installer stops at the first missing
FILE<n>, so a gap would silently drop every later entry, and keeping the file in order lets a gap,
a duplicate or a swapped pair be reported on the very line where it happens.

Destinations are checked here rather than left to the installer, which would skip a bad entry at
install time: a catalogue mistake should stop the build, not ship.
"""
import os
import re
from dataclasses import dataclass
from typing import List, Optional

MAX_ENTRIES = 255  # the installer counts entries in one byte
MAX_DESTINATION = 255

_FORBIDDEN_CHARACTERS = set('<>:"|?*;')  # ';' would also split the build's file lists
_RESERVED_NAMES = {"CON", "PRN", "AUX", "NUL"} | {"COM%d" % i for i in range(1, 10)} | {
    "LPT%d" % i for i in range(1, 10)}


class CatalogueError(Exception):
    """A problem with one file, optionally at one line; str() names both."""

    def __init__(self, path: str, line: Optional[int], message: str):
        super().__init__(message)
        self.path = path
        self.line = line
        self.message = message

    def __str__(self) -> str:
        where = self.path if self.line is None else "%s:%d" % (self.path, self.line)
        return "%s: %s" % (where, self.message)


@dataclass(frozen=True)
class Entry:
    number: int
    destination: str  # relative, "/" between parts
    size: int
    line: int  # where it stands in the catalogue, for messages

    def local_path(self, folder: str) -> str:
        return os.path.join(folder, *self.destination.split("/"))


def destination_problem(destination: str) -> Optional[str]:
    """Why a destination cannot be installed safely, or None when it can.

    The installer applies the same rules in the same order when it extracts (engine/Payload.cpp); both
    pass the cases in tests/data/destinations.txt.
    """
    if not destination:
        return "the destination is empty"
    if len(destination) > MAX_DESTINATION:
        return "the destination is %d characters long, the limit is %d" % (len(destination), MAX_DESTINATION)
    if destination[0] in "/\\":
        return "the destination %r is absolute; it must be relative to the install folder" % destination
    if re.match(r"[A-Za-z]:", destination):
        return "the destination %r names a drive; it must be relative to the install folder" % destination
    if "\\" in destination:
        return "the destination %r uses \"\\\"; separate folders with \"/\"" % destination
    for part in destination.split("/"):
        problem = _part_problem(part)
        if problem:
            return "the destination %r %s" % (destination, problem)
    return None


def _part_problem(part: str) -> Optional[str]:
    if part == "..":
        return "contains a \"..\" part"
    if part in ("", "."):
        return "has an empty or \".\" part"
    bad = [c for c in part if ord(c) < 0x20 or ord(c) == 0x7F or c in _FORBIDDEN_CHARACTERS]
    if bad:
        return "contains %r, which is not allowed in a file name here" % bad[0]
    if part[-1] in " .":
        return "has a part ending in a space or a dot, which Windows drops"
    if part.split(".")[0].upper() in _RESERVED_NAMES:
        return "uses %r, a device name on Windows" % part
    return None


def parse_catalogue(text: str, path: str) -> List[Entry]:
    entries: List[Entry] = []
    seen_numbers = {}
    for line_number, raw in enumerate(text.split("\n"), start=1):
        line = raw[:-1] if raw.endswith("\r") else raw
        if not line.strip() or line.startswith("#"):
            continue
        entry = _parse_line(line, line_number, path)
        _check_number(entry, entries, seen_numbers, path)
        seen_numbers[entry.number] = line_number
        entries.append(entry)
    if not entries:
        raise CatalogueError(path, None, "the catalogue has no entries")
    _check_destinations_distinct(entries, path)
    return entries


def _parse_line(line: str, line_number: int, path: str) -> Entry:
    fields = line.split("\t")
    if len(fields) != 3:
        raise CatalogueError(path, line_number,
                             "expected \"number<TAB>destination<TAB>size\", found %d tab-separated fields"
                             % len(fields))
    number_text, destination, size_text = fields
    if not re.fullmatch(r"[0-9]+", number_text):
        raise CatalogueError(path, line_number, "the entry number %r is not a whole number" % number_text)
    if not re.fullmatch(r"[0-9]+", size_text):
        raise CatalogueError(path, line_number, "the size %r is not a whole number of bytes" % size_text)
    problem = destination_problem(destination)
    if problem:
        raise CatalogueError(path, line_number, problem)
    return Entry(int(number_text), destination, int(size_text), line_number)


def _check_number(entry: Entry, earlier: List[Entry], seen_numbers: dict, path: str) -> None:
    if entry.number in seen_numbers:
        raise CatalogueError(path, entry.line, "entry number %d is already used on line %d"
                             % (entry.number, seen_numbers[entry.number]))
    expected = len(earlier) + 1
    if expected > MAX_ENTRIES:
        raise CatalogueError(path, entry.line, "more than %d entries; the installer cannot carry them"
                             % MAX_ENTRIES)
    if entry.number != expected:
        raise CatalogueError(path, entry.line, "expected entry number %d here, found %d "
                             "(numbers run 1, 2, 3 ... in file order, without gaps)"
                             % (expected, entry.number))


def _check_destinations_distinct(entries: List[Entry], path: str) -> None:
    # Windows compares names without case, so "a.txt" and "A.TXT" would overwrite each other.
    files = {}
    for entry in entries:
        key = entry.destination.upper()
        if key in files:
            raise CatalogueError(path, entry.line, "the destination %r is already used on line %d"
                                 % (entry.destination, files[key].line))
        files[key] = entry
    for entry in entries:
        parts = entry.destination.upper().split("/")
        for depth in range(1, len(parts)):
            folder = "/".join(parts[:depth])
            if folder in files:
                raise CatalogueError(path, entry.line, "the destination %r needs a folder where line %d "
                                     "puts a file" % (entry.destination, files[folder].line))


def read_catalogue(path: str) -> List[Entry]:
    try:
        with open(path, "rb") as f:
            data = f.read()
    except OSError as error:
        raise CatalogueError(path, None, "cannot read the catalogue: %s" % error.strerror)
    try:
        text = data.decode("ascii")
    except UnicodeDecodeError as error:
        line = data[:error.start].count(b"\n") + 1
        raise CatalogueError(path, line, "the catalogue must be plain ASCII text")
    return parse_catalogue(text, path)


def check_folder(entries: List[Entry], folder: str, catalogue_path: str) -> List[CatalogueError]:
    """Every entry's file must exist in the folder with exactly the catalogue's size."""
    problems = []
    for entry in entries:
        local = entry.local_path(folder)
        if not os.path.isfile(local):
            problems.append(CatalogueError(catalogue_path, entry.line, "%s is missing" % local))
            continue
        actual = os.path.getsize(local)
        if actual != entry.size:
            problems.append(CatalogueError(catalogue_path, entry.line, "%s is %d bytes, the catalogue says %d"
                                           % (local, actual, entry.size)))
    return problems
