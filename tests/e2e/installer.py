"""What the installer is expected to show and leave behind, written down here independently of its
sources, and a Scene: one scenario's prefix, driver, checks and screenshots with the steps every suite
shares (start Setup.exe, click through, read the registry back, compare the installed files)."""
import filecmp
import math
import os
import pwd
from pathlib import Path

from harness import Driver, Setup, Stop, screenshot, wait_until

WIZARD = "Install manager"
FOLDER_WIN = "C:\\Program Files\\Torvek\\Pellum 3.9.8.7\\"
FOLDER_UNIX = "drive_c/Program Files/Torvek/Pellum 3.9.8.7"
GROUP_UNIX = "drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Torvek/Torvek Pellum 3.9.8.7"
PROGRAMS_UNIX = "drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Torvek"
PRODUCT_KEY = "HKLM\\Software\\Torvek\\Pellum 3.9.8.7"
UNINSTALL_KEY = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Torvek KEL 3.9.8.7"
PROGRAM = "TorvekKel3.exe"
SHELL_FOLDERS = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders"
# extension, class description, icon index in the main program
ASSOCIATIONS = [
    ("asm", "Torvek Pellum Module", 1),
    ("inc", "Torvek Pellum Including File", 2),
    ("rc", "Torvek Pellum Resource Description File", 3),
    ("kelp", "Torvek Pellum Project File", 0),
]
FINISH_BOXES = ("Start Torvek Pellum", "Start Help File", "Create Desktop Icon")
ABORT_QUESTION = "Aborted by user?"
HELD_BOX = "Files in use"
DISK_BOX = "Not enough disk space"
REINSTALL_QUESTION = "Are you sure you want reinstall existing copy?\nPath: "
UNTICKED = "visible=1 enabled=1 checked=0"
TICKED = "visible=1 enabled=1 checked=1"
DISABLED = "visible=1 enabled=0 checked=0"
USER = pwd.getpwuid(os.getuid()).pw_name  # the prefix's user folder is named as `id -un` says


def payload_files(payload):
    """Every payload file, as the catalogue path with "/", sorted."""
    return sorted(str(p.relative_to(payload)) for p in Path(payload).rglob("*") if p.is_file())


def space_figures(needed, free):
    """The disk box's figures: megabytes of 2^20 bytes to a tenth, needed rounded up, free rounded down."""
    return f"Needed: {math.ceil(needed * 10 / 2**20) / 10:.1f} MB\nFree: {math.floor(free * 10 / 2**20) / 10:.1f} MB"


def same_file(a, b):
    return os.path.isfile(a) and os.path.isfile(b) and filecmp.cmp(a, b, shallow=False)


class Scene:
    """One scenario of the installer: its name (the prefix of its check lines and its screenshot folder),
    the prefix it runs in, the driver there, and Setup.exe once started."""

    def __init__(self, name, prefix, paths, checks, say):
        self.name = name
        self.prefix = prefix
        self.paths = paths
        self.checks = checks
        self.say = say
        self.drv = Driver(prefix, paths.driver)
        self.setup = None
        self.shots = paths.shots / name
        self.shots.mkdir(parents=True, exist_ok=True)
        # Where the install goes and the user's desktop is; a scenario may type another folder.
        self.folder_win, self.folder_unix = FOLDER_WIN, FOLDER_UNIX
        self.desktop = f"drive_c/users/{USER}/Desktop"

    # ---- checks, named after the scenario ----

    def ok(self, what):
        return self.checks.ok(f"{self.name}: {what}")

    def fail(self, what):
        return self.checks.fail(f"{self.name}: {what}")

    def that(self, what, condition):
        return self.checks.that(f"{self.name}: {what}", condition)

    def equal(self, what, actual, expected):
        return self.checks.equal(f"{self.name}: {what}", actual, expected)

    def require(self, what, condition):
        """A check the rest of the scenario depends on: it stops the scenario when it fails."""
        if not self.that(what, condition):
            raise Stop(f"{self.name}: {what}")

    # ---- Setup.exe ----

    def start_setup(self):
        """Setup.exe started; true once its wizard is up."""
        self.launch()
        return self.drv.wait_window(WIZARD, 20000)

    def launch(self, **env):
        self.setup = Setup(self.prefix, self.paths.setup, **env)

    def setup_ended(self, timeout=10):
        return self.setup is not None and self.setup.ended(timeout)

    # ---- the wizard ----

    def click(self, text, caption=WIZARD):
        """The driver waits until the button is visible and enabled, then posts the click."""
        if not self.drv.ok("click", caption, text):
            self.checks.fail(f"click {text}")
            raise Stop(f"click {text}")

    def state(self, button):
        return self.drv.state(WIZARD, button)

    def settled_state(self, button, expected, timeout=10):
        """The button's state once it reads as expected (a page switch posted by a click may still run),
        or the last one read when it never does."""
        last = [None]

        def probe():
            last[0] = self.state(button)
            return last[0] == expected
        wait_until(probe, timeout)
        return last[0]

    def wait_enabled(self, button, timeout=20):
        """Until the wizard shows it visible and enabled (a step may still run)."""
        return wait_until(lambda: self.state(button).startswith("visible=1 enabled=1"), timeout)

    def settled_items(self, expected, timeout=10):
        last = [None]

        def probe():
            last[0] = self.drv.out("list-items", WIZARD)
            return last[0] == expected
        wait_until(probe, timeout)
        return last[0]

    def dialog_gone(self, caption):
        """Waits until the dialog just answered has closed. A state read after that is answered only when
        the wizard's thread is back in its message loop (BM_GETCHECK is a sent message, handled when the
        thread next reads its queue), that is after the handler that showed the dialog has acted on the
        answer; so it shows what that answer did, where a fixed pause could only hope to."""
        return self.drv.wait_gone(caption, 10000)

    # ---- the keyboard ----

    def focus(self):
        """The control with the keyboard focus in the wizard's thread, as "Class:text" (the first line of
        its text), and the thread's active window."""
        fields = dict(line.split("=", 1) for line in self.drv.out("focus", WIZARD).split("\n") if "=" in line)
        return fields.get("focus", ""), fields.get("active", "")

    def press(self, *keys):
        """Real key presses (SendInput) to whatever has the keyboard."""
        if not self.drv.ok("keys", *keys):
            raise Stop(f"{self.name}: typing {' '.join(keys)}")

    def focus_after(self, what, keys, expected, active=WIZARD, timeout=10):
        """Presses the keys, then checks, once it has settled, where the focus is: the named control, in
        the wizard active. Keys are read in order, so a settled focus tells the last one was handled."""
        if keys:
            self.press(*keys)
        last = [("", "")]

        def probe():
            last[0] = self.focus()
            return last[0] == (expected, active)
        wait_until(probe, timeout)
        return self.equal(f"{what}: focus", last[0], (expected, active))

    def folder_text(self):
        return self.drv.out("text", WIZARD, "Edit", 1)

    def shot(self, label, captions=(WIZARD,)):
        """The named windows raised, then the whole screen, numbered by what the folder holds."""
        number = len(os.listdir(self.shots)) + 1
        if not screenshot(self.shots / f"{number:02d}-{label}.png", captions):
            self.say(f"# no screenshot {label}")

    # ---- the registry ----

    def reg(self, *args):
        return self.prefix.run("reg", *args)[0] == 0

    def reg_value(self, key, name):
        """The data of one value (name "/ve": the default value) as a Unicode registry client reads it
        (names in any script whole), a DWORD as `reg query` prints it (0x1); "" when it is missing."""
        code, out = self.drv("reg-get", key, name)
        return out if code == 0 else ""

    def reg_key_exists(self, key):
        return self.drv.ok("reg-get", key)

    # ---- the outcome ----

    def installed(self, relative=None):
        return self.prefix.unix(relative or self.folder_unix)

    def desktop_link(self):
        return self.prefix.unix(f"{self.desktop}/Torvek Pellum 3.9.8.7.lnk")

    def check_files(self):
        """Every payload file installed byte for byte."""
        files = payload_files(self.paths.payload)
        same = 0
        for rel in files:
            if same_file(self.paths.payload / rel, self.installed() / rel):
                same += 1
            else:
                self.say(f"# differs or missing: {rel}")
        self.equal("32 payload files in the catalogue", len(files), 32)
        self.equal("every installed file equals the payload", same, len(files))

    def check_product_keys(self, folder=None):
        folder = folder or self.folder_win
        self.equal("InstallPath", self.reg_value(PRODUCT_KEY, "InstallPath"), folder)
        self.equal("DisplayIcon", self.reg_value(UNINSTALL_KEY, "DisplayIcon"), folder + PROGRAM)
        self.equal("DisplayName", self.reg_value(UNINSTALL_KEY, "DisplayName"), "Pellum 3.9.8.7")
        self.equal("UninstallString quoted", self.reg_value(UNINSTALL_KEY, "UninstallString"),
                   f'"{folder}uninstall.exe"')
        # What the system's list of programs shows beside the name; reg prints a DWORD in hex.
        size = sum((self.paths.payload / rel).stat().st_size for rel in payload_files(self.paths.payload))
        expected = {"DisplayVersion": "3.9.8.7", "Publisher": "Torvek", "InstallLocation": folder,
                    "EstimatedSize": hex((size + 1023) // 1024), "NoModify": "0x1", "NoRepair": "0x1"}
        for name, value in expected.items():
            self.equal(name, self.reg_value(UNINSTALL_KEY, name), value)
        # Wine's own list of installed programs: the entry's key and its name.
        listed = self.prefix.run("uninstaller", "--list")[1].replace("\r", "").split("\n")
        self.that("the system's program list shows it", "Torvek KEL 3.9.8.7|||Pellum 3.9.8.7" in listed)

    def check_class(self, row):
        """The four writes of one association row."""
        ext, description, icon = ASSOCIATIONS[row]
        progid, target = f"TorvekPellum.{ext}", self.folder_win + PROGRAM
        self.equal(f".{ext} names its class", self.reg_value(f"HKCR\\.{ext}", "/ve"), progid)
        self.equal(f"{progid} description", self.reg_value(f"HKCR\\{progid}", "/ve"), description)
        self.equal(f"{progid} icon", self.reg_value(f"HKCR\\{progid}\\DefaultIcon", "/ve"), f"{target},{icon}")
        self.equal(f"{progid} open command", self.reg_value(f"HKCR\\{progid}\\Shell\\Open\\Command", "/ve"),
                   f'"{target}" "%1"')

    def check_link(self, what, link, target, folder):
        """A shortcut read back through the shell: its target and working folder."""
        code, out = self.drv("read-link", link)
        if code != 0:
            self.fail(f"{what} exists and reads back")
            return
        fields = dict(line.split("=", 1) for line in out.split("\n") if "=" in line)
        self.equal(f"{what} target", fields.get("target", ""), target)
        self.equal(f"{what} working folder", fields.get("dir", ""), folder)

    # ---- shared walks ----

    def walk_to_associations(self):
        """Next through to the association page with the defaults, a screenshot of every page."""
        self.shot("welcome")
        self.click("Next")
        self.shot("agreement")
        self.click("I'm agree")
        self.click("Next")
        if not self.wait_enabled("Install"):  # typed into and photographed once it is up
            self.fail("folder page appears")
        if self.folder_win != FOLDER_WIN:  # typed: WM_SETTEXT as Unicode, as typing sends it
            self.drv("set-text", WIZARD, "Edit", 1, self.folder_win.rstrip("\\"))
        self.shot("folder")
        self.equal("folder box shows the folder", self.folder_text(), self.folder_win.rstrip("\\"))
        self.click("Install")
        self.drv.wait_window(WIZARD)
        # The association page is up when Check All is visible.
        if not self.wait_enabled("Check All"):
            self.fail("association page appears")
        self.shot("associations")

    def associations_then_finish(self, *cleared, on_finish_page=None):
        """After Install (and any report answered): association page, finish page (where on_finish_page
        runs, when given) with the named boxes cleared, Finish, and the program's end."""
        if not self.wait_enabled("Check All"):
            self.fail("association page appears")
        self.click("Next")
        if not self.wait_enabled("Finish"):
            self.fail("finish page appears")
        if on_finish_page:
            on_finish_page()
        for box in cleared:
            self.click(box)
        for box in cleared:
            self.settled_state(box, "visible=1 enabled=1 checked=0")
        self.click("Finish")
        self.that("Setup.exe ends after Finish", self.setup_ended())
