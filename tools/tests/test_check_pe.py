"""The PE checker: each refusal on a small synthetic image that differs from a good one in one way, the
good one accepted, damaged files refused without a crash, and real toolchain output read right."""
import os
import shutil
import struct
import subprocess
import tempfile
import unittest

import support
import check_pe

MANIFEST = b"""<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<assembly xmlns="urn:schemas-microsoft-com:asm.v1" manifestVersion="1.0">
  <dependency><dependentAssembly>
    <assemblyIdentity type="win32" name="Microsoft.Windows.Common-Controls" version="6.0.0.0"
                      processorArchitecture="*" publicKeyToken="6595b64144ccf1df" language="*"/>
  </dependentAssembly></dependency>
  <application xmlns="urn:schemas-microsoft-com:asm.v3"><windowsSettings>
    <dpiAware xmlns="http://schemas.microsoft.com/SMI/2005/WindowsSettings">true</dpiAware>
  </windowsSettings></application>
</assembly>"""
AS_INVOKER = MANIFEST.replace(b"</assembly>", b"""
<trustInfo xmlns="urn:schemas-microsoft-com:asm.v3"><security><requestedPrivileges>
  <requestedExecutionLevel level="asInvoker" uiAccess="false"/></requestedPrivileges>
</security></trustInfo></assembly>""")
ADMIN_V2 = MANIFEST.replace(b"</assembly>", b"""<v2:trustInfo xmlns:v2="urn:schemas-microsoft-com:asm.v2">
  <v2:security><v2:requestedPrivileges><v2:requestedExecutionLevel level="requireAdministrator"/>
</v2:requestedPrivileges></v2:security></v2:trustInfo></assembly>""")

GOOD = dict(machine=0x14C, magic=0x10B, subsystem=2, dll_characteristics=0x140, characteristics=0x0102,
            imports=("KERNEL32.dll", "USER32.dll", "COMCTL32.DLL", "msvcrt.dll"), delayed=(),
            delay_directory=True, manifest=MANIFEST, manifest_id=1, reloc_section=True, reloc_directory=True,
            text=b"\xc3" * 16, payload=b"payload")
TERMINATE_TEXT = b"terminate called after throwing an instance of '"
GOOD_64 = dict(GOOD, machine=0x8664, magic=0x20B)


def align(n: int, to: int) -> int:
    return -(-n // to) * to


def resource_section(resources, base_rva: int) -> bytes:
    """.rsrc contents for {(type, name, language): data}; types and names are ints or strings."""
    tree = {}
    for (kind, name, language), data in resources.items():
        tree.setdefault(kind, {}).setdefault(name, {})[language] = data
    out, strings, leaves = bytearray(), [], []

    def directory(node, depth):
        at = len(out)
        keys = sorted(node, key=lambda k: (isinstance(k, int), k))
        named = sum(isinstance(k, str) for k in keys)
        out.extend(struct.pack("<IIHHHH", 0, 0, 0, 0, named, len(keys) - named))
        slots = [len(out) + 8 * i for i in range(len(keys))]
        out.extend(bytes(8 * len(keys)))
        for key, slot in zip(keys, slots):
            if depth < 2:
                target = directory(node[key], depth + 1) | 0x80000000
            else:
                target = len(out)
                leaves.append((target, node[key]))
                out.extend(bytes(16))
            if isinstance(key, str):
                strings.append((slot, key))
                key = 0
            struct.pack_into("<II", out, slot, key, target)
        return at

    directory(tree, 0)
    for slot, text in strings:
        struct.pack_into("<I", out, slot, 0x80000000 | len(out))
        out.extend(struct.pack("<H", len(text)) + text.encode("utf-16-le"))
    for entry, data in leaves:
        out.extend(bytes(-len(out) % 8))
        struct.pack_into("<II", out, entry, base_rva + len(out), len(data))
        out.extend(data)
    return bytes(out)


def import_section(dlls, delayed, base_rva: int, wide: bool):
    """.idata contents with one imported function per DLL, and the two directories (RVA, size)."""
    out = bytearray()

    def put(data: bytes) -> int:
        at = len(out)
        out.extend(data + bytes(-len(data) % 8))
        return base_rva + at

    thunk = "<Q" if wide else "<I"

    def table() -> int:
        hint = put(b"\0\0Function\0")
        return put(struct.pack(thunk, hint) + struct.pack(thunk, 0))

    entries = [(put(dll.encode() + b"\0"), table()) for dll in dlls]
    descriptors = b"".join(struct.pack("<IIIII", t, 0, 0, n, t) for n, t in entries) + bytes(20)
    delay = [struct.pack("<8I", 1, put(dll.encode() + b"\0"), put(bytes(8)), table(), table(), 0, 0, 0)
             for dll in delayed]
    imports = (put(descriptors), len(descriptors)) if dlls else (0, 0)
    delays = (put(b"".join(delay) + bytes(32)), 32 * (len(delay) + 1)) if delayed else (0, 0)
    return bytes(out), imports, delays


def build_pe(**changes) -> bytes:
    """A small image: .text, .idata, .rsrc (the manifest, an icon, named payload) and .reloc."""
    o = dict(GOOD, **changes)
    wide = o["magic"] == 0x20B
    idata, imports, delays = import_section(o["imports"], o["delayed"], 0x2000, wide)
    rsrc_rva = 0x2000 + align(len(idata), 0x1000)
    resources = {(3, 1, 1033): b"icon", (10, "FILE1", 1049): o["payload"], (10, "FILE12", 1033): o["payload"],
                 (10, "FILES", 1049): b"not payload", ("JPEG", "BANNER", 1049): b"jpeg"}
    if o["manifest"] is not None:
        resources[(24, o["manifest_id"], 1033)] = o["manifest"]
    rsrc = resource_section(resources, rsrc_rva)
    reloc_rva = rsrc_rva + align(len(rsrc), 0x1000)
    reloc = struct.pack("<IIHH", 0x1000, 12, 0x3000, 0)
    bodies = [(".text", 0x1000, o["text"]), (".idata", 0x2000, idata), (".rsrc", rsrc_rva, rsrc)]
    if o["reloc_section"]:
        bodies.append((".reloc", reloc_rva, reloc))
    directories = [(0, 0)] * 16
    directories[1], directories[2] = imports, (rsrc_rva, len(rsrc))
    directories[5] = (reloc_rva, len(reloc)) if o["reloc_directory"] else (0, 0)
    directories[13] = delays if o["delay_directory"] else (0, 0)

    image_size = reloc_rva + 0x1000
    # linker version, code and data sizes, entry point, base of code (and of data in a PE32), image base
    bases = (0x140000000,) if wide else (0x2000, 0x400000)
    start = (o["magic"], 2, 40, 0x200, 0x600, 0, 0x1000, 0x1000) + bases
    # alignments, versions, sizes, subsystem, DLL characteristics, stack and heap, loader flags, directories
    rest = (0x1000, 0x200, 4, 0, 0, 0, 4, 0, 0, image_size, 0x400, 0, o["subsystem"], o["dll_characteristics"],
            0x100000, 0x1000, 0x100000, 0x1000, 0, 16)
    optional = struct.pack("<HBBIIIIIQII6HIIIIHH4QII" if wide else "<HBBIIIIIIIII6HIIIIHH4III", *start, *rest)
    optional += b"".join(struct.pack("<II", *d) for d in directories)
    header = bytearray(0x40)
    header[:2] = b"MZ"
    struct.pack_into("<I", header, 0x3C, 0x40)
    header += b"PE\0\0" + struct.pack("<HHIIIHH", o["machine"], len(bodies), 0, 0, 0, len(optional),
                                      o["characteristics"]) + optional
    raw_at, raw = 0x400, b""
    for name, rva, body in bodies:
        size = align(len(body), 0x200)
        header += struct.pack("<8sIIIIIIHHI", name.encode(), len(body), rva, size, raw_at + len(raw),
                              0, 0, 0, 0, 0xC0000040)
        raw += body + bytes(size - len(body))
    return bytes(header) + bytes(raw_at - len(header)) + raw


def failures(data: bytes, arch: str = "i686"):
    return {name: why for name, why in check_pe.check(data, arch) if why is not None}


class Acceptance(unittest.TestCase):
    def test_good_images_pass_every_property(self):
        for arch, image in (("i686", build_pe()), ("x86_64", build_pe(**GOOD_64))):
            with self.subTest(arch):
                results = check_pe.check(image, arch)
                self.assertEqual(len(results), 12)
                self.assertEqual(failures(image, arch), {})

    def test_delay_loaded_system_dll_and_the_checked_in_manifest_pass(self):
        with open(os.path.join(support.ROOT, "resources", "Setup.manifest"), "rb") as f:
            product_manifest = f.read()
        self.assertEqual(failures(build_pe(delayed=("version.dll",), manifest=product_manifest)), {})
        # A program of the payload may carry libstdc++'s handler; only the program's own code counts.
        self.assertEqual(failures(build_pe(payload=TERMINATE_TEXT)), {})


class Refusals(unittest.TestCase):
    # what differs from the good image, the arch checked, {part of a failing property: part of its reason};
    # every other property must still pass.
    CASES = [
        ("console program", dict(subsystem=3), "i686", {"GUI": "3 (console)"}),
        ("no NX_COMPAT", dict(dll_characteristics=0x40), "i686", {"DEP": "lacks NX_COMPAT"}),
        ("no DYNAMIC_BASE", dict(dll_characteristics=0x100), "i686", {"ASLR": "lacks DYNAMIC_BASE"}),
        ("no .reloc section", dict(reloc_section=False), "i686", {"relocations": "no .reloc section"}),
        ("empty relocation directory", dict(reloc_directory=False), "i686", {"relocations": "is empty"}),
        ("relocations stripped", dict(characteristics=0x0103), "i686", {"relocations": "stripped"}),
        ("asInvoker", dict(manifest=AS_INVOKER), "i686", {"execution level": "level=asInvoker"}),
        ("asm.v2 requireAdministrator", dict(manifest=ADMIN_V2), "i686",
         {"execution level": "level=requireAdministrator"}),
        ("common controls 5.82", dict(manifest=MANIFEST.replace(b"6.0.0.0", b"5.82.0.0")), "i686",
         {"Common-Controls": "version 5.82.0.0", "planted": "COMCTL32"}),
        ("wrong public key", dict(manifest=MANIFEST.replace(b"6595b64144ccf1df", b"0" * 16)), "i686",
         {"Common-Controls": "publicKeyToken", "planted": "COMCTL32"}),
        ("manifest not XML", dict(manifest=b"<assembly"), "i686",
         {"Common-Controls": "not well-formed", "execution level": "not well-formed", "DPI": "not well-formed",
          "planted": "COMCTL32"}),
        ("not DPI-aware", dict(manifest=MANIFEST.replace(b">true<", b">false<")), "i686",
         {"DPI": "does not declare"}),
        ("DPI awareness left out", dict(manifest=MANIFEST.replace(b"dpiAware", b"gdiScaling")), "i686",
         {"DPI": "does not declare"}),
        # Without the manifest's redirection comctl32.dll is searched for like any other name.
        ("no manifest", dict(manifest=None), "i686",
         {"Common-Controls": "no RT_MANIFEST", "execution level": "no RT_MANIFEST", "DPI": "no RT_MANIFEST",
          "planted": "COMCTL32"}),
        ("manifest under id 2 only", dict(manifest_id=2), "i686",
         {"Common-Controls": "only ids [2]", "execution level": "only ids [2]", "DPI": "only ids [2]",
          "planted": "COMCTL32"}),
        ("static import of version.dll", dict(imports=GOOD["imports"] + ("VERSION.dll",)), "i686",
         {"planted": "VERSION.dll"}),
        ("delay-loaded libjpeg", dict(delayed=("libjpeg-62.dll",)), "i686",
         {"delay-loads": "libjpeg-62.dll"}),
        ("delay descriptor without directory, as GNU ld links it",
         dict(delayed=("libfoo.dll",), delay_directory=False), "i686", {"delay-loads": "libfoo.dll"}),
        ("PE32+ for i686", dict(GOOD_64), "i686", {"PE32 image": "magic 0x20b"}),
        ("x86-64 machine in a PE32", dict(machine=0x8664), "i686", {"PE32 image": "machine 0x8664"}),
        ("PE32 for x86_64", dict(GOOD), "x86_64", {"PE32+ image": "magic 0x10b"}),
        ("verbose terminate handler linked", dict(text=b"\xc3" + TERMINATE_TEXT), "i686",
         {"terminate handler": "in .text"}),
    ] + [("import of " + dll, dict(imports=GOOD["imports"] + (dll,)), "i686",
          {"system DLLs": dll, "planted": dll})
         for dll in ("libwinpthread-1.dll", "libstdc++-6.dll", "libgcc_s_dw2-1.dll", "libjpeg-62.dll")]

    def test_each_fault_fails_its_own_properties_and_no_other(self):
        for description, changes, arch, expected in self.CASES:
            with self.subTest(description):
                failed = failures(build_pe(**changes), arch)
                self.assertEqual(len(failed), len(expected), failed)
                for fragment, why in expected.items():
                    matches = [name for name in failed if fragment in name]
                    self.assertEqual(len(matches), 1, (fragment, failed))
                    self.assertIn(why, failed[matches[0]])


class DamagedFiles(unittest.TestCase):
    def test_not_an_image(self):
        for data in (b"", b"hello", b"MZ" + bytes(100), bytes(0x40) + b"PE\0\0"):
            with self.subTest(data[:8]):
                self.assertEqual([name for name, _ in check_pe.check(data)], ["PE image"])

    def test_overlapping_sections_and_damaged_tables(self):
        image = bytearray(build_pe())
        at = image.index(b".idata\0\0") + 8
        overlapping = image[:at] + struct.pack("<I", 0x3000) + image[at + 4:]
        self.assertEqual(check_pe.check(bytes(overlapping)),
                         [("PE image", "sections .idata and .rsrc overlap")])
        # The resource directory's first entry sent past the end of the image: pefile notes it and goes on.
        rsrc = image.index(b".rsrc\0\0\0")
        raw_at = struct.unpack_from("<I", image, rsrc + 20)[0]
        struct.pack_into("<I", image, raw_at + 20, 0x80F00000)
        (name, why), = check_pe.check(bytes(image))
        self.assertEqual(name, "PE image")
        self.assertIn("damaged tables", why)

    def test_every_truncation_fails_without_a_crash(self):
        image = build_pe()
        for cut in range(0, len(image) - 0x200, 48):
            with self.subTest(cut):
                self.assertTrue(failures(image[:cut]))


class CommandLine(unittest.TestCase):
    def test_lines_and_exit_status(self):
        with tempfile.TemporaryDirectory() as folder:
            good = support.write(os.path.join(folder, "good.exe"), build_pe())
            console = support.write(os.path.join(folder, "console.exe"), build_pe(subsystem=3))
            result = support.run_tool("check_pe.py", good)
            self.assertEqual(result.returncode, 0, result.stdout)
            self.assertEqual(result.stdout.count("ok - "), 12)
            # Both FILE<n> resources are payload; FILES and everything else is not.
            beyond = os.path.getsize(good) - 2 * len(b"payload")
            self.assertIn("# %d bytes beyond the payload of 14 bytes\n" % beyond, result.stdout)
            for limit, status in ((beyond, 0), (beyond - 1, 1)):
                result = support.run_tool("check_pe.py", "--overhead-limit", str(limit), good)
                self.assertEqual(result.returncode, status, result.stdout)
                verdict = "FAIL" if status else "ok"
                self.assertIn("%s - at most %d bytes beyond the payload" % (verdict, limit), result.stdout)
            result = support.run_tool("check_pe.py", console)
            self.assertEqual(result.returncode, 1)
            self.assertIn("FAIL - Windows GUI subsystem: subsystem 3 (console), not 2 (Windows GUI)\n",
                          result.stdout)
            missing = support.run_tool("check_pe.py", os.path.join(folder, "missing.exe"))
            self.assertEqual(missing.returncode, 2)


@unittest.skipUnless(shutil.which("i686-w64-mingw32-gcc") and shutil.which("i686-w64-mingw32-windres"),
                     "no MinGW toolchain")
class RealToolchain(unittest.TestCase):
    """What GNU ld and windres really write, read the same way: the manifest among other resources, a
    static import, and a dlltool delay import, which ld links without filling in the delay directory."""

    def test_linked_program(self):
        with tempfile.TemporaryDirectory() as folder:
            def path(name):
                return os.path.join(folder, name)
            support.write(path("app.manifest"), ADMIN_V2)
            support.write(path("app.rc"), '1 24 "app.manifest"\n2 RCDATA { "data" }\n')
            support.write(path("jpeg.def"), "LIBRARY libjpeg-62.dll\nEXPORTS\njpeg_std_error\n")
            support.write(path("app.c"), """#include <windows.h>
__declspec(dllimport) int jpeg_std_error(void);
int WINAPI WinMain(HINSTANCE a, HINSTANCE b, LPSTR c, int d) {
    return jpeg_std_error() + (int)GetFileVersionInfoSizeA("x", 0);
}
""")
            steps = [["i686-w64-mingw32-windres", path("app.rc"), "-O", "coff", "-o", path("app.res.o")],
                     ["i686-w64-mingw32-dlltool", "-d", path("jpeg.def"), "-y", path("libjpeg_delay.a")],
                     ["i686-w64-mingw32-gcc", "-mwindows", "-o", path("app.exe"), path("app.c"),
                      path("app.res.o"), path("libjpeg_delay.a"), "-lversion",
                      "-Wl,--dynamicbase,--nxcompat,--enable-reloc-section"]]
            for step in steps:
                subprocess.run(step, check=True, cwd=folder, capture_output=True)
            failed = failures(support.read(path("app.exe")))
        self.assertEqual(sorted(failed), ["delay-loads only system DLLs",
                                          "manifest requests no execution level",
                                          "static imports cannot be planted beside the program"])
        self.assertIn("libjpeg-62.dll", failed["delay-loads only system DLLs"])
        self.assertIn("VERSION.dll", failed["static imports cannot be planted beside the program"])

    def test_the_version_resource_setup_rc_composes_matches_the_identity_and_no_other(self):
        with tempfile.TemporaryDirectory() as folder:
            resources, app = os.path.join(support.ROOT, "resources"), os.path.join(folder, "app.exe")
            support.write(os.path.join(folder, "app.c"), "#include <windows.h>\n"
                          "int WINAPI WinMain(HINSTANCE a, HINSTANCE b, LPSTR c, int d) { return 0; }\n")
            for step in (["i686-w64-mingw32-windres", "-I", support.ROOT, "-I", resources,
                          os.path.join(resources, "Setup.rc"), "-O", "coff", "-o", "rc.o"],
                         ["i686-w64-mingw32-gcc", "-mwindows", "-o", app, "app.c", "rc.o"]):
                subprocess.run(step, check=True, cwd=folder, capture_output=True)
            header = support.read(os.path.join(support.ROOT, "engine", "ProductIdentity.h")).decode()
            results = [dict(check_pe.check(support.read(app), "i686", check_pe.read_identity(text)))
                       for text in (header, header.replace("REVISION 7", "REVISION 6"))]
        name = "version resource: Torvek Pellum 3.9.8.7 Setup, version 3.9.8.7, as the product identity has it"
        self.assertIsNone(results[0][name])
        self.assertIn("FileVersion '3.9.8.7', not '3.9.8.6'", results[1][name.replace("3.9.8.7", "3.9.8.6")])


if __name__ == "__main__":
    unittest.main()
