"""The reference hosts in hosts/ (Python, Node.js, C, C#) run the worker through one table of
scenarios. Each host is driven by a small program in tests/host_drivers/ that takes the same
command line and writes the same lines (see host_driver.py); the C and C# ones are built by CMake
(C# with Mono's compiler, run with Mono on Linux only), and under wine the C one is the only one
(the Windows build's driver, a Win32 host of the Windows worker).
Every driver also asks each run for a record once more after its end, in every scenario.
"""
import json
import os
import re
import shutil
import signal
import subprocess
import threading
import time
from pathlib import Path

import pytest

import expect
from conftest import MARKER, ROOT, WorkerProcess
from standin_process import run_program, start_program

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
        # Node and Mono by their paths: a scenario may give the driver a PATH without them.
        if self.name == "node":
            return [shutil.which("node"), str(DRIVERS / "host_driver.js"), *args]
        if self.name == "dotnet":
            return [shutil.which("mono"), str(w.build_dir.resolve() / "standins" /
                                               "host_driver_dotnet.exe"), *args]
        driver = w.build_dir.resolve() / "standins" / f"host_driver{'.exe' if w.windows else ''}"
        if w.windows:
            return [str(ROOT / "scripts/wine-run.sh"), str(driver), *args]
        return [str(driver), *args]

    def start(self, mode, media, model="tone", ffmpeg=None, worker_exe=None, cwd=None, env=None,
              ignore_sigchld=False):
        w = self.worker
        if worker_exe is None:
            worker_exe = w.native(w.exe.resolve())
        command = self.command(mode, worker_exe, w.native(models(w) / model), ffmpeg or w.ffmpeg,
                               [w.native(m) if isinstance(m, Path) else m for m in media])
        full_env = dict(os.environ, **(env or {}))
        full_env[MARKER] = w.marker
        # An ignored SIGCHLD is inherited across exec, as from a host framework that sets it.
        ignore = (lambda: signal.signal(signal.SIGCHLD, signal.SIG_IGN)) if ignore_sigchld else None
        # Under wine a process the driver's children start holds the driver's own output too.
        process = WorkerProcess(command, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                stderr=subprocess.PIPE, env=full_env, cwd=cwd,
                                start_new_session=True, preexec_fn=ignore)
        w.sessions.append(process.pid)
        return process

    def events(self, mode, media, timeout=300, **kwargs):
        """Runs the driver to its end: {run: [event, ...]} and its exit status."""
        process = self.start(mode, media, **kwargs)
        out, err = process.communicate(timeout=timeout)
        runs = {}
        for line in out.decode().splitlines():
            event = json.loads(line)
            runs.setdefault(event.pop("run"), []).append(event)
        return runs, process.returncode, err


def hosts_for(platform):
    return ["c"] if platform == "windows" else ["python", "node", "c", "dotnet"]


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
    """The end of a run that succeeded: all of it transcribed, except that the C host leaves
    the progress to its caller."""
    return {"done": True, "progress": None if host.name == "c" else 1.0}


def record_events(records):
    return [{"record": r} for r in records]


def check_nothing_left(worker):
    started = time.monotonic()
    assert worker.leftovers() == []
    print(f"nothing left running after {time.monotonic() - started:.2f} s")


# --- the scenario table ----------------------------------------------------------------------


def normal_file(host, tmp_path):
    # The Python, Node and C# hosts find the worker on PATH (its absolute folders only) when not
    # told where it is.
    find = host.name != "c"
    path = f"{host.worker.build_dir.resolve()}{os.pathsep}{os.environ['PATH']}"
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
    # The error text holds a line that starts like the error line: the error is all of it.
    # Windows' ffmpeg writes the line break in the name as \r\n, and refuses the name.
    gone = tmp_path / "gone\nerror: y.wav"
    runs, status, _ = host.events("read", [gone])
    assert runs[0][:-1] == [{"record": {"ready": True}}]
    shown, reason = (host.worker.native(gone).replace("\n", "\r\n"), "Invalid argument") \
        if host.worker.windows else (gone, "No such file or directory")
    check_failed(host, runs[0][-1], f"ffmpeg failed: {shown}: {reason}")
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
    error = "the error line\nerror: and its second line"
    assert (failure["error"], failure["status"]) == (error, 1)
    assert len(failure["stderr"]) > 200000
    assert failure["stderr"].endswith(f"[library] error: a library line\r\nerror: {error}\n")
    assert len(runs[0]) == 3


def awkward_relative_path(host, tmp_path):
    # Blanks, quotes and non-ASCII letters, relative to the host's working directory (not the
    # worker's folder), and a leading "--", which is not to be read as an option. Windows file
    # names cannot hold a double quotation mark.
    quotes = "'" if host.worker.windows else "'\""
    relative = Path("--média files") / f"it{quotes} – Ça va 東京.wav"
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


def stopped_while_media_stalls(host, tmp_path):
    # Media that never delivers: a FIFO nobody writes (ffmpeg, and the old ffprobe, wait in its
    # open), and a stalled share, played by the stand-in decoder that sleeps for five minutes
    # (as the worker's decoder and as the hosts' duration probe). A close after the first record
    # and a cancel from another thread while the host waits for records end the run at once
    # and leave nothing running: 20 s is a third of the old probe's limit.
    stalls = [(host.worker.standin("standin_decoder"), tmp_path / "grandchild", Path.touch)]
    if not host.worker.windows:  # wine's server would open a FIFO itself, and wait with it
        stalls.append((host.worker.ffmpeg, tmp_path / "f.wav", os.mkfifo))
    for ffmpeg, path, make in stalls:
        make(path)
        for mode in ("close", "wait"):
            runs, status, _ = host.events(mode, [path], ffmpeg=ffmpeg, timeout=20)
            assert runs[0][-1] == {"done": True, "progress": None} and status == 0
            assert runs[0][:-1] in ([], [{"record": {"ready": True}}])  # ready before the cancel
            check_nothing_left(host.worker)


def ignored_sigchld(host, tmp_path):
    # The system reaps the worker of a host that ignores SIGCHLD, and its exit status is lost:
    # the own handlers of Node and Mono keep it, and the other hosts fail the run, with the
    # worker's error text when it has one.
    gone = tmp_path / "gone.wav"
    runs, _, _ = host.events("read", [media(host.worker, "hello-world"), gone],
                             ignore_sigchld=not host.worker.windows)
    missing = f"ffmpeg failed: {host.worker.native(gone)}: No such file or directory"
    assert runs[1][0] == {"record": {"ready": True}}
    if host.name in ("node", "dotnet") or host.worker.windows:
        assert runs[0] == record_events(expected_records(host.worker, "hello-world")) + [done(host)]
        check_failed(host, runs[1][-1], missing)
        return
    unknown = ("the exit status of transcribe-worker is unknown (No child processes): this "
               "process ignores SIGCHLD, or something else waited for the worker")
    assert runs[0][:-1] == record_events(expected_records(host.worker, "hello-world"))
    assert (runs[0][-1]["error"], runs[0][-1]["status"]) == (unknown, None)
    assert (runs[1][-1]["error"], runs[1][-1]["status"]) == (missing, None)


def bare_ffmpeg_name(host, tmp_path):
    # "ffmpeg" as the host is given it, found on PATH (the Windows worker searches no PATH), past
    # a file of that name that is not executable.
    w = host.worker
    windows_ffmpeg = ROOT / "third_party/ffmpeg-installer-win32-x64/ffmpeg.exe"
    folder = os.path.dirname(windows_ffmpeg if w.windows else w.ffmpeg)
    (tmp_path / "ffmpeg").write_text("not a program\n")
    search, separator = ("WINEPATH", ";") if w.windows else ("PATH", os.pathsep)
    env = {"WINEPATH": w.native(folder)} if w.windows else {
        "PATH": separator.join([str(tmp_path), folder, os.environ["PATH"]])}
    runs, status, _ = host.events("read", [media(w, "hello-world")], ffmpeg="ffmpeg", env=env)
    expected = {0: record_events(expected_records(w, "hello-world")) + [done(host)]}
    assert (runs, status) == (expected, 0)
    # Not on PATH: the host starts nothing, and never an ffmpeg of the current folder, which
    # Windows looks in first and an empty or relative PATH entry names. "./ffmpeg" is a path.
    planted = tmp_path / "planted"
    planted.mkdir()
    if w.windows:  # the worker, given a bare name, would start "ffmpeg" from its folder
        for name in ("ffmpeg", "ffmpeg.exe"):
            shutil.copy(windows_ffmpeg, planted / name)
    else:
        (planted / "ffmpeg").write_text(f'#!/bin/sh\necho ran >>"{tmp_path}/ran"\n'
                                        f'exec {w.ffmpeg} "$@"\n')
        (planted / "ffmpeg").chmod(0o755)
    nowhere = "C:\\nonexistent" if w.windows else "/nonexistent"
    for path in (nowhere, f"{nowhere}{separator}{separator}."):
        runs, _, _ = host.events("read", [media(w, "hello-world")], ffmpeg="ffmpeg",
                                 env={search: path}, cwd=planted)
        assert [list(event) for event in runs[0]] == [["refused"]]
        assert not (tmp_path / "ran").exists()
    runs, status, _ = host.events("read", [media(w, "hello-world")], env={search: nowhere},
                                  ffmpeg=".\\ffmpeg.exe" if w.windows else "./ffmpeg", cwd=planted)
    assert (runs, status) == (expected, 0)
    assert w.windows or (tmp_path / "ran").exists()


def playlist_not_followed(host, tmp_path):
    # An HLS playlist named like an MP3 file: neither the worker's decoder nor a duration probe
    # may read it as a playlist and open its segment (on Linux a FIFO, which tells whether
    # anyone opened it; wine's server would wait in the open itself).
    playlist, segment = tmp_path / "evil.mp3", tmp_path / "segment.ts"
    playlist.write_text("#EXTM3U\n#EXT-X-TARGETDURATION:10\n#EXTINF:10.0,\nsegment.ts\n"
                        "#EXT-X-ENDLIST\n")
    opened = threading.Event()
    if host.worker.windows:
        segment.write_bytes(b"")
    else:
        os.mkfifo(segment)
        writer = threading.Thread(target=lambda: (os.close(os.open(segment, os.O_WRONLY)),
                                                  opened.set()))
        writer.start()
    runs, status, _ = host.events("read", [playlist])
    followed = opened.is_set()
    if not host.worker.windows:
        os.close(os.open(segment, os.O_RDONLY | os.O_NONBLOCK))  # lets the writer go
        writer.join()
    assert not followed
    failure = runs[0][-1]
    assert failure["error"].startswith("ffmpeg failed: ") and failure["status"] == 1
    assert "not on whitelist" in failure["error"]


def stray_holds_the_pipes(host, tmp_path):
    # On Windows a process that inherited the worker's output (another thread's child, a helper
    # of the system) can hold it after the worker's exit, writing on: the host ends anyway, a
    # grace after the exit. On POSIX the hosts' pipes are close-on-exec, and nothing else has
    # them.
    if not host.worker.windows:
        pytest.skip("only a Windows child inherits pipes it was not given")
    runs, _, _ = host.events("read", ["stray"], worker_exe=host.worker.standin("standin_tree"),
                             timeout=30)
    assert runs == {0: [{"record": {"ready": True}}, {"done": True, "progress": None}]}
    host.worker.kill_all()  # the stray


def every_record_form(host, tmp_path):
    # The worker's record writer as the worker (the record_writer stand-in): escapes, non-ASCII
    # text, null times and the exponent forms, read as written. The records come all at once,
    # with the end of the output right behind them.
    suffix = ".exe" if host.worker.windows else ""
    written = run_program(host.worker, host.worker.build_dir / "standins" /
                          f"record_writer{suffix}").stdout
    runs, status, _ = host.events("read", [media(host.worker, "hello-world")],
                                  worker_exe=host.worker.standin("record_writer"))
    records = [json.loads(line) for line in written.decode().splitlines()]
    assert runs == {0: record_events(records) + [done(host)]}
    assert status == 0


def odd_worker_path(host, tmp_path):
    # The worker in a folder whose name holds a backslash, quotes, a dollar sign and non-ASCII
    # letters (Mono on Linux made the backslash a slash).
    if host.worker.windows:
        pytest.skip("the Windows worker's libraries lie beside it, not behind a link")
    folder = tmp_path / "a\\b 'c\" $d é"
    folder.mkdir()
    (folder / "transcribe-worker").symlink_to(host.worker.exe.resolve())
    runs, status, _ = host.events("read", [media(host.worker, "hello-world")],
                                  worker_exe=str(folder / "transcribe-worker"))
    assert runs == {0: record_events(expected_records(host.worker, "hello-world")) + [done(host)]}
    assert status == 0


SCENARIOS = [normal_file, cancel_after_first_record, cancel_while_not_reading, missing_media,
             bad_model, flooded_standard_error, awkward_relative_path, four_runs_at_once,
             host_killed, pipeline_into_subtitles, stopped_while_media_stalls, ignored_sigchld,
             bare_ffmpeg_name, playlist_not_followed, stray_holds_the_pipes, every_record_form,
             odd_worker_path]


@pytest.mark.parametrize("scenario", SCENARIOS, ids=lambda s: s.__name__)
def test_host(host, scenario, tmp_path):
    scenario(host, tmp_path)


def test_duration_probes_have_the_workers_whitelists():
    # The Python, Node and C# hosts copy the worker's whitelists for their duration probe; a
    # list the worker extends must not leave the probes behind, nor the other way round.
    header = (ROOT / "src/core/audio/decoder_command.h").read_text()
    named = {name: "".join(re.findall(r'"([^"]*)"', value)) for name, value in
             re.findall(r"(\w+_WHITELIST) =(.*?);", header, re.DOTALL)}
    expected = ["-format_whitelist", named["FORMAT_WHITELIST"], "-codec_whitelist",
                named["CODEC_WHITELIST"], "-protocol_whitelist", "file"]
    for host, start in [("python/transcribe_host.py", "_WHITELISTS = ["),
                        ("node/transcribe-host.js", "const WHITELISTS = ["),
                        ("dotnet/TranscribeHost.cs", "string[] Whitelists = {")]:
        source = (ROOT / "hosts" / host).read_text()
        block = re.split(r"[]}]", source[source.index(start) + len(start):])[0]
        assert "".join(re.findall(r"""["']([^"']*)["']""", block)) == "".join(expected), host


# Arguments that a host's Windows quoting must bring through the worker's own splitting of its
# command line unchanged (the table of tests/unit/windows_command_line_test.cpp), each between
# two others and all at once, after each program path.
TRICKY = ["", " ", "\t", '"', '""', "\\", "\\\\", '\\"', 'a\\\\"b', "a\\\\\\", "a b\\", "a b\\\\\\",
          '"a b"', 'x"y z"', '" "', "-i", "--model", "a\nb", "a\vb c", "\n", "\u4e2d \u6587",
          "\U0001F600\\", "C:\\Media Files\\clip (1).mp4", "\\\\server\\share\\", "  lead", "trail\t",
          '\\" \\"', "'single'"]
PROGRAMS = ["C:\\Program Files\\ffmpeg\\bin\\ffmpeg.exe", "ffmpeg.exe", "", "C:\\dir\\",
            "Z:\\\u043c\u0435\u0434\u0438\u0430\\\U0001F600.exe"]


def test_windows_quoting_of_the_csharp_host(worker):
    # The command line Process.Start on Windows makes of the C# host's quoting, split by the
    # worker's own code (the command_line_splitter stand-in).
    if worker.windows:
        pytest.skip("the C# host runs under Mono on Linux")
    vectors = [[program, "before", argument, "after"] for program in PROGRAMS
               for argument in TRICKY] + [[program, *TRICKY] for program in PROGRAMS]
    standins = worker.build_dir / "standins"
    lines = subprocess.run(["mono", str(standins / "host_driver_dotnet.exe"), "quote"],
                           input="".join(json.dumps(v) + "\n" for v in vectors).encode(),
                           capture_output=True, check=True).stdout
    split = subprocess.run([str(standins / "command_line_splitter")], input=lines,
                           capture_output=True, check=True).stdout
    assert [json.loads(line) for line in split.decode().splitlines()] == vectors
