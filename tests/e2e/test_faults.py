"""Fault suite: the real Setup.exe under Wine, driven from outside, with something wrong in its way: a
read-only file, a file another program holds, a full disk, a file where a folder belongs, bad registry
values, missing shell folders, another program's association, Cancel in the middle of copying, the main
program gone before Finish. Every scenario starts from a fresh copy of one prefix and ends with a
"nothing lost" check: a snapshot of the prefix's files and registry before and after shows changes only
where the installer may write."""
import os
from dataclasses import dataclass, field

import pytest

from faultkit import KEPT, report_entries, skipped_report
from harness import wait_until
from installer import (ABORT_QUESTION, DISK_BOX, FINISH_BOXES, FOLDER_WIN, GROUP_UNIX, HELD_BOX, PRODUCT_KEY,
                       REINSTALL_QUESTION, SHELL_FOLDERS, UNINSTALL_KEY, UNTICKED, WIZARD, payload_files,
                       same_file, space_figures)

pytestmark = pytest.mark.fault


def scenario(name):
    return pytest.mark.scenario(name)


def first_fields(state, count=2):
    return " ".join(state.split(" ")[:count])


# ---- file faults ---------------------------------------------------------------------------------------

@dataclass
class FileFault:
    name: str
    planted: str       # what is put in the install folder beforehand (catalogue form, with "/")
    content: bytes
    reported: str      # the catalogue path the report must list and the copy must leave alone
    reason: str        # what the report says of it
    report_check: str
    kept_check: str
    lost: str
    read_only: bool = False
    held: bool = False


FILE_FAULTS = [
    FileFault("readonly", "Licence.txt", b"an older licence, kept read-only by its owner\r\n", "Licence.txt",
              "read-only" + KEPT, "the read-only file is reported", "the read-only file is unchanged", "read-only file",
              read_only=True),
    FileFault("held", "TorvekKel3.exe", b"an older main program, still running\r\n", "TorvekKel3.exe",
              "in use by another program" + KEPT, "Ignore keeps the held file and reports it", "the held file is not truncated or replaced", "file held open",
              held=True),
    FileFault("blocked", "Help", b"not a folder\r\n", "Help/TorvekKELHelp.pdf",
              "its folder could not be made", "the entries of the blocked folder are reported", "the file in the folder's place is kept",
              "folder blocked by a file"),
]


@pytest.mark.parametrize("case", [pytest.param(c, id=c.name, marks=scenario(c.name)) for c in FILE_FAULTS])
def test_file_in_the_way(fault, case):
    s = fault
    planted = s.installed() / case.planted
    planted.parent.mkdir(parents=True, exist_ok=True)
    planted.write_bytes(case.content)
    if case.read_only:
        planted.chmod(0o444)
    s.ready()
    if case.held:
        hold(s, FOLDER_WIN, case.planted, 40000)  # through the whole copy (it ends with the prefix)
    s.require("wizard appears", s.start_setup())
    s.to_folder_page()
    s.click("Install")
    if case.held:
        s.require("the box naming files in use comes", s.drv.wait_window(HELD_BOX, 20000))
        s.equal("nothing is written while it is up", [p.name for p in s.installed().rglob("*")], [planted.name])
        s.equal("it names the held file", s.answer_report(HELD_BOX, "&Ignore").split("\n")[:2],
                ["These files are in use by another program:", "TorvekKel3.exe"])
    s.equal(case.report_check, s.answer_report("Error"), skipped_report((case.reported, case.reason)))
    s.associations_then_finish(*FINISH_BOXES)
    s.equal(case.kept_check, planted.read_bytes(), case.content)
    s.installed_except(s.installed(), case.reported)
    s.key_is("InstallPath written", PRODUCT_KEY, "InstallPath", FOLDER_WIN)
    if case.read_only:
        s.key_is(".asm registered", "HKCR\\.asm", "/ve", "TorvekPellum.asm")
        s.that("group made", (s.prefix.unix(GROUP_UNIX) / "Torvek Pellum.lnk").is_file())
    s.no_loss(case.lost)


def hold(s, folder, path, ms):
    """Another program holding a file open without sharing, once its own output says it has it."""
    log = s.prefix.home / f"hold-{path}.log"
    holder = s.prefix.start(s.paths.driver, "hold", folder + path, ms, log=log)
    s.that(f"another program holds {path}", wait_until(lambda: "holding" in log.read_text(errors="replace"), 10))
    return holder


def free_space(drive):
    found = os.statvfs(drive)
    return found.f_bavail * found.f_frsize


@scenario("diskfull")
def test_disk_full(fault, tmpfs_drive):
    """A fresh install onto a 3 MB tmpfs mapped as drive T:: the disk box gives the MB needed and free
    before anything is written, Cancel returns to the folder page, and ending there leaves nothing."""
    s = fault
    s.ready()
    s.require("wizard appears", s.start_setup())
    # The folder box is read-only: this is the text that choosing T:\ in the folder browser gives.
    s.to_folder_page("T:\\Torvek\\Pellum 3.9.8.7")
    s.click("Install")
    needed = sum((s.paths.payload / rel).stat().st_size for rel in payload_files(s.paths.payload))
    figures = space_figures(needed, free_space(tmpfs_drive))
    for button in ("&Retry", "Cancel"):
        box = s.answer_report(DISK_BOX, button)
        s.that(f"the box gives the MB needed and free, nothing written ({figures.split(chr(10))}; {button})",
               figures in box and not any(tmpfs_drive.iterdir()))
    s.equal("Cancel leaves the folder page, Back and Install usable",
            (s.settled_state("Install", "visible=1 enabled=1 checked=0"), s.state("Back")), (UNTICKED, UNTICKED))
    s.equal("with the folder as chosen", s.folder_text(), "T:\\Torvek\\Pellum 3.9.8.7")
    s.focus_after("back on the folder page", [], "Button:Install")
    s.click("Cancel")
    s.drv.answer("Confirm", "&Yes")
    s.that("the installer ends there", s.setup_ended())
    s.equal("no file or folder on the drive", list(tmpfs_drive.iterdir()), [])
    s.key_absent("no product key", PRODUCT_KEY)
    s.key_absent("no uninstall entry", UNINSTALL_KEY)
    s.no_loss("disk full", "dosdevices")


def older_copy(new):
    """What an older version of a payload file looks like: half as long, other bytes."""
    length = max(1, len(new) // 2)
    return (b"older version " * (length // 14 + 1))[:length]


@scenario("overfull")
@pytest.mark.tmpfs_size("17m")
def test_reinstall_onto_a_full_disk(fault, tmpfs_drive):
    """A reinstall over an older copy on a drive a 5 MB file fills too far, while another program runs
    the old main program: nothing is written until the disk box (its Cancel question's No returns to it)
    and, once there is room, the box naming the held program (not the licence a scanner holds for a
    second) are settled; then all 32 files are renewed, with no report and no temporary file left."""
    s = fault
    folder = tmpfs_drive / "Torvek" / "Pellum 3.9.8.7"
    files = payload_files(s.paths.payload)
    for rel in files:
        (folder / rel).parent.mkdir(parents=True, exist_ok=True)
        (folder / rel).write_bytes(older_copy((s.paths.payload / rel).read_bytes()))
    filler = tmpfs_drive / "filler.bin"
    filler.write_bytes(bytes(5 << 20))
    s.reg("add", PRODUCT_KEY, "/v", "InstallPath", "/d", "T:\\Torvek\\Pellum 3.9.8.7\\", "/f")
    s.reg("add", UNINSTALL_KEY, "/v", "DisplayName", "/d", "Pellum 3.9.8.7", "/f")
    s.ready()
    program = hold(s, "T:\\Torvek\\Pellum 3.9.8.7\\", "TorvekKel3.exe", 120000)
    s.require("wizard appears", s.start_setup())
    s.click("Reinstall")
    s.drv.answer("Confirm", "&Yes")
    new = [(s.paths.payload / rel).stat().st_size for rel in files]
    figures = space_figures(sum(size - max(1, size // 2) for size in new) + max(new),
                            free_space(tmpfs_drive))
    s.that(f"the disk box gives the MB needed and free ({figures.split(chr(10))})",
           figures in s.answer_report(DISK_BOX, "Cancel"))
    s.equal("its Cancel asks the Cancel question", s.drv.answer("Confirm", "&No"), ABORT_QUESTION)
    s.require("No returns to the box", s.drv.wait_window(DISK_BOX, 10000))
    s.equal("Reinstall waits disabled meanwhile", first_fields(s.state("Reinstall")), "visible=1 enabled=0")
    filler.unlink()
    hold(s, "T:\\Torvek\\Pellum 3.9.8.7\\", "Licence.txt", 1000)
    s.drv.answer(DISK_BOX, "&Retry")
    s.equal("the held program alone is named", s.answer_report(HELD_BOX, "&Retry").split("\n")[:3],
            ["These files are in use by another program:", "TorvekKel3.exe", ""])
    s.equal("nothing is written before the copy starts",
            [rel for rel in files if (folder / rel).read_bytes() != older_copy((s.paths.payload / rel).read_bytes())], [])
    s.require("Retry while it is held asks again", s.drv.wait_window(HELD_BOX, 20000))
    program.kill()
    program.wait()
    s.drv.answer(HELD_BOX, "&Retry")
    if not s.wait_enabled("Finish"):
        s.fail("finish page appears")
    s.that("no report follows", not s.drv.wait_window("Error", 0))
    s.click("Finish")
    s.that("Setup.exe ends after Finish", s.setup_ended())

    renewed = [rel for rel in files if same_file(s.paths.payload / rel, folder / rel)]
    s.figures.files_checked += len(files)
    s.figures.newer_copies_written += len(renewed)
    s.figures.older_copies_kept += len(files) - len(renewed)
    s.equal("all 32 files renewed", len(renewed), 32)
    left = sorted(str(p.relative_to(folder)) for p in folder.rglob("*") if p.is_file()
                  and str(p.relative_to(folder)) not in files)
    s.equal("no temporary file is left", left, [])
    s.key_is("InstallPath kept", PRODUCT_KEY, "InstallPath", "T:\\Torvek\\Pellum 3.9.8.7\\")
    s.key_is("DisplayName written", UNINSTALL_KEY, "DisplayName", "Pellum 3.9.8.7")
    s.no_loss("reinstall onto a full disk", "dosdevices")


# ---- bad registry values -------------------------------------------------------------------------------

LONG_PATH = "C:\\" + "x" * 3000 + "\\"


def no_menu_builder(s):
    """Under Wine, giving any shell link its target (the program group's come first) makes shell32
    resolve the desktop folder from "User Shell Folders" and write the "Shell Folders" desktop value
    back, and its menu builder does the same. So the desktop scenarios run without the first value and
    without the menu builder: the second stays as the scenario left it until the installer reads it."""
    s.prefix.extra_env["WINEDLLOVERRIDES"] = "winemenubuilder.exe=d"
    s.reg("delete", "HKCU\\" + SHELL_FOLDERS.replace("Shell", "User Shell"), "/v", "Desktop", "/f")


def dword_value(s):
    s.reg("add", PRODUCT_KEY, "/v", "InstallPath", "/t", "REG_DWORD", "/d", "7", "/f")


def dword_walk(s):
    s.launch()
    # No full stop is added after a closing quote: the report adds one only after characters above ".".
    s.equal("the report names the value", s.answer_report("Setup"), "Invalid data type for 'InstallPath'")
    if not s.drv.wait_window(WIZARD, 20000):
        s.fail("the wizard appears after the report")
    s.shot("after-report")
    s.equal("Next keeps its caption", first_fields(s.state("Next")), "visible=1 enabled=1")
    s.click("Next")
    s.equal("Next asks the reinstall question with an empty path", s.drv.answer("Confirm", "&No"),
            REINSTALL_QUESTION)
    s.click("Cancel")
    s.drv.answer("Confirm", "&Yes")
    s.that("Cancel ends the program", s.setup_ended())
    s.key_is("the bad value is left as it was", PRODUCT_KEY, "InstallPath", "0x7")


def key_without_path(s):
    s.reg("add", PRODUCT_KEY, "/f")


def nopath_walk(s):
    s.require("wizard appears", s.start_setup())
    s.click("Reinstall")
    s.equal("the question shows an empty path", s.drv.answer("Confirm", "&Yes"), REINSTALL_QUESTION)
    s.equal("Yes ends in the folder error", s.answer_report("Setup"), "Unable to create directory.")
    s.dialog_gone("Setup")
    s.equal("only Cancel is usable", first_fields(s.state("Cancel")), "visible=1 enabled=1")
    s.click("Cancel")
    s.drv.answer("Confirm", "&Yes")
    s.that("Cancel ends the program", s.setup_ended())
    s.that("no uninstall entry", not s.reg_key_exists(UNINSTALL_KEY))
    # Nothing at all may change: no file, no key beyond the installer's own places.


def long_path(s):
    s.reg("add", PRODUCT_KEY, "/v", "InstallPath", "/t", "REG_SZ", "/d", LONG_PATH, "/f")


def longpath_walk(s):
    """A stored path thousands of characters long: every entry's path is too long to write, and is
    reported."""
    s.require("wizard appears", s.start_setup())
    s.click("Reinstall")
    question = s.drv.answer("Confirm", "&Yes")
    s.equal("the question shows the stored path", question.split("Path: ", 1)[-1], LONG_PATH)
    report = s.answer_report("Error")
    named, more = report_entries(report)
    s.equal("ten entries are named, the rest counted", (len(named), more), (10, 22))
    s.equal("each by its destination with its reason", named.get("TorvekKel3.exe"),
            "its path is longer than 255 bytes")
    s.that("no line of the report is longer than a destination and its reason",
           max(len(line) for line in report.split("\n")) < 120)
    if not s.wait_enabled("Finish"):
        s.fail("finish page appears")
    s.click("Finish")
    s.that("Setup.exe ends after Finish", s.setup_ended())
    s.that("no file written anywhere in C:", not list(s.prefix.unix("drive_c").glob("xxx*")))
    s.key_is("the stored path is kept", PRODUCT_KEY, "InstallPath", LONG_PATH)


def unterminated_path(s):
    """A string value without its terminating NUL, as a careless program may store it."""
    if not s.drv.ok("reg-set", PRODUCT_KEY, "InstallPath", 1, "C:\\Unterminated\\"):
        s.fail("value stored")


def unterminated_walk(s):
    s.require("wizard appears", s.start_setup())
    s.click("Reinstall")
    s.equal("the path is read whole", s.drv.answer("Confirm", "&Yes"),
            REINSTALL_QUESTION + "C:\\Unterminated\\")
    if not s.wait_enabled("Finish"):
        s.fail("finish page appears")
    s.click("Finish")
    s.that("Setup.exe ends after Finish", s.setup_ended())
    s.installed_except(s.prefix.unix("drive_c/Unterminated"))


def folder_of_wrong_type(root, value):
    """A shell folder value stored as a number."""
    def plant(s):
        no_menu_builder(s)
        s.reg("add", f"{root}\\{SHELL_FOLDERS}", "/v", value, "/t", "REG_DWORD", "/d", "1", "/f")
        if value == "Desktop":
            s.reg("delete", f"HKLM\\{SHELL_FOLDERS}", "/v", "Common Programs", "/f")
    return plant


def wrong_type_walk(reported):
    """The value reaches the report at Finish, under the name the installer asked for."""
    def walk(s):
        s.require("wizard appears", s.start_setup())
        s.to_folder_page()
        s.click("Install")
        if not s.wait_enabled("Check All"):
            s.fail("association page appears")
        s.click("Next")
        if not s.wait_enabled("Finish"):
            s.fail("finish page appears")
        s.click("Start Torvek Pellum")
        s.click("Start Help File")
        s.click("Finish")
        s.equal("the report names the value", s.answer_report("Setup"), f"Invalid data type for '{reported}'")
        s.wizard_survives("the wizard is still there", "Setup")
        s.drv.kill("Setup.exe")
        s.setup_ended()
        s.installed_except(s.installed())
    return walk


@dataclass
class BadValue:
    name: str
    plant: object
    walk: object
    lost: str
    allowed: list = field(default_factory=list)


BOTH_SHELL_FOLDERS = [f"HKEY_LOCAL_MACHINE\\{SHELL_FOLDERS}", f"HKEY_CURRENT_USER\\{SHELL_FOLDERS}"]
BAD_VALUES = [
    BadValue("dword", dword_value, dword_walk, "InstallPath of the wrong type"),
    BadValue("nopath", key_without_path, nopath_walk, "product key without InstallPath"),
    BadValue("longpath", long_path, longpath_walk, "over-long InstallPath"),
    BadValue("unterminated", unterminated_path, unterminated_walk, "InstallPath without its NUL",
             ["drive_c/Unterminated"]),
    BadValue("wrongcommon", folder_of_wrong_type("HKLM", "Common Programs"), wrong_type_walk("Common Programs"),
             "Common Programs of the wrong type", BOTH_SHELL_FOLDERS),
    BadValue("wrongdesktop", folder_of_wrong_type("HKCU", "Desktop"), wrong_type_walk("desktop"),
             "Desktop of the wrong type", BOTH_SHELL_FOLDERS),
]


@pytest.mark.parametrize("case", [pytest.param(c, id=c.name, marks=scenario(c.name)) for c in BAD_VALUES])
def test_bad_registry_value(fault, case):
    case.plant(fault)
    fault.figures.bad_values += 1
    fault.ready()
    case.walk(fault)
    fault.no_loss(case.lost, *case.allowed)


# ---- missing shell folders -----------------------------------------------------------------------------

@scenario("nogroup")
def test_no_common_programs(fault):
    """"Common Programs" missing from the view the installer reads, as a 32-bit program on 64-bit Windows
    may find it: the group goes where the shell has the all-users Programs folder."""
    s = fault
    s.reg("delete", f"HKLM\\{SHELL_FOLDERS}", "/v", "Common Programs", "/f")
    s.ready()
    s.require("wizard appears", s.start_setup())
    s.to_folder_page()
    s.click("Install")
    s.associations_then_finish("Start Torvek Pellum", "Start Help File")
    s.check_link("the group is in the all-users Programs folder", s.prefix.unix(GROUP_UNIX) / "Uninstall.lnk",
                 FOLDER_WIN + "Uninstall.exe", FOLDER_WIN.rstrip("\\"))
    s.that("the desktop link is made", s.desktop_link().is_file())
    s.installed_except(s.installed())
    s.key_is(".rc registered", "HKCR\\.rc", "/ve", "TorvekPellum.rc")
    s.no_loss("Common Programs missing", f"HKEY_LOCAL_MACHINE\\{SHELL_FOLDERS}")


@scenario("nodesktop")
def test_no_desktop(fault):
    s = fault
    no_menu_builder(s)
    s.reg("delete", f"HKCU\\{SHELL_FOLDERS}", "/v", "Desktop", "/f")
    s.reg("delete", f"HKLM\\{SHELL_FOLDERS}", "/v", "Common Programs", "/f")
    s.ready()
    s.require("wizard appears", s.start_setup())
    s.to_folder_page()
    s.click("Install")
    s.associations_then_finish("Start Torvek Pellum", "Start Help File")
    s.check_link("the link lands in the shell's desktop folder", s.desktop_link(),
                 FOLDER_WIN + "TorvekKel3.exe", FOLDER_WIN.rstrip("\\"))
    s.no_loss("desktop value missing", *BOTH_SHELL_FOLDERS)


# ---- another program's association ---------------------------------------------------------------------

@scenario("foreign")
def test_foreign_association(fault):
    s = fault
    s.reg("add", "HKCR\\.asm", "/ve", "/d", "OtherAsm.File", "/f")
    s.reg("add", "HKCR\\.asm", "/v", "Content Type", "/d", "text/x-asm", "/f")
    s.reg("add", "HKCR\\.asm\\OpenWithProgids", "/v", "OtherAsm.File", "/t", "REG_SZ", "/d", "", "/f")
    s.reg("add", "HKCR\\.asm\\ShellNew", "/v", "NullFile", "/d", "", "/f")
    s.reg("add", "HKCR\\OtherAsm.File\\shell\\open\\command", "/ve", "/d", 'notepad.exe "%1"', "/f")
    s.ready()
    s.require("wizard appears", s.start_setup())
    s.to_folder_page()
    s.click("Install")
    s.associations_then_finish(*FINISH_BOXES)
    s.key_is("our class replaces theirs", "HKCR\\.asm", "/ve", "TorvekPellum.asm")
    s.key_is("their content type stays", "HKCR\\.asm", "Content Type", "text/x-asm")
    s.figures.keys_checked += 3
    s.that("their OpenWithProgids stays", s.reg_key_exists("HKCR\\.asm\\OpenWithProgids"))
    s.that("their ShellNew stays", s.reg_key_exists("HKCR\\.asm\\ShellNew"))
    s.equal("their own class is untouched", s.reg_value("HKCR\\OtherAsm.File\\shell\\open\\command", "/ve"),
            'notepad.exe "%1"')
    s.no_loss("another program's association")


# ---- interrupted installs ------------------------------------------------------------------------------

@scenario("cancelcopy")
def test_cancel_during_copying(fault):
    s = fault
    s.ready()
    s.require("wizard appears", s.start_setup())
    s.to_folder_page()
    # Cancel queued behind Install: it is handled while the copying step pumps messages.
    s.drv("click-then", WIZARD, "Install", "Cancel")
    s.equal("Cancel during copying asks", s.drv.answer("Confirm", "&Yes"), ABORT_QUESTION)
    s.that("the program ends after the step", s.setup_ended())
    s.installed_except(s.installed())
    s.key_is("InstallPath still written", PRODUCT_KEY, "InstallPath", FOLDER_WIN)
    s.key_is("uninstall entry still written", UNINSTALL_KEY, "DisplayName", "Pellum 3.9.8.7")
    s.key_absent("no association registered", "HKCR\\.asm")
    s.that("no group", not s.prefix.unix(GROUP_UNIX).exists())
    s.no_loss("Cancel during copying")


@scenario("cancelassoc")
def test_cancel_on_the_association_page(fault):
    s = fault
    s.require("wizard appears", s.start_setup())
    s.to_folder_page()
    s.click("Install")
    if not s.wait_enabled("Check All"):
        s.fail("association page appears")
    s.ready()  # from here on nothing more may be written
    s.click("Cancel")
    s.drv.answer("Confirm", "&Yes")
    s.that("Cancel ends the program", s.setup_ended())
    s.key_absent("no association registered", "HKCR\\.asm")
    s.that("no group", not s.prefix.unix(GROUP_UNIX).exists())
    s.that("no desktop link", not s.desktop_link().exists())
    s.no_loss("Cancel on the association page")


@scenario("deleted")
def test_program_deleted_before_finish(fault):
    """The main program deleted after copying: one error, and the manual still opens and the desktop
    link is still made. A viewer of ours is registered for PDF files so the manual's opening can be
    seen."""
    s = fault
    viewer = s.prefix.unix("drive_c/viewer")
    viewer.mkdir(parents=True)
    (viewer / "viewer.exe").write_bytes((s.paths.payload / "TorvekKel3.exe").read_bytes())
    s.reg("add", "HKCR\\.pdf", "/ve", "/d", "TestViewer.pdf", "/f")
    s.reg("add", "HKCR\\TestViewer.pdf\\shell\\open\\command", "/ve", "/d", '"C:\\viewer\\viewer.exe" "%1"',
          "/f")
    s.prefix.extra_env["TORVEK_SAMPLE_REPORT"] = "C:\\viewer\\report.txt"
    s.ready()
    s.require("wizard appears", s.start_setup())
    s.to_folder_page()
    s.click("Install")
    if not s.wait_enabled("Check All"):
        s.fail("association page appears")
    (s.installed() / "TorvekKel3.exe").unlink(missing_ok=True)
    s.click("Next")
    if not s.wait_enabled("Finish"):
        s.fail("finish page appears")
    s.click("Finish")
    s.equal("the missing program is reported", s.answer_report("Error"), "Program files is not found")
    # Once Setup.exe has ended no second report can come, and while one is up it does not end.
    ended = s.setup_ended()
    s.that("reported once", not s.drv.wait_window("Error", 0))
    s.that("Setup.exe ends", ended)
    report = viewer / "report.txt"
    wait_until(lambda: report.is_file() and report.stat().st_size > 0, 10)
    opened = report.read_bytes().decode("latin-1").replace("\r", "").split("\n")[0] if report.is_file() else ""
    # The installer asks for "...\\Help\TorvekKELHelp.pdf"; the shell hands the viewer the path normalised.
    s.equal("the manual was opened", opened, f'"C:\\viewer\\viewer.exe" "{FOLDER_WIN}Help\\TorvekKELHelp.pdf"')
    s.that("the desktop link is made", s.desktop_link().is_file())
    s.drv.kill("viewer.exe")
    s.no_loss("main program deleted before Finish", "drive_c/viewer")
