"""End to end: the real Setup.exe in a fresh Wine prefix, driven from outside by e2e_driver.exe as a
person would, the outcome checked in the prefix. The fresh install's prefix is kept for the two
scenarios that need an installed copy: opening a document and reinstalling."""
import pytest

from harness import wait_until
from installer import (ABORT_QUESTION, DISABLED, FINISH_BOXES, FOLDER_WIN, GROUP_UNIX, PROGRAM,
                       REINSTALL_QUESTION, SHELL_FOLDERS, TICKED, UNINSTALL_KEY, UNTICKED, WIZARD, Scene,
                       same_file)


@pytest.fixture(scope="module")
def fresh_prefix(prefix_copies):
    copy = prefix_copies.make("fresh")
    copy.installed = False
    yield copy
    prefix_copies.end(copy)


@pytest.fixture
def installed(fresh_prefix, paths, checks, run_state):
    """The prefix of the fresh install; the install is done here when that scenario did not run."""
    if not fresh_prefix.installed:
        fresh_install(Scene("fresh", fresh_prefix, paths, checks, run_state.say))
    return fresh_prefix


def fresh_install(s, dpi=None):
    """The fresh install with the defaults; with dpi, also the layout checks of that setting."""
    s.prefix.installed = True
    s.require("wizard appears", s.start_setup())
    if dpi:
        check_layout(s, dpi)
    s.equal("Back disabled at start", s.state("Back"), DISABLED)
    s.click("Next")
    s.equal("Next needs the agreement", s.settled_state("Next", DISABLED), DISABLED)
    s.drv("click", WIZARD, "Back")
    s.walk_to_associations()
    s.equal("four rows, all ticked", s.drv.out("list-items", WIZARD), "count=4 checked=1111")
    s.click("Next")
    if not s.wait_enabled("Finish"):
        s.fail("Finish appears")
    s.shot("finish")
    if dpi:
        check_finish_layout(s, dpi)
    s.equal("Cancel disabled on the finish page", s.state("Cancel"), DISABLED)
    for box in FINISH_BOXES:
        s.equal(f"'{box}' ticked", s.state(box), TICKED)
    s.click("Finish")
    s.that("wizard closes after Finish", s.drv.wait_gone(WIZARD, 15000))
    s.that("Setup.exe ends", s.setup_ended())

    s.check_files()
    s.check_product_keys()
    for row in range(4):
        s.check_class(row)
    dest, folder, group = s.folder_win, s.folder_win.rstrip("\\"), s.prefix.unix(GROUP_UNIX)
    s.check_link("group link to the program", group / "Torvek Pellum.lnk", dest + PROGRAM, folder)
    s.check_link("group link to the uninstaller", group / "Uninstall.lnk", dest + "Uninstall.exe", folder)
    # The installer keeps the doubled "\" in both; Wine's shell link hands the path back normalised.
    s.check_link("group link to the manual", group / "Manual.lnk", dest + "Help\\TorvekKELHelp.pdf",
                 dest + "\\Help")
    s.check_link("desktop link", s.desktop_link(), dest + PROGRAM, folder)

    seen = wait_until(lambda: s.drv.running(PROGRAM), 10)
    s.equal("the installed program was started", int(bool(seen)), 1)
    if seen:
        s.that("the started program can be ended", s.drv.kill(PROGRAM))


# Its walk at Wine's default 96 dots per inch is also the first of the dpi scenarios.
@pytest.mark.scenario("fresh", "dpi96", "dpi")
def test_fresh(fresh_prefix, paths, checks, run_state):
    fresh_install(Scene("fresh", fresh_prefix, paths, checks, run_state.say), dpi=96)


# The fresh install on an English system (code page 1252) and a Russian one (1251, which has no CJK),
# into a folder typed in other scripts, for a user whose desktop has a Cyrillic name: the installer's
# own code page is UTF-8 on both.
@pytest.mark.parametrize("system,typed", [
    pytest.param("C.UTF-8", "C:\\Программы\\Торвек 3", id="en", marks=pytest.mark.scenario("names-en", "names")),
    pytest.param("ru_RU.UTF-8", "C:\\Программы\\工具", id="ru", marks=pytest.mark.scenario("names-ru", "names"))])
def test_names(scene, system, typed):
    scene.prefix.extra_env["LC_ALL"] = system
    scene.folder_win = typed + "\\Torvek\\Pellum 3.9.8.7\\"
    scene.folder_unix = "drive_c/" + scene.folder_win[3:-1].replace("\\", "/")
    scene.desktop = "drive_c/users/Дмитрий/Desktop"
    scene.prefix.unix(scene.desktop).mkdir(parents=True)
    for key in (SHELL_FOLDERS, SHELL_FOLDERS.replace("Shell", "User Shell")):
        scene.reg("add", f"HKCU\\{key}", "/v", "Desktop", "/d", "C:\\users\\Дмитрий\\Desktop", "/f")
    fresh_install(scene)


def kept_after_no(s, window=WIZARD):
    """True when the window is still there after No was pressed in the Confirm box it caused. Waiting
    for the box to close and reading a wizard button back (see Scene.dialog_gone) puts the read after
    the handler that asked has acted on the answer, which a fixed pause could only hope for."""
    return s.dialog_gone("Confirm") and s.state("Cancel").startswith("visible=") and \
        s.drv.wait_window(window, 1000)


@pytest.mark.scenario("cancel")
def test_cancel(scene):
    s = scene
    s.require("wizard appears", s.start_setup())
    s.shot("welcome")
    s.click("Cancel")
    s.equal("Cancel asks", s.drv.answer("Confirm", "&No"), ABORT_QUESTION)
    s.that("No keeps the wizard", kept_after_no(s))
    s.drv("close", WIZARD)
    s.equal("the wizard's close box asks", s.drv.answer("Confirm", "&No"), ABORT_QUESTION)
    s.that("No keeps the wizard after its close box", kept_after_no(s))
    s.drv("close", "class:TForm1")
    s.equal("the backdrop's close box asks", s.drv.answer("Confirm", "&No"), ABORT_QUESTION)
    s.that("No keeps the backdrop", kept_after_no(s, "class:TForm1"))
    s.that("No keeps the wizard after the backdrop's close box", s.drv.wait_window(WIZARD, 1000))
    s.shot("after-no")
    # Cancel on the agreement and folder pages asks too, and No leaves the page as it was.
    s.click("Next")
    s.click("Cancel")
    s.equal("Cancel on the agreement page asks", s.drv.answer("Confirm", "&No"), ABORT_QUESTION)
    s.click("I'm agree")
    s.click("Next")
    s.click("Cancel")
    s.equal("Cancel on the folder page asks", s.drv.answer("Confirm", "&No"), ABORT_QUESTION)
    s.dialog_gone("Confirm")
    s.equal("No keeps the folder page", s.state("Install"), UNTICKED)
    s.click("Back")
    s.click("Back")
    s.settled_state("Back", DISABLED)  # back on the welcome page
    s.click("Cancel")
    s.drv.answer("Confirm", "&Yes")
    s.equal("Yes ends the program", "ended" if s.setup_ended() else "", "ended")
    s.that("no install folder", not s.prefix.unix("drive_c/Program Files/Torvek").exists())
    s.that("no product key", not s.reg_key_exists("HKLM\\Software\\Torvek"))
    s.that("no uninstall entry", not s.reg_key_exists(UNINSTALL_KEY))


@pytest.mark.scenario("open")
def test_open(installed, paths, checks, run_state):
    """Opens a document of a registered type through the shell in a folder with spaces."""
    s = Scene("open", installed, paths, checks, run_state.say)
    documents = s.prefix.unix("drive_c/My Documents Here")
    documents.mkdir(parents=True, exist_ok=True)
    (documents / "sample file.asm").write_bytes(b"start:\r\n")
    code, _ = s.drv("open", "C:\\My Documents Here\\sample file.asm",
                    TORVEK_SAMPLE_REPORT="C:\\users\\report.txt")
    if code != 0:
        s.fail("the shell opens a .asm file")
    report = s.prefix.unix("drive_c/users/report.txt")
    wait_until(lambda: report.is_file() and report.stat().st_size > 0, 10)
    lines = report.read_bytes().decode("latin-1").replace("\r", "").split("\n") if report.is_file() else []
    lines += ["", ""]
    s.equal("program started with the document as one argument", lines[0],
            f'"{FOLDER_WIN}{PROGRAM}" "C:\\My Documents Here\\sample file.asm"')
    if lines[1]:
        s.ok(f"program reported its folder ({lines[1]})")
    else:
        s.fail("program reported its folder")
    s.drv.kill(PROGRAM)


@pytest.mark.scenario("reinstall")
def test_reinstall(installed, paths, checks, run_state):
    s = Scene("reinstall", installed, paths, checks, run_state.say)
    (s.installed() / "Licence.txt").unlink(missing_ok=True)
    # The reinstall writes the uninstall entry's details again: gone or wrong, they come back.
    s.reg("delete", UNINSTALL_KEY, "/v", "DisplayVersion", "/f")
    s.reg("add", UNINSTALL_KEY, "/v", "EstimatedSize", "/t", "REG_DWORD", "/d", "1", "/f")
    s.require("wizard appears", s.start_setup())
    s.shot("welcome")
    s.that("Next says Reinstall", s.drv.ok("state", WIZARD, "Reinstall"))
    s.click("Reinstall")
    s.equal("asks first", s.drv.answer("Confirm", "&No"), REINSTALL_QUESTION + FOLDER_WIN)
    s.dialog_gone("Confirm")
    s.equal("No keeps the welcome page", s.state("Reinstall"), UNTICKED)
    s.click("Reinstall")
    if not s.drv.ok("answer", "Confirm", "&Yes"):
        s.fail("second question")
    if not s.wait_enabled("Finish"):
        s.fail("Finish appears")
    s.shot("finish")
    for box in FINISH_BOXES:
        s.equal(f"'{box}' hidden", s.state(box).split(" ")[0], "visible=0")
    s.click("Finish")
    s.that("Finish ends the program", s.setup_ended())
    s.that("the deleted file is back", same_file(paths.payload / "Licence.txt", s.installed() / "Licence.txt"))
    s.check_files()
    s.check_product_keys()


NEXT, BACK, CANCEL = "Button:Next", "Button:Back", "Button:Cancel"


@pytest.mark.scenario("keyboard")
def test_keyboard(scene):
    """A fresh install with the keyboard alone, through real key presses: after every step the focused
    control is read back from the wizard's thread."""
    s = scene
    s.require("wizard appears", s.start_setup())
    s.focus_after("at start", [], NEXT)
    s.shot("welcome")
    s.focus_after("Tab skips the disabled Back", ["tab"], CANCEL)
    s.focus_after("Tab wraps round", ["tab"], NEXT)
    s.focus_after("Enter on Next shows the agreement; Next is disabled under the focus", ["enter"],
                  "Edit:TORVEK PELLUM 3.9.8.7 - LICENCE AGREEMENT")
    s.equal("Next waits for the agreement", s.state("Next"), DISABLED)
    s.focus_after("Tab lands on the selected choice", ["tab"], "Button:I'm not agree")
    s.equal("the focus chose nothing", s.state("I'm agree"), UNTICKED)
    s.focus_after("an arrow key moves to the other choice", ["up"], "Button:I'm agree")
    s.equal("and chooses it", s.settled_state("I'm agree", TICKED), TICKED)
    s.equal("Next is usable", s.state("Next"), UNTICKED)
    s.shot("agreement")
    s.focus_after("Tab goes on to Next", ["tab"], NEXT)
    s.focus_after("Enter on Next shows the folder page", ["enter"], "Button:Install")
    s.shot("folder")

    s.focus_after("Tab to Cancel", ["tab", "tab"], CANCEL)
    s.press("enter")
    s.that("Enter on Cancel asks", s.drv.wait_window("Confirm"))
    s.press("escape")
    s.that("Escape answers No", s.dialog_gone("Confirm"))
    s.focus_after("the focus comes back after the question", [], CANCEL)
    s.focus_after("Shift+Tab back to Install", ["shift+tab", "shift+tab"], "Button:Install")
    s.press("enter")
    s.that("the association page appears", s.wait_enabled("Check All"))
    s.focus_after("after the copying page the focus is back on Next", [], NEXT)
    s.focus_after("Shift+Tab reaches the list", ["shift+tab", "shift+tab", "shift+tab"],
                  "SysListView32:Please select file type association")
    s.press("space")
    s.equal("Space unticks the focused row", s.settled_items("count=4 checked=0111"), "count=4 checked=0111")
    s.shot("associations")
    s.focus_after("Tab through Check All and Clear All to Next", ["tab", "tab", "tab"], NEXT)
    s.focus_after("Enter shows the finish page", ["enter"], "Button:Finish")
    s.focus_after("Shift+Tab to the last finish box", ["shift+tab"], "Button:Create Desktop Icon")
    s.press("space")
    s.equal("Space unticks it", s.settled_state("Create Desktop Icon", UNTICKED), UNTICKED)
    s.focus_after("Shift+Tab to the manual's box", ["shift+tab"], "Button:Start Help File")
    s.press("space")
    s.equal("Space unticks it too", s.settled_state("Start Help File", UNTICKED), UNTICKED)
    s.shot("finish")

    # A click on the backdrop activates it; it hands the keyboard on to the wizard, focus unchanged.
    s.drv("click-at", "class:TForm1", 20, 400)
    s.focus_after("after a click on the backdrop", [], "Button:Start Help File")
    s.focus_after("Tab to Finish", ["tab", "tab"], "Button:Finish")
    s.press("enter")
    s.that("Enter on Finish ends the program", s.setup_ended())
    s.check_files()
    s.that("the unticked .asm is not registered", not s.reg_key_exists("HKCR\\.asm"))
    s.check_class(1)
    s.that("the unticked desktop link is not made", not s.desktop_link().exists())
    s.that("the group is made", (s.prefix.unix(GROUP_UNIX) / "Torvek Pellum.lnk").is_file())
    s.that("the ticked program was started", wait_until(lambda: s.drv.running(PROGRAM), 10))
    s.drv.kill(PROGRAM)


def scaled(pixels, dpi):
    """A length at 96 dots per inch on a screen of this setting, rounded as MulDiv rounds."""
    return (pixels * dpi + 48) // 96


def scaled_rect(left, top, width, height, dpi):
    """Where a control of the layout lands: its corners scaled, so its size is their difference."""
    x, y = scaled(left, dpi), scaled(top, dpi)
    return f"{x},{y},{scaled(left + width, dpi) - x},{scaled(top + height, dpi) - y}"


def check_layout(s, dpi):
    """The wizard's client area and its buttons as they scale with the setting, on the first page."""
    layout = s.drv.out("rect", WIZARD, "Next").split("\n")
    s.equal("the client area scales", layout[0], f"client={scaled(562, dpi)}x{scaled(319, dpi)}")
    s.equal("Next scales", layout[-1], "rect=" + scaled_rect(389, 288, 75, 25, dpi))
    s.equal("Back scales", s.drv.out("rect", WIZARD, "Back").split("\n")[-1],
            "rect=" + scaled_rect(308, 288, 75, 25, dpi))
    s.equal("Cancel scales", s.drv.out("rect", WIZARD, "Cancel").split("\n")[-1],
            "rect=" + scaled_rect(479, 288, 75, 25, dpi))


def check_finish_layout(s, dpi):
    s.equal("the finish boxes scale", s.drv.out("rect", WIZARD, "Start Help File").split("\n")[-1],
            "rect=" + scaled_rect(8 + 162, 104, 97, 17, dpi))


@pytest.mark.parametrize("dpi", [pytest.param(d, marks=pytest.mark.scenario(f"dpi{d}", "dpi"), id=str(d))
                                 for d in (120, 144, 192)])
def test_dpi(prefix, paths, checks, run_state, dpi):
    """Every page at 120, 144 and 192 dots per inch (Wine's LogPixels; 96 is the fresh walk), a
    screenshot of each to look at: the wizard's client area and its buttons scale with the setting, as
    the program declares itself aware of it."""
    s = Scene(f"dpi{dpi}", prefix, paths, checks, run_state.say)
    for key in ("HKCU\\Control Panel\\Desktop", "HKCU\\Software\\Wine\\Fonts"):
        s.reg("add", key, "/v", "LogPixels", "/t", "REG_DWORD", "/d", str(dpi), "/f")
    s.prefix.stop()  # read again by the next Wine program
    s.prefix.start_server()
    s.require("wizard appears", s.start_setup())
    check_layout(s, dpi)
    s.walk_to_associations()
    s.associations_then_finish(*FINISH_BOXES, on_finish_page=lambda: (check_finish_layout(s, dpi),
                                                                      s.shot("finish")))
    s.check_files()


@pytest.mark.scenario("choices")
def test_choices(scene):
    s = scene
    s.require("wizard appears", s.start_setup())
    s.click("Next")
    s.click("I'm agree")
    s.click("Next")
    s.click("Back")
    s.equal("agreement kept after Back", s.settled_state("I'm agree", TICKED), TICKED)
    s.equal("Next still enabled after Back", s.settled_state("Next", UNTICKED), UNTICKED)
    s.click("Back")
    s.equal("Back disabled on the welcome page", s.settled_state("Back", DISABLED), DISABLED)
    s.click("Next")
    s.click("Next")
    s.shot("folder")
    # Browse, then cancel the folder browser: the folder box keeps its value.
    before = s.folder_text()
    s.click("Browse")
    s.that("the folder browser opens", s.drv.wait_window("Browse for Folder", 10000))
    s.shot("browse", captions=(WIZARD, "Browse for Folder"))
    if not s.drv.ok("answer", "Browse for Folder", "Cancel"):
        s.fail("cancel the folder browser")
    s.dialog_gone("Browse for Folder")
    s.equal("Browse cancelled keeps the folder", s.folder_text(), before)
    s.click("Install")
    if not s.wait_enabled("Check All"):
        s.fail("association page appears")
    s.shot("associations")
    s.click("Cancel")
    s.equal("Cancel on the association page asks", s.drv.answer("Confirm", "&No"), ABORT_QUESTION)
    s.click("Clear All")
    s.equal("Clear All clears every row", s.settled_items("count=4 checked=0000"), "count=4 checked=0000")
    s.drv("check-item", WIZARD, 0, 1)
    s.drv("check-item", WIZARD, 2, 1)
    s.equal("two rows ticked", s.drv.out("list-items", WIZARD), "count=4 checked=1010")
    s.shot("two-rows")
    s.click("Next")
    if not s.wait_enabled("Finish"):
        s.fail("Finish appears")
    for box in FINISH_BOXES:
        s.click(box)
    for box in FINISH_BOXES:
        s.equal(f"'{box}' cleared", s.settled_state(box, UNTICKED), UNTICKED)
    s.shot("finish")
    s.click("Finish")
    s.that("Finish ends the program", s.setup_ended())
    s.check_files()
    s.check_class(0)
    s.check_class(2)
    s.that(".inc not registered", not s.reg_key_exists("HKCR\\.inc"))
    s.that(".kelp not registered", not s.reg_key_exists("HKCR\\.kelp"))
    s.that("no desktop link", not s.desktop_link().exists())
    s.that("group link made", (s.prefix.unix(GROUP_UNIX) / "Torvek Pellum.lnk").is_file())
    # Setup.exe has ended, so a program it started has been created already: CreateProcess returns
    # only once Wine's server holds the new process, and the driver's process list comes from there.
    s.that("no program started", not s.drv.running(PROGRAM))
