"""The worker's command line, run as a process: exact error lines, exit status 1 and nothing on
standard output for every message; a valid command line gets past parsing to loading the model.

On the Windows build the worker reads its own command line from GetCommandLineW. Started from
Linux, wine builds that line from argv (quoting where needed), so the cases that need a command
line no argv would produce go through the launch_raw stand-in, which starts the worker with an
exact raw line.
"""
import os
import subprocess

import pytest

from conftest import MARKER, ROOT
from expect import worker_stderr
from standin_process import run_program

VALID = ["--model", "m", "--ffmpeg", "f.exe", "clip.wav"]


def check_error(result, worker, message):
    assert worker_stderr(worker, result.stderr) == b"error: " + message.encode() + b"\n"
    assert result.stdout == b""
    assert result.returncode == 1


MESSAGES = [
    ([], "--model is required"),
    (["--ffmpeg", "f.exe", "clip.wav"], "--model is required"),
    (["--model", "m", "--ffmpeg", "f.exe", "clip.wav", "--model"], "--model is required"),
    (["--model", "m", "clip.wav"], "--ffmpeg is required"),
    (["--model", "m", "--ffmpeg", "f.exe"], "an audio file is required"),
    (["--batch"], "--batch needs a value"),
    (["--end"], "--end needs a value"),
    (["--start"], "--start needs a value"),
    (["--start", ""], "--start: cannot parse float from empty string"),
    (["--start", "1,5"], "--start: invalid float literal"),
    (["--start", " 1"], "--start: invalid float literal"),
    (["--end", "ten"], "--end: invalid float literal"),
    (["--end", ""], "--end: cannot parse float from empty string"),
    (["--batch", "x", "--bogus"], "--batch: invalid digit found in string"),
    (["--batch", "-1"], "--batch: invalid digit found in string"),
    (["--batch", ""], "--batch: cannot parse integer from empty string"),
    (["--batch", "18446744073709551616"], "--batch: number too large to fit in target type"),
    (["--provider", "gpu"], 'unknown provider Some("gpu")'),
    (["--provider", "CUDA"], 'unknown provider Some("CUDA")'),
    (["--provider", 'a "b"\t\\'], 'unknown provider Some("a \\"b\\"\\t\\\\")'),
    (["--provider"], "unknown provider None"),
    (["--model=m"], "unexpected argument --model=m"),
    (["--"], "unexpected argument --"),
    (["--model", "--ffmpeg", "f.exe", "a.wav", "b.wav"], "unexpected argument a.wav"),
    (["a.wav", "\u041a\u043b\u0438\u043f \U0001F600.wav"],
     "unexpected argument \u041a\u043b\u0438\u043f \U0001F600.wav"),
    (["a.wav", ""], "unexpected argument "),
    # --version is a value where a value stands, and comes after an earlier bad argument.
    (["--model", "--version"], "--ffmpeg is required"),
    (["--start", "x", "--version"], "--start: invalid float literal"),
]


@pytest.mark.parametrize("args,message", MESSAGES)
def test_error_line(worker, args, message):
    check_error(worker.run(args, timeout=120), worker, message)


@pytest.mark.parametrize("args", [
    VALID,
    ["-", "--exit-on-stdin-close", "--ffmpeg", "f", "--model", "--x", "--provider", "cuda",
     "--start", ".5", "--end", "1e3", "--batch", "+0"],
    ["--model", "m", "--ffmpeg", "", ""],
])
def test_valid_command_line_goes_on_to_load_the_model(worker, args):
    # Standard input stays open, so --exit-on-stdin-close does not end the run first.
    process = worker.start(args, stdin=subprocess.PIPE)
    out, err = process.stdout.read(), process.stderr.read()
    process.wait(timeout=120)
    process.stdin.close()
    model = args[args.index("--model") + 1]
    check_error(subprocess.CompletedProcess(args, process.returncode, out, err), worker,
                "failed to load model from " + model)


@pytest.mark.parametrize("program,args", [
    ("transcribe-worker", ["--version"]),
    ("transcribe-worker", ["--exit-on-stdin-close", "--version", "--bogus"]),
    ("transcribe-model-check", ["--version"]),
    ("transcribe-subtitles", ["--version"]),
    ("transcribe-many", ["--version"]),
])
def test_version(worker, program, args):
    # Before anything else: no model, no standard input watched, nothing after it read.
    exe = ".exe" if worker.windows else ""
    result = run_program(worker, worker.build_dir / (program + exe), args)
    version = (worker.build_dir / "version/VERSION").read_text()
    assert (result.stdout.replace(b"\r\n", b"\n").decode(), result.returncode) == \
        (f"{program} {version}", 0)
    assert worker_stderr(worker, result.stderr) == b""


def test_arguments_with_blanks_quotes_and_backslashes_arrive_whole(worker):
    # Under wine this also goes through the worker's own splitting of wine's quoted line.
    check_error(worker.run(["a.wav", "C:\\Media Files\\"], timeout=120), worker,
                "unexpected argument C:\\Media Files\\")
    check_error(worker.run(["a.wav", 'say "hi"\\ \\\\'], timeout=120), worker,
                'unexpected argument say "hi"\\ \\\\')


def run_raw(worker, line):
    """The Windows worker started with exactly `line` as its command line."""
    launcher = worker.build_dir / "standins" / "launch_raw_win32.exe"
    command = [str(ROOT / "scripts/wine-run.sh"), str(launcher), worker.native(worker.exe), line]
    env = dict(os.environ)
    env[MARKER] = worker.marker
    process = subprocess.Popen(command, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                               stderr=subprocess.PIPE, env=env, start_new_session=True)
    worker.sessions.append(process.pid)
    out, err = process.communicate(timeout=120)
    return subprocess.CompletedProcess(command, process.returncode, out, err)


RAW_ERRORS = [
    # A quoted directory ending in two backslashes arrives ending in one.
    ('"{exe}" a.wav "C:\\Media Files\\\\"', "unexpected argument C:\\Media Files\\"),
    ('"{exe}" a.wav "C:\\Media Files\\\\" next', "unexpected argument C:\\Media Files\\"),
    # "" inside quotes is a literal quote and quoting goes on.
    ('"{exe}" a.wav "a""b c" d', 'unexpected argument a"b c'),
    ('"{exe}" a.wav a""b', "unexpected argument ab"),
    ('"{exe}" a.wav ""', "unexpected argument "),
    # Backslash runs: halved before a quote, an odd run makes the quote literal.
    ('"{exe}" a.wav a\\\\\\"b', 'unexpected argument a\\"b'),
    ('"{exe}" a.wav a\\\\\\\\"b c"', "unexpected argument a\\\\b c"),
    ('"{exe}" a.wav \\\\server\\share\\', "unexpected argument \\\\server\\share\\"),
    ('"{exe}" --provider "x\\"y"', 'unknown provider Some("x\\"y")'),
    ('"{exe}"\ta.wav\t\tb', "unexpected argument b"),
    ('"{exe}" a.wav b\nc', "unexpected argument b\nc"),
    ('"{exe}" a.wav "\u041a\u043b\u0438\u043f \U0001F600.wav"',
     "unexpected argument \u041a\u043b\u0438\u043f \U0001F600.wav"),
    # An empty command line: no arguments at all.
    ("", "--model is required"),
]


@pytest.mark.parametrize("line,message", RAW_ERRORS)
def test_raw_windows_command_line_errors(worker, line, message):
    if not worker.windows:
        pytest.skip("Windows command lines only")
    check_error(run_raw(worker, line.format(exe=worker.native(worker.exe))), worker, message)


@pytest.mark.parametrize("line,model", [
    # The program path has rules of its own: quotes only toggle, backslashes are ordinary.
    ('C:\\x\\"y z"\\w.exe --model m --ffmpeg f.exe a.wav', "m"),
    ('"C:\\dir\\" --model m --ffmpeg f.exe a.wav', "m"),
    # A quoted directory ending in two backslashes arrives ending in one.
    ('"{exe}"   --model "C:\\Model Dir\\\\"  --ffmpeg "C:\\Program Files\\f.exe" "C:\\a b.wav"  ',
     "C:\\Model Dir\\"),
])
def test_raw_windows_command_line_valid(worker, line, model):
    if not worker.windows:
        pytest.skip("Windows command lines only")
    check_error(run_raw(worker, line.format(exe=worker.native(worker.exe))), worker,
                "failed to load model from " + model)
