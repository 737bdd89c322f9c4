"""Stand-in programs started the way the worker fixture starts the worker: natively on Linux or
under wine, in a session of their own and with the fixture's marker, so that the fixture's
check for processes left behind covers them too, and waited for as the worker is (a program
they start may be the worker itself)."""
import os
import subprocess
from pathlib import Path

from conftest import MARKER, ROOT, WorkerProcess

# ONNX Runtime prints this under wine, where there is no GPU or display.
WINE_DXGI_LINE = b"Failed to create DXGI factory."


def standin_path(worker, name):
    return worker.build_dir / "standins" / (name + (".exe" if worker.windows else ""))


def start_program(worker, program, args=(), stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                  redirect="", cwd=None, env=None):
    """Starts `program` (a Linux path). `redirect` is a shell redirection applied to the
    program, such as "<&-" to start it without a standard input at all; `env` adds to the
    environment."""
    command = [str(program), *args]
    if worker.windows:
        command = [str(ROOT / "scripts/wine-run.sh"), *command]
    if redirect:
        command = ["/bin/sh", "-c", f'exec "$@" {redirect}', "sh", *command]
    full_env = dict(os.environ, **(env or {}))
    full_env[MARKER] = worker.marker
    process = WorkerProcess(command, stdin=stdin, stdout=stdout, stderr=subprocess.PIPE,
                            env=full_env, cwd=cwd, start_new_session=True)
    worker.sessions.append(process.pid)
    return process


def run_program(worker, program, args=(), timeout=120, redirect="", env=None):
    process = start_program(worker, program, args, redirect=redirect, env=env)
    out, err = process.communicate(timeout=timeout)
    return subprocess.CompletedProcess(process.args, process.returncode, out, err)


def own_stderr(worker, err):
    """Standard error without the line ONNX Runtime adds under wine."""
    if not worker.windows:
        return err
    lines = err.splitlines(keepends=True)
    return b"".join(line for line in lines if line.rstrip(b"\r\n") != WINE_DXGI_LINE)


def model_check(worker, *args):
    """Runs transcribe-model-check: its standard output, the last line of its standard error
    (its own, after any of the speech library's) and its status."""
    program = worker.build_dir / ("transcribe-model-check" + (".exe" if worker.windows else ""))
    result = run_program(worker, program, args)
    err = own_stderr(worker, result.stderr).decode().replace("\r\n", "\n")
    return result.stdout.decode(), (err.splitlines() or [""])[-1], result.returncode
