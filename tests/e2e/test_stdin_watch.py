"""The stdin watch in the stdin_watcher stand-in, which sleeps far longer than any test waits:
only the end of standard input ends it, with status 1 and without an error line."""
import shutil
import subprocess
import time

import pytest

from standin_process import run_program, standin_path, start_program

CHUNK = b"x" * 65536
RECORD_BEFORE_THE_STOP = b'{"stopping":false}\n'


def watcher(worker, **kwargs):
    return start_program(worker, standin_path(worker, "stdin_watcher"), **kwargs)


def test_closing_standard_input_ends_the_process_with_status_1(worker):
    process = watcher(worker, stdin=subprocess.PIPE)
    out, err = process.communicate(timeout=60)
    assert process.returncode == 1
    assert (out, err) == (b"", b"")


def test_input_is_discarded_while_the_host_keeps_the_pipe_open(worker):
    process = watcher(worker, stdin=subprocess.PIPE)
    # Far more than a pipe holds: these writes return only because the watch reads them.
    for _ in range(64):
        process.stdin.write(CHUNK)
        process.stdin.flush()
    with pytest.raises(subprocess.TimeoutExpired):
        process.wait(timeout=2)
    out, err = process.communicate(timeout=60)  # closes standard input
    assert process.returncode == 1
    assert (out, err) == (b"", b"")


@pytest.mark.parametrize("redirect", ["</dev/null", "<&-"], ids=["null-device", "no-stdin"])
def test_empty_or_missing_standard_input_ends_the_process_at_once(worker, redirect):
    process = watcher(worker, redirect=redirect)
    out, err = process.communicate(timeout=60)
    assert process.returncode == 1
    assert (out, err) == (b"", b"")


def test_closing_standard_input_ends_the_registered_decoder_tree(worker):
    # standin_tree's grandchild is out of reach of the child's own end-of-parent signal and
    # of its job only on Windows: on Linux only the registry's tree termination ends it, and
    # the worker fixture fails the test for any process left behind.
    process = watcher(worker, args=[worker.standin("standin_tree")], stdin=subprocess.PIPE)
    assert process.stdout.readline() == b"ready\n"
    process.stdin.close()
    assert process.wait(timeout=60) == 1
    assert process.stdout.read() == b""
    assert process.stderr.read() == b""


def test_no_record_starts_once_input_has_ended(worker):
    # Records flow without a pause while the watch ends the decoder tree, which takes a while
    # (taskkill.exe under wine, a moment on Linux: hence the repeats); each record says whether
    # that stop had begun when it started.
    for _ in range(2 if worker.windows else 10):
        process = watcher(worker, args=["--records", worker.standin("standin_tree")],
                          stdin=subprocess.PIPE)
        assert process.stdout.readline() == b"ready\n"
        assert process.stdout.readline() == RECORD_BEFORE_THE_STOP
        process.stdin.close()
        out = process.stdout.read()  # what the reads above left in the buffer, too
        assert process.wait(timeout=60) == 1
        assert process.stderr.read() == b""
        lines = out.splitlines(keepends=True)
        assert [line for line in lines if line != RECORD_BEFORE_THE_STOP] == []


@pytest.mark.parametrize("system_root", ["empty", "the host's folder"])
def test_a_stop_runs_no_taskkill_the_host_planted(worker, tmp_path, system_root):
    # A program named System32\taskkill.exe in the host's current directory, and "SystemRoot"
    # empty (which made that relative path) or naming that directory. The decoder's job ends
    # its tree, and a taskkill, if one were needed, would come from the system's own folder.
    if not worker.windows:
        pytest.skip("taskkill.exe is Windows'")
    (tmp_path / "System32").mkdir()
    # Were it started, it would start a child of its own and wait a minute for it.
    shutil.copy(standin_path(worker, "standin_tree"), tmp_path / "System32" / "taskkill.exe")
    root = "" if system_root == "empty" else worker.native(tmp_path)
    process = start_program(worker, standin_path(worker, "stdin_watcher"),
                            ["--system-root", root, worker.standin("standin_tree")],
                            stdin=subprocess.PIPE, cwd=tmp_path)
    assert process.stdout.readline() == b"ready\n"
    process.stdin.close()
    assert process.wait(timeout=30) == 1


def windows_processes(worker, name):
    """How many processes Windows (here wine's server) lists for the program file `name`."""
    result = run_program(worker, standin_path(worker, "standin_process"), ["processes", name])
    return int(result.stdout)


def test_a_watcher_killed_while_starting_decoders_leaves_none_behind(worker):
    # The host may kill the worker at any moment, also half-way through a decoder's start. The
    # stand-in decoder exits at once when it started inside its job and otherwise stays: a
    # decoder outside the job, running or suspended, is left behind.
    for attempt in range(25):
        process = watcher(worker, args=["--starts", worker.standin("standin_decoder"), "-i",
                                        "in-job"])
        assert process.stdout.readline() == b"ready\n"
        time.sleep(0.011 * attempt)
        process.kill()
        process.wait(timeout=60)
    if worker.windows:
        # Wine makes a Windows process in two steps: the parent forks its Unix process, which
        # then registers with wine's server. A job that ends the process in between (its
        # parent was killed) leaves that Unix process waiting on the server for ever, though
        # it never became a Windows process; Windows has no such state. So what counts is what
        # the system lists, and what is left on the Unix side is wine's alone.
        deadline = time.monotonic() + 10
        while windows_processes(worker, "standin_decoder.exe") and time.monotonic() < deadline:
            time.sleep(0.1)
        assert windows_processes(worker, "standin_decoder.exe") == 0
        worker.kill_all()
    assert worker.leftovers() == []
