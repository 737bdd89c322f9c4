"""The ONNX Runtime origin check in the origin_check stand-ins, which print the loaded
runtime's path and then check it as the worker does. Under wine the stand-in sets "SystemRoot"
itself: wine replaces the value a Linux parent passes."""
import os
import shutil
from pathlib import Path

import pytest

from conftest import ROOT
from standin_process import own_stderr, run_program, standin_path

MESSAGE = "error: Windows' own ONNX Runtime ({}) was loaded instead of the GPU add-on's\n"


def runtime_beside(worker):
    """The runtime that the build puts beside the stand-ins, as the loader names it."""
    name = "onnxruntime.dll" if worker.windows else "libonnxruntime.so"
    return worker.native(worker.build_dir / "standins" / name)


def names_runtime_beside(worker, out):
    """Whether the stand-in's first line names the runtime beside it: the same file under
    Linux (links resolved), the same text but for case under wine."""
    reported = out.removesuffix("\n")
    if worker.windows:
        return reported.lower() == runtime_beside(worker).lower()
    return os.path.realpath(reported) == os.path.realpath(runtime_beside(worker))


def check(worker, *args, program=None):
    result = run_program(worker, program or standin_path(worker, "origin_check"), args)
    return result.stdout.decode(), own_stderr(worker, result.stderr).decode(), result.returncode


def test_runtime_beside_the_program_passes(worker):
    out, err, status = check(worker)
    assert names_runtime_beside(worker, out), out
    assert (err, status) == ("", 0)


def test_no_runtime_loaded_passes_whatever_the_windows_directory(worker):
    program = standin_path(worker, "origin_check_without_runtime")
    assert check(worker, "--system-root", "", program=program) == ("none\n", "", 0)


def test_windows_directory_over_the_runtime_fails_after_lower_casing_both(worker):
    out, err, status = check(worker)
    module = out.removesuffix("\n")
    directory = module.rsplit("\\" if worker.windows else "/", 1)[0]
    out, err, status = check(worker, "--system-root", directory.upper())
    assert out == module + "\n"
    assert err == MESSAGE.format(module.lower())
    assert status == 1


def test_empty_windows_directory_refuses_any_runtime(worker):
    out, err, status = check(worker, "--system-root", "")
    assert names_runtime_beside(worker, out), out
    assert err == MESSAGE.format(out.removesuffix("\n").lower())
    assert status == 1


def test_unset_system_root_is_compared_with_c_windows(worker):
    out, err, status = check(worker, "--no-system-root")
    assert names_runtime_beside(worker, out), out
    assert (err, status) == ("", 0)


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


def test_runtime_from_the_windows_directory_fails(worker, runtime_only_in_system32):
    system_runtime = "c:\\windows\\system32\\onnxruntime.dll"
    for args in [(), ("--no-system-root",), ("--system-root", "C:\\WINDOWS")]:
        out, err, status = check(worker, *args, program=runtime_only_in_system32)
        assert out.lower() == system_runtime + "\n"
        assert err == MESSAGE.format(system_runtime)
        assert status == 1
    # Elsewhere than the runtime's directory the same runtime passes.
    out, err, status = check(worker, "--system-root", "D:\\Windows",
                             program=runtime_only_in_system32)
    assert (err, status) == ("", 0)
