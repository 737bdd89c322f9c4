"""The ONNX Runtime origin check in the origin_check stand-ins, which print the loaded
runtime's path and then check it as the worker does (the worker's own runs: test_failures.py).
The runtime must come from the program's own folder; "SystemRoot" has no say (the stand-in sets
it itself under wine, which replaces the value a Linux parent passes)."""
import os
import shutil
from pathlib import Path

import pytest

from conftest import ROOT
from standin_process import own_stderr, run_program, standin_path

WINDOWS_OWN = "error: Windows' own ONNX Runtime ({}) was loaded instead of the one beside the worker\n"
RUNTIME = {"windows": "onnxruntime.dll", "linux": "libonnxruntime.so"}


def runtime_beside(worker):
    """The runtime that the build puts beside the stand-ins, as the loader names it."""
    return worker.native(worker.build_dir / "standins" / RUNTIME[worker.platform])


def names_runtime_beside(worker, out):
    """Whether the stand-in's first line names the runtime beside it: the same file under
    Linux (links resolved), the same text but for case under wine."""
    reported = out.removesuffix("\n")
    if worker.windows:
        return reported.lower() == runtime_beside(worker).lower()
    return os.path.realpath(reported) == os.path.realpath(runtime_beside(worker))


def check(worker, *args, program=None, env=None):
    result = run_program(worker, program or standin_path(worker, "origin_check"), args, env=env)
    return result.stdout.decode(), own_stderr(worker, result.stderr).decode(), result.returncode


def test_runtime_beside_the_program_passes_whatever_system_root_says(worker):
    # The runtime's own directory in capitals, empty, or not set at all: no say either way.
    directory = runtime_beside(worker).rsplit("\\" if worker.windows else "/", 1)[0]
    for args in [(), ("--system-root", directory.upper()), ("--system-root", ""),
                 ("--no-system-root",)]:
        out, err, status = check(worker, *args)
        assert names_runtime_beside(worker, out), out
        assert (err, status) == ("", 0), args


def test_no_runtime_loaded_passes(worker):
    program = standin_path(worker, "origin_check_without_runtime")
    assert check(worker, "--system-root", "", program=program) == ("none\n", "", 0)


@pytest.fixture
def runtime_only_in_system32(worker, tmp_path):
    """origin_check and the speech library in a directory without the runtime, and the runtime
    in the wine prefix's system directory, where the loader finds it next."""
    if not worker.windows:
        pytest.skip("the Windows directory exists only under wine")
    prefix = Path(os.environ.get("WINEPREFIX", ROOT / "build/wine-prefix"))
    system32 = prefix / "drive_c/windows/system32"
    placed = system32 / "onnxruntime.dll"
    assert not placed.exists(), "a runtime was left in the prefix's system directory"
    standins = worker.build_dir / "standins"
    shutil.copy(standins / "origin_check.exe", tmp_path)
    shutil.copy(standins / "sherpa-onnx-c-api.dll", tmp_path)
    shutil.copy(standins / "onnxruntime.dll", placed)
    yield tmp_path / "origin_check.exe"
    placed.unlink()


def test_runtime_from_the_windows_directory_fails_whatever_system_root_says(
        worker, runtime_only_in_system32):
    for args in [(), ("--no-system-root",), ("--system-root", "C:\\WINDOWS"),
                 ("--system-root", "D:\\Windows"), ("--system-root", "")]:
        out, err, status = check(worker, *args, program=runtime_only_in_system32)
        module = out.removesuffix("\n")
        assert module.lower() == "c:\\windows\\system32\\onnxruntime.dll"
        assert err == WINDOWS_OWN.format(module)
        assert status == 1
