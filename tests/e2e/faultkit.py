"""The fault suite's parts: the figures it reports, the before-and-after snapshots of a prefix that must
show changes only where the installer may write, and the steps its scenarios share."""
import contextlib
import io
import re
from dataclasses import dataclass

import snapshot
from harness import Driver
from installer import (ASSOCIATIONS, FOLDER_UNIX, PROGRAMS_UNIX, UNINSTALL_KEY, USER, WIZARD, Scene,
                       payload_files, same_file)

# Wine's own bookkeeping, changed by any program that starts: under its own key the menu builder's
# record of the menu files it wrote and the session's temporary system parameters; and the font files
# for the code pages of the program that started last (the driver's UTF-8 or another program's).
WINE_NOISE_KEYS = ["HKEY_CURRENT_USER\\Software\\Wine",
                   "HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Hardware Profiles\\Current\\Software\\Fonts"]
# Wine's menu builder writes a .desktop file beside every link it sees on the desktop.
WINE_NOISE_FILES = [f"drive_c/users/{USER}/Desktop/Torvek Pellum 3.9.8.7.desktop"]


@dataclass
class Figures:
    scenarios_run: int = 0
    faults_survived: int = 0
    bad_values: int = 0
    fuzz_runs: int = 0
    files_checked: int = 0
    keys_checked: int = 0
    snapshot_files: int = 0
    snapshot_keys: int = 0
    scenarios_clean: int = 0
    older_copies_kept: int = 0
    newer_copies_written: int = 0

    def table(self):
        run = self.scenarios_run
        rows = [("figure", "value"),
                ("fault scenarios run", run),
                ("faults survived", f"{self.faults_survived} of {run}"),
                ("bad registry values tried", self.bad_values),
                ("bad inputs tried (fuzz executions)", self.fuzz_runs),
                ("installed files compared", self.files_checked),
                ("registry values read back", self.keys_checked),
                ("prefix files in snapshots", self.snapshot_files),
                ("registry keys in snapshots", self.snapshot_keys),
                ("reinstall, full disk: new / old kept",
                 f"{self.newer_copies_written} / {self.older_copies_kept}"),
                ("nothing lost", f"{self.scenarios_clean} of {run} scenarios")]
        return [f"# {name:<34} {value}" for name, value in rows]


class Snapshots:
    """The prefix's files and its two registry roots (saved by the driver), recorded by
    tests/e2e/snapshot.py."""

    def __init__(self, prefix, driver, changes_file, figures, say):
        self.prefix = prefix
        self.drv = Driver(prefix, driver)
        self.say = say
        self.folder = prefix.home / "snap"
        self.changes_file = changes_file
        self.figures = figures
        self.taken = False

    def take(self, label):
        self.folder.mkdir(parents=True, exist_ok=True)
        hives = [self.folder / f"{root}.reg" for root in ("HKLM", "HKCU")]
        code, out = self.drv("reg-save", *("Z:" + str(hive).replace("/", "\\") for hive in hives))
        if code != 0:
            self.say(f"# saving the registry failed: {out}")
        snapshot.take(str(self.prefix.path), str(self.folder / f"{label}.json"), [str(h) for h in hives])
        self.taken = True

    def allowed(self, extra):
        """The places the installer may change: the install folder, the product's keys, the four class
        keys, the shortcut folders, Wine's own noise, and what the scenario names (keys start with
        HKEY_, files are prefix-relative)."""
        files = WINE_NOISE_FILES + [FOLDER_UNIX.rsplit("/", 1)[0], PROGRAMS_UNIX,
                                    f"drive_c/users/{USER}/Desktop/Torvek Pellum 3.9.8.7.lnk"]
        keys = WINE_NOISE_KEYS + ["HKEY_LOCAL_MACHINE\\Software\\Torvek",
                                  "HKEY_LOCAL_MACHINE\\" + UNINSTALL_KEY.split("\\", 1)[1]]
        for root in ("HKEY_LOCAL_MACHINE\\Software\\Classes", "HKEY_CURRENT_USER\\Software\\Classes"):
            for ext, _, _ in ASSOCIATIONS:
                keys += [f"{root}\\.{ext}", f"{root}\\TorvekPellum.{ext}"]
        for item in extra:
            (keys if item.startswith("HKEY_") else files).append(item)
        return files, keys

    def compare(self, extra):
        """(nothing changed outside, the report of what did): the "after" snapshot against "before".
        Every change, inside the allowed places too, is kept beside the screenshots for review."""
        self.take("after")
        before, after = str(self.folder / "before.json"), str(self.folder / "after.json")
        files, keys = self.allowed(extra)
        everything = io.StringIO()
        with contextlib.redirect_stdout(everything):
            snapshot.diff(before, after, files, keys, show_all=True)
        self.changes_file.write_text(everything.getvalue())
        outside = io.StringIO()
        with contextlib.redirect_stdout(outside):
            status = snapshot.diff(before, after, files, keys)
        report = outside.getvalue().rstrip("\n")
        counts = re.search(r"^compared (\d+) files, (\d+) keys", report, re.M)
        if counts:
            self.figures.snapshot_files += int(counts.group(1))
            self.figures.snapshot_keys += int(counts.group(2))
        return status == 0, report


class FaultScene(Scene):
    """A fault scenario: the shared steps, with the figures they add to."""

    def __init__(self, name, prefix, paths, checks, say, snapshots, figures):
        super().__init__(name, prefix, paths, checks, say)
        self.snapshots = snapshots
        self.figures = figures

    def ready(self):
        """The fixture is set up: the "before" snapshot."""
        self.snapshots.take("before")

    def no_loss(self, what, *extra):
        clean, report = self.snapshots.compare(extra)
        if clean:
            self.ok(f"nothing lost ({what}; {report.split(chr(10))[-1]})")
            self.figures.scenarios_clean += 1
        else:
            self.fail(f"nothing lost ({what})")
            for line in report.split("\n")[:30]:
                self.say(f"#   {line}")

    def key_is(self, what, key, name, expected):
        self.figures.keys_checked += 1
        self.equal(what, self.reg_value(key, name), expected)

    def key_absent(self, what, key):
        self.figures.keys_checked += 1
        self.that(what, not self.reg_key_exists(key))

    def installed_except(self, folder, *skipped):
        """Every other payload file is there, byte for byte; the named ones are not checked here."""
        same = total = 0
        for rel in payload_files(self.paths.payload):
            if rel in skipped:
                continue
            total += 1
            if same_file(self.paths.payload / rel, folder / rel):
                same += 1
            else:
                self.say(f"# differs or missing: {rel}")
        self.figures.files_checked += total
        self.equal(f"the other {total} files installed byte for byte", same, total)

    def to_folder_page(self, folder=None):
        """Welcome, agreement, folder page; the folder box set when a folder is given."""
        self.click("Next")
        self.click("I'm agree")
        self.click("Next")
        if not self.wait_enabled("Install"):
            self.fail("folder page appears")
        if folder:
            self.drv("set-text", WIZARD, "Edit", 1, folder)

    def answer_report(self, caption, button="OK"):
        """The text of the report or box with this caption, answered with the button after a screenshot."""
        if self.drv.wait_window(caption, 20000):
            self.shot(f"report-{caption}", captions=(caption,))
        return self.drv.answer(caption, button, 20000)

    def wizard_survives(self, what, report):
        """After the report closed, a wizard button read back (see Scene.dialog_gone) puts the check after
        the handler behind the report has finished; the wizard must still be there then."""
        self.dialog_gone(report)
        self.state("Cancel")
        self.that(what, self.drv.wait_window(WIZARD, 1000))


REPORT_HEAD = "These files could not be written:"
KEPT = "; the older copy is kept"


def skipped_report(*entries):
    """The copying report's text for these (catalogue path, reason) pairs: each named by its destination
    below the install folder (Windows form, with "\\"), with its reason."""
    return "\n".join([REPORT_HEAD] + [f"{path.replace('/', chr(92))} ({reason})" for path, reason in entries])


def report_entries(report):
    """The entries a copying report names, {name: reason}, and how many more it counts beyond them."""
    lines = report.split("\n")
    named, more = {}, 0
    for line in lines[1:]:
        counted = re.fullmatch(r"and (\d+) more", line)
        if counted:
            more = int(counted.group(1))
            continue
        found = re.fullmatch(r"(.*) \((.*)\)", line)
        if found:
            named[found.group(1)] = found.group(2)
    return named, more

