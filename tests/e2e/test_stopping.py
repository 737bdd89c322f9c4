"""Stopping the worker through its standard input (--exit-on-stdin-close), and runs whose standard
input is closed, missing or busy. A stop ends the worker with status 1 and no error line, after
ending every decoder process tree it started; the records written before it stay.
"""
import fcntl
import os
import subprocess
import threading
import time
from pathlib import Path

import pytest

import expect
from expect import READY, piece_records, words_record
from standin_process import run_program

FLAG = "--exit-on-stdin-close"


def worker_args(worker, media, *options, model="tone", ffmpeg=None):
    return ["--model", worker.native(worker.test_data / "models" / model),
            "--ffmpeg", ffmpeg or worker.ffmpeg, *options, worker.native(media)]


def media_path(worker, name):
    return worker.test_data / "media" / f"{name}.wav"


def expected_stdout(worker, name):
    return READY + piece_records(expect.load_expected(worker.test_data, name)["pieces"])


def check_stopped(process, worker, err):
    """Stopped by the watch: status 1 and no error line."""
    assert expect.worker_stderr(worker, err) == b""
    assert process.returncode == 1


def close_fd_0():
    os.close(0)


STDIN_KINDS = {
    # how the worker's standard input is given: Popen arguments, and whether to close it at once
    "closed pipe": ({"stdin": subprocess.PIPE}, True),
    "null device": ({"stdin": subprocess.DEVNULL}, False),
    "no handle": ({"stdin": subprocess.DEVNULL, "preexec_fn": close_fd_0}, False),
}


def close_stdin(process):
    """Closes the worker's standard input as a host does (communicate then leaves it alone)."""
    process.stdin.close()
    process.stdin = None


def start_with_stdin(worker, args, kind):
    popen_args, close = STDIN_KINDS[kind]
    process = worker.start(args, **popen_args)
    if close:
        close_stdin(process)
    return process


@pytest.mark.parametrize("kind", sorted(STDIN_KINDS))
def test_stdin_at_its_end_from_the_start_stops_before_the_model_is_loaded(worker, kind):
    # The heavy model takes a while to load; the watch has long seen the end of input by then.
    args = worker_args(worker, media_path(worker, "hello-world"), FLAG, model="tone-heavy")
    process = start_with_stdin(worker, args, kind)
    out, err = process.communicate(timeout=120)
    check_stopped(process, worker, err)
    assert out == b""


@pytest.mark.parametrize("kind", sorted(STDIN_KINDS))
def test_stdin_is_left_alone_without_the_flag(worker, kind):
    # Closed, empty or missing: standard input is never read, and the run completes.
    args = worker_args(worker, media_path(worker, "hello-world"))
    process = start_with_stdin(worker, args, kind)
    out, err = process.communicate(timeout=120)
    assert expect.worker_stderr(worker, err) == b""
    assert out == expected_stdout(worker, "hello-world")
    assert process.returncode == 0


def test_host_writing_to_stdin_does_not_disturb_the_run(worker):
    name = "speech-45s"
    process = worker.start(worker_args(worker, media_path(worker, name), FLAG),
                           stdin=subprocess.PIPE, bufsize=0)
    done = threading.Event()

    def chatter():
        try:
            while not done.is_set():
                process.stdin.write(b"keep going\n" * 100)
                time.sleep(0.01)
        except OSError:
            pass  # the worker ended, and its input with it

    writer = threading.Thread(target=chatter, daemon=True)
    writer.start()
    try:
        out = process.stdout.read()
        err = process.stderr.read()
        process.wait(timeout=120)
    finally:
        done.set()
        writer.join(timeout=60)
    assert not writer.is_alive(), "a write to the worker's input never returned"
    process.stdin.close()
    assert expect.worker_stderr(worker, err) == b""
    assert out == expected_stdout(worker, name)
    assert process.returncode == 0


def test_stdin_closed_during_transcription(worker):
    # The heavy model decodes each piece for a while: after the first record the decoder is still
    # running when standard input ends. What was written stays; a record being written at the
    # moment of the exit may be cut short.
    name = "speech-45s" if worker.windows else "speech-180s"
    process = worker.start(worker_args(worker, media_path(worker, name), FLAG,
                                       model="tone-heavy"), stdin=subprocess.PIPE)
    first = process.stdout.readline() + process.stdout.readline()
    close_stdin(process)
    rest, err = process.communicate(timeout=120)
    check_stopped(process, worker, err)
    expected = expected_stdout(worker, name)
    assert first == expected[:len(first)] and len(first) > len(READY)
    assert expected.startswith(first + rest) and first + rest != expected


def test_stdin_closed_ends_the_whole_decoder_tree(worker, tmp_path):
    # The stand-in decoder starts a grandchild that sleeps for minutes holding the pipes: only
    # ending the whole tree gets rid of it.
    ids = tmp_path / "ids.txt"
    args = worker_args(worker, Path(f"endless-tree:{worker.native(ids)}"), FLAG,
                       ffmpeg=worker.standin("standin_decoder"))
    process = worker.start(args, stdin=subprocess.PIPE)
    assert process.stdout.readline() + process.stdout.readline() == READY + words_record(20.01, [])
    assert len(ids.read_text().split()) == 2, "the decoder and its grandchild are running"
    close_stdin(process)
    _, err = process.communicate(timeout=120)
    check_stopped(process, worker, err)
    assert worker.leftovers() == []


def thread_count(process):
    """Threads of the worker's process (under wine, the wine process the shell script became)."""
    return len(os.listdir(f"/proc/{process.pid}/task"))


def threads_while_decoding(worker, env):
    """Threads of a worker that decodes an endless stream of silence, counted after its third
    record (every thread of the decode stage exists by then); the worker is stopped after."""
    args = worker_args(worker, Path("endless"), FLAG, ffmpeg=worker.standin("standin_decoder"))
    process = worker.start(args, stdin=subprocess.PIPE, env=env)
    for _ in range(4):
        assert process.stdout.readline().endswith(b"}\n")
    count = thread_count(process)
    close_stdin(process)
    _, err = process.communicate(timeout=120)
    check_stopped(process, worker, err)
    return count


def test_worker_mode_decodes_on_several_threads(worker, processors_env):
    # Seen as 26 logical processors, the worker decodes on six threads of its own (plus the
    # inference threads of the library); seen as 2, on the main thread alone.
    single = threads_while_decoding(worker, processors_env(2))
    several = threads_while_decoding(worker, processors_env(26))
    assert several >= single + 6


@pytest.mark.parametrize("mode", ["message-stdin", "nowait-stdin", "nowait-stdout"])
def test_pipes_of_other_modes_carry_a_whole_run(worker, mode):
    # A Win32 host gives the worker a message-mode standard input with messages longer than one
    # read, or a non-blocking pipe (an MSYS or Cygwin shell's) as standard input that stays
    # empty or as standard output that is often full: none of them is the host going away. On
    # Linux a non-blocking pipe end, inherited with its mode, is the same.
    # Ten kilobytes of records fill the Linux pipe (made a page long) before they are read.
    name = "speech-180s" if mode == "nowait-stdout" and not worker.windows else "hello-world"
    args = worker_args(worker, media_path(worker, name), FLAG)
    if worker.windows:
        host = worker.build_dir / "standins" / "pipe_host_win32.exe"
        result = run_program(worker, host, [mode, worker.native(worker.exe), *args])
        out, err, status = result.stdout, result.stderr, result.returncode
    elif mode == "message-stdin":
        pytest.skip("message-mode pipes are Windows'")
    else:
        out, err, status = run_with_non_blocking_pipe(worker, args, mode == "nowait-stdin")
    assert expect.worker_stderr(worker, err) == b""
    assert out == expected_stdout(worker, name)
    assert status == 0


def run_with_non_blocking_pipe(worker, args, as_stdin):
    reading, writing = os.pipe()
    fcntl.fcntl(reading, fcntl.F_SETPIPE_SZ, 4096)
    os.set_blocking(writing if not as_stdin else reading, False)
    process = subprocess.Popen(worker.command(args),
                               stdin=reading if as_stdin else subprocess.PIPE,
                               stdout=subprocess.PIPE if as_stdin else writing,
                               stderr=subprocess.PIPE, start_new_session=True)
    worker.sessions.append(process.pid)
    os.close(reading if as_stdin else writing)
    if as_stdin:
        out, err = process.communicate(timeout=120)
        os.close(writing)
        return out, err, process.returncode
    time.sleep(1)
    chunks = []
    while chunk := os.read(reading, 100):  # slowly: the worker's writes find the pipe full
        chunks.append(chunk)
        time.sleep(0.002)
    os.close(reading)
    err = process.stderr.read()
    status = process.wait(timeout=120)
    process.stdin.close()
    return b"".join(chunks), err, status


def test_a_closed_non_blocking_standard_input_still_stops_the_worker(worker):
    if not worker.windows:
        pytest.skip("pipe modes of Windows")
    host = worker.build_dir / "standins" / "pipe_host_win32.exe"
    args = worker_args(worker, media_path(worker, "speech-45s"), FLAG, model="tone-heavy")
    result = run_program(worker, host, ["nowait-stdin-closed", worker.native(worker.exe), *args])
    check_stopped(result, worker, result.stderr)
    assert result.stdout == b""
