"""The reference hosts in hosts/ (Python, Node.js, C) run the worker through one table of
scenarios. Each host is driven by a small program in tests/host_drivers/ that takes the same
command line and writes the same lines (see host_driver.py); the C one is built by CMake, and
under wine it is the only one (the Windows build's driver, a Win32 host of the Windows worker).
"""
import json
import os
import shutil
import subprocess
import time
from pathlib import Path

import pytest

import expect
from conftest import MARKER, ROOT
from standin_process import start_program

DRIVERS = ROOT / "tests" / "host_drivers"


class Host:
    def __init__(self, name, worker):
        self.name = name
        self.worker = worker

    def command(self, mode, worker_exe, model, ffmpeg, media):
        w = self.worker
        args = [mode, worker_exe, model, ffmpeg, *media]
        if self.name == "python":
            return ["/usr/bin/python3", str(DRIVERS / "host_driver.py"), *args]
        if self.name == "node":
            return ["node", str(DRIVERS / "host_driver.js"), *args]
        driver = w.build_dir.resolve() / "standins" / f"host_driver{'.exe' if w.windows else ''}"
        if w.windows:
            return [str(ROOT / "scripts/wine-run.sh"), str(driver), *args]
        return [str(driver), *args]

    def start(self, mode, media, model="tone", ffmpeg=None, worker_exe=None, cwd=None, env=None):
        w = self.worker
        if worker_exe is None:
            worker_exe = w.native(w.exe.resolve())
        command = self.command(mode, worker_exe, w.native(models(w) / model), ffmpeg or w.ffmpeg,
                               [w.native(m) if isinstance(m, Path) else m for m in media])
        full_env = dict(os.environ, **(env or {}))
        full_env[MARKER] = w.marker
        process = subprocess.Popen(command, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                   stderr=subprocess.PIPE, env=full_env, cwd=cwd,
                                   start_new_session=True)
        w.sessions.append(process.pid)
        return process

    def events(self, mode, media, **kwargs):
        """Runs the driver to its end: {run: [event, ...]} and its exit status."""
        process = self.start(mode, media, **kwargs)
        out, err = process.communicate(timeout=300)
        runs = {}
        for line in out.decode().splitlines():
            event = json.loads(line)
            runs.setdefault(event.pop("run"), []).append(event)
        return runs, process.returncode, err


def hosts_for(platform):
    return ["c"] if platform == "windows" else ["python", "node", "c"]


def pytest_generate_tests(metafunc):
    if "host_name" in metafunc.fixturenames:
        metafunc.parametrize("host_name", hosts_for(metafunc.config.option.platform))


@pytest.fixture
def host(worker, host_name):
    return Host(host_name, worker)


def models(worker):
    return worker.test_data.resolve() / "models"


def media(worker, name):
    return worker.test_data.resolve() / "media" / f"{name}.wav"


def expected_records(worker, name):
    pieces = expect.load_expected(worker.test_data, name)["pieces"]
    return expect.records(expect.READY + expect.piece_records(pieces))


def done(host):
    """The end of a run that did not fail: the progress is known where ffprobe is beside
    ffmpeg (Debian's), and the C host leaves it to its caller."""
    return {"done": True, "progress": None if host.name == "c" else 1.0}


def record_events(records):
    return [{"record": r} for r in records]


def check_nothing_left(worker):
    started = time.monotonic()
    assert worker.leftovers() == []
    print(f"nothing left running after {time.monotonic() - started:.2f} s")


# --- the scenario table ----------------------------------------------------------------------


def normal_file(host, tmp_path):
    # The Python and Node hosts find the worker on PATH when not told where it is.
    find = host.name != "c"
    path = f"{host.worker.build_dir}{os.pathsep}{os.environ['PATH']}"
    runs, status, _ = host.events("read", [media(host.worker, "speech-45s")],
                                  worker_exe="" if find else None,
                                  env={"PATH": path} if find else None)
    assert runs == {0: record_events(expected_records(host.worker, "speech-45s")) + [done(host)]}
    assert status == 0


def endless(host):
    return {"ffmpeg": host.worker.standin("standin_decoder"), "media": ["endless"]}


def cancel_after_first_record(host, tmp_path):
    options = endless(host)
    runs, status, _ = host.events("cancel", options.pop("media"), **options)
    # The records up to the cancel, whole; nothing after it, and no error.
    first = [{"ready": True}, {"end": 20.01, "words": []}]
    assert runs == {0: record_events(first) + [{"done": True, "progress": None}]}
    assert status == 0
    check_nothing_left(host.worker)


def cancel_while_not_reading(host, tmp_path):
    options = endless(host)
    runs, status, _ = host.events("idle", options.pop("media"), **options)
    assert runs == {0: [{"done": True, "progress": None}]}
    assert status == 0
    check_nothing_left(host.worker)


def check_failed(host, event, message):
    assert event == {"error": message, "status": 1, "stderr": event["stderr"]}
    stderr = expect.worker_stderr(host.worker, event["stderr"].encode())
    assert stderr == f"error: {message}\n".encode()


def missing_media(host, tmp_path):
    gone = tmp_path / "gone.wav"
    runs, status, _ = host.events("read", [gone])
    assert runs[0][:-1] == [{"record": {"ready": True}}]
    check_failed(host, runs[0][-1],
                 f"ffmpeg failed: {host.worker.native(gone)}: No such file or directory")
    assert status == 0


def bad_model(host, tmp_path):
    runs, status, _ = host.events("read", [media(host.worker, "hello-world")],
                                  model="broken-not-onnx")
    directory = host.worker.native(models(host.worker) / "broken-not-onnx")
    assert len(runs[0]) == 1
    check_failed(host, runs[0][0], f"failed to load model from {directory}")


def flooded_standard_error(host, tmp_path):
    # 200 KB on standard error before the last record: a host that read only standard output
    # would wait for that record for ever, and the worker for the host. The half record after
    # it is never returned.
    flooding = host.worker.standin("flooding_worker")
    runs, status, _ = host.events("read", [media(host.worker, "hello-world")],
                                  worker_exe=flooding)
    words = {"end": 1.5, "words": [{"end": 1.0, "start": 0.5, "text": "flood"}]}
    assert runs[0][:2] == record_events([{"ready": True}, words])
    failure = runs[0][2]
    assert (failure["error"], failure["status"]) == ("the last error line\nand its second line", 1)
    assert len(failure["stderr"]) > 200000
    assert failure["stderr"].endswith("error: the last error line\nand its second line\n")
    assert len(runs[0]) == 3


def awkward_relative_path(host, tmp_path):
    # Blanks, quotes and non-ASCII letters, relative to the host's working directory (not the
    # worker's folder). Windows file names cannot hold a double quotation mark.
    quotes = "'" if host.worker.windows else "'\""
    relative = Path("média files") / f"it{quotes} – Ça va 東京.wav"
    (tmp_path / relative).parent.mkdir()
    shutil.copy(media(host.worker, "hello-world"), tmp_path / relative)
    separator = "\\" if host.worker.windows else "/"
    runs, status, _ = host.events("read", [separator.join(relative.parts)], cwd=tmp_path)
    assert runs == {0: record_events(expected_records(host.worker, "hello-world")) + [done(host)]}
    assert status == 0


def four_runs_at_once(host, tmp_path):
    names = ["speech-45s", "hello-world", "speech-25s", "silence-3s"]
    runs, status, _ = host.events("read", [media(host.worker, name) for name in names])
    assert runs == {i: record_events(expected_records(host.worker, name)) + [done(host)]
                    for i, name in enumerate(names)}
    assert status == 0


def host_killed(host, tmp_path):
    options = endless(host)
    process = host.start("die", options.pop("media"), **options)
    out, _ = process.communicate(timeout=300)
    assert process.returncode != 0
    # It died right after its first words record, with the worker and its decoder running.
    last = json.loads(out.decode().splitlines()[-1])
    assert last == {"run": 0, "record": {"end": 20.01, "words": []}}
    check_nothing_left(host.worker)


def subtitles_of(host, media_path, tmp_path):
    """The host's records piped into transcribe-subtitles: the document, the error line, the
    statuses of both."""
    w = host.worker
    driver = host.start("pipe", [media_path])
    program = w.build_dir / ("transcribe-subtitles" + (".exe" if w.windows else ""))
    subtitles = start_program(w, program, ["--format", "srt"], stdin=driver.stdout)
    driver.stdout.close()
    document, err = subtitles.communicate(timeout=300)
    driver.wait(timeout=300)
    return document.replace(b"\r\n", b"\n"), expect.worker_stderr(w, err), driver.returncode, \
        subtitles.returncode


def pipeline_into_subtitles(host, tmp_path):
    document, err, driver_status, status = subtitles_of(host, media(host.worker, "hello-world"),
                                                        tmp_path)
    assert (err, driver_status, status) == (b"", 0, 0)
    assert document.startswith(b"1\n00:00:00,") and b"\nhello world\n" in document
    gone = tmp_path / "gone.wav"
    document, err, driver_status, status = subtitles_of(host, gone, tmp_path)
    reason = f"ffmpeg failed: {host.worker.native(gone)}: No such file or directory"
    assert err == f"error: transcription failed: {reason}\n".encode()
    assert (document, driver_status, status) == (b"", 1, 1)


SCENARIOS = [normal_file, cancel_after_first_record, cancel_while_not_reading, missing_media,
             bad_model, flooded_standard_error, awkward_relative_path, four_runs_at_once,
             host_killed, pipeline_into_subtitles]


@pytest.mark.parametrize("scenario", SCENARIOS, ids=lambda s: s.__name__)
def test_host(host, scenario, tmp_path):
    scenario(host, tmp_path)
