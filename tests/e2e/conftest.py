"""Fixtures of the system tests (scripts/e2e, scripts/faults, scripts/planted-dll): the virtual screen,
the base Wine prefix, a fresh copy of it per scenario with its own Wine server (the next one copied in
the background), the prefix snapshots, the tmpfs drive, and the jobs that need no screen (a build,
fuzzing), started with the run. Whatever they make outside the run is undone also when the run is
interrupted: SIGINT and SIGTERM become KeyboardInterrupt so the finalizers run, a second signal cannot
cut a clean-up short, and a session first removes what a killed earlier run left in its work folder.

  --scenario NAME    run only that scenario (repeatable); the scripts map their arguments onto it
"""
import contextlib
import os
import shutil
import time

import pytest

import harness
from faultkit import FaultScene, Figures, Snapshots
from harness import Checks, Cleanups, Interrupts, Paths, Prefix, Screen, Wine
from installer import Scene

RUN = pytest.StashKey()
CHECKS = pytest.StashKey()


class Run:
    """What one session of the system tests shares: Wine, the paths, the clean-up stack, the figures."""

    def __init__(self, config):
        self.config = config
        self.interrupts = Interrupts()
        self.cleanups = Cleanups(self.interrupts)
        self.figures = Figures()
        self.wine = None
        self.paths = None
        self.fault_tests = 0
        self.copies_wanted = 0
        self.background = {}
        self.checks_passed = 0
        self.checks_failed = 0
        self.started = time.monotonic()

    def say(self, line):
        """A line on the terminal as it happens, also while pytest captures the test's output; and in
        that output too, so the JUnit report and a failure's report have it."""
        capture = self.config.pluginmanager.getplugin("capturemanager")
        terminal = self.config.pluginmanager.getplugin("terminalreporter")
        with capture.global_and_fixture_disabled() if capture else contextlib.nullcontext():
            if terminal:
                terminal.ensure_newline()
                terminal.write_line(line)
            else:
                print(line, flush=True)
        if capture and capture.is_globally_capturing():
            print(line)


# ---- hooks --------------------------------------------------------------------------------------------

def pytest_addoption(parser):
    parser.addoption("--scenario", action="append", default=[], metavar="NAME",
                     help="run only this scenario (repeatable)")


def pytest_configure(config):
    run = Run(config)
    config.stash[RUN] = run
    run.interrupts.install()
    config.addinivalue_line("markers", "scenario(name, ...): the names --scenario selects the test by; the "
                                       "first also names its checks, prefix copy and screenshot folder")
    config.addinivalue_line("markers", "fault: a fault scenario, counted in the figures")
    config.addinivalue_line("markers", "tmpfs_size(size): the size of the test's tmpfs drive, as mount takes it")
    config.addinivalue_line("markers", "background(command): a function of the paths giving the command the "
                                       "test's background fixture waits for; it starts with the run")


def pytest_sessionstart(session):
    run = session.config.stash[RUN]
    run.wine = Wine()
    run.paths = Paths(run.wine.arch)
    run.paths.work.mkdir(parents=True, exist_ok=True)
    found = harness.remove_leftovers(run.wine, run.paths.work)
    if found:
        run.say(f"# removed what an interrupted run left: {', '.join(found)}")


def scenario_names(item):
    """The names a test answers to in --scenario; the first also names its checks and screenshots."""
    marker = item.get_closest_marker("scenario")
    return list(marker.args) if marker else []


def scenario_of(item):
    names = scenario_names(item)
    return names[0] if names else None


def pytest_collection_modifyitems(config, items):
    wanted = config.getoption("scenario")
    if wanted:
        known = sorted({name for item in items for name in scenario_names(item)})
        unknown = [name for name in wanted if name not in known]
        if unknown:
            raise pytest.UsageError(f"unknown scenario {' '.join(unknown)} (known: {' '.join(known)})")
        selected = [item for item in items if set(scenario_names(item)) & set(wanted)]
        config.hook.pytest_deselected(items=[item for item in items if item not in selected])
        items[:] = selected
    # The prefix copies the run will make: one per test with its own, one for the tests that share the
    # fresh install's.
    config.stash[RUN].copies_wanted = (sum("prefix" in item.fixturenames for item in items) +
                                       any("fresh_prefix" in item.fixturenames for item in items))


def pytest_collection_finish(session):
    """The background jobs of the tests selected, started now: they run while the scenarios wait."""
    run = session.config.stash[RUN]
    if session.config.option.collectonly:
        return
    for item in session.items:
        marker = item.get_closest_marker("background")
        if marker:
            job = harness.Background(marker.args[0](run.paths), run.paths.work / f"{item.name}.log")
            job.undo = run.cleanups.push(job.end)
            job.start()
            run.background[item.nodeid] = job


@pytest.hookimpl(hookwrapper=True)
def pytest_runtest_call(item):
    outcome = yield
    checks = item.stash.get(CHECKS, None)
    if outcome.excinfo is None and checks is not None and checks.failures:
        failed = "\n  ".join(checks.failures)
        pytest.fail(f"{len(checks.failures)} check(s) failed:\n  {failed}", pytrace=False)


@pytest.hookimpl(hookwrapper=True)
def pytest_runtest_makereport(item, call):
    outcome = yield
    report = outcome.get_result()
    if report.when == "call" and item.get_closest_marker("fault") and not report.skipped:
        figures = item.config.stash[RUN].figures
        figures.scenarios_run += 1
        figures.faults_survived += report.passed


@pytest.hookimpl(hookwrapper=True)
def pytest_sessionfinish(session):
    yield
    session.config.stash[RUN].cleanups.run_all()


def pytest_terminal_summary(terminalreporter, config):
    run = config.stash[RUN]
    if run.paths is None or not (run.checks_passed or run.checks_failed):
        return
    if run.fault_tests or any(vars(run.figures).values()):
        for line in run.figures.table():
            terminalreporter.write_line(line)
    terminalreporter.write_line(f"# checks: {run.checks_passed} ok, {run.checks_failed} failed; "
                                f"{time.monotonic() - run.started:.0f} s; screenshots in {run.paths.shots}")


# ---- session fixtures ------------------------------------------------------------------------------

@pytest.fixture(scope="session")
def run_state(request):
    return request.config.stash[RUN]


@pytest.fixture(scope="session")
def paths(run_state):
    """The tree under test; the screenshots of an earlier run are removed."""
    found = run_state.paths
    if not found.setup.is_file():
        pytest.exit(f"no {found.setup} (build the {run_state.wine.arch} tree first)", returncode=1)
    found.ensure_driver(run_state.wine.arch)
    shutil.rmtree(found.shots, ignore_errors=True)
    found.shots.mkdir(parents=True)
    return found


@pytest.fixture(scope="session")
def screen(run_state):
    """The X screen Wine draws on: the one DISPLAY names, or a virtual one started here and stopped by
    its PID (written down, so a run killed outright has it stopped by the next)."""
    if os.environ.get("DISPLAY"):
        yield os.environ["DISPLAY"]
        return
    virtual = Screen()
    pid_file = run_state.paths.work / "xvfb.pid"

    def stop():
        virtual.stop()
        pid_file.unlink(missing_ok=True)
        os.environ.pop("DISPLAY", None)
    undo = run_state.cleanups.push(stop)
    os.environ["DISPLAY"] = virtual.start()
    pid_file.write_text(str(virtual.process.pid))
    yield os.environ["DISPLAY"]
    run_state.cleanups.run(undo)


@pytest.fixture(scope="session")
def base_prefix(run_state, paths):
    """The prefix every scenario copies, made once (and kept for later runs). A creation cut short has
    its Wine ended; scripts/wine-env discards the half-made prefix next time."""
    undo = run_state.cleanups.push(Prefix(run_state.wine, paths.base).stop)
    prefix = harness.make_base_prefix(run_state.wine, paths.base)
    run_state.cleanups.drop(undo)
    return prefix


class PrefixCopies:
    """Fresh copies of the base prefix, each with its own Wine server, all in the work folder. While a
    scenario runs, the copy the next one needs is made in the background (a copy takes seconds)."""

    def __init__(self, run_state, paths, base):
        self.run_state = run_state
        self.paths = paths
        self.base = base
        self.spare = None

    def make(self, name):
        prefix = Prefix(self.run_state.wine, self.paths.work / f"run-{name}")
        prefix.undo = self.run_state.cleanups.push(lambda: self._remove(prefix, name))
        spare, self.spare = self.spare, None
        if not (spare and spare.take(prefix.path)):
            harness.copy_prefix(self.base.path, prefix.path)
        if spare:
            self.run_state.cleanups.run(spare.undo)
        self.run_state.copies_wanted -= 1
        if self.run_state.copies_wanted > 0:
            self.spare = harness.SpareCopy(self.base.path, self.paths.work / "run-spare")
            self.spare.undo = self.run_state.cleanups.push(self.spare.discard)
            self.spare.start()
        prefix.start_server()
        return prefix

    def end(self, prefix):
        self.run_state.cleanups.run(prefix.undo)

    def _remove(self, prefix, name):
        prefix.stop()
        log = prefix.home / "setup.log"
        if log.is_file():
            shutil.copy(log, self.paths.shots / f"{name}-setup.log")
        harness.remove_prefix_files(prefix.path)


@pytest.fixture(scope="session")
def prefix_copies(run_state, paths, base_prefix, screen):
    # The screen comes first: Wine's services keep the display they were started with.
    copies = PrefixCopies(run_state, paths, base_prefix)
    yield copies
    if copies.spare:
        run_state.cleanups.run(copies.spare.undo)


# ---- per-test fixtures ---------------------------------------------------------------------------------

@pytest.fixture
def background(request, run_state):
    """The test's background job (see pytest_collection_finish), ended with the test at the latest."""
    job = run_state.background[request.node.nodeid]
    yield job
    run_state.cleanups.run(job.undo)


@pytest.fixture
def scenario_name(request):
    return scenario_of(request.node) or request.node.name


@pytest.fixture
def prefix(prefix_copies, scenario_name):
    """A fresh copy of the base prefix for this test, deleted (its Wine ended first) when it ends."""
    copy = prefix_copies.make(scenario_name)
    yield copy
    prefix_copies.end(copy)


@pytest.fixture
def checks(request, run_state):
    found = Checks(run_state.say)
    request.node.stash[CHECKS] = found
    yield found
    run_state.checks_passed += found.passed
    run_state.checks_failed += len(found.failures)


@pytest.fixture
def scene(scenario_name, prefix, paths, checks, run_state):
    return Scene(scenario_name, prefix, paths, checks, run_state.say)


@pytest.fixture
def snapshots(scenario_name, prefix, paths, run_state):
    """Before-and-after snapshots of the test's prefix, compared with the places the installer may
    change; every change is written to shots/<scenario>-changes.txt."""
    return Snapshots(prefix, paths.driver, paths.shots / f"{scenario_name}-changes.txt", run_state.figures,
                     run_state.say)


@pytest.fixture
def fault(scenario_name, prefix, paths, checks, snapshots, run_state):
    run_state.fault_tests += 1
    return FaultScene(scenario_name, prefix, paths, checks, run_state.say, snapshots, run_state.figures)


@pytest.fixture
def tmpfs_drive(request, scenario_name, prefix, paths, run_state):
    """A tmpfs mapped as the prefix's drive T:, 3 MB unless the test's tmpfs_size marker says otherwise.
    Unmounted however the test ends, after the prefix's Wine is ended (its programs may hold files
    there)."""
    sized = request.node.get_closest_marker("tmpfs_size")
    size = sized.args[0] if sized else "3m"
    mount_point = paths.work / f"tmpfs-{scenario_name}"

    def remove():
        prefix.stop()
        harness.unmount(mount_point)
        with contextlib.suppress(OSError):
            mount_point.rmdir()
    undo = run_state.cleanups.push(remove)
    mount_point.mkdir(parents=True, exist_ok=True)
    code, out = harness.run(["mount", "-t", "tmpfs", "-o", f"size={size}", "tmpfs", str(mount_point)])
    if code != 0:
        run_state.cleanups.run(undo)
        pytest.skip(f"this machine does not let us mount a tmpfs ({out.strip()})")
    (prefix.path / "dosdevices" / "t:").symlink_to(mount_point)
    yield mount_point
    run_state.cleanups.run(undo)
