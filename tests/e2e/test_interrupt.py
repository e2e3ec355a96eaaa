"""An interrupted run leaves nothing behind. A run of scripts/faults diskfull is started in a subprocess
(its own work folder, the base prefix and screen of this run) and, once findmnt shows its tmpfs, gets
SIGINT (as from Ctrl-C) or SIGTERM, and once more SIGINT while Setup.exe shows its disk box: it
must end, say it was interrupted, and leave no mount, no prefix
copy and no Wine process of that copy. A run killed outright (SIGKILL) cannot clean up; the next run in
the same work folder must then remove what it left before anything else."""
import os
import signal
import subprocess
import sys

import pytest

import harness
from harness import mounts_under, processes_of, wait_until
from installer import DISK_BOX

FAULTS = harness.ROOT / "scripts" / "faults"
INTERRUPTED = 2  # pytest's exit code for a run ended by KeyboardInterrupt


class InnerRun:
    """A faults run in the work folder <work>/interrupt-<name>, its output in <work>/interrupt-<name>.log."""

    def __init__(self, paths, wine, name):
        self.wine = wine
        self.work = paths.work / f"interrupt-{name}"
        self.log = paths.work / f"interrupt-{name}.log"
        self.copy = self.work / "run-diskfull"
        # The same tree and base prefix; DISPLAY (set by the screen fixture) is inherited.
        self.env = dict(os.environ, E2E_WORK=str(self.work), E2E_BASE=str(paths.base),
                        E2E_TREE=str(paths.tree), E2E_SETUP=str(paths.setup), E2E_PAYLOAD=str(paths.payload),
                        E2E_DRIVER=str(paths.driver))
        self.process = None

    def start(self):
        """scripts/faults diskfull, in its own session so a Ctrl-C meant for this run does not reach it
        (this run's clean-up ends it instead)."""
        with open(self.log, "wb") as out:
            self.process = subprocess.Popen([str(FAULTS), "diskfull"], env=self.env, stdin=subprocess.DEVNULL,
                                            stdout=out, stderr=subprocess.STDOUT, start_new_session=True)

    def wait_for_mount(self, installing=False):
        """True once its tmpfs is mounted (installing: and Setup.exe shows its disk box on the shared
        screen); skips the test where this machine allows no tmpfs mount."""
        def reached():
            return mounts_under(self.work) and (not installing or harness.run(
                ["xdotool", "search", "--name", f"^{DISK_BOX}$"], timeout=10)[0] == 0)
        wait_until(lambda: reached() or self.process.poll() is not None, 180)
        if reached():
            return True
        if "does not let us mount a tmpfs" in self.log.read_text(errors="replace"):
            pytest.skip("this machine does not let us mount a tmpfs")
        return False

    def ended(self, timeout=120):
        try:
            self.process.wait(timeout)
            return True
        except subprocess.TimeoutExpired:
            return False

    def leftovers(self):
        """(mounts, prefix copies, Wine processes of the copy) still there."""
        copies = sorted(p.name for p in self.work.glob("run-*"))
        return mounts_under(self.work), copies, processes_of(self.copy)

    def end(self):
        if self.process and self.process.poll() is None:
            self.process.kill()  # our own child, by its PID
            self.process.wait()
        harness.remove_leftovers(self.wine, self.work)
        harness.remove_prefix_files(self.work)


@pytest.fixture
def inner(request, paths, base_prefix, screen, run_state):
    name = request.node.callspec.id if hasattr(request.node, "callspec") else "killed"
    run = InnerRun(paths, run_state.wine, name)
    undo = run_state.cleanups.push(run.end)
    run.end()  # a folder left by an earlier run of this test
    yield run
    run_state.cleanups.run(undo)


def check_nothing_left(checks, run, label):
    # Wine's programs end a moment after their server: they notice it gone, then exit.
    wait_until(lambda: not processes_of(run.copy), 10)
    mounts, copies, processes = run.leftovers()
    checks.equal(f"{label}: no mount left", mounts, [])
    checks.equal(f"{label}: no prefix copy left", copies, [])
    checks.equal(f"{label}: no Wine process of the prefix copy left", processes, [])


@pytest.mark.scenario("interrupt")
@pytest.mark.parametrize("signum, installing",
                         [(signal.SIGINT, False), (signal.SIGTERM, False), (signal.SIGINT, True)],
                         ids=["SIGINT", "SIGTERM", "SIGINT-while-installing"])
def test_interrupted_run_leaves_nothing(inner, signum, installing, checks):
    label = signum.name + (" while installing" if installing else "")
    inner.start()
    step = "has Setup.exe show its disk box" if installing else "mounts its tmpfs"
    if not checks.that(f"{label}: the disk-full run {step}", inner.wait_for_mount(installing)):
        return
    inner.process.send_signal(signum)
    checks.that(f"{label}: the run ends", inner.ended())
    checks.equal(f"{label}: it ends as interrupted (exit code {INTERRUPTED})", inner.process.returncode,
                 INTERRUPTED)
    check_nothing_left(checks, inner, label)


@pytest.mark.scenario("interrupt")
def test_killed_run_is_cleaned_up_by_the_next(inner, checks):
    inner.start()
    if not checks.that("SIGKILL: the disk-full run mounts its tmpfs", inner.wait_for_mount()):
        return
    inner.process.kill()
    inner.process.wait()
    mounts, copies, _ = inner.leftovers()
    checks.that("SIGKILL: the killed run leaves its mount and prefix copy", mounts and copies)
    # The next run in that work folder: it only has to start (collecting, no test) to clean up.
    tests = harness.ROOT / "tests" / "e2e"
    code, out = harness.run([sys.executable, "-B", "-m", "pytest", "-c", str(tests / "pytest.ini"),
                             "--collect-only", "-q", str(tests / "test_faults.py")], env=inner.env, timeout=300)
    checks.equal("SIGKILL: the next run starts", code, 0)
    checks.that("SIGKILL: the next run says what it removed", "removed what an interrupted run left" in out)
    check_nothing_left(checks, inner, "SIGKILL: after the next run's start")
