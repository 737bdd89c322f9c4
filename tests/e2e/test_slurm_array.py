"""scripts/slurm/transcribe-array.sbatch on a one-node Slurm cluster of the test's own
(slurm_cluster.py) running transcribe-many: a 4-task array over two dozen files with one task
cancelled mid-run and then resubmitted alone, every file transcribed exactly once with the
worker's records; an array numbered from 1, which the script refuses since it would leave a part
of the files to no task; the same list spread by GNU parallel over its local login. Then what the
cluster's next start clears after a test process killed with a job running."""
import json
import os
import re
import signal
import subprocess
import sys
import tempfile
import time
from pathlib import Path

import pytest

from conftest import ROOT, command_line
from slurm_cluster import clear_stale, cluster_processes, stale_processes

SCRIPT = ROOT / "scripts/slurm/transcribe-array.sbatch"
SUMMARY = re.compile(r"transcribe-many: (\d+) transcribed, (\d+) already done, (\d+) failed, "
                     r"(\d+) not finished")
FILES = 24


def media_list(worker, folder):
    """FILES tone-encoded clips (hard links of the test media, each name its own) and their list;
    the clips of 25 and 45 s keep a task busy for a while on the heavy model."""
    media = worker.test_data / "media"
    sources = ["speech-25s", "hello-world", "speech-45s", "silence-3s"]
    folder.mkdir()
    clips = []
    for i in range(FILES):
        clip = folder / f"clip {i:02d}.wav"
        os.link(media / f"{sources[i % len(sources)]}.wav", clip)
        clips.append(clip)
    listing = folder / "files.list"
    listing.write_text("".join(f"{clip}\n" for clip in clips))
    return clips, listing


def summaries(*texts):
    """transcribe-many's summary counts in what its runs printed."""
    return [tuple(map(int, found)) for text in texts for found in SUMMARY.findall(text)]


def check_transcribed_once(worker, clips, out, texts, model):
    assert sum(c[0] for c in summaries(*texts)) == FILES, texts
    for clip in clips:
        alone = subprocess.run([worker.exe, "--model", model, "--ffmpeg", worker.ffmpeg, clip],
                               capture_output=True, check=True).stdout
        assert (out / f"{clip.stem}.jsonl").read_bytes() == alone, clip
        assert (out / f"{clip.stem}.srt").exists()


def wait_until(condition, what, bound=120):
    deadline = time.monotonic() + bound
    while not condition():
        assert time.monotonic() < deadline, what()
        time.sleep(0.1)


def test_array_tasks_transcribe_each_file_once_and_a_cancelled_one_resumes(worker, slurm_cluster,
                                                                            tmp_path):
    if worker.windows:
        pytest.skip("Slurm runs the Linux build")
    work = tmp_path / "work folder"  # the job's folder, with a blank as users' folders have
    work.mkdir()
    clips, listing = media_list(worker, work / "media")
    model = str((worker.test_data / "models/tone-heavy").resolve())
    # No blank in the program's path: Slurm 22.05's proctrack/linuxproc cannot find a process
    # whose name has one (it misreads /proc/PID/stat), so it could not cancel that task.
    env = {"TRANSCRIBE_MANY": str((worker.build_dir / "transcribe-many").resolve())}
    args = ["--model", model, "--ffmpeg", worker.ffmpeg, "--out", "out folder", "--formats",
            "jsonl,srt", "--progress", "json", str(listing)]
    job = slurm_cluster.submit(SCRIPT, *args, options=["--array=0-3"], env=env, cwd=work)
    log = work / f"transcribe-{job}_2.log"

    def task_2_midway():  # working on a file
        progress = [json.loads(line) for line in log.read_text().splitlines()
                    if line.startswith("{")] if log.exists() else []
        return progress and progress[-1]["files_done"] < progress[-1]["files_total"]

    wait_until(task_2_midway, lambda: "task 2 did not get midway: " + slurm_cluster.client(
        "squeue", "-o", "%i %T %r").stdout)
    slurm_cluster.cancel(job, 2)
    assert slurm_cluster.wait(job) == {"0": "COMPLETED", "1": "COMPLETED", "2": "CANCELLED",
                                       "3": "COMPLETED"}
    stopped = summaries(log.read_text())
    assert len(stopped) == 1 and stopped[0][3] > 0, log.read_text()

    env["TRANSCRIBE_SHARDS"] = "4"
    again = slurm_cluster.submit(SCRIPT, *args, options=["--array=2"], env=env, cwd=work)
    assert slurm_cluster.wait(again) == {"2": "COMPLETED"}
    assert summaries((work / f"transcribe-{again}_2.log").read_text())[0][1] == stopped[0][0]
    check_transcribed_once(worker, clips, work / "out folder",
                           [log.read_text() for log in work.glob("*.log")], model)
    assert [p.name for p in (work / "out folder").iterdir() if p.name.startswith(".")] == [
        ".transcribe-many.lock"]  # the installs' lock, kept for the next run

    del env["TRANSCRIBE_SHARDS"]
    misnumbered = slurm_cluster.submit(SCRIPT, options=["--array=1-2"], env=env, cwd=work)
    assert slurm_cluster.wait(misnumbered) == {"1": "FAILED", "2": "FAILED"}
    assert (work / f"transcribe-{misnumbered}_1.log").read_text() == (
        "transcribe-array: the tasks must be numbered 0 to 1 (sbatch --array=0-1); to rerun some"
        " of N tasks, set TRANSCRIBE_SHARDS=N\n")


def test_gnu_parallel_spreads_the_shards_over_its_logins(worker, tmp_path):
    # The recipe for machines without a scheduler, on parallel's local login ":".
    if worker.windows:
        pytest.skip("GNU parallel runs the Linux build")
    clips, listing = media_list(worker, tmp_path / "media")
    logins = tmp_path / "machines"
    logins.write_text(":\n")
    model = str(worker.test_data / "models/tone")
    out = tmp_path / "out"
    done = subprocess.run(
        ["parallel", "--will-cite", "--sshloginfile", logins, "--jobs", "1", "--tag",
         worker.build_dir / "transcribe-many", "--shard", "{}/3", "--model", model, "--ffmpeg",
         worker.ffmpeg, "--out", out, listing, ":::", "0", "1", "2"],
        capture_output=True, text=True, timeout=300)
    assert done.returncode == 0, done.stderr
    assert len(summaries(done.stdout + done.stderr)) == 3
    check_transcribed_once(worker, clips, out, [done.stdout + done.stderr], model)


# A test process that starts a cluster in the folder it is given, has a job running and is
# killed: its daemons die with it, but the job and its slurmstepd live on.
KILLED_RUN = """import os, signal, sys, time
from pathlib import Path
from slurm_cluster import SlurmCluster
parent, job, work = sys.argv[1:]
cluster = SlurmCluster(parent)
cluster.start()
cluster.submit(job, cwd=work)
while not Path(work, "started").exists():
    time.sleep(0.1)
os.kill(os.getpid(), signal.SIGKILL)
"""


def test_a_cluster_whose_test_was_killed_is_cleared_by_the_next_start(slurm_cluster, tmp_path):
    waits, ends = tmp_path / "waits", tmp_path / "ends"
    waits.write_text("#!/bin/sh\ntouch started\nsleep 300\n")
    ends.write_text("#!/bin/sh\n")
    # A folder of its own: a cluster starting meanwhile in another test run clears its parent's.
    with tempfile.TemporaryDirectory() as parent:
        os.chmod(parent, 0o755)
        try:
            killed = subprocess.run([sys.executable, "-c", KILLED_RUN, parent, waits, tmp_path],
                                    cwd=Path(__file__).parent, timeout=120)
            assert killed.returncode == -signal.SIGKILL
            left = stale_processes(parent)  # the daemons may be ending: no command line
            assert {command_line(pid).partition(" ")[0] for pid in left} >= {"slurmstepd:",
                                                                             "/bin/sh"}
        finally:
            clear_stale(parent)  # what a start does first
        assert not set(left) & set(cluster_processes()) and not os.listdir(parent)
    job = slurm_cluster.submit(ends)  # a cluster whose test runs is left alone
    assert slurm_cluster.wait(job) == {job: "COMPLETED"}
