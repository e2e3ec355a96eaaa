"""The system tests' harness: Wine as scripts/wine-env sets it up, prefix copies, the C++ driver
(e2e_driver.exe) run inside one, Setup.exe started and ended, screenshots, and the "ok"/"FAIL" checks.

Nothing here knows the installer's windows or keys (installer.py does); nothing here is a pytest fixture
(conftest.py makes the fixtures from these parts and owns their clean-up).
"""
import os
import queue
import re
import shutil
import signal
import subprocess
import tempfile
import threading
import time
from contextlib import contextmanager
from pathlib import Path

ROOT = Path(__file__).resolve().parents[2]
WINE_ENV = ROOT / "scripts" / "wine-env"


def wait_until(probe, timeout, interval=0.05):
    """Polls probe until it returns something true or the time is up; returns its last value."""
    deadline = time.monotonic() + timeout
    while True:
        value = probe()
        if value or time.monotonic() >= deadline:
            return value
        time.sleep(interval)


def run(args, timeout=60, env=None, cwd=None, detached=False, stderr=None):
    """Runs a command with its output in a file, not a pipe: a Wine program may leave a service behind
    that inherits the output and would keep a pipe open long after the program ended. Returns
    (exit code, output); 124 when it ran out of time, as timeout(1) says it. Ctrl-C ends the command too.
    stderr: a file for it (else it is part of the output); detached: its own session, so a Ctrl-C at the
    terminal does not reach it (clean-up commands)."""
    with tempfile.TemporaryFile() as out, open(stderr or os.devnull, "wb") as err:
        process = subprocess.Popen(args, stdin=subprocess.DEVNULL, stdout=out,
                                   stderr=err if stderr else subprocess.STDOUT,
                                   env=env, cwd=cwd, start_new_session=detached)
        try:
            code = process.wait(timeout)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait()
            code = 124
        except BaseException:
            process.kill()
            process.wait()
            raise
        out.seek(0)
        return code, out.read().decode("utf-8", "replace").replace("\r", "")


class Paths:
    """Where the harness finds what it tests and where it works. E2E_TREE names the build tree (default
    build/<win32|win64>, the kind of Wine this machine runs); E2E_SETUP, E2E_PAYLOAD, E2E_DRIVER and
    E2E_PLANTED override its parts one by one. E2E_WORK is the work folder (default build/e2e: prefix
    copies, screenshots, logs) and E2E_BASE the prefix every scenario copies (default <work>/prefix)."""

    def __init__(self, arch, environ=os.environ):
        def path(name, default):
            return Path(environ.get(name) or default).absolute()
        self.tree = path("E2E_TREE", ROOT / "build" / arch)
        self.setup = path("E2E_SETUP", self.tree / "app" / "Setup.exe")
        self.payload = path("E2E_PAYLOAD", self.tree / "payload")
        self.driver = path("E2E_DRIVER", self.tree / "tests" / "e2e" / "e2e_driver.exe")
        self.planted = path("E2E_PLANTED", self.tree / "tests" / "e2e" / "planted")
        self.control = self.planted.parent / "planted_control.exe"
        self.work = path("E2E_WORK", ROOT / "build" / "e2e")
        self.base = path("E2E_BASE", self.work / "prefix")
        self.shots = self.work / "shots"
        # The hardening and release checks read the i686 Setup.exe that ships, also where the scenarios
        # run an x86_64 build (E2E_SETUP names that one).
        self.setup_i686 = path("E2E_SETUP_I686", ROOT / "build" / "win32" / "app" / "Setup.exe")

    def ensure_driver(self, arch):
        """The driver, built here with the compiler the tree would use when the tree has none."""
        if self.driver.is_file():
            return
        source = ROOT / "tests" / "e2e" / "driver.cpp"
        self.driver = self.work / "e2e_driver.exe"
        if self.driver.is_file() and self.driver.stat().st_mtime > source.stat().st_mtime:
            return
        cpu = "i686" if arch == "win32" else "x86_64"
        self.work.mkdir(parents=True, exist_ok=True)
        manifest = self.work / "e2e_driver.rc.o"  # its UTF-8 code page
        code, out = run([f"{cpu}-w64-mingw32-windres", "-I", str(ROOT), str(source.with_suffix(".rc")), "-o",
                         str(manifest)], timeout=600)
        if code == 0:
            code, out = run([f"{cpu}-w64-mingw32-g++-posix", "-std=c++17", "-O1", "-static", "-o",
                             str(self.driver), str(source), str(manifest), "-lcomctl32", "-lole32", "-luuid",
                             "-lshell32"], timeout=600)
        if code != 0:
            raise RuntimeError("cannot build the driver:\n" + out)


class Background:
    """A long job that needs no screen (a build, fuzzing), started with the run at the lowest priority
    and waited for by the test that reports it, so it runs while the scenarios wait on windows. It has a
    session of its own, ended as a group when the run ends first; its output goes to a file."""

    def __init__(self, args, log):
        self.args = [str(a) for a in args]
        self.log = Path(log)
        self.process = None

    def start(self):
        self.log.parent.mkdir(parents=True, exist_ok=True)
        with open(self.log, "wb") as out:
            self.process = subprocess.Popen(["nice", "-n", "19", *self.args], stdin=subprocess.DEVNULL,
                                            stdout=out, stderr=subprocess.STDOUT, start_new_session=True)

    def result(self, timeout):
        """(exit code, output) once it has ended; 124 when the time is up, as run() says it."""
        try:
            code = self.process.wait(timeout)
        except subprocess.TimeoutExpired:
            self.end()
            code = 124
        return code, self.log.read_text(errors="replace").replace("\r", "")

    def end(self):
        if self.process and self.process.poll() is None:
            os.killpg(self.process.pid, signal.SIGTERM)
            try:
                self.process.wait(10)
            except subprocess.TimeoutExpired:
                os.killpg(self.process.pid, signal.SIGKILL)
                self.process.wait()


# ---- interruptions and clean-up ---------------------------------------------------------------------

class Interrupts:
    """SIGINT and SIGTERM both become KeyboardInterrupt, so pytest ends the run through its finalizers.
    While a clean-up runs (held()), a signal is only noted and raised once the clean-up is done; after
    the first one, later signals are ignored, so pressing Ctrl-C again cannot cut the clean-up short."""

    def __init__(self):
        self.interrupted = False
        self._holding = 0
        self._pending = False

    def install(self):
        signal.signal(signal.SIGINT, self._handler)
        signal.signal(signal.SIGTERM, self._handler)

    def _handler(self, signum, frame):
        if self.interrupted:
            return
        self.interrupted = True
        if self._holding:
            self._pending = True
            return
        raise KeyboardInterrupt(signal.Signals(signum).name)

    @contextmanager
    def held(self):
        self._holding += 1
        try:
            yield
        finally:
            self._holding -= 1
            if not self._holding and self._pending:
                self._pending = False
                raise KeyboardInterrupt("interrupted during clean-up")


class Cleanups:
    """The undo of everything a run makes outside itself (prefix copies and their Wine servers, mounts,
    the virtual screen). An undo is registered before the thing is made, so a half-made one goes too.
    Fixtures run theirs as they end; whatever an interruption kept them from running (KeyboardInterrupt
    between two of pytest's finalizers skips the rest of that test's) runs at the end of the session."""

    def __init__(self, interrupts):
        self._interrupts = interrupts
        self._stack = []

    def push(self, action):
        entry = [action]
        self._stack.append(entry)
        return entry

    def drop(self, entry):
        """Forgets an undo that is no longer needed (what it would undo is meant to stay)."""
        if entry in self._stack:
            self._stack.remove(entry)

    def run(self, entry):
        with self._interrupts.held():
            if entry in self._stack:
                self._stack.remove(entry)
                entry[0]()

    def run_all(self):
        interrupted = None
        while self._stack:
            try:
                self.run(self._stack[-1])
            except KeyboardInterrupt as error:
                interrupted = error
        if interrupted:
            raise interrupted


# ---- Wine ---------------------------------------------------------------------------------------------

def _wine_env(script, *args):
    """Runs bash code after sourcing scripts/wine-env, the one place that knows how this machine runs
    Wine; args are its "$@"."""
    return run(["bash", "-c", f'. "{WINE_ENV}" && {script}', "wine-env", *args], timeout=300)


class Wine:
    """The loader, prefix kind and server binary scripts/wine-env picked for this machine."""

    def __init__(self):
        code, out = _wine_env('printf "%s\\n" "$WINE_ENV_LOADER" "$WINE_ENV_ARCH" "$WINE_ENV_SERVER"')
        if code != 0:
            raise RuntimeError("scripts/wine-env failed: " + out)
        self.loader, self.arch, self.server = out.split("\n")[:3]


class Prefix:
    """A Wine prefix folder with its scratch HOME beside it (<dir>.home) and the extra environment the
    scenario asks for (a DLL override, a report file for the sample program)."""

    def __init__(self, wine, path):
        self.wine = wine
        self.path = Path(path)
        self.home = Path(f"{path}.home")
        self.extra_env = {}
        self._serving = None

    def env(self, **more):
        env = dict(os.environ, WINEPREFIX=str(self.path), WINEARCH=self.wine.arch, WINEDEBUG="-all",
                   HOME=str(self.home))
        env.update(self.extra_env)
        env.update(more)
        return env

    def run(self, *args, timeout=30, cwd=None, stderr=None, **env):
        """A Windows program (or builtin such as reg) in this prefix: (exit code, output)."""
        return run([self.wine.loader, *map(str, args)], timeout=timeout, env=self.env(**env), cwd=cwd,
                   stderr=stderr)

    def start(self, *args, log, cwd=None, **env):
        """A Windows program left running, its output in the file log."""
        with open(log, "wb") as out:
            return subprocess.Popen([self.wine.loader, *map(str, args)], stdin=subprocess.DEVNULL,
                                    stdout=out, stderr=subprocess.STDOUT, env=self.env(**env), cwd=cwd)

    def start_server(self):
        """The server and services started detached, as wine_env_server_start does: started by a driver
        call, they would hold that call's output open."""
        self.home.mkdir(parents=True, exist_ok=True)
        _wine_env('wine_env_server_start "$1"', str(self.path))

    def serving(self, exe):
        """The driver serving this prefix's commands, started on first use and again when the prefix's
        environment has changed since (a scenario's locale or DLL override) or it has ended."""
        env = self.env()
        if self._serving and (self._serving.env != env or self._serving.exe != exe or not self._serving.alive()):
            self._serving.close()
            self._serving = None
        if not self._serving:
            self._serving = ServingDriver(self.wine.loader, exe, env)
        return self._serving

    def stop(self):
        """Ends the server and every Wine process it serves (never the server alone by PID)."""
        run([self.wine.server, "-k"], timeout=60, env=self.env(), detached=True)
        if self._serving:
            self._serving.close()
            self._serving = None

    def unix(self, relative):
        return self.path / relative


def make_base_prefix(wine, path):
    """The prefix every scenario copies, created once with the test settings (scripts/wine-env gives it
    its own Desktop and Documents, so every copy keeps its own desktop)."""
    code, out = run(["bash", str(WINE_ENV), "prefix", str(path)], timeout=600)
    if code != 0:
        raise RuntimeError(f"cannot create the prefix {path}:\n{out}")
    return Prefix(wine, path)


def copy_prefix(source, path):
    """A fresh copy of a prefix (cp -a keeps links and times; a few seconds for a whole prefix)."""
    remove_prefix_files(path)
    code, out = run(["cp", "-a", str(source), str(path)], timeout=300)
    if code != 0:
        raise RuntimeError(f"cp -a {source} {path} failed: {out}")
    Path(f"{path}.home").mkdir(parents=True, exist_ok=True)


class SpareCopy:
    """A copy of a prefix made in the background, at the lowest priority, while a scenario runs, for
    the next one to take. The cp ends with this process, however that ends, so no copy goes on being
    written after a run is gone."""

    def __init__(self, source, path):
        self.source = source
        self.path = Path(path)
        self.process = None

    def start(self):
        remove_prefix_files(self.path)
        self.process = subprocess.Popen(["setpriv", "--pdeathsig", "KILL", "nice", "-n", "19", "cp", "-a",
                                         str(self.source), str(self.path)], stdin=subprocess.DEVNULL,
                                        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def take(self, path):
        """Moves the finished copy to path; false when the copy failed."""
        if self.process.wait() != 0:
            return False
        remove_prefix_files(path)
        os.rename(self.path, path)
        Path(f"{path}.home").mkdir(parents=True, exist_ok=True)
        return True

    def discard(self):
        if self.process and self.process.poll() is None:
            self.process.kill()
        if self.process:
            self.process.wait()
        remove_prefix_files(self.path)


def remove_prefix_files(path):
    for item in (Path(path), Path(f"{path}.home"), Path(f"{path}.lock")):
        if item.is_dir() and not item.is_symlink():
            shutil.rmtree(item, ignore_errors=True)
        elif item.exists() or item.is_symlink():
            item.unlink()


# ---- mounts ---------------------------------------------------------------------------------------------

def mounts_under(folder):
    """Mount points at or below folder, as findmnt lists them."""
    code, out = run(["findmnt", "-rn", "-o", "TARGET"], timeout=30)
    folder = str(folder).rstrip("/")
    targets = [line.encode().decode("unicode_escape") for line in out.split("\n") if line]
    return [t for t in targets if t == folder or t.startswith(folder + "/")]


def unmount(target):
    """Unmounts, waiting while processes that were just ended still hold files there; detaches it
    lazily as the last resort, so no mount is ever left in the tree."""
    if not mounts_under(target):
        return
    if wait_until(lambda: run(["umount", str(target)], timeout=30, detached=True)[0] == 0
                  or not mounts_under(target), timeout=15, interval=0.2):
        return
    run(["umount", "-l", str(target)], timeout=30, detached=True)


def remove_leftovers(wine, work):
    """What a killed earlier run left in the work folder: the Wine servers of its prefix copies (they may
    hold files on a mount), its mounts, the copies, and a virtual screen it started. Returns what it
    found."""
    found = []
    pid_file = work / "xvfb.pid"
    if pid_file.is_file():
        pid = pid_file.read_text().strip()
        try:
            if Path(f"/proc/{pid}/cmdline").read_bytes().startswith(b"Xvfb"):
                os.kill(int(pid), signal.SIGTERM)
                found.append(f"Xvfb {pid}")
        except (OSError, ValueError):
            pass
        pid_file.unlink()
    # Scenario copies are run-<name>, the interruption test's own runs work one folder down.
    leftovers = [p for pattern in ("run-*", "tmpfs-*", "interrupt-*/run-*", "interrupt-*/tmpfs-*")
                 for p in work.glob(pattern)]
    copies = sorted(p for p in leftovers if p.name.startswith("run-") and p.is_dir() and
                    p.suffix not in (".home", ".lock"))
    for copy in copies:
        Prefix(wine, copy).stop()
    for target in reversed(mounts_under(work)):
        unmount(target)
        found.append(target)
    for copy in copies:
        remove_prefix_files(copy)
        found.append(str(copy))
    for rest in leftovers:
        if not (rest.exists() or rest.is_symlink()):
            continue
        if rest.is_symlink() or rest.is_file():
            rest.unlink()
        elif not mounts_under(rest):
            shutil.rmtree(rest, ignore_errors=True)
    return found


def processes_of(prefix_path):
    """PIDs of the processes running with this WINEPREFIX (Wine's server and programs alike)."""
    wanted = f"WINEPREFIX={prefix_path}".encode()
    found = []
    for entry in Path("/proc").iterdir():
        if entry.name.isdigit():
            try:
                if wanted in (entry / "environ").read_bytes().split(b"\0"):
                    found.append(int(entry.name))
            except OSError:
                pass
    return found


# ---- the virtual screen -----------------------------------------------------------------------------------

class Screen:
    """Xvfb on the first free display number from 90 up; the lock file Xvfb writes claims the number.
    1280 x 1024: room for the wizard at 192 dots per inch (1124 x 638 and its frame)."""

    def __init__(self):
        self.process = None
        self.display = None

    def start(self):
        for n in range(90, 191):
            if os.path.exists(f"/tmp/.X{n}-lock"):
                continue
            process = subprocess.Popen(["Xvfb", f":{n}", "-screen", "0", "1280x1024x24", "-nolisten", "tcp"],
                                       stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                       stderr=subprocess.DEVNULL, start_new_session=True)
            self.process = process
            if wait_until(lambda: os.path.exists(f"/tmp/.X11-unix/X{n}") or process.poll() is not None, 5,
                          0.05) and process.poll() is None:
                self.display = f":{n}"
                return self.display
            self.stop()
        raise RuntimeError("no virtual screen could be started")

    def stop(self):
        if self.process and self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(10)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()
        self.process = None


def screenshot(path, captions):
    """The windows with these captions raised, then the whole screen once it has settled: two captures
    in a row that are the same (the raise and the repaint it causes are done), at most 3 s of trying."""
    for caption in captions:
        code, ids = run(["xdotool", "search", "--name", f"^{re.escape(caption)}$"], timeout=10)
        for window in ids.split() if code == 0 else []:
            run(["xdotool", "windowraise", window], timeout=10)
    capture = ["import", "-window", "root", "-define", "png:exclude-chunks=date,time", "png:-"]
    previous = None
    deadline = time.monotonic() + 3
    while True:
        result = subprocess.run(capture, stdin=subprocess.DEVNULL, capture_output=True, timeout=30)
        if result.returncode != 0 or not result.stdout:
            return False
        if result.stdout == previous or time.monotonic() >= deadline:
            Path(path).write_bytes(result.stdout)
            return True
        previous = result.stdout


# ---- checks ---------------------------------------------------------------------------------------------

class Checks:
    """The "ok - ..." / "FAIL - ..." lines of one test. A failed check does not stop the scenario (the
    checks after it still say what else went wrong); the test fails at its end when any check did."""

    def __init__(self, say):
        self.say = say
        self.passed = 0
        self.failures = []

    def ok(self, what):
        self.passed += 1
        self.say(f"ok - {what}")
        return True

    def fail(self, what):
        self.failures.append(what)
        self.say(f"FAIL - {what}")
        return False

    def that(self, what, condition):
        return self.ok(what) if condition else self.fail(what)

    def equal(self, what, actual, expected):
        if actual == expected:
            return self.ok(what)
        return self.fail(f"{what} (got '{actual}', expected '{expected}')")


class Stop(AssertionError):
    """A step the rest of the scenario cannot go on without failed (its FAIL line is already out)."""


# ---- the driver -----------------------------------------------------------------------------------------

class ServingDriver:
    """One e2e_driver.exe in serving mode: a command is a line of tab-separated arguments on its stdin,
    answered by the command's output (stderr merged) and a line "\\x1e<exit code>". A command costs a
    pipe round trip instead of a Wine process start."""

    def __init__(self, loader, exe, env):
        self.exe = exe
        self.env = env
        self.process = subprocess.Popen([loader, str(exe), "serve"], stdin=subprocess.PIPE,
                                        stdout=subprocess.PIPE, stderr=subprocess.STDOUT, env=env)
        self._lines = queue.Queue()
        threading.Thread(target=self._read, daemon=True).start()

    def _read(self):
        for line in self.process.stdout:
            self._lines.put(line.decode("utf-8", "replace").replace("\r", ""))
        self._lines.put(None)

    def alive(self):
        return self.process.poll() is None

    def call(self, args, timeout):
        """(exit code, output) as a process of its own would give them; 124 when the time is up (the
        driver is then ended, and the next command starts another)."""
        deadline = time.monotonic() + timeout
        out = []
        try:
            self.process.stdin.write(("\t".join(args) + "\n").encode("utf-8"))
            self.process.stdin.flush()
            while True:
                line = self._lines.get(timeout=max(0, deadline - time.monotonic()))
                if line is None:
                    return 125, "".join(out) + "the serving driver ended\n"
                if line.startswith("\x1e"):
                    return int(line[1:]), "".join(out)
                out.append(line)
        except queue.Empty:
            self.close(wait=0)
            return 124, "".join(out)
        except OSError as error:
            return 125, "".join(out) + f"the serving driver is gone ({error})\n"
        except BaseException:
            self.close(wait=0)
            raise

    def close(self, wait=5):
        """The end of its input ends it; one still busy after wait seconds is ended by its PID."""
        try:
            self.process.stdin.close()
        except OSError:
            pass
        try:
            self.process.wait(wait)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()


class Driver:
    """e2e_driver.exe (tests/e2e/driver.cpp) run inside a prefix: finds windows by caption (or
    class:NAME), clicks, answers dialogs, reads controls, links, the registry and the process list.
    Commands go to the prefix's serving driver; one that needs its own environment, or an argument the
    serving protocol cannot carry (a tab or a line break), runs as a process of its own."""

    def __init__(self, prefix, exe):
        self.prefix = prefix
        self.exe = exe

    def __call__(self, *args, timeout=30, **env):
        """(exit code, output with stderr, without CRs or the final newlines)."""
        args = [str(a) for a in args]
        if env or any("\t" in a or "\n" in a for a in args):
            code, out = self.prefix.run(self.exe, *args, timeout=timeout, **env)
        else:
            code, out = self.prefix.serving(self.exe).call(args, timeout)
        return code, out.rstrip("\n")

    def out(self, *args):
        return self(*args)[1]

    def ok(self, *args):
        return self(*args)[0] == 0

    def wait_window(self, caption, ms=10000):
        return self.ok("wait-window", caption, ms)

    def wait_gone(self, caption, ms=10000):
        return self.ok("wait-gone", caption, ms)

    def state(self, caption, button):
        return self.out("state", caption, button)

    def answer(self, caption, button, ms=None):
        """Presses the button of the dialog; its message (or why not)."""
        return self.out("answer", caption, button, *([ms] if ms else []))

    def processes(self):
        return self.out("processes").split("\n")

    def running(self, exe):
        return exe.lower() in (p.lower() for p in self.processes())

    def kill(self, exe):
        return self.ok("kill", exe)


class Setup:
    """Setup.exe running in a prefix, its output in <home>/setup.log unless another log is named."""

    def __init__(self, prefix, exe, log=None, cwd=None, **env):
        self.process = prefix.start(exe, log=log or prefix.home / "setup.log", cwd=cwd, **env)

    def ended(self, timeout=10):
        """Waits for the program to end; true when it did."""
        try:
            self.process.wait(timeout)
            return True
        except subprocess.TimeoutExpired:
            return False
