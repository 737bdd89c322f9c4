"""A release package as a host author gets it, unpacked under a path with spaces and non-ASCII
letters: its sums and files checked, its own worker run there (the Windows one under wine).
Run by scripts/test.sh after scripts/package.sh (--dist); skipped in the ctest run, which checks
the version the build writes.
"""
import hashlib
import os
import re
import shutil
import subprocess
from pathlib import Path
from xml.etree import ElementTree

import pefile
import pytest

import expect
from conftest import ROOT, Worker
from standin_process import model_check, start_program

LIBRARIES = {"linux": {"libsherpa-onnx-c-api.so", "libonnxruntime.so"},
             "windows": {"sherpa-onnx-c-api.dll", "onnxruntime.dll"}}
DOCUMENTS = {"README.md", "CHANGELOG.md", "LICENSE", "THIRD-PARTY-NOTICES", "VERSION", "SHA256SUMS",
             "docs/hosts.md", "docs/subtitles.md", "docs/many-files.md", "docs/models.md",
             "docs/troubleshooting.md"}
SCRIPTS = {"linux": {"scripts/slurm/transcribe-array.sbatch"}, "windows": set()}
PROGRAMS = {"transcribe-worker", "transcribe-model-check", "transcribe-subtitles", "transcribe-many"}
HOSTS = {"hosts/README.md", "hosts/python/transcribe_host.py", "hosts/node/transcribe-host.js",
         "hosts/c/transcribe_host.h", "hosts/c/transcribe_host.c",
         "hosts/dotnet/TranscribeHost.cs"}


# Where third-party code enters a shipped program (a header compiled into one of its objects, an
# archive member or object the linker took, a library it links to), first match first, and the
# notice that code needs in THIRD-PARTY-NOTICES: a heading "NAME: ..." over its licence text.
# None: on Linux the system's own C and C++ libraries, linked dynamically and not shipped (what
# GCC's headers compile in is under its runtime library exception).
THIRD_PARTY = [
    (r"/nlohmann/", "nlohmann/json"),
    (r"utf8proc", "utf8proc"),
    (r"sherpa-onnx", "sherpa-onnx"),
    (r"onnxruntime", "ONNX Runtime"),
    (r"^/usr/(x86_64-w64-mingw32|share/mingw-w64)/", "mingw-w64 runtime and winpthreads"),
    (r"^/usr/lib/gcc/x86_64-w64-mingw32/", "GCC runtime libraries"),
    (r"^/(usr/)?(include|lib/gcc/x86_64-linux-gnu|lib/x86_64-linux-gnu|lib64)/", None),
]


def third_party_in(build_dir, program):
    """The outside files that went into `program`: the headers of its objects (ninja's record
    of the compiler's dependencies) and what its link map says the linker took."""
    ninja = ["ninja", "-C", str(build_dir), "-t"]
    commands = subprocess.run(ninja + ["commands", program], capture_output=True, text=True,
                              check=True).stdout
    objects = sorted(set(re.findall(r" -o (\S+\.o(?:bj)?)\b", commands)))
    deps = subprocess.run(ninja + ["deps", *objects], capture_output=True, text=True,
                          check=True).stdout
    headers = [line.strip() for line in deps.splitlines() if line.startswith(" ")]
    link_map = (build_dir / (program + ".map")).read_text(errors="replace")
    linked = re.findall(r"^(\S+\.a)\(", link_map, re.M) + \
        re.findall(r"^LOAD (\S+)", link_map, re.M)
    return {os.path.normpath(path) for path in headers + linked}


def check_notices_cover_the_build(build_dir, programs, notices):
    needed, unknown = set(), set()
    for program in programs:
        for path in third_party_in(build_dir, program):
            rule = next((rule for rule in THIRD_PARTY if re.search(rule[0], path)), None)
            if rule is not None:
                needed.add(rule[1])
            elif os.path.isabs(path) and not path.startswith(str(ROOT)):
                unknown.add(path)
    assert not unknown, f"in the build but not in THIRD_PARTY: {sorted(unknown)[:5]}"
    needed.discard(None)
    assert {"nlohmann/json", "utf8proc", "sherpa-onnx"} <= needed
    for name in needed:
        assert re.search(rf"^{re.escape(name)}: .*\n-+$", notices, re.M), name


def tree_version():
    """The release version the tree holds: project(... VERSION X.Y.Z) in CMakeLists.txt."""
    project = re.search(r"^project\(\w+ VERSION (\d+\.\d+\.\d+)[ )]",
                        (ROOT / "CMakeLists.txt").read_text(), re.MULTILINE)
    return project.group(1)


def build_version(source=ROOT):
    """The tree's version with the commit and "-dirty" from git as build metadata; no tag."""
    commit = subprocess.run(["git", "describe", "--always", "--dirty", "--exclude=*"], cwd=source,
                            capture_output=True, text=True, check=True).stdout.strip()
    return f"{tree_version()}+{commit}"


def check_version_resource(program, version):
    pe = pefile.PE(str(program))
    strings = {key.decode(): value.decode() for info in pe.FileInfo[0]
               if info.Key == b"StringFileInfo" for table in info.StringTable
               for key, value in table.entries.items()}
    assert strings["ProductName"] == "transcribe-worker"
    assert strings["FileVersion"] == strings["ProductVersion"] == version
    assert strings["FileDescription"] and strings["LegalCopyright"]
    # The four numbers: the tree's X.Y.Z and 0.
    x, y, z = (int(part) for part in tree_version().split("."))
    fixed = pe.VS_FIXEDFILEINFO[0]
    assert (fixed.FileVersionMS, fixed.FileVersionLS) == (x << 16 | y, z << 16)
    assert (fixed.ProductVersionMS, fixed.ProductVersionLS) == (x << 16 | y, z << 16)


def headings(markdown):
    """The fragments a Markdown viewer gives the headings: lower case, punctuation dropped."""
    return {"#" + re.sub(r"[^\w\- ]", "", line.lstrip("#").strip().lower()).replace(" ", "-")
            for line in markdown.read_text().splitlines() if line.startswith("#")}


def check_markdown_links(folder, documents):
    """Every link of the Markdown documents (paths relative to `folder`) leads to the web, to a
    file in the folder, or to a heading of such a document."""
    for document in documents:
        for target in re.findall(r"\]\(([^)\s]+)\)", (folder / document).read_text()):
            if target.startswith(("http://", "https://")):
                continue
            path, _, fragment = target.partition("#")
            linked = (folder / document).parent / path if path else folder / document
            assert linked.exists(), (document, target)
            assert not fragment or "#" + fragment in headings(linked), (document, target)


RT_MANIFEST = 24
# Windows 8, 8.1, and 10 with 11: the systems whose own behaviour a program declares it wants.
SUPPORTED_OS = {"{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}", "{1f676c76-80e1-4239-95bb-83d0f6d0da78}",
                "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"}


def check_manifest(program):
    """The application manifest, resource 1 of type RT_MANIFEST: run as the invoker, on the
    systems above, with long paths where the machine allows them."""
    pe = pefile.PE(str(program))
    manifests = [entry for kind in pe.DIRECTORY_ENTRY_RESOURCE.entries if kind.id == RT_MANIFEST
                 for entry in kind.directory.entries]
    assert [entry.id for entry in manifests] == [1], program
    data = manifests[0].directory.entries[0].data.struct
    root = ElementTree.fromstring(pe.get_data(data.OffsetToData, data.Size))
    level = root.find(".//{urn:schemas-microsoft-com:asm.v3}requestedExecutionLevel")
    assert level.get("level") == "asInvoker"
    systems = root.iter("{urn:schemas-microsoft-com:compatibility.v1}supportedOS")
    assert {system.get("Id") for system in systems} == SUPPORTED_OS
    long_paths = root.find(".//{http://schemas.microsoft.com/SMI/2016/WindowsSettings}longPathAware")
    assert long_paths.text == "true"


def test_unpacked_package_transcribes(request, tmp_path):
    options = request.config.option
    if options.dist is None:
        pytest.skip("packages are tested by scripts/test.sh after scripts/package.sh (--dist)")
    platform = options.platform
    version = build_version()
    name = f"transcribe-worker-{version}-{platform}-x64"
    home = tmp_path / "Hôte d'essai – Тест 1"
    suffix = ".zip" if platform == "windows" else ".tar.gz"
    shutil.unpack_archive(ROOT / options.dist / (name + suffix), home)
    folder = home / name

    # One folder (hosts/ and docs/ its sub-folders): every file but SHA256SUMS listed there with its
    # sum, nothing unlisted.
    sums = {file: digest for digest, file in
            (line.split("  ", 1) for line in (folder / "SHA256SUMS").read_text().splitlines())}
    files = {path.relative_to(folder).as_posix() for path in folder.rglob("*") if path.is_file()}
    assert set(sums) == files - {"SHA256SUMS"}
    for file, digest in sums.items():
        assert hashlib.sha256((folder / file).read_bytes()).hexdigest() == digest, file

    # The documents, the two libraries and programs: nothing else from third_party/.
    assert (folder / "VERSION").read_text() == version + "\n"
    check_markdown_links(folder, [file for file in files if file.endswith(".md")])
    notices = (folder / "THIRD-PARTY-NOTICES").read_text()
    assert "END OF TERMS AND CONDITIONS" in notices and "Permission is hereby granted" in notices
    check_notices_cover_the_build(Path(options.build_dir).resolve(), PROGRAMS, notices)
    assert DOCUMENTS | LIBRARIES[platform] <= files
    exe = ".exe" if platform == "windows" else ""
    programs = {program + exe for program in PROGRAMS}
    assert files - DOCUMENTS - LIBRARIES[platform] - HOSTS - SCRIPTS[platform] == programs
    assert SCRIPTS[platform] <= files
    assert HOSTS <= files
    if platform == "windows":
        for program in PROGRAMS:
            check_version_resource(folder / (program + exe), version)
            check_manifest(folder / (program + exe))
    else:
        for program in PROGRAMS:
            assert os.access(folder / program, os.X_OK)
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

    # The package's other programs on the same model and records.
    facts, _, status = model_check(worker, worker.native(model))
    assert (facts.splitlines()[-1], status) == ("ok: the worker will load this model", 0)
    subtitles = start_program(worker, folder / ("transcribe-subtitles" + exe),
                              ["--format", "srt"], stdin=subprocess.PIPE)
    srt, _ = subtitles.communicate(input=out, timeout=120)
    assert subtitles.returncode == 0 and b"\nhello world\n" in srt.replace(b"\r\n", b"\n")

    check_host_examples(worker, folder, model, media)


def check_host_examples(worker, folder, model, media):
    """The examples of the package's hosts/README.md, saved and run in the package folder as it
    says: Python, Node.js, C and C# (with Mono) on Linux, C built with MinGW-w64 and run under
    wine on Windows (on ASCII paths there: the example takes its arguments in the system's code
    page)."""
    examples = dict(re.findall(r"```(\w+)\n(.*?)```", (folder / "hosts/README.md").read_text(),
                               re.S))
    (folder / "example.c").write_text(examples["c"])
    sources = ["-std=c11", "-I", "hosts/c", "example.c", "hosts/c/transcribe_host.c"]
    env = {"PATH": "/usr/bin:/bin", "LD_LIBRARY_PATH": "", "WINEPATH": ""}
    if worker.windows:
        data = folder / "example-data"
        model, media = (shutil.copytree(model, data / "tone"), shutil.copy(media, data / "a.wav"))
        subprocess.run(["x86_64-w64-mingw32-gcc-posix", "-static", "-o", "example.exe", *sources],
                       cwd=folder, check=True)
        runs = {"c": [folder / "example.exe", "transcribe-worker.exe", "example-data\\tone",
                      worker.ffmpeg, "example-data\\a.wav"]}
    else:
        subprocess.run(["cc", "-o", "example", *sources], cwd=folder, check=True)
        (folder / "example.py").write_text(examples["python"])
        (folder / "example.js").write_text(examples["js"])
        (folder / "example.cs").write_text(examples["csharp"])
        subprocess.run(["mcs", "-langversion:7.2", "-out:example.exe", "example.cs",
                        "hosts/dotnet/TranscribeHost.cs"], cwd=folder, check=True)
        args = [str(model), worker.ffmpeg, str(media)]
        runs = {"c": [folder / "example", folder / "transcribe-worker", *args],
                "python": ["/usr/bin/python3", "example.py", *args],
                "node": [shutil.which("node"), "example.js", *args],
                "csharp": ["/usr/bin/mono", "example.exe", *args]}
    for language, command in runs.items():
        process = subprocess.run(
            [str(ROOT / "scripts/wine-run.sh")] * worker.windows + [str(c) for c in command],
            cwd=folder, capture_output=True, env=dict(os.environ, **env), timeout=240)
        out = process.stdout.decode()
        assert process.returncode == 0, (language, process.stderr)
        assert ("hello world" in out) if language != "c" else ('"text":"world"' in out), out


def test_links_of_the_repository_documents():
    check_markdown_links(ROOT, ["README.md", "CHANGELOG.md", "BENCHMARKS.md", "hosts/README.md",
                                "fuzz/README.md", "tools/README.md",
                                *(str(d.relative_to(ROOT)) for d in ROOT.glob("docs/*.md"))])


def test_windows_programs_carry_their_manifest(request):
    options = request.config.option
    if options.platform != "windows":
        pytest.skip("a Windows resource")
    for program in PROGRAMS:
        check_manifest(Path(options.build_dir) / (program + ".exe"))


def test_version_is_the_trees_with_the_commit_whatever_the_tags(request, tmp_path):
    # The build's own version files, and write_version.cmake on a fresh repository: no tag,
    # then a tag that says otherwise, then uncommitted changes, then no history at all.
    built = (Path(request.config.option.build_dir) / "version/VERSION").read_text()
    assert re.fullmatch(re.escape(tree_version()) + r"\+[0-9a-f]{7,40}(-dirty)?\n", built)
    source, out = tmp_path / "clone", tmp_path / "out"
    source.mkdir()
    git = ["git", "-c", "user.name=t", "-c", "user.email=t@t", "-C", str(source)]

    def written():
        subprocess.run(["cmake", f"-DSOURCE_DIR={source}", f"-DOUT_DIR={out}",
                        f"-DRELEASE_VERSION={tree_version()}", "-P",
                        str(ROOT / "cmake/write_version.cmake")], check=True)
        header = (out / "version.h").read_text()
        version = (out / "VERSION").read_text().rstrip("\n")
        numbers = tree_version().replace(".", ",") + ",0"
        assert header == (f'#define TW_VERSION_TEXT "{version}"\n'
                          f"#define TW_VERSION_NUMBERS {numbers}\n")
        return version

    assert written() == tree_version() + "+unknown"
    subprocess.run(git + ["init", "-q"], check=True)
    (source / "a").write_text("a")
    subprocess.run(git + ["add", "a"], check=True)
    subprocess.run(git + ["commit", "-qm", "a"], check=True)
    commit = subprocess.run(git + ["rev-parse", "--short", "HEAD"], capture_output=True,
                            text=True, check=True).stdout.strip()
    assert written() == build_version(source) == f"{tree_version()}+{commit}"
    subprocess.run(git + ["tag", "v9.8.7"], check=True)
    assert written() == f"{tree_version()}+{commit}"
    (source / "a").write_text("b")
    assert written() == f"{tree_version()}+{commit}-dirty"
