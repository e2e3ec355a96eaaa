#!/usr/bin/env python3
"""Checks the hardening of a built Setup.exe, read from the file itself.

One line per property, "ok - <property>" or "FAIL - <property>: <why>"; the exit status is 1 when any
property fails. The properties: the image kind for the architecture (PE32 for i686, PE32+ for x86_64);
the Windows GUI subsystem; ASLR (DYNAMIC_BASE, with the relocations it needs kept: a .reloc section and a
base-relocation directory) and DEP (NX_COMPAT); a manifest (RT_MANIFEST, id 1) that depends on the
common controls version 6, requests no execution level and declares DPI awareness; imports, static and delay-loaded, only from
DLLs that ship in System32; and static imports that the loader never looks for beside the program, so a
DLL planted in the download folder cannot answer them. With --identity, also the version resource (what
Explorer's Properties show, and where the system's installer detection looks for "Setup") and the
manifest's assembly version, against the product identity header they are composed from. Always: no
trace of libstdc++'s verbose terminate handler outside the resources (the link replaces it with abort;
see app/CMakeLists.txt). With --overhead-limit, also the bytes beyond the payload (the file's size less
its FILE<n> data resources) at most that many; the figure is printed as a "#" line either way.

usage: check_pe.py [--arch i686|x86_64] [--identity engine/ProductIdentity.h] [--overhead-limit BYTES]
                   [--quiet] SETUP_EXE
"""
import argparse
import re
import struct
import sys
import xml.etree.ElementTree as ElementTree

import pefile

_PROGRAM = "check_pe"

# arch: (FileHeader.Machine, OptionalHeader.Magic, image kind, machine name, manifest processorArchitecture)
ARCHES = {
    "i686": (0x014C, 0x010B, "PE32", "i386", "x86"),
    "x86_64": (0x8664, 0x020B, "PE32+", "x86-64", "amd64"),
}
SUBSYSTEM_WINDOWS_GUI = 2
DYNAMIC_BASE = 0x0040
NX_COMPAT = 0x0100
RELOCS_STRIPPED = 0x0001
DIR_IMPORT, DIR_RESOURCE, DIR_BASERELOC, DIR_DELAY_IMPORT = 1, 2, 5, 13
RT_RCDATA, RT_MANIFEST = 10, 24
_PAYLOAD_NAME = re.compile(r"FILE[0-9]+")
# What libstdc++'s verbose terminate handler prints: found in the code's sections, the handler (with the
# demangler and the printf it brings) is linked in after all.
_VERBOSE_TERMINATE_TEXT = b"terminate called after throwing an instance of"
COMMON_CONTROLS = "Microsoft.Windows.Common-Controls"
COMMON_CONTROLS_TOKEN = "6595b64144ccf1df"
_DLL_NAME = re.compile(r"[A-Za-z0-9_.+-]{1,200}\.(dll|drv|ocx)", re.IGNORECASE)

# DLLs in System32 on every Windows from 7 on. Left out on purpose: ucrtbase and the api-ms-win-crt-*
# sets (not on Windows 7 without an update, and a sign that the toolchain changed its runtime), and
# anything that ships only with an optional component or a redistributable.
SYSTEM_DLLS = frozenset(name + ".dll" for name in """
    advapi32 bcrypt cfgmgr32 comctl32 comdlg32 crypt32 dbghelp dwmapi gdi32 gdiplus hid imagehlp imm32
    iphlpapi kernel32 kernelbase mpr msimg32 msvcrt ncrypt netapi32 normaliz ntdll ole32 oleacc oleaut32
    powrprof propsys psapi rpcrt4 secur32 setupapi shell32 shfolder shlwapi urlmon user32 userenv uxtheme
    version winhttp wininet winmm wintrust wldap32 ws2_32 wsock32 wtsapi32
""".split()) | {"winspool.drv"}

# KnownDLLs on every Windows from 7 on, and ntdll, which is mapped before anything else: the loader takes
# these from System32 without searching, so a static import of them cannot be planted. Any other static
# import is searched for in the program's folder first, before the program runs a single instruction.
KNOWN_DLLS = frozenset(name + ".dll" for name in """
    advapi32 clbcatq comdlg32 difxapi gdi32 imagehlp imm32 kernel32 msctf msvcrt normaliz nsi ntdll ole32
    oleaut32 psapi rpcrt4 sechost setupapi shell32 shlwapi user32 wldap32 ws2_32
""".split())


class PEError(Exception):
    """The file is not the PE image it claims to be, or a structure points outside it."""


class Image:
    """The parts of a PE image the checks read, through pefile, with the strictness a checker needs on
    top: pefile reads what it can of a damaged file and notes the rest as warnings, so a section that runs
    past the end of the file, or an RVA outside every section's data, is refused here."""

    def __init__(self, data: bytes):
        self.data = data
        try:
            self.pe = pefile.PE(data=data, fast_load=True)
        except pefile.PEFormatError as error:
            raise PEError(error.value) from None
        header, optional = self.pe.FILE_HEADER, self.pe.OPTIONAL_HEADER
        self.machine, self.characteristics = header.Machine, header.Characteristics
        self.magic, self.image_base = optional.Magic, optional.ImageBase
        if self.magic not in (0x10B, 0x20B):
            raise PEError("optional header magic 0x%x is neither PE32 nor PE32+" % self.magic)
        self.subsystem, self.dll_characteristics = optional.Subsystem, optional.DllCharacteristics
        if len(self.pe.sections) != header.NumberOfSections:
            raise PEError("the section table ends early (%d of %d sections)"
                          % (len(self.pe.sections), header.NumberOfSections))
        self.sections = []
        for section in self.pe.sections:
            name = section.Name.rstrip(b"\0").decode("latin-1")
            raw_size, raw_at = section.SizeOfRawData, section.PointerToRawData
            if raw_size and raw_at + raw_size > len(data):
                raise PEError("section %s runs past the end of the file (truncated?)" % name)
            self.sections.append((name, section.VirtualAddress, max(section.Misc_VirtualSize, raw_size),
                                  raw_size, raw_at))
        # The loader wants them in ascending order without overlaps; an address must name one place.
        for (first, start, span, _, _), (second, next_start, _, _, _) in zip(self.sections, self.sections[1:]):
            if next_start < start + span:
                raise PEError("sections %s and %s overlap" % (first, second))
        # pefile goes on past a damaged table and says so in a warning; a checker stops there.
        before = len(self.pe.get_warnings())
        self.pe.parse_data_directories(directories=[DIR_IMPORT, DIR_RESOURCE, DIR_DELAY_IMPORT],
                                       import_dllnames_only=True)
        damaged = self.pe.get_warnings()[before:]
        if damaged:
            raise PEError("damaged tables: " + "; ".join(damaged))

    def directory(self, index: int):
        directories = self.pe.OPTIONAL_HEADER.DATA_DIRECTORY
        if index >= len(directories):
            return (0, 0)
        return (directories[index].VirtualAddress, directories[index].Size)

    def offset(self, rva: int, size: int = 1) -> int:
        """The file offset of size bytes at rva, all inside one section's data."""
        for _, start, span, raw_size, raw_at in self.sections:
            if start <= rva < start + span:
                if rva + size > start + raw_size:
                    raise PEError("RVA 0x%x lies beyond its section's data in the file" % rva)
                return raw_at + rva - start
        raise PEError("RVA 0x%x lies in no section" % rva)

    def read(self, rva: int, size: int) -> bytes:
        at = self.offset(rva, size)
        return self.data[at:at + size]

    def cstring(self, rva: int) -> str:
        at = self.offset(rva)
        end = self.data.find(b"\0", at, at + 512)
        if end < 0:
            raise PEError("unterminated name at RVA 0x%x" % rva)
        return self.data[at:end].decode("latin-1")

    def section_named(self, name: str):
        return next((s for s in self.sections if s[0] == name), None)

    def imports(self):
        """The names of the statically imported DLLs, in table order. Read here rather than from pefile's
        list, which leaves out a descriptor whose name it cannot read instead of saying so."""
        rva, size = self.directory(DIR_IMPORT)
        names = []
        while rva and size and len(names) < 4096:
            first_thunk_list, _, _, name, first_thunk = struct.unpack("<IIIII", self.read(rva, 20))
            if not (first_thunk_list or name or first_thunk):
                break
            names.append(self.cstring(name))
            rva += 20
        return names

    def delay_imports(self):
        """The names of the delay-loaded DLLs: those the delay-import directory lists, and those of the
        descriptors GNU ld links in from dlltool's delay libraries without filling in that directory."""
        rva, size = self.directory(DIR_DELAY_IMPORT)
        names = []
        while rva and size and len(names) < 4096:
            descriptor = struct.unpack("<8I", self.read(rva, 32))
            if not any(descriptor):
                break
            attributes, name = descriptor[:2]
            # Descriptors without the RVA bit (old linkers) hold addresses instead.
            names.append(self.cstring(name if attributes & 1 else name - self.image_base))
            rva += 32
        return names + [n for n in self._scanned_delay_imports() if n not in names]

    def _scanned_delay_imports(self):
        """Descriptors found by their shape: attributes 1, four RVAs into the image, three zeros, and a
        name that reads as a DLL's."""
        names = []
        for name, start, _, raw_size, raw_at in self.sections:
            if name in (".rsrc", ".reloc"):
                continue
            data = self.data[raw_at:raw_at + raw_size]
            at = data.find(b"\1\0\0\0")
            while 0 <= at <= len(data) - 32:
                if at % 4 == 0:
                    found = self._delay_name(struct.unpack_from("<8I", data, at))
                    if found and found not in names:
                        names.append(found)
                at = data.find(b"\1\0\0\0", at + 1)
        return names

    def _delay_name(self, descriptor):
        _, name, handle, table, names, bound, unload, stamp = descriptor
        if bound or unload or stamp or not (name and handle and table and names):
            return None
        try:
            for rva in (handle, table, names):
                self.offset(rva)
            text = self.cstring(name)
        except PEError:
            return None
        return text if _DLL_NAME.fullmatch(text) else None

    def _numbered(self, entries, ident=None):
        """The numbered entries of a resource directory (with this id, when one is given)."""
        return [e for e in entries if e.id is not None and e.name is None and ident in (None, e.id)]

    def resources(self, kind: int, ident: int):
        """The data of every language of the resource kind/ident (both numeric ids)."""
        found = []
        for type_entry in self._numbered(self._resource_root(), kind):
            for name_entry in self._numbered(type_entry.directory.entries, ident):
                if not hasattr(name_entry, "directory"):
                    raise PEError("resource entry %d has the wrong kind" % ident)
                for language in name_entry.directory.entries:
                    found.append(self.read(language.data.struct.OffsetToData, language.data.struct.Size))
        return found

    def resource_ids(self, kind: int):
        return [entry.id for type_entry in self._numbered(self._resource_root(), kind)
                for entry in self._numbered(type_entry.directory.entries)]

    def payload_size(self) -> int:
        """The bytes of the data resources named FILE<n>: the payload the program carries."""
        total = 0
        for type_entry in self._numbered(self._resource_root(), RT_RCDATA):
            for name_entry in type_entry.directory.entries:
                if name_entry.name is None or not _PAYLOAD_NAME.fullmatch(str(name_entry.name)):
                    continue
                if not hasattr(name_entry, "directory"):
                    raise PEError("resource entry %s has the wrong kind" % name_entry.name)
                for language in name_entry.directory.entries:
                    total += language.data.struct.Size
        return total

    def _resource_root(self):
        root = getattr(self.pe, "DIRECTORY_ENTRY_RESOURCE", None)
        return root.entries if root else []


# ---- the properties ----------------------------------------------------------------------------------
# Each check returns None when the property holds, or why it does not.

def check_kind(image: Image, arch: str):
    machine, magic, kind, machine_name, _ = ARCHES[arch]
    problems = []
    if image.magic != magic:
        problems.append("optional header magic 0x%x, not 0x%x (%s)" % (image.magic, magic, kind))
    if image.machine != machine:
        problems.append("machine 0x%x, not 0x%x (%s)" % (image.machine, machine, machine_name))
    return "; ".join(problems) or None


def check_gui(image: Image):
    if image.subsystem != SUBSYSTEM_WINDOWS_GUI:
        kind = {1: "native", 3: "console", 10: "EFI application"}.get(image.subsystem, "other")
        return "subsystem %d (%s), not 2 (Windows GUI)" % (image.subsystem, kind)
    return None


def check_flag(flag: int, name: str):
    def check(image: Image):
        if image.dll_characteristics & flag:
            return None
        return "DllCharacteristics 0x%04x lacks %s (0x%x)" % (image.dll_characteristics, name, flag)
    return check


def check_relocations(image: Image):
    problems = []
    if not image.section_named(".reloc"):
        problems.append("no .reloc section")
    if image.directory(DIR_BASERELOC)[1] == 0:
        problems.append("the base-relocation directory is empty")
    if image.characteristics & RELOCS_STRIPPED:
        problems.append("the file header says the relocations were stripped")
    return "; ".join(problems) or None


def manifests(image: Image):
    """The manifest texts under RT_MANIFEST id 1, or why there are none."""
    found = image.resources(RT_MANIFEST, 1)
    if found:
        return found, None
    others = image.resource_ids(RT_MANIFEST)
    return [], "no RT_MANIFEST resource with id 1" + (" (only ids %s)" % others if others else "")


def _local(tag: str) -> str:
    return tag.rsplit("}", 1)[-1]


def _parse(text: bytes):
    try:
        return ElementTree.fromstring(text), None
    except ElementTree.ParseError as error:
        return None, "the manifest is not well-formed XML (%s)" % error


def check_common_controls(image: Image, arch: str):
    texts, missing = manifests(image)
    if missing:
        return missing
    wanted_arch = ARCHES[arch][4]
    for text in texts:
        root, broken = _parse(text)
        if broken:
            return broken
        identities = [identity.attrib for dependent in root.iter()
                      if _local(dependent.tag) == "dependentAssembly"
                      for identity in dependent if _local(identity.tag) == "assemblyIdentity"]
        controls = [a for a in identities if a.get("name") == COMMON_CONTROLS]
        if not controls:
            return "the manifest has no dependency on %s" % COMMON_CONTROLS
        a = controls[0]
        if a.get("version") != "6.0.0.0":
            return "%s version %s, not 6.0.0.0" % (COMMON_CONTROLS, a.get("version"))
        if (a.get("publicKeyToken") or "").lower() != COMMON_CONTROLS_TOKEN:
            return "publicKeyToken %s, not %s" % (a.get("publicKeyToken"), COMMON_CONTROLS_TOKEN)
        if a.get("type") != "win32":
            return "type %s, not win32" % a.get("type")
        if a.get("processorArchitecture", "*") not in ("*", wanted_arch):
            return "processorArchitecture %s, not * or %s" % (a.get("processorArchitecture"), wanted_arch)
    return None


def manifest_elements(image: Image):
    """Every element of every manifest, or why there are none to read."""
    texts, missing = manifests(image)
    if missing:
        return [], missing
    elements = []
    for text in texts:
        root, broken = _parse(text)
        if broken:
            return [], broken
        elements.extend(root.iter())
    return elements, None


def check_no_execution_level(image: Image):
    elements, problem = manifest_elements(image)
    if problem:
        return problem
    for element in elements:
        if _local(element.tag) == "requestedExecutionLevel":
            return "the manifest has requestedExecutionLevel level=%s" % element.get("level")
    return None


def check_dpi_aware(image: Image):
    """The windows scale themselves: the manifest must say so, or Windows stretches them as a bitmap on
    screens above 100 %. dpiAware true (system-aware) or per monitor, or a dpiAwareness that names one."""
    elements, problem = manifest_elements(image)
    if problem:
        return problem
    for element in elements:
        value = (element.text or "").strip().lower()
        if _local(element.tag) == "dpiAware" and (value.startswith("true") or value == "per monitor"):
            return None
        if _local(element.tag) == "dpiAwareness" and ("system" in value or "permonitor" in value):
            return None
    return "the manifest does not declare DPI awareness (dpiAware true)"


def _outside(names, allowed):
    return sorted({n for n in names if n.lower() not in allowed}, key=str.lower)


def check_system_imports(image: Image):
    foreign = _outside(image.imports(), SYSTEM_DLLS)
    return "imports from %s, which Windows does not provide" % ", ".join(foreign) if foreign else None


def check_known_imports(image: Image, arch: str):
    allowed = set(KNOWN_DLLS)
    # The manifest's dependency sends comctl32.dll to the side-by-side store, not to a search.
    if check_common_controls(image, arch) is None:
        allowed.add("comctl32.dll")
    plantable = _outside(image.imports(), allowed)
    if plantable:
        return "%s searched for beside the program before it runs (not KnownDLLs)" % ", ".join(plantable)
    return None


def check_delay_imports(image: Image):
    foreign = _outside(image.delay_imports(), SYSTEM_DLLS)
    return "delay-loads %s, which Windows does not provide" % ", ".join(foreign) if foreign else None


def read_identity(text: str):
    """The identity header's object-like PRODUCT_ macros, each expanded as the preprocessor does it:
    adjacent string literals joined, other macros expanded, PRODUCT_TEXT(x) the text of x's value."""
    bodies = dict(re.findall(r"^#define (PRODUCT_\w+) +((?:.*\\\n)*.*)$", text, re.M))
    token = re.compile(r'"((?:[^"\\]|\\.)*)"|PRODUCT_TEXT_?\(\s*(\w+)\s*\)|(\w+)')

    def expand(body):
        parts = []
        for literal, stringified, name in token.findall(body.replace("\\\n", " ")):
            if literal:
                parts.append(re.sub(r"\\(.)", r"\1", literal))
            else:
                parts.append(expand(bodies[stringified or name]) if (stringified or name) in bodies
                             else stringified or name)
        return "".join(parts)
    return {name: expand(body) for name, body in bodies.items()}


def _dotted(most: int, least: int) -> str:
    return "%d.%d.%d.%d" % (most >> 16, most & 0xFFFF, least >> 16, least & 0xFFFF)


def check_version_resource(image: Image, identity):
    """The version resource's strings and numbers, and the manifest's assembly version, as the product
    identity composes them."""
    version = identity["PRODUCT_VERSION"]
    wanted = {"CompanyName": identity["PRODUCT_MAKER"], "ProductName": identity["PRODUCT_NAME"],
              "FileDescription": identity["PRODUCT_SETUP_DESCRIPTION"], "FileVersion": version,
              "ProductVersion": version, "LegalCopyright": identity["PRODUCT_COPYRIGHT"],
              "InternalName": "Setup", "OriginalFilename": "Setup.exe"}
    found = {}
    for info in getattr(image.pe, "FileInfo", [[]])[0]:
        for table in getattr(info, "StringTable", []):
            found.update((key.decode(errors="replace"), value.decode(errors="replace"))
                         for key, value in table.entries.items())
    problems = ["%s %r, not %r" % (key, found.get(key), value) for key, value in wanted.items()
                if found.get(key) != value]
    fixed = getattr(image.pe, "VS_FIXEDFILEINFO", None)
    for kind in ("File", "Product"):
        numbers = _dotted(getattr(fixed[0], kind + "VersionMS"), getattr(fixed[0], kind + "VersionLS")) \
            if fixed else "missing"
        if numbers != version:
            problems.append("fixed %sVersion %s, not %s" % (kind, numbers, version))
    elements, _ = manifest_elements(image)
    assembly = [e.get("version") for e in elements
                if _local(e.tag) == "assemblyIdentity" and e.get("name") != COMMON_CONTROLS]
    if assembly != [version]:
        listed = ", ".join(map(str, assembly)) or "none"
        problems.append("manifest assembly version %s, not %s" % (listed, version))
    return "; ".join(problems) or None


def check_terminate_handler(image: Image):
    """The program's own sections (not the resources: the payload's programs may carry the text)."""
    for name, _, _, raw_size, raw_at in image.sections:
        if name != ".rsrc" and _VERBOSE_TERMINATE_TEXT in image.data[raw_at:raw_at + raw_size]:
            return "its text is in %s: the link did not replace the handler" % name
    return None


def overhead(image: Image) -> int:
    return len(image.data) - image.payload_size()


def check_overhead(limit: int):
    def check(image: Image):
        beyond = overhead(image)
        return None if beyond <= limit else "%d bytes beyond the payload" % beyond
    return check


def properties(arch: str, identity=None, overhead_limit=None):
    machine = ARCHES[arch]
    return [
        ("%s image for %s" % (machine[2], machine[3]), lambda image: check_kind(image, arch)),
        ("Windows GUI subsystem", check_gui),
        ("ASLR: DYNAMIC_BASE", check_flag(DYNAMIC_BASE, "DYNAMIC_BASE")),
        ("DEP: NX_COMPAT", check_flag(NX_COMPAT, "NX_COMPAT")),
        ("relocations kept: .reloc section and base-relocation directory", check_relocations),
        ("manifest depends on %s 6.0.0.0" % COMMON_CONTROLS,
         lambda image: check_common_controls(image, arch)),
        ("manifest requests no execution level", check_no_execution_level),
        ("manifest declares DPI awareness", check_dpi_aware),
        ("imports only from system DLLs", check_system_imports),
        ("static imports cannot be planted beside the program",
         lambda image: check_known_imports(image, arch)),
        ("delay-loads only system DLLs", check_delay_imports),
        ("no verbose terminate handler", check_terminate_handler),
    ] + ([("at most %d bytes beyond the payload" % overhead_limit, check_overhead(overhead_limit))]
         if overhead_limit is not None else []) + ([("version resource: %s, version %s, as the product identity has it"
           % (identity["PRODUCT_SETUP_DESCRIPTION"], identity["PRODUCT_VERSION"]),
           lambda image: check_version_resource(image, identity))] if identity else [])


def check(data: bytes, arch: str = "i686", identity=None, overhead_limit=None, figures=None):
    """[(property, None or why it fails)] for the image in data; figures, a list, gets "#" lines."""
    try:
        image = Image(data)
    except PEError as error:
        return [("PE image", str(error))]
    if figures is not None:
        try:
            figures.append("%d bytes beyond the payload of %d bytes" % (overhead(image), image.payload_size()))
        except PEError as error:
            figures.append("payload not readable: %s" % error)
    results = []
    for name, test in properties(arch, identity, overhead_limit):
        try:
            results.append((name, test(image)))
        except PEError as error:
            results.append((name, str(error)))
    return results


def main(argv) -> int:
    parser = argparse.ArgumentParser(prog=_PROGRAM, description=__doc__.split("\n")[0])
    parser.add_argument("--arch", choices=sorted(ARCHES), default="i686")
    parser.add_argument("--identity", metavar="HEADER", help="the product identity header to check against")
    parser.add_argument("--overhead-limit", metavar="BYTES", type=int,
                        help="fail when the file is more than this beyond its payload")
    parser.add_argument("--quiet", action="store_true", help="print the figures and the failures only")
    parser.add_argument("image", metavar="SETUP_EXE")
    args = parser.parse_args(argv[1:])
    try:
        with open(args.image, "rb") as f:
            data = f.read()
        identity = None
        if args.identity:
            with open(args.identity, encoding="utf-8") as f:
                identity = read_identity(f.read())
    except OSError as error:
        print("%s: %s" % (_PROGRAM, error), file=sys.stderr)
        return 2
    failed = 0
    figures = []
    results = check(data, args.arch, identity, args.overhead_limit, figures)
    for line in figures:
        print("# %s" % line)
    for name, why in results:
        if why is None:
            if not args.quiet:
                print("ok - %s" % name)
        else:
            print("FAIL - %s: %s" % (name, why))
            failed += 1
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
