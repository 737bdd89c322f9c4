"""Runs the built worker as a process, natively on Linux or under wine for the Windows build.

Every worker is started in a session of its own and with a marker in its environment; after
each test no process may be left that is in such a session or carries the marker (the worker,
its decoders and anything they started: wine may put a Windows child in a new session, but the
environment is inherited).
"""
import os
import uuid
import signal
import subprocess
import threading
import time
from pathlib import Path

import pytest

from slurm_cluster import slurm_cluster  # noqa: F401 (a fixture: a Slurm cluster of the test's own)

ROOT = Path(__file__).resolve().parents[2]


def pytest_addoption(parser):
    parser.addoption("--build-dir", required=True)
    parser.addoption("--platform", choices=["linux", "windows"], required=True)
    parser.addoption("--test-data", required=True)
    parser.addoption("--dist", default=None, help="folder of the release packages to test")


MARKER = "TW_TEST_RUN"

# Wine's own programs, started on demand by whichever process first needs them (the desktop
# process, a console host). They are not the worker's, but they inherit its environment.
WINE_SERVICES = ("C:\\windows\\system32\\explorer.exe", "C:\\windows\\system32\\conhost.exe")


class WorkerProcess(subprocess.Popen):
    """A Popen whose communicate() ends when the process has ended and its output is drained.

    Under wine a helper process that wine starts on demand (its desktop process) inherits the
    worker's standard handles and may keep them open long after the worker is gone, so waiting
    for end-of-file on the pipes could wait for that helper instead of the worker.
    """

    GRACE = 3.0  # seconds to drain the pipes after the process has ended

    def communicate(self, input=None, timeout=None):
        chunks = {}
        readers = []
        for name in ("stdout", "stderr"):
            stream = getattr(self, name)
            if stream is None or stream.closed:
                continue
            chunks[name] = []
            reader = threading.Thread(target=self._drain, args=(stream, chunks[name]), daemon=True)
            reader.start()
            readers.append(reader)
        if self.stdin is not None and not self.stdin.closed:
            try:
                if input:
                    self.stdin.write(input)
                self.stdin.close()
            except BrokenPipeError:
                pass
        self.wait(timeout=timeout)
        deadline = time.monotonic() + self.GRACE
        for reader in readers:
            reader.join(max(0.0, deadline - time.monotonic()))
        out = b"".join(chunks["stdout"]) if "stdout" in chunks else None
        err = b"".join(chunks["stderr"]) if "stderr" in chunks else None
        return out, err

    @staticmethod
    def _drain(stream, into):
        try:
            for chunk in iter(lambda: stream.read1(65536), b""):
                into.append(chunk)
        except (OSError, ValueError):
            pass


def tree_members(sessions, marker):
    """Live processes in one of the sessions or with the marker in their environment."""
    needle = f"{MARKER}={marker}".encode()
    members = []
    for entry in Path("/proc").iterdir():
        if not entry.name.isdigit() or int(entry.name) == os.getpid():
            continue
        try:
            stat = (entry / "stat").read_text()
            fields = stat[stat.rindex(")") + 2:].split()
            if fields[0] == "Z":
                continue
            if int(fields[3]) in sessions or needle in (entry / "environ").read_bytes().split(b"\0"):
                command = (entry / "cmdline").read_bytes().split(b"\0")[0].decode(errors="replace")
                if not command.startswith(WINE_SERVICES):
                    members.append(int(entry.name))
        except (OSError, ValueError):
            continue
    return members


def command_line(pid):
    try:
        return Path(f"/proc/{pid}/cmdline").read_bytes().replace(b"\0", b" ").decode(errors="replace")
    except OSError:
        return "?"


class Worker:
    def __init__(self, build_dir, platform, test_data):
        self.build_dir = Path(build_dir)
        self.platform = platform
        self.test_data = Path(test_data)
        exe = "transcribe-worker.exe" if platform == "windows" else "transcribe-worker"
        self.exe = self.build_dir / exe
        self.sessions = []
        self.marker = uuid.uuid4().hex

    @property
    def windows(self):
        return self.platform == "windows"

    def native(self, path):
        """A path as the worker sees it: Z:\\... under wine."""
        path = str(path)
        if self.windows and path.startswith("/"):
            return "Z:" + path.replace("/", "\\")
        return path

    @property
    def ffmpeg(self):
        if self.windows:
            return self.native(ROOT / "third_party/ffmpeg-installer-win32-x64/ffmpeg.exe")
        return "/usr/bin/ffmpeg"

    def standin(self, name):
        suffix = ".exe" if self.windows else ""
        return self.native(self.build_dir / "standins" / (name + suffix))

    def command(self, args):
        if self.windows:
            return [str(ROOT / "scripts/wine-run.sh"), str(self.exe), *args]
        return [str(self.exe), *args]

    def start(self, args, stdin=subprocess.DEVNULL, env=None, **kwargs):
        full_env = dict(os.environ)
        full_env.update(env or {})
        full_env[MARKER] = self.marker
        process = WorkerProcess(self.command(args), stdin=stdin, stdout=subprocess.PIPE,
                                   stderr=subprocess.PIPE, env=full_env, start_new_session=True,
                                   **kwargs)
        self.sessions.append(process.pid)
        return process

    def run(self, args, stdin=subprocess.DEVNULL, env=None, timeout=300, input=None, **kwargs):
        if input is not None:
            stdin = subprocess.PIPE
        process = self.start(args, stdin=stdin, env=env, **kwargs)
        out, err = process.communicate(input=input, timeout=timeout)
        return subprocess.CompletedProcess(process.args, process.returncode, out, err)

    def leftovers(self, wait=5.0):
        deadline = time.monotonic() + wait
        while True:
            left = tree_members(set(self.sessions), self.marker)
            if not left or time.monotonic() > deadline:
                return left
            time.sleep(0.05)

    def kill_all(self):
        for pid in tree_members(set(self.sessions), self.marker):
            try:
                os.kill(pid, signal.SIGKILL)
            except OSError:
                pass


@pytest.fixture
def worker(request):
    options = request.config.option
    w = Worker(options.build_dir, options.platform, options.test_data)
    yield w
    left = {pid: command_line(pid) for pid in w.leftovers()}
    w.kill_all()
    assert not left, f"processes left behind: {left}"


@pytest.fixture(scope="session")
def processor_preload(request, tmp_path_factory):
    """The test-only library that makes sysconf report TW_TEST_PROCESSORS logical processors.
    The Linux build makes it; for the Windows build it is compiled here, since wine's own
    processor count comes from the same sysconf of the Linux process it runs in."""
    options = request.config.option
    build_dir = Path(options.build_dir)
    cache = (build_dir / "CMakeCache.txt").read_text()
    if "TW_SANITIZE:STRING=address" in cache:
        pytest.skip("the preload library and ASan both need to be loaded first")
    if options.platform == "linux":
        return build_dir / "preload" / "libprocessor_count.so"
    library = tmp_path_factory.mktemp("preload") / "libprocessor_count.so"
    subprocess.run(["cc", "-shared", "-fPIC", "-o", str(library),
                    str(ROOT / "tests/preload/processor_count.c"), "-ldl"], check=True)
    return library


@pytest.fixture
def processors_env(processor_preload):
    """processors_env(n): the environment for a worker that sees n logical processors."""
    return lambda count: {"LD_PRELOAD": str(processor_preload), "TW_TEST_PROCESSORS": str(count)}
