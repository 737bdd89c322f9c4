"""A release package as a host author gets it: unpacked into a fresh folder whose path has spaces
and non-ASCII letters, its checksums checked, and its own worker transcribing a generated model and
sample from there (the Windows one under wine), with nothing of the build tree on its paths.

scripts/test.sh runs this after scripts/package.sh, with --dist naming the folder of the packages;
the ctest run of the process tests has no packages and skips it.
"""
import hashlib
import os
import re
import shutil
import subprocess
import tarfile
import zipfile

import pefile
import pytest

import expect
from conftest import ROOT, Worker

LIBRARIES = {"linux": {"libsherpa-onnx-c-api.so", "libonnxruntime.so"},
             "windows": {"sherpa-onnx-c-api.dll", "onnxruntime.dll"}}
DOCUMENTS = {"README.md", "LICENSE", "THIRD-PARTY-NOTICES", "VERSION", "SHA256SUMS"}


def unpack(archive, into):
    if archive.suffix == ".zip":
        with zipfile.ZipFile(archive) as z:
            z.extractall(into)
    else:
        with tarfile.open(archive) as t:
            t.extractall(into)


def version_numbers(version):
    """The four numbers of a Windows version resource: vX.Y.Z and the commits after the tag."""
    match = re.fullmatch(r"v(\d+)\.(\d+)\.(\d+)(?:-(\d+)-g[0-9a-f]+)?(?:-dirty)?", version)
    return tuple(int(n or 0) for n in match.groups()) if match else (0, 0, 0, 0)


def version_resource(program):
    pe = pefile.PE(str(program))
    strings = {key.decode(): value.decode() for info in pe.FileInfo[0]
               if info.Key == b"StringFileInfo" for table in info.StringTable
               for key, value in table.entries.items()}
    fixed = pe.VS_FIXEDFILEINFO[0]
    numbers = (fixed.FileVersionMS >> 16, fixed.FileVersionMS & 0xFFFF,
               fixed.FileVersionLS >> 16, fixed.FileVersionLS & 0xFFFF)
    return strings, numbers


def test_unpacked_package_transcribes(request, tmp_path):
    options = request.config.option
    if options.dist is None:
        pytest.skip("packages are tested by scripts/test.sh after scripts/package.sh (--dist)")
    platform = options.platform
    version = subprocess.run(["git", "describe", "--tags", "--always", "--dirty"], cwd=ROOT,
                             capture_output=True, text=True, check=True).stdout.strip()
    name = f"transcribe-worker-{version}-{platform}-x64"
    home = tmp_path / "Hôte d'essai – Тест 1"
    home.mkdir()
    unpack(ROOT / options.dist / (name + (".zip" if platform == "windows" else ".tar.gz")), home)
    folder = home / name

    # One flat folder: every file but SHA256SUMS listed there with its sum, nothing unlisted.
    sums = {file: digest for digest, file in
            (line.split("  ", 1) for line in (folder / "SHA256SUMS").read_text().splitlines())}
    files = {path.name for path in folder.iterdir()}
    assert all(path.is_file() for path in folder.iterdir())
    assert set(sums) == files - {"SHA256SUMS"}
    for file, digest in sums.items():
        assert hashlib.sha256((folder / file).read_bytes()).hexdigest() == digest, file

    # The documents, the two libraries and programs: nothing else from third_party/.
    assert (folder / "VERSION").read_text() == version + "\n"
    assert (folder / "README.md").read_text().startswith(f"# transcribe-worker {version}\n")
    assert "\n## Troubleshooting\n" in (folder / "README.md").read_text()
    assert "Apache License" in (folder / "LICENSE").read_text()
    notices = (folder / "THIRD-PARTY-NOTICES").read_text()
    assert "END OF TERMS AND CONDITIONS" in notices and "Permission is hereby granted" in notices
    programs = files - DOCUMENTS - LIBRARIES[platform]
    assert DOCUMENTS | LIBRARIES[platform] <= files
    if platform == "windows":
        assert "transcribe-worker.exe" in programs
        for program in programs:
            assert program.endswith(".exe")
            strings, numbers = version_resource(folder / program)
            assert strings["ProductName"] == "transcribe-worker"
            assert strings["FileVersion"] == strings["ProductVersion"] == version
            assert strings["FileDescription"] and strings["LegalCopyright"]
            assert numbers == version_numbers(version)
    else:
        assert "transcribe-worker" in programs
        for program in programs:
            assert "." not in program and os.access(folder / program, os.X_OK)
            assert (folder / program).read_bytes()[:4] == b"\x7fELF"
        # The libraries resolve beside the worker, not from the build tree.
        ldd = subprocess.run(["ldd", str(folder / "transcribe-worker")], capture_output=True,
                             text=True, check=True, env={"PATH": "/usr/bin:/bin"}).stdout
        for library in LIBRARIES["linux"]:
            assert f"{library} => {folder / library} " in ldd

    # The unpacked worker on a generated model and sample, also under such paths.
    test_data = ROOT / options.test_data
    subprocess.run(["/usr/bin/python3", ROOT / "tools/make_test_data.py", "--out", test_data],
                   check=True)
    model = shutil.copytree(test_data / "models/tone", home / "modèle tone")
    media = shutil.copy(test_data / "media/hello-world.wav", home / "höre mich.wav")
    worker = Worker(folder, platform, test_data)
    process = worker.start(["--model", worker.native(model), "--ffmpeg", worker.ffmpeg,
                            worker.native(media)],
                           env={"PATH": "/usr/bin:/bin", "LD_LIBRARY_PATH": "", "WINEPATH": ""},
                           cwd=home)
    out, err = process.communicate(timeout=240)
    assert expect.worker_stderr(worker, err) == b""
    assert out == expect.READY + expect.piece_records(
        expect.load_expected(test_data, "hello-world")["pieces"])
    assert process.returncode == 0
