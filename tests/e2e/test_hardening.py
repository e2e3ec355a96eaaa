"""Bad input and hardening: a few seconds of fuzzing (scripts/fuzz), the check of the built Setup.exe
(tools/check_pe.py), and a full install from a folder that also holds DLLs named like system DLLs.

The planted-DLL run. Setup.exe is downloaded into a folder beside version.dll, uxtheme.dll, ... (built
from tests/e2e/planted.c, each leaving a marker file when its code runs), started from there with that
folder as its working folder too, and walked through a fresh install under Wine's loader and relay
traces. A control program in the same folder then loads version.dll the careless way, to prove these
checks can see a planted DLL at all.

How the trace is read. Wine maps its own implementation of a DLL it has one for ("builtin") even when
the search finds a file of that name first, so for those names a planted file's code never runs in the
default configuration, and the loader line still names the folder where the search found the name.
What the installer answers for is the search it asks for once running: every load request after its
entry point (ntdll.LdrLoadDll, which LoadLibrary and COM end in) must be handed a search path without
the download folder, as its SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32) makes it. Loads
found in the download folder are then told apart by when they happen:
  start-up       before the entry point: static imports and DLL initialisation. Wine's user32 imports
                 version.dll and its comctl32 loads uxtheme.dll here, which Windows' do not; Setup.exe's
                 own imports are tools/check_pe.py's business (all of them KnownDLLs).
  wine-internal  after it, outside any load request: Wine resolving a delay-loaded import of its own
                 DLLs (uxtheme.dll's msimg32.dll), with the process's default path, which ignores
                 SetDefaultDllDirectories.
  requested      inside a load request after the entry point: a fault of the program.
A planted file mapped as "native" (its own code) or a marker file is a fault whenever it happens.
"""
import os
import re
import shutil
import sys
from collections import defaultdict

import pytest

import harness
from installer import WIZARD

DOWNLOADS = "C:\\Downloads"
TRACE = "+loaddll,+relay"
# Besides thread starts and DLL entry points, the relay trace shows only the load requests and the call
# that restricts the search, so it stays small.
RELAYED = "ntdll.LdrLoadDll;kernel32.SetDefaultDllDirectories;kernelbase.SetDefaultDllDirectories"
IN_DOWNLOADS = re.compile(r'c:(\\+|/)downloads(\\+|/|;|"|$)|drive_c/downloads(/|;|"|$)')


def relay(checks, label, out, what):
    """A sub-suite's "ok"/"FAIL" lines as this test's checks, after the label when one is given."""
    results = 0
    for line in out.split("\n"):
        for word, record in (("ok - ", checks.ok), ("FAIL - ", checks.fail)):
            if line.startswith(word):
                record(label + line[len(word):])
                results += 1
    if not results:
        checks.fail(f"{what} produced no result")
        for line in out.split("\n")[-20:]:
            checks.say(line)


def fuzzing(paths):
    return [harness.ROOT / "scripts" / "fuzz", "--seconds", os.environ.get("FUZZ_SECONDS", "3")]


@pytest.mark.scenario("hardening")
@pytest.mark.timeout(3600)  # the first run builds the fuzzers and an instrumented libjpeg
@pytest.mark.background.with_args(fuzzing)
def test_fuzzers(checks, run_state, background):
    code, out = background.result(timeout=3500)
    relay(checks, "", out, "scripts/fuzz")
    runs = re.search(r"^fuzz executions: (\d+)$", out, re.M)
    run_state.figures.fuzz_runs = int(runs.group(1)) if runs else 0
    if code != 0 and not checks.failures:
        checks.fail(f"scripts/fuzz exited with {code}")


@pytest.mark.scenario("hardening")
def test_setup_exe_hardening(checks, run_state):
    setup = run_state.paths.setup_i686
    code, out = harness.run([sys.executable, "-B", str(harness.ROOT / "tools" / "check_pe.py"), "--identity",
                             str(harness.ROOT / "engine" / "ProductIdentity.h"), str(setup)])
    relay(checks, "Setup.exe: ", out, f"check_pe.py {setup}")
    if code != 0 and not checks.failures:
        checks.fail(f"check_pe.py exited with {code}")


# ---- the planted-DLL run ---------------------------------------------------------------------------------

def classify(log, program):
    """The findings in the trace of the program's own threads (other processes it starts, such as Wine's
    menu builder, are left out: their first module is their own .exe), as tuples:
      ("started", thread)                       the program's entry point was reached on that thread
      ("request", "clean" | "searches-downloads", line)   a load request after the entry point, and
                                                whether the download folder is in its search path
      ("load", "start-up" | "wine-internal" | "requested", "native" | "builtin", dll, line)"""
    program = "\\" + program.lower() + '"'
    typed, other, started, depth, found = set(), set(), set(), defaultdict(int), []
    with open(log, encoding="utf-8", errors="replace") as lines:
        for line in lines:
            line = line.rstrip("\n")
            thread, low = line.split(":", 1)[0] if ":" in line else "", line.lower()
            # A thread whose first module is another .exe belongs to another process.
            if ":trace:loaddll:" in low and thread not in typed:
                typed.add(thread)
                if re.search(r'loaded l"[^"]*\.exe"', low) and program not in low:
                    other.add(thread)
            if thread in other:
                continue
            if re.search(r"starting (thread|process) proc", low):
                if thread not in started:
                    started.add(thread)
                    found.append(("started", thread))
            elif re.search(r"call +ntdll\.ldrloaddll\(", low):
                depth[thread] += 1
                if thread in started:
                    search = "searches-downloads" if IN_DOWNLOADS.search(low) else "clean"
                    found.append(("request", search, line))
            elif re.search(r"ret +ntdll\.ldrloaddll\(", low):
                depth[thread] = max(depth[thread] - 1, 0)
            elif re.search(r'loaddll.*loaded l"', low) and IN_DOWNLOADS.search(low) and program not in low:
                when = ("start-up" if thread not in started else
                        "requested" if depth[thread] else "wine-internal")
                dll = low.split('loaded l"', 1)[1].split('"', 1)[0].rsplit("\\", 1)[-1]
                found.append(("load", when, "native" if low.endswith(": native") else "builtin", dll, line))
    return found


def program_faults(found):
    """The findings that are the program's doing."""
    return [f for f in found if (f[0] == "request" and f[1] != "clean") or
            (f[0] == "load" and (f[1] == "requested" or f[2] == "native"))]


def traced(s, logs, log, markers, program, *args, **env):
    """The program started from the download folder with the loader and relay traces on stderr into log,
    and the folder the planted DLLs leave their markers in."""
    return s.prefix.run(f"{DOWNLOADS}\\{program}", *args, cwd=s.prefix.unix("drive_c/Downloads"),
                        stderr=logs / log, PLANTED_MARKERS=markers, WINEDEBUG=TRACE, **env)


def install_from_downloads(s, logs):
    s.setup = harness.Setup(s.prefix, f"{DOWNLOADS}\\Setup.exe", log=logs / "setup.log",
                            cwd=s.prefix.unix("drive_c/Downloads"), PLANTED_MARKERS="C:\\markers",
                            WINEDEBUG=TRACE)
    s.require("wizard appears", s.drv.wait_window(WIZARD, 20000))
    s.walk_to_associations()
    s.click("Next")
    if not s.wait_enabled("Finish"):
        s.fail("Finish appears")
    # Nothing started after Finish: the run is about the installer's own process.
    for box in ("Start Torvek Pellum", "Start Help File"):
        s.click(box)
    for box in ("Start Torvek Pellum", "Start Help File"):
        s.settled_state(box, "visible=1 enabled=1 checked=0")
    s.shot("finish")
    s.click("Finish")
    s.that("wizard closes after Finish", s.drv.wait_gone(WIZARD, 15000))
    s.that("Setup.exe ends", s.setup_ended())


def check_installer_loads(s, logs, names):
    found = classify(logs / "setup.log", "Setup.exe")
    (logs / "setup.classified").write_text("".join("\t".join(f) + "\n" for f in found))
    s.that("the trace shows the installer's entry point", any(f[0] == "started" for f in found))
    restrict = re.search(r"Call KERNEL32\.(SetDefaultDllDirectories\([0-9a-f]*\))",
                         (logs / "setup.log").read_text(errors="replace"), re.I)
    if restrict:
        s.say(f"# the installer calls {restrict.group(1)}")
    # Without a request after the start there would be nothing to judge the restriction by.
    s.that("the installer makes load requests once running", any(f[0] == "request" for f in found))
    s.equal("no load request after start searches the download folder",
            "\n".join(f[2] for f in found if f[:2] == ("request", "searches-downloads")), "")
    for name in names:
        s.equal(f"{name} not loaded from the download folder for the installer",
                "\n".join("\t".join(f) for f in program_faults(found) if f[0] == "load" and f[3] == name), "")
    for f in found:
        if f[0] == "load" and f[1] != "requested" and f[2] == "builtin":
            s.say(f"# Wine maps its own {f[3]} under the download folder's name ({f[1]})")
    markers = [n for folder in ("markers", "Downloads") for n in os.listdir(s.prefix.unix(f"drive_c/{folder}"))
               if n.endswith(".loaded")]
    s.equal("no planted DLL ran (no marker file)", "\n".join(markers), "")


def check_control(s, logs):
    """The control: a careless load from the same folder, seen by the same reading of the trace."""
    checks = s.checks
    _, out = traced(s, logs, "control.log", "C:\\markers-control", "planted_control.exe", "version.dll")
    checks.equal('control: LoadLibraryA("version.dll") finds the planted name first', out.rstrip("\n"),
                 f"loaded version.dll from {DOWNLOADS}\\version.dll")
    found = classify(logs / "control.log", "planted_control.exe")
    checks.that("control: its load request is seen searching the download folder",
                any(f[:2] == ("request", "searches-downloads") for f in found))
    checks.that("control: version.dll is seen loaded from the download folder on request",
                any(f[:2] == ("load", "requested") and f[3] == "version.dll" for f in found))
    # With Wine told to prefer the file, the planted code runs, and its marker shows.
    traced(s, logs, "control-native.log", "C:\\markers-control", "planted_control.exe", "version.dll",
           WINEDLLOVERRIDES="version=n")
    found = classify(logs / "control-native.log", "planted_control.exe")
    checks.that("control: the planted version.dll mapped as native code",
                any(f[:3] == ("load", "requested", "native") and f[3] == "version.dll" for f in found))
    marker = s.prefix.unix("drive_c/markers-control/version.dll.loaded")
    checks.that("control: the planted version.dll left its marker",
                marker.is_file() and "planted_control.exe" in marker.read_text(errors="replace").lower())


@pytest.mark.scenario("planted", "hardening")
def test_planted_dlls(scene, paths):
    s = scene
    names = sorted(p.name for p in paths.planted.glob("*.dll"))
    if not paths.control.is_file() or not names:
        pytest.fail(f"no planted DLLs or control in {paths.planted.parent} (build the tree first)")
    logs = paths.work / "planted-logs"
    shutil.rmtree(logs, ignore_errors=True)
    logs.mkdir(parents=True)
    downloads = s.prefix.unix("drive_c/Downloads")
    for folder in (downloads, s.prefix.unix("drive_c/markers"), s.prefix.unix("drive_c/markers-control")):
        folder.mkdir(parents=True, exist_ok=True)
    for planted in [paths.setup, paths.control] + [paths.planted / name for name in names]:
        shutil.copy(planted, downloads)
    s.reg("add", "HKCU\\Software\\Wine\\Debug", "/v", "RelayInclude", "/t", "REG_SZ", "/d", RELAYED, "/f")
    s.say(f"# planted beside Setup.exe in {DOWNLOADS}: {' '.join(names)}")
    install_from_downloads(s, logs)
    check_installer_loads(s, logs, names)
    s.check_product_keys()
    s.check_files()
    check_control(s, logs)
    s.say(f"# traces in {logs}")
