"""scripts/transcribe-many.sh over three tone-encoded files and one that is not media: a first run
stopped once the first file is done (by Ctrl-C, or by a TERM to the script alone), then a rerun
through GNU parallel's local login ":" that skips the finished file, completes the others and
reports the failing one; progress shows on a terminal. Then what a rerun may skip and a write
that fails. The script drives the Linux build, so this runs on Linux only."""
import os
import pty
import re
import resource
import shutil
import signal
import subprocess
import threading
import time

import pytest

import expect
from conftest import MARKER, ROOT

SCRIPT = ROOT / "scripts/transcribe-many.sh"
NAMES = ["hello-world", "speech-45s", "speech-25s"]


def start_many(worker, args):
    """The script with standard error on a terminal, in a session of its own; returns the
    process and the list its terminal output and standard output are collected into."""
    terminal, terminal_end = pty.openpty()
    process = subprocess.Popen([str(SCRIPT), *args], stdout=subprocess.PIPE, stderr=terminal_end,
                               stdin=subprocess.DEVNULL, start_new_session=True,
                               env={**os.environ, MARKER: worker.marker})
    worker.sessions.append(process.pid)
    os.close(terminal_end)
    seen = []

    def drain():
        try:
            while chunk := os.read(terminal, 65536):
                seen.append(chunk)
        except OSError:  # the terminal is gone once every process holding it has ended
            pass
        os.close(terminal)

    threading.Thread(target=drain, daemon=True).start()
    return process, seen


def run_many(worker, model, out, *files, **popen):
    return subprocess.run([SCRIPT, "--model", worker.test_data / "models" / model, "--ffmpeg",
                           "/usr/bin/ffmpeg", "--bin", worker.build_dir, "--out", out, *files],
                          capture_output=True, text=True, timeout=300, **popen)


@pytest.mark.parametrize("stop", [lambda pid: os.killpg(pid, signal.SIGINT),  # a terminal's Ctrl-C
                                  lambda pid: os.kill(pid, signal.SIGTERM)], ids=["ctrl-c", "term"])
def test_many_files_resume_after_an_interruption_and_report_a_failure(worker, tmp_path, stop):
    if worker.windows:
        pytest.skip("the script runs the Linux build")
    media = worker.test_data / "media"
    (tmp_path / "bad.wav").write_text("not media\n")
    (tmp_path / "files.list").write_text(f"# two of them\n{media}/hello-world.wav\n\n"
                                         f"{media}/speech-45s.wav\n")
    out = tmp_path / "out"
    args = ["--ffmpeg", "/usr/bin/ffmpeg", "--bin", str(worker.build_dir), "--out", str(out),
            str(tmp_path / "files.list"), str(media / "speech-25s.wav"), str(tmp_path / "bad.wav")]

    # The heavy model leaves time to interrupt the run while the second file is transcribed.
    process, _ = start_many(worker, ["--model", str(worker.test_data / "models/tone-heavy"), *args])
    deadline = time.monotonic() + 240
    while not (out / "hello-world.source").exists() and process.poll() is None:
        assert time.monotonic() < deadline, "the first file was not transcribed"
        time.sleep(0.05)
    stop(process.pid)
    first_run = process.communicate(timeout=120)[0].decode()
    assert process.returncode == 1 and not worker.leftovers(wait=0), "parallel outlived the script"
    assert "not finished" in first_run
    finished = {p.name: (p.stat().st_ino, p.stat().st_mtime_ns) for p in out.iterdir()}
    assert not [name for name in finished if name.startswith(".")], "a work folder was left"
    done_before = sum(all(f"{n}.{f}" in finished for f in ("jsonl", "srt", "vtt", "txt", "source"))
                      for n in NAMES)
    assert done_before >= 1

    (tmp_path / "machines").write_text(":\n")  # the same model: another would redo every file
    process, terminal = start_many(worker, ["--model", str(worker.test_data / "models/tone-heavy"),
                                            *args, "--sshloginfile", str(tmp_path / "machines")])
    summary = process.communicate(timeout=600)[0].decode()
    assert process.returncode == 1
    assert re.search(rb"\d+% \d+:0=\d+s", b"".join(terminal)), "no progress bar with its estimate"
    assert (f"{3 - done_before} transcribed, {done_before} already done, 1 failed, 0 not finished"
            in summary)
    error = "error: ffmpeg failed: " + str(tmp_path / "bad.wav") + \
        ": Invalid data found when processing input\n"
    assert (out / "bad.error").read_text() == error
    assert f"  failed: {tmp_path / 'bad.wav'}: {error}" in summary
    assert sorted(p.name for p in out.iterdir()) == sorted(["bad.error"] + [
        f"{n}.{f}" for n in NAMES for f in ("jsonl", "srt", "vtt", "txt", "source")])
    for name in NAMES:
        records = out / f"{name}.jsonl"
        assert records.read_bytes() == expect.READY + expect.piece_records(
            expect.load_expected(worker.test_data, name)["pieces"])
        for form in ("srt", "vtt", "txt"):
            made = subprocess.run([str(worker.build_dir / "transcribe-subtitles"), "--format", form,
                                   str(records)], capture_output=True, check=True).stdout
            assert (out / f"{name}.{form}").read_bytes() == made
    for name, identity in finished.items():
        path = out / name
        assert (path.stat().st_ino, path.stat().st_mtime_ns) == identity, f"{name} was redone"


def test_many_files_skip_only_outputs_of_the_same_source(worker, tmp_path):
    if worker.windows:
        pytest.skip("the script runs the Linux build")
    media, out = worker.test_data.absolute() / "media", tmp_path / "out"
    talk, part, other, empty = (tmp_path / name for name in ("talk.wav", "talk.part.1.wav",
                                                             "o/talk.wav", ".wav"))
    other.parent.mkdir()
    for path in part, talk, other, empty:
        shutil.copy(media / ("speech-25s.wav" if path == part else "hello-world.wav"), path)
    assert run_many(worker, "tone", out, part, talk).returncode == 0  # talk leaves talk.part.1 be
    clash = run_many(worker, "tone", out, other)
    assert (clash.returncode, clash.stderr) == (2, f"transcribe-many: {other} would replace the "
        f"outputs of {talk}, {out}/talk.* (use another --out, or remove them first)\n")
    assert run_many(worker, "tone", out, empty).stderr == (
        f"transcribe-many: {empty} has no name before its extension to name its outputs after\n")
    shutil.copy(part, talk)  # recorded again
    assert "1 transcribed, 1 already done" in run_many(worker, "tone", out, part, talk).stdout
    assert (out / "talk.jsonl").read_bytes() == (out / "talk.part.1.jsonl").read_bytes()
    assert "2 transcribed, 0 already" in run_many(worker, "tone-plain", out, part, talk).stdout


def test_many_files_say_which_output_could_not_be_written(worker, tmp_path):
    if worker.windows:
        pytest.skip("the script runs the Linux build")
    def small_files():  # at most 9000 bytes a file; parallel itself needs 8193
        resource.setrlimit(resource.RLIMIT_FSIZE, (9000, 9000))
        signal.signal(signal.SIGXFSZ, signal.SIG_IGN)
    media = worker.test_data.absolute() / "media/speech-180s.wav"
    run = run_many(worker, "tone", tmp_path, media, preexec_fn=small_files)
    reason = f"cannot write {tmp_path}/speech-180s.jsonl: File too large"
    assert (run.returncode, (tmp_path / "speech-180s.error").read_text()) == (1, reason + "\n")
    assert f"transcribe-many: failed: {media}: {reason}\n" in run.stderr
