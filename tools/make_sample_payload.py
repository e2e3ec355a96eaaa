#!/usr/bin/env python3
"""Fills the payload catalogue with sample files, or checks a folder with the product's real files.

Sample mode writes every catalogue entry below OUTPUT, each exactly its catalogue size:
  - entry 1 and Uninstall.exe are our two small sample programs with zero padding appended after the
    image (an overlay, which Windows ignores when it loads the program);
  - Licence.txt is resources/licence.txt itself, which must already have the catalogue size;
  - the manual is a real PDF, the libraries real COFF and OMF import libraries, menu.RES a real
    compiled resource file, and the texts plausible sources, includes and data.
What a file holds depends only on its name, size and assembler flavour, so entries that the
catalogue lists twice (the examples' shared libraries) come out byte-identical. The same inputs give
the same bytes on every run.

Check mode (--check-folder) only verifies that every catalogue file exists in the folder with its
exact size; it writes nothing there.

usage: make_sample_payload.py CATALOGUE --main-program EXE --uninstaller EXE --licence TXT --output DIR
       make_sample_payload.py CATALOGUE --check-folder DIR [--stamp FILE]
"""
import argparse
import os
import posixpath
import struct
import sys

from payload_catalogue import CatalogueError, check_folder, read_catalogue
from samplegen import generated, libraries, pdf, prose, resfile, sources
from samplegen.api import FUNCTIONS, functions_of
from samplegen.fit import FitError, with_header_comment

_PROGRAM = "make_sample_payload"
EOL = "\r\n"


class PayloadError(Exception):
    pass


def windows_program(path: str, role: str) -> bytes:
    """The program's bytes after checking it is a Windows executable at all."""
    try:
        with open(path, "rb") as f:
            data = f.read()
    except OSError as error:
        raise PayloadError("cannot read the %s %s: %s" % (role, path, error.strerror))
    if len(data) < 0x40 or data[:2] != b"MZ":
        raise PayloadError("the %s %s is not a Windows program (no MZ header)" % (role, path))
    pe_at = struct.unpack_from("<I", data, 0x3C)[0]
    if data[pe_at:pe_at + 4] != b"PE\0\0":
        raise PayloadError("the %s %s is not a Windows program (no PE header)" % (role, path))
    return data


def padded_program(program: bytes, size: int, role: str) -> bytes:
    if len(program) > size:
        raise PayloadError("the %s is %d bytes, larger than its %d-byte slot" % (role, len(program), size))
    return program + b"\0" * (size - len(program))


def _text(body: str, size: int, prefix: str, paragraphs) -> bytes:
    return with_header_comment(body.replace("\n", EOL), size, prefix, paragraphs, EOL).encode("ascii")


def _flavour(destination: str) -> str:
    return "TASM" if "tasm" in destination.lower() else "MASM"


class SampleMaker:
    """Builds each entry's bytes; remembers results so repeated entries are built once."""

    def __init__(self, entries, main_program: bytes, uninstaller: bytes, licence: bytes):
        self.entries = entries
        self.main_program = main_program
        self.uninstaller = uninstaller
        self.licence = licence
        self.made = {}

    def content(self, entry) -> bytes:
        name = posixpath.basename(entry.destination)
        key = (name.lower(), entry.size, _flavour(entry.destination), entry.number == 1)
        if name.lower().endswith(".kelp"):  # a project file lists the sources beside it
            key += (posixpath.dirname(entry.destination),)
        if key not in self.made:
            self.made[key] = self._make(entry, name)
        data = self.made[key]
        if len(data) != entry.size:
            raise PayloadError("made %d bytes for a %d-byte entry" % (len(data), entry.size))
        return data

    def _make(self, entry, name: str) -> bytes:
        lower = name.lower()
        extension = posixpath.splitext(lower)[1]
        if entry.number == 1:
            return padded_program(self.main_program, entry.size, "main program")
        if lower == "uninstall.exe":
            return padded_program(self.uninstaller, entry.size, "uninstaller")
        if lower == "licence.txt":
            return self._licence(entry.size)
        makers = {".pdf": lambda: pdf.manual(entry.size),
                  ".db": lambda: generated.api_database(entry.size).encode("ascii"),
                  ".kelwb": lambda: generated.instruction_reference(entry.size).encode("ascii"),
                  ".res": lambda: resfile.menu_res(entry.size),
                  ".rc": lambda: _text(sources.menu_rc(resfile.STATUS_TEXTS), entry.size, "//",
                                       prose.RESOURCE_SCRIPT),
                  ".kelp": lambda: self._project(entry, name),
                  ".lib": lambda: self._library(entry, lower),
                  ".asm": lambda: self._source(entry, lower),
                  ".inc": lambda: self._source(entry, lower)}
        if extension not in makers:
            raise PayloadError("there is no sample content for %r; teach make_sample_payload.py about it "
                               "or build with SETUP_PAYLOAD_DIR" % entry.destination)
        return makers[extension]()

    def _licence(self, size: int) -> bytes:
        # The wizard shows the same text in a Windows edit control, which needs CRLF line ends.
        if self.licence.replace(b"\r\n", b"").count(b"\n"):
            raise PayloadError("the licence text has a line ending without CR; it must use CRLF throughout")
        if len(self.licence) != size:
            raise PayloadError("the licence text is %d bytes, the catalogue says %d; edit one of them"
                               % (len(self.licence), size))
        return self.licence

    def _source(self, entry, lower: str) -> bytes:
        flavour = _flavour(entry.destination)
        if entry.destination.lower().startswith("climodules/"):
            templates = {"tasm.asm": (sources.TASM_CLI_TEMPLATE, prose.TASM_TEMPLATE),
                         "masm.asm": (sources.MASM_CLI_TEMPLATE, prose.CONSOLE_TEMPLATE)}
        elif lower == "windows.inc":
            return generated.windows_inc(entry.size).encode("ascii")
        elif flavour == "TASM":
            templates = {"button.asm": (sources.TASM_BUTTON_ASM, prose.BUTTON_ASM),
                         "button.inc": (sources.TASM_BUTTON_INC, prose.TASM_INCLUDE_FILE),
                         "menu.asm": (sources.TASM_MENU_ASM, prose.MENU_ASM),
                         "menu.inc": (sources.TASM_MENU_INC, prose.TASM_INCLUDE_FILE)}
        else:
            templates = {"button.asm": (sources.MASM_BUTTON_ASM, prose.BUTTON_ASM),
                         "button.inc": (sources.MASM_BUTTON_INC, prose.INCLUDE_FILE),
                         "menu.asm": (sources.MASM_MENU_ASM, prose.MENU_ASM),
                         "menu.inc": (sources.MASM_MENU_INC, prose.INCLUDE_FILE)}
        if lower not in templates:
            raise PayloadError("there is no sample source for %r" % entry.destination)
        body, paragraphs = templates[lower]
        return _text(body, entry.size, ";", paragraphs)

    def _library(self, entry, lower: str) -> bytes:
        if lower == "import32.lib":
            return libraries.omf_import_library(FUNCTIONS, entry.size)
        dll = lower[:-len(".lib")] + ".dll"
        functions = functions_of(dll)
        if not functions:
            raise PayloadError("there is no sample function list for %s (from %r)" % (dll, entry.destination))
        return libraries.coff_import_library(functions, dll.upper().replace(".DLL", ".dll"), entry.size)

    def _project(self, entry, name: str) -> bytes:
        folder = posixpath.dirname(entry.destination)
        siblings = [posixpath.basename(e.destination) for e in self.entries
                    if posixpath.dirname(e.destination) == folder]
        code = [s for s in siblings if s.lower().endswith((".asm", ".inc"))]
        resources = [s for s in siblings if s.lower().endswith(".rc")]
        body = sources.project_file(posixpath.splitext(name)[0], _flavour(entry.destination), code, resources)
        return _text(body, entry.size, ";", prose.PROJECT)


def write_sample_payload(entries, maker: SampleMaker, output: str, catalogue_path: str) -> None:
    contents = []  # everything is made before anything is written: a refusal leaves no half payload
    for entry in entries:
        try:
            contents.append(maker.content(entry))
        except (PayloadError, FitError) as error:
            raise CatalogueError(catalogue_path, entry.line, "%s: %s" % (entry.destination, error))
    for entry, data in zip(entries, contents):
        target = entry.local_path(output)
        os.makedirs(os.path.dirname(target), exist_ok=True)
        with open(target, "wb") as f:
            f.write(data)


def _arguments(argv):
    parser = argparse.ArgumentParser(prog=_PROGRAM, description=__doc__.split("\n")[0])
    parser.add_argument("catalogue")
    parser.add_argument("--main-program")
    parser.add_argument("--uninstaller")
    parser.add_argument("--licence")
    parser.add_argument("--output")
    parser.add_argument("--check-folder")
    parser.add_argument("--stamp", help="touched after a successful check")
    args = parser.parse_args(argv)
    sample = [args.main_program, args.uninstaller, args.licence, args.output]
    if args.check_folder is None and None in sample:
        parser.error("sample mode needs --main-program, --uninstaller, --licence and --output")
    if args.check_folder is not None and any(sample):
        parser.error("--check-folder takes no sample-mode options")
    return args


def _read(path: str, what: str) -> bytes:
    try:
        with open(path, "rb") as f:
            return f.read()
    except OSError as error:
        raise PayloadError("cannot read the %s %s: %s" % (what, path, error.strerror))


def run(args) -> int:
    entries = read_catalogue(args.catalogue)
    if args.check_folder is not None:
        problems = check_folder(entries, args.check_folder, args.catalogue)
        for problem in problems:
            print("%s: error: %s" % (_PROGRAM, problem), file=sys.stderr)
        if problems:
            return 1
        if args.stamp:
            with open(args.stamp, "w") as f:
                f.write("%d files checked in %s\n" % (len(entries), args.check_folder))
        return 0
    maker = SampleMaker(entries, windows_program(args.main_program, "main program"),
                        windows_program(args.uninstaller, "uninstaller"), _read(args.licence, "licence text"))
    write_sample_payload(entries, maker, args.output, args.catalogue)
    return 0


def main(argv) -> int:
    args = _arguments(argv[1:])
    try:
        return run(args)
    except CatalogueError as error:
        print("%s: error: %s" % (_PROGRAM, error), file=sys.stderr)
    except PayloadError as error:
        print("%s: error: %s" % (_PROGRAM, error), file=sys.stderr)
    except OSError as error:
        print("%s: error: %s" % (_PROGRAM, error), file=sys.stderr)
    return 1


if __name__ == "__main__":
    sys.exit(main(sys.argv))
