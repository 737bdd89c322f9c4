"""Every way a run fails, with the worker as a process: the exact error line on standard error,
exit status 1, and exactly the records written before the failure on standard output.
"""
import os
import resource
import shutil
import signal
import subprocess

import numpy as np
import pytest

import expect
from expect import READY, piece_records, words_record

SAMPLE_RATE = 16000


def run_worker(worker, media, *options, model="tone", ffmpeg=None, env=None):
    args = ["--model", worker.native(worker.test_data / "models" / model),
            "--ffmpeg", ffmpeg or worker.ffmpeg, *options, worker.native(media)]
    return worker.run(args, env=env, timeout=240)


def hello_world(worker):
    return worker.test_data / "media" / "hello-world.wav"


def check_failure(result, worker, stdout, error_line, cpu_fallback=False):
    assert expect.worker_stderr(worker, result.stderr, cpu_fallback) == error_line
    assert result.stdout == stdout
    assert result.returncode == 1


def test_bad_command_line(worker):
    check_failure(worker.run([], timeout=120), worker, b"", b"error: --model is required\n")
    result = run_worker(worker, hello_world(worker), "--batch", "x")
    check_failure(result, worker, b"", b"error: --batch: invalid digit found in string\n")


@pytest.mark.parametrize("model", ["broken-not-onnx", "broken-bad-graph",
                                   "broken-missing-metadata", "broken-tokens-mismatch",
                                   "broken-missing-files", "no-such-directory"])
def test_model_that_cannot_be_loaded(worker, model):
    # The library itself would abort or exit with 255 on most of these; the worker reports each
    # as the one load failure, before any record.
    directory = worker.native(worker.test_data / "models" / model)
    check_failure(run_worker(worker, hello_world(worker), model=model), worker, b"",
                  f"error: failed to load model from {directory}\n".encode())


def test_missing_ffmpeg(worker, tmp_path):
    missing = worker.native(tmp_path / ("ffmpeg.exe" if worker.windows else "ffmpeg"))
    result = run_worker(worker, hello_world(worker), ffmpeg=missing)
    assert result.stdout == READY
    assert result.returncode == 1
    error = expect.worker_stderr(worker, result.stderr)
    if worker.windows:
        # The system's text comes from wine; only the frame and the code are fixed.
        assert error.startswith(b"error: start ffmpeg: ") and error.endswith(b" (os error 2)\n")
        assert error.count(b"\n") == 1
    else:
        assert error == b"error: start ffmpeg: No such file or directory (os error 2)\n"


@pytest.mark.parametrize("name, given", [("ffmpeg.bat", "ffmpeg.bat"), ("x.cmd", "X.Cmd. ")])
def test_batch_file_as_ffmpeg_is_refused(worker, tmp_path, name, given):
    # cmd.exe would parse the media path again as commands: the batch file never runs.
    if not worker.windows:
        pytest.skip("only Windows runs a batch file through cmd.exe")
    ran = tmp_path / "ran.txt"
    (tmp_path / name).write_text(f'@echo ran> "{worker.native(ran)}"\r\n')
    ffmpeg = worker.native(tmp_path) + "\\" + given
    check_failure(run_worker(worker, hello_world(worker), ffmpeg=ffmpeg), worker, READY,
                  f"error: start ffmpeg: {ffmpeg} is a batch file: Windows would run it through "
                  "cmd.exe, which reads its arguments as commands\n".encode())
    assert not ran.exists()


def test_ffmpeg_cannot_open_the_media(worker, tmp_path):
    media = tmp_path / "gone.wav"
    check_failure(run_worker(worker, media), worker, READY,
                  f"error: ffmpeg failed: {worker.native(media)}: No such file or directory\n"
                  .encode())


@pytest.mark.parametrize("media", ["\\\\nowhere-server\\share\\a.wav",
                                   "//nowhere-server/share/a.wav",
                                   "\\\\?\\UNC\\nowhere-server\\share\\a.wav"])
def test_network_share_reaches_ffmpeg_as_given(worker, media):
    if not worker.windows:
        pytest.skip("Windows paths only")
    args = ["--model", worker.native(worker.test_data / "models" / "tone"),
            "--ffmpeg", worker.ffmpeg, media]
    result = worker.run(args, timeout=240)
    error = expect.worker_stderr(worker, result.stderr)
    assert error.startswith(f"error: ffmpeg failed: {media}: ".encode()), error
    assert result.stdout == READY
    assert result.returncode == 1


def test_ffmpeg_refuses_a_container_outside_the_whitelist(worker, tmp_path):
    media = tmp_path / "hello.aiff"
    subprocess.run(["/usr/bin/ffmpeg", "-nostdin", "-loglevel", "error", "-y", "-i",
                    str(hello_world(worker)), str(media)], check=True)
    result = run_worker(worker, media)
    assert result.stdout == READY
    assert result.returncode == 1
    error = expect.worker_stderr(worker, result.stderr)
    assert error.startswith(b"error: ffmpeg failed: ") and error.endswith(b"\n")
    assert b"Format not on whitelist" in error


def standin_samples(count):
    """The samples the stand-in decoder writes: sample i is (i * 2654435761 mod 2^64) >> 13,
    taken as a signed 16-bit value."""
    index = np.arange(count, dtype=np.uint64)
    return ((index * np.uint64(2654435761)) >> np.uint64(13)).astype(np.uint16).view(np.int16)


def test_decoder_failing_after_a_piece(worker):
    # 35 s of samples, then two lines on standard error and exit code 1: the piece cut from the
    # first 30 s is decoded and written, the rest is dropped, then the decoder's trimmed text.
    result = run_worker(worker, "fail-after-output", ffmpeg=worker.standin("standin_decoder"))
    assert expect.worker_stderr(worker, result.stderr) == \
        "error: ffmpeg failed: first problem\r\nsecond problem \u2717\n".encode()
    assert result.returncode == 1
    (_, cut), _ = expect.tone_encoder.worker_cuts(standin_samples(35 * SAMPLE_RATE))
    records = expect.records(result.stdout)
    assert records[0] == {"ready": True} and len(records) == 2
    end = cut / SAMPLE_RATE
    assert records[1]["end"] == end
    # What the tone model hears in the stand-in's noise is not known in advance, but the record
    # must be the worker's form of whatever it is.
    assert result.stdout.split(b"\n")[1] + b"\n" == words_record(end, records[1]["words"])
    assert all(0 <= w["start"] <= w["end"] <= end + 0.5 for w in records[1]["words"])


def test_decoder_failing_with_only_blank_lines(worker):
    result = run_worker(worker, "blank-lines", ffmpeg=worker.standin("standin_decoder"))
    check_failure(result, worker, READY, b"error: ffmpeg failed: \n")


def broken_pipe_line(worker, error):
    if worker.windows:
        # 232 when a wine process closed the reading end, 233 for a Linux reader.
        assert error.startswith(b"error: ")
        assert error.endswith((b" (os error 232)\n", b" (os error 233)\n"))
        assert error.count(b"\n") == 1
    else:
        assert error == b"error: Broken pipe (os error 32)\n"


def close_stdout_after(process, count):
    """Reads `count` records, then closes the reading end of the worker's standard output."""
    lines = [process.stdout.readline() for _ in range(count)]
    process.stdout.close()
    return b"".join(lines)


@pytest.mark.parametrize("processors", [None, 26])
def test_standard_output_closed_by_the_host(worker, processors_env, processors):
    # An endless decoder: the audio thread is still busy (or blocked on the full queue) when a
    # record cannot be written; the worker ends with the write error and does not wait for it.
    args = ["--model", worker.native(worker.test_data / "models" / "tone"),
            "--ffmpeg", worker.standin("standin_decoder"), "endless"]
    env = processors_env(processors) if processors else None
    process = worker.start(args, env=env)
    assert close_stdout_after(process, 2) == READY + words_record(20.01, [])
    _, error = process.communicate(timeout=60)
    assert process.returncode == 1
    broken_pipe_line(worker, expect.worker_stderr(worker, error))


def test_standard_output_closed_while_a_real_decoder_runs(worker):
    # The first words record of the heavy model takes a while to decode: closing right after the
    # ready record makes its write fail.
    process = worker.start(["--model", worker.native(worker.test_data / "models" / "tone-heavy"),
                            "--ffmpeg", worker.ffmpeg,
                            worker.native(worker.test_data / "media" / "speech-45s.wav")])
    assert close_stdout_after(process, 1) == READY
    _, error = process.communicate(timeout=60)
    assert process.returncode == 1
    broken_pipe_line(worker, expect.worker_stderr(worker, error))


def limit_file_size():
    resource.setrlimit(resource.RLIMIT_FSIZE, (0, 0))
    signal.signal(signal.SIGXFSZ, signal.SIG_DFL)  # as a shell leaves it; Python ignores it


@pytest.mark.parametrize("program,args", [
    ("transcribe-worker", ["--model", "MODEL", "--ffmpeg", "FFMPEG", "MEDIA"]),
    ("transcribe-model-check", ["MODEL"]),
    ("transcribe-subtitles", ["--output", "OUT", "RECORDS"]),
])
def test_file_size_limit_is_a_write_error(worker, tmp_path, program, args):
    # Past `ulimit -f` a write fails like one to a full disk, instead of SIGXFSZ ending the
    # program without a word.
    if worker.windows:
        pytest.skip("POSIX file-size limits")
    records = tmp_path / "records.jsonl"
    records.write_bytes(READY + words_record(1.0, [{"start": 0.5, "end": 0.9, "text": "hi"}]))
    out = tmp_path / "out"
    values = {"MODEL": str(worker.test_data / "models/tone"), "FFMPEG": worker.ffmpeg,
              "MEDIA": str(hello_world(worker)), "OUT": str(out), "RECORDS": str(records)}
    with open(tmp_path / "stdout", "wb") as stdout:
        result = subprocess.run(
            [str(worker.build_dir / program), *(values.get(a, a) for a in args)], stdout=stdout,
            stderr=subprocess.PIPE, timeout=120,
            preexec_fn=limit_file_size)
    error = "error: File too large (os error 27)\n".encode()
    if program == "transcribe-subtitles":
        error = f"error: cannot write {out}: File too large\n".encode()
    assert (result.stderr, result.returncode) == (error, 1)


# --- The ONNX Runtime origin check -------------------------------------------------------------

RUNTIME = {"windows": "onnxruntime.dll", "linux": "libonnxruntime.so"}
SPEECH_LIBRARY = {"windows": "sherpa-onnx-c-api.dll", "linux": "libsherpa-onnx-c-api.so"}


def check_refused(result, worker, whose, path):
    """The origin check's error line, compared without case (wine's case follows how a program
    was started), nothing on standard output, status 1."""
    line = f"error: {whose} ({path}) was loaded instead of the one beside the worker\n"
    assert expect.worker_stderr(worker, result.stderr).decode().lower() == line.lower()
    assert result.stdout == b""
    assert result.returncode == 1


def loaded_runtime_path(worker):
    """Where the Linux worker's libonnxruntime.so is loaded from: beside the executable."""
    return str((worker.build_dir / "libonnxruntime.so").resolve())


def worker_without(worker, tmp_path, missing=RUNTIME):
    """A copy of the worker with the speech library and ONNX Runtime in its folder but for the
    one missing."""
    folder = tmp_path / "worker"
    folder.mkdir()
    shutil.copy(worker.exe, folder)
    for library in (SPEECH_LIBRARY, RUNTIME):
        if library is not missing:
            shutil.copy(worker.build_dir / library[worker.platform], folder)
    return folder / worker.exe.name


@pytest.mark.parametrize("provider", ["cpu", "cuda"])
@pytest.mark.parametrize("system_root", ["build", "BUILD", ""])
def test_system_root_has_no_say_in_the_origin_check(worker, provider, system_root):
    # It used to be compared with the runtime's path as a plain prefix (an empty one matching
    # everything). The library has no GPU support here and says once that it falls back to the
    # cpu; the run is complete.
    if worker.windows:
        pytest.skip("SystemRoot is wine's own under wine; see the origin_check stand-in")
    runtime = loaded_runtime_path(worker)
    root = {"build": os.path.dirname(runtime), "BUILD": os.path.dirname(runtime).upper(),
            "": ""}[system_root]
    result = run_worker(worker, hello_world(worker), "--provider", provider,
                        env={"SystemRoot": root})
    assert expect.worker_stderr(worker, result.stderr, cpu_fallback=provider == "cuda") == b""
    document = expect.load_expected(worker.test_data, "hello-world")
    assert result.stdout == READY + piece_records(document["pieces"])
    assert result.returncode == 0


@pytest.mark.parametrize("provider", ["cpu", "cuda"])
def test_refused_with_the_runtime_of_system32_under_wine(worker, tmp_path, provider):
    # The worker alone with the speech library in a directory of its own, and onnxruntime.dll only
    # in the prefix's system32: the loader takes that one, which the check refuses.
    if not worker.windows:
        pytest.skip("wine only")
    prefix = os.environ.get("WINEPREFIX") or str(expect.ROOT / "build" / "wine-prefix")
    system32_runtime = os.path.join(prefix, "drive_c", "windows", "system32", "onnxruntime.dll")
    assert not os.path.exists(system32_runtime), "a runtime is already in the prefix's system32"
    worker.exe = worker_without(worker, tmp_path)
    try:
        shutil.copy(worker.build_dir / "onnxruntime.dll", system32_runtime)
        result = run_worker(worker, hello_world(worker), "--provider", provider)
    finally:
        os.remove(system32_runtime)
    # The path as wine reports it, in the case of its own choosing.
    check_refused(result, worker, "Windows' own ONNX Runtime",
                  "c:\\windows\\system32\\onnxruntime.dll")


@pytest.mark.parametrize("library, provider, where", [
    ("ONNX Runtime", "cpu", "search path"), ("ONNX Runtime", "cuda", "search path"),
    ("ONNX Runtime", "cpu", "current directory"), ("the speech library", "cpu", "search path"),
    ("the speech library", "cpu", "current directory")])
def test_refused_with_a_library_from_another_folder(worker, tmp_path, library, provider, where):
    # The worker's folder without the library, a copy on the library search path (PATH under
    # Windows) or in the host's current directory: the speech library would call into a runtime
    # it was not built with, or be another build than the package's.
    if where == "current directory" and not worker.windows:
        pytest.skip("only Windows looks for libraries in the current directory")
    missing = RUNTIME if library == "ONNX Runtime" else SPEECH_LIBRARY
    worker.exe = worker_without(worker, tmp_path, missing)
    elsewhere = tmp_path / "elsewhere"
    elsewhere.mkdir()
    shutil.copy(worker.build_dir / missing[worker.platform], elsewhere)
    if missing is SPEECH_LIBRARY and not worker.windows:
        # Linux finds the library's runtime beside the library, not beside the worker.
        shutil.copy(worker.build_dir / RUNTIME[worker.platform], elsewhere)
    search = {"WINEPATH": worker.native(elsewhere)} if worker.windows else {
        "LD_LIBRARY_PATH": str(elsewhere)}
    args = ["--model", worker.native(worker.test_data / "models" / "tone"), "--ffmpeg",
            worker.ffmpeg, "--provider", provider, worker.native(hello_world(worker))]
    if where == "search path":
        # Windows looks in the current directory before PATH: ctest's has the libraries.
        result = worker.run(args, env=search, cwd=tmp_path, timeout=240)
    else:
        result = worker.run(args, cwd=elsewhere, timeout=240)
    whose = "ONNX Runtime from another folder" if missing is RUNTIME else "the speech library"
    check_refused(result, worker, whose, worker.native(elsewhere / missing[worker.platform]))
