"""transcribe-many over generated media: its records against transcribe-worker's own for each file,
failures, reruns that skip what is done, stops and kills, and the input it refuses."""
import fcntl
import json
import os
import re
import resource
import shutil
import signal
import socket
import subprocess
import time

import pytest

import expect
from conftest import MARKER, ROOT, WorkerProcess

FORMATS = ("jsonl", "srt", "vtt", "txt", "source")
LOCK = ".transcribe-many.lock"


def start(worker, args, **popen):
    exe = worker.build_dir / ("transcribe-many.exe" if worker.windows else "transcribe-many")
    command = [str(ROOT / "scripts/wine-run.sh"), str(exe)] if worker.windows else [str(exe)]
    popen = {"stdout": subprocess.PIPE, "stderr": subprocess.PIPE, **popen}
    process = WorkerProcess(command + [str(a) for a in args], stdin=subprocess.DEVNULL,
                            start_new_session=True, env={**os.environ, MARKER: worker.marker},
                            **popen)
    worker.sessions.append(process.pid)
    return process


def many(worker, out, *files, model="tone", options=(), **popen):
    """A whole run; standard output and error as text."""
    args = ["--model", worker.native(worker.test_data / "models" / model), "--ffmpeg",
            worker.ffmpeg, "--out", worker.native(out), *options, *map(worker.native, files)]
    process = start(worker, args, **popen)
    out_bytes, err_bytes = process.communicate(timeout=600)
    return subprocess.CompletedProcess(args, process.returncode, out_bytes.decode(),
                                       err_bytes.decode())


def worker_records(worker, media, options=()):
    run = worker.run(["--model", worker.native(worker.test_data / "models/tone"), "--ffmpeg",
                      worker.ffmpeg, *options, worker.native(media)])
    assert run.returncode == 0, run.stderr
    return run.stdout


def words_and_ends(records):
    lines = [json.loads(line) for line in records.splitlines()[1:]]
    return [w for line in lines for w in line["words"]], lines[-1]["end"] if lines else None


def varied_media(worker, folder):
    """Files of every shape the pieces take: empty, silent, shorter than a piece's least, one
    piece, several, in other containers, cut at odd places."""
    media = worker.test_data / "media"
    folder.mkdir()
    ffmpeg = ["ffmpeg", "-loglevel", "error", "-y"]
    made = []
    for name in ("hello-world", "speech-25s", "speech-45s"):
        made.append(shutil.copy(media / f"{name}.wav", folder / f"{name}.wav"))
    cuts = [("empty", ["-f", "lavfi", "-i", "anullsrc=r=16000:cl=mono", "-t", "0"]),
            ("silence", ["-f", "lavfi", "-i", "anullsrc=r=16000:cl=mono", "-t", "3"]),
            ("short", ["-i", media / "hello-world.wav", "-t", "0.05"])]
    for start, length in ((0, 0.09), (0, 0.11), (0, 0.3), (1.7, 4), (5, 21), (0.4, 29.9), (3, 31),
                          (12, 33), (20, 25), (44.5, 1)):
        cuts.append((f"cut-{start}-{length}", ["-ss", start, "-t", length, "-i",
                                               media / "speech-45s.wav"]))
    for start, length in ((0, 60), (30, 95), (100, 80)):
        cuts.append((f"long-{start}-{length}", ["-ss", start, "-t", length, "-i",
                                                media / "speech-180s.wav"]))
    for extension in ("mp3", "flac", "ogg", "m4a", "mkv"):
        cuts.append((f"speech-25s-{extension}", ["-i", media / "speech-25s.wav"]))
    for name, args in cuts:
        extension = name.rsplit("-", 1)[1] if name.startswith("speech-25s-") else "wav"
        subprocess.run(ffmpeg + [str(a) for a in args] + [folder / f"{name}.{extension}"],
                       check=True)
        made.append(folder / f"{name}.{extension}")
    return made


@pytest.mark.parametrize("options", [(), ("--batch", "4")], ids=["default", "batch-4"])
def test_records_are_the_workers_for_each_file(worker, tmp_path, options):
    made = varied_media(worker, tmp_path / "media")
    files = made[::4] if worker.windows else made
    out = tmp_path / "out"
    subtitles_command = [str(worker.build_dir / "transcribe-subtitles")]
    if worker.windows:
        subtitles_command = [str(ROOT / "scripts/wine-run.sh"), subtitles_command[0] + ".exe"]
    run = many(worker, out, tmp_path / "media", options=options + ("--formats",
                                                                  "jsonl,srt,vtt,txt,json"))
    said = expect.worker_stderr(worker, run.stderr.encode())
    assert (run.returncode, said) == (0, b""), run.stderr
    assert run.stdout.startswith(f"transcribe-many: {len(made)} files, 0 already done")
    for media in files:
        name = media.name.rsplit(".", 1)[0]
        made = (out / f"{name}.jsonl").read_bytes()
        expected = worker_records(worker, media, options)
        if options:  # the worker puts the pieces that arrived together in one record
            assert words_and_ends(made.decode()) == words_and_ends(expected.decode()), name
        else:
            assert made == expected, name
        for form in ("srt", "vtt", "txt", "json"):
            subtitles = subprocess.run(subtitles_command + ["--format", form, worker.native(
                out / f"{name}.jsonl")], capture_output=True, check=True).stdout
            assert (out / f"{name}.{form}").read_bytes() == subtitles, f"{name}.{form}"
    assert not leftovers(out)


def test_failures_leave_errors_and_reruns_skip_done_files(worker, tmp_path):
    media = worker.test_data / "media"
    bad, missing, good = tmp_path / "bad.wav", tmp_path / "missing.wav", media / "hello-world.wav"
    bad.write_text("not media\n")
    out = tmp_path / "out"
    out.mkdir()
    (out / "hello-world.error").write_text("an earlier run's\n")
    run = many(worker, out, bad, missing, good, good)  # the same file twice is done once
    assert run.returncode == 1 and run.stdout.startswith("transcribe-many: 3 files, 0 already")
    error = f"error: ffmpeg failed: {worker.native(bad)}: Invalid data found when processing input\n"
    assert (out / "bad.error").read_text() == error
    assert (out / "missing.error").read_text().startswith("error: ffmpeg failed: ")
    assert f"transcribe-many: failed: {worker.native(bad)}: {error}" in run.stderr
    assert run.stdout.endswith("transcribe-many: 1 transcribed, 0 already done, 2 failed, "
                               f"0 not finished\n  failed: {worker.native(bad)}: {error}"
                               f"  failed: {worker.native(missing)}: "
                               + (out / "missing.error").read_text())
    assert sorted(p.name for p in out.iterdir()) == sorted(
        ["bad.error", "missing.error", LOCK] + [f"hello-world.{f}" for f in FORMATS])
    (out / "hello-world.error").write_text("another run's, since\n")
    again = many(worker, out, good, bad)
    assert "0 transcribed, 1 already done, 1 failed, 0 not finished" in again.stdout
    assert not (out / "hello-world.error").exists()
    bbc = ("--style", "bbc", "--max-line-chars", "12")
    assert "1 transcribed, 0 already" in many(worker, out, good, options=bbc).stdout
    assert "\nsubtitles max-line-chars=12 max-lines=2 " in (out / "hello-world.source").read_text()
    for options in (bbc, ("--formats", "jsonl")):
        assert "0 transcribed, 1 already" in many(worker, out, good, options=options).stdout


def test_name_rules(worker, tmp_path):
    media = worker.test_data / "media/hello-world.wav"
    names = ["-dash.wav", "with blank.wav", "ünïcødé 名前.wav"]
    if not worker.windows:
        names.append("line\nbreak.wav")
    for name in names:
        shutil.copy(media, tmp_path / name)
    out = tmp_path / "out"
    for attempt in range(2):
        run = many(worker, out, "--", *(tmp_path / n for n in names),
                   options=("--formats", "jsonl"))
        if worker.windows:
            assert run.returncode == 0, run.stderr
            break
        assert run.returncode == 1
        assert (f"failed: {tmp_path}/line\nbreak.wav: its path has a line break, which "
                "NAME.source cannot hold\n") in run.stdout
        assert f"{attempt * 3} already done" in run.stdout
    assert sorted(p.name for p in out.iterdir()) == sorted(
        [LOCK] + [n.rsplit(".", 1)[0] + e for n in names[:3] for e in (".jsonl", ".source")])


def test_shards_split_the_files_whatever_their_order(worker, tmp_path):
    if worker.windows:
        pytest.skip("the split is the same code on both platforms")
    files = []
    for i in range(6):
        files.append(shutil.copy(worker.test_data / "media/hello-world.wav", tmp_path / f"{i}.wav"))
    shares = []
    for k in range(2):
        for order in (files, files[::-1]):
            out = tmp_path / f"out-{k}-{len(shares)}"
            assert many(worker, out, *order, options=("--shard", f"{k}/2", "--formats",
                                                      "jsonl")).returncode == 0
            shares.append({p.name for p in out.iterdir() if p.suffix == ".jsonl"})
    assert shares[0] == shares[1] and shares[2] == shares[3]
    assert shares[0] | shares[2] == {f"{i}.jsonl" for i in range(6)}
    assert not shares[0] & shares[2]


def refusal_cases(tmp_path, media):
    (tmp_path / "a").mkdir()
    (tmp_path / "b").mkdir()
    (tmp_path / "c").mkdir()
    (tmp_path / "empty").mkdir()
    shutil.copy(media, tmp_path / "a/talk.wav")
    shutil.copy(media, tmp_path / "b/talk.wav")
    shutil.copy(media, tmp_path / "c/talk.wav")
    shutil.copy(media, tmp_path / ".wav")
    (tmp_path / "a/talk.source").write_text(f"media {tmp_path}/b/talk.wav\n")
    (tmp_path / "in-out.list").write_text(f"{media}\n{tmp_path}/a/x.wav\n")
    (tmp_path / "file").write_text("")
    for folder in ("v", "lw"):
        (tmp_path / folder).mkdir()
    shutil.copy(media, tmp_path / "v/talk.wav")
    (tmp_path / "v/talk.srt").write_text("mine\n")
    shutil.copy(media, tmp_path / "talks.wav")
    (tmp_path / "lw/talks.txt").write_text(f"{tmp_path}/talks.wav\n")
    (tmp_path / "link").symlink_to(tmp_path / "a")
    a, out, v, lw = tmp_path / "a", tmp_path / "out", tmp_path / "v", tmp_path / "lw"
    not_ours = "which no {}.source records as made by transcribe-many (use another --out, or " \
               "remove it first)"
    return {
        "one name": ([a / "talk.wav", tmp_path / "b/talk.wav"],
                     f"{tmp_path}/b/talk.wav and {a}/talk.wav would both write {out}/talk.*"),
        "another source": (["--out", a, tmp_path / "c/talk.wav"],
                           f"{tmp_path}/c/talk.wav would replace the outputs of "
                           f"{tmp_path}/b/talk.wav, "
                           f"{a}/talk.* (use another --out, or remove them first)"),
        "not ours": (["--out", v, tmp_path / "c/talk.wav"],
                     f"{tmp_path}/c/talk.wav would replace {v}/talk.srt, " +
                     not_ours.format("talk")),
        "list replaced": (["--out", lw, lw / "talks.txt"],
                          f"{lw}/talks.txt is in the output folder {lw}"),
        "unreadable list": ([tmp_path / "missing.list"],
                            f"cannot read the list {tmp_path}/missing.list: No such file or "
                            "directory (os error 2)"),
        "list in output": (["--out", a, tmp_path / "in-out.list"],
                           f"the list {tmp_path}/in-out.list names {a}/x.wav in the output "
                           f"folder {a}"),
        "empty folder": ([tmp_path / "empty"], f"no media files in the folder {tmp_path}/empty"),
        "output a file": (["--out", tmp_path / "file", media],
                          f"cannot make the output folder {tmp_path}/file: Not a directory"),
        "no name": ([tmp_path / ".wav"],
                    f"{tmp_path}/.wav has no name before its extension to name its outputs after"),
        "bad shard": (["--shard", "2/2", media], "--shard: must be K/N with 0 <= K < N"),
        "signed shard": (["--shard", "+0/2", media],
                         "--shard: must be K/N, two whole numbers in decimal digits"),
        "huge shard": (["--shard", "0/18446744073709551616", media],
                       "--shard: 18446744073709551616 is too large (at most 18446744073709551615)"),
        "empty path": (["", media], "an empty path is given as a media file"),
        "file in output": (["--out", a, tmp_path / "b/../a/talk.wav"],
                           f"{a}/talk.wav is in the output folder {a}"),
        "linked in output": (["--out", a, tmp_path / "link/talk.wav"],
                             f"{tmp_path}/link/talk.wav is in the output folder {a}"),
        "folder in output": (["--out", tmp_path, a], f"{a} is in the output folder {tmp_path}"),
        "no model": (["--model", tmp_path / "none", media],
                     f"--model: no model folder at {tmp_path}/none"),
        "no ffmpeg": (["--ffmpeg", a, media], f"--ffmpeg: no program at {a}"),
        "ffmpeg not found": (["--ffmpeg", "no-such-ffmpeg", media],
                             "--ffmpeg: cannot find the program no-such-ffmpeg"),
        "bad format": (["--formats", "srt,doc", media], '--formats: unknown format "doc"'),
        "bad limit": (["--max-lines", "0", media], "--max-lines: must be at least 1"),
    }


@pytest.mark.parametrize("case", ["one name", "another source", "not ours", "list replaced",
                                  "unreadable list",
                                  "list in output", "empty folder", "output a file", "no name",
                                  "bad shard", "signed shard", "huge shard", "empty path",
                                  "file in output", "linked in output", "folder in output",
                                  "no model", "no ffmpeg", "ffmpeg not found", "bad format",
                                  "bad limit"])
def test_refusals_before_anything_starts(worker, tmp_path, case):
    if worker.windows:
        pytest.skip("the messages name POSIX paths")
    media = worker.test_data.absolute() / "media/hello-world.wav"
    args, message = refusal_cases(tmp_path, media)[case]
    run = many(worker, tmp_path / "out", *args)
    assert (run.returncode, run.stdout, run.stderr) == (2, "", f"transcribe-many: {message}\n")
    assert not (tmp_path / "out").exists()


def wait_for(path, process):
    deadline = time.monotonic() + 240
    while not path.exists() or path.read_text().endswith("\npending\n"):
        assert process.poll() is None and time.monotonic() < deadline, "no file was finished"
        time.sleep(0.05)


def leftovers(out):
    return sorted(p.name for p in out.iterdir() if p.name.startswith(".") and p.name != LOCK)


def test_a_failed_install_leaves_a_pending_record_and_is_done_again(worker, tmp_path):
    if worker.windows:
        pytest.skip("the same code on both platforms")
    talk, out = shutil.copy(worker.test_data / "media/hello-world.wav", tmp_path), tmp_path / "out"
    assert many(worker, out, talk, options=("--formats", "jsonl,srt")).returncode == 0
    (out / "hello-world.srt").unlink()
    (out / "hello-world.srt").mkdir()
    (out / "hello-world.srt/x").write_text("")
    os.utime(talk, ns=(1, 1))
    run = many(worker, out, talk, options=("--formats", "jsonl,srt"))
    assert run.returncode == 1
    assert (out / "hello-world.error").read_text().startswith(
        f"cannot write {out}/hello-world.srt: "), run.stderr
    assert (out / "hello-world.source").read_text().endswith("\npending\n")
    shutil.rmtree(out / "hello-world.srt")
    run = many(worker, out, talk, options=("--formats", "jsonl,srt"))
    assert "1 transcribed, 0 already" in run.stdout
    assert not (out / "hello-world.source").read_text().endswith("pending\n")


def test_installs_of_two_runs_take_turns_and_keep_the_others_outputs(worker, tmp_path):
    if worker.windows:
        pytest.skip("the lock is LockFileEx there, which Python's flock does not meet")
    talk, out = shutil.copy(worker.test_data / "media/hello-world.wav", tmp_path), tmp_path / "out"
    out.mkdir()
    with open(out / LOCK, "w") as lock:
        fcntl.flock(lock, fcntl.LOCK_EX)
        process = start(worker, ["--model", worker.test_data / "models/tone", "--ffmpeg",
                                 worker.ffmpeg, "--out", out, talk])
        while not list(out.glob(".transcribe-many.*.work/hello-world.pending")):
            assert process.poll() is None, process.communicate()
            time.sleep(0.05)
        (out / "hello-world.jsonl").write_text("the other run's\n")
        (out / "hello-world.source").write_text("media /other/hello-world.wav\n")
        fcntl.flock(lock, fcntl.LOCK_UN)
        stdout = process.communicate(timeout=60)[0].decode()
    assert process.returncode == 1 and f"failed: {talk}: {talk} would replace the outputs of " \
        f"/other/hello-world.wav, {out}/hello-world.*" in stdout, stdout
    assert (out / "hello-world.jsonl").read_text() == "the other run's\n"


@pytest.mark.parametrize("stop", [signal.SIGINT, signal.SIGTERM, signal.SIGHUP])
def test_a_stop_ends_the_run_with_its_summary(worker, tmp_path, stop):
    if worker.windows:
        pytest.skip("POSIX signals")
    media, out = worker.test_data.absolute() / "media", tmp_path / "out"
    files = [media / f"{n}.wav" for n in ("hello-world", "speech-45s", "speech-180s")]
    process = start(worker, ["--model", worker.test_data / "models/tone-heavy", "--ffmpeg",
                             worker.ffmpeg, "--out", out, *files])
    wait_for(out / "hello-world.source", process)
    os.kill(process.pid, stop)
    summary = process.communicate(timeout=30)[0].decode()
    assert process.returncode == 1
    assert summary.endswith(f"  not finished: {files[2]}\n"), summary
    assert "1 transcribed" in summary or "2 transcribed" in summary
    assert not leftovers(out) and not worker.leftovers(wait=2)


def test_a_killed_run_resumes_and_its_leftovers_go(worker, tmp_path):
    media, out = worker.test_data / "media", tmp_path / "out"
    files = [media / f"{n}.wav" for n in ("hello-world", "speech-45s", "speech-25s")]
    process = start(worker, ["--model", worker.native(worker.test_data / "models/tone-heavy"),
                             "--ffmpeg", worker.ffmpeg, "--out", worker.native(out),
                             *map(worker.native, files)])
    wait_for(out / "hello-world.source", process)
    if worker.windows:  # the program's process under wine ends as by TerminateProcess
        worker.kill_all()
    else:
        os.killpg(process.pid, signal.SIGKILL)
    process.communicate(timeout=30)
    killed = leftovers(out)
    assert len(killed) == 1 and killed[0].startswith(".transcribe-many."), killed
    host = killed[0].split(".")[2]
    live = f".transcribe-many.{host}.{os.getpid()}.work" if not worker.windows else None
    others = [".transcribe-many.another-host.1.work"] + ([live] if live else [])
    for name in others:
        (out / name).mkdir()
    run = many(worker, out, *files, model="tone-heavy")
    assert run.returncode == 0, run.stderr
    assert re.search(r"3 files, [12] already done", run.stdout)
    assert leftovers(out) == sorted(others)


def test_a_write_past_the_file_size_limit_fails_the_file(worker, tmp_path):
    if worker.windows:
        pytest.skip("RLIMIT_FSIZE")
    media = worker.test_data.absolute() / "media/speech-180s.wav"
    run = many(worker, tmp_path, media, preexec_fn=lambda: resource.setrlimit(
        resource.RLIMIT_FSIZE, (9000, 9000)))
    reason = f"cannot write {tmp_path}/speech-180s.jsonl: File too large (os error 27)\n"
    assert (run.returncode, (tmp_path / "speech-180s.error").read_text()) == (1, reason)
    assert f"transcribe-many: failed: {media}: {reason}" in run.stderr
    assert not leftovers(tmp_path)


def test_progress_as_json_lines(worker, tmp_path):
    if worker.windows:
        pytest.skip("the same code on both platforms")
    media = worker.test_data.absolute() / "media"
    run = many(worker, tmp_path / "out", media / "speech-180s.wav", media / "hello-world.wav",
               model="tone-heavy", options=("--progress", "json"))
    lines = [json.loads(line) for line in run.stderr.splitlines()]
    assert run.returncode == 0 and lines, run.stderr
    assert {line["files_total"] for line in lines} == {2}
    seconds = sum((media / f).stat().st_size - 44 for f in ("speech-180s.wav", "hello-world.wav"))
    assert lines[-1]["audio_total"] == pytest.approx(seconds / 32000, abs=0.02)
    assert lines[-1]["files_done"] <= 2 and lines[-1]["speed"] > 0


def test_special_files_marked_lists_backslashes_and_times_before_1970(worker, tmp_path):
    if worker.windows:
        pytest.skip("named pipes, backslashes in names and times before 1970 are POSIX's")
    os.mkfifo(tmp_path / "fifo.wav")
    odd = shutil.copy(worker.test_data / "media/hello-world.wav", tmp_path / "a\\b.wav")
    os.utime(odd, ns=(0, -500_000_000))
    (tmp_path / "in.list").write_bytes(f"\ufeff{tmp_path}/fifo.wav\n{odd}\n".encode())
    run = many(worker, tmp_path / "out", tmp_path / "in.list", options=("--formats", "jsonl"))
    assert run.returncode == 1
    assert f"  failed: {tmp_path}/fifo.wav: error: not a regular file\n" in run.stdout
    assert (tmp_path / "out/a\\b.source").read_text().endswith("\nmodified -0.500000000\n")


def test_closed_or_full_standard_streams(worker, tmp_path):
    if worker.windows:
        pytest.skip("closed descriptors and /dev/full are POSIX's")
    media, out = worker.test_data.absolute() / "media", tmp_path / "out"
    run = many(worker, out, media / "speech-45s.wav", media / "speech-180s.wav",
               model="tone-heavy", options=("--progress", "json"), preexec_fn=lambda: os.close(2))
    assert run.returncode == 0 and "2 transcribed" in run.stdout
    assert not [p.name for p in out.iterdir() if b"files_done" in p.read_bytes()]
    with open("/dev/full", "wb") as full:
        process = start(worker, ["--model", worker.test_data / "models/tone", "--ffmpeg",
                                 worker.ffmpeg, "--out", out, media / "hello-world.wav"],
                        stdout=full)
        process.communicate(timeout=600)
    assert process.returncode == 1


def test_signals_ignored_from_the_start_stay_ignored(worker, tmp_path):
    if worker.windows:
        pytest.skip("POSIX signals")
    media, out = worker.test_data.absolute() / "media", tmp_path / "out"
    stops = (signal.SIGHUP, signal.SIGINT, signal.SIGTERM)
    process = start(worker, ["--model", worker.test_data / "models/tone-heavy", "--ffmpeg",
                             worker.ffmpeg, "--out", out, media / "hello-world.wav",
                             media / "speech-45s.wav"],
                    preexec_fn=lambda: [signal.signal(s, signal.SIG_IGN) for s in stops])
    wait_for(out / "hello-world.source", process)
    for stop in stops:
        os.kill(process.pid, stop)
    summary = process.communicate(timeout=600)[0].decode()
    assert process.returncode == 0 and "2 transcribed" in summary, summary


def test_a_stop_ends_the_run_while_standard_error_is_blocked(worker, tmp_path):
    if worker.windows:
        pytest.skip("POSIX signals")
    media, out = worker.test_data.absolute() / "media", tmp_path / "out"
    read_end, write_end = os.pipe()
    fcntl.fcntl(write_end, 1031, 4096)  # F_SETPIPE_SZ: a small pipe, filled before the start
    os.set_blocking(write_end, False)
    try:
        while os.write(write_end, b"x" * 64):
            pass
    except BlockingIOError:
        pass
    os.set_blocking(write_end, True)
    process = start(worker, ["--model", worker.test_data / "models/tone-heavy", "--ffmpeg",
                             worker.ffmpeg, "--out", out, "--progress", "json",
                             media / "hello-world.wav", media / "speech-180s.wav"],
                    stderr=write_end)
    wait_for(out / "hello-world.source", process)
    os.kill(process.pid, signal.SIGTERM)
    summary = process.communicate(timeout=30)[0].decode()
    os.close(read_end)
    os.close(write_end)
    assert process.returncode == 1
    assert summary.endswith(f"  not finished: {media}/speech-180s.wav\n"), summary


def test_a_stop_while_the_inputs_are_read_is_told(worker, tmp_path):
    if worker.windows:
        pytest.skip("POSIX signals and named pipes")
    os.mkfifo(tmp_path / "wait.list")
    process = start(worker, ["--model", worker.test_data / "models/tone", "--ffmpeg",
                             worker.ffmpeg, "--out", tmp_path / "out", tmp_path / "wait.list"])
    with open(tmp_path / "wait.list", "w"):  # opened once the program opens the list
        os.kill(process.pid, signal.SIGTERM)
        said = process.communicate(timeout=30)[0].decode()
    assert (process.returncode, said) == (
        1, "transcribe-many: stopped before any file started; nothing transcribed\n")
