"""scripts/slurm/transcribe-array.sbatch on a one-node Slurm cluster of the test's own
(slurm_cluster.py), with a stand-in for transcribe-many that records the arguments it was given:
a 4-task array with one task cancelled mid-run and then resubmitted alone, and an array numbered
from 1, which the script refuses since it would leave a part of the files to no task. Then what
the cluster's next start clears after a test process killed with a job running."""
import os
import signal
import subprocess
import sys
import tempfile
import time
from pathlib import Path

from conftest import ROOT, command_line
from slurm_cluster import clear_stale, cluster_processes, stale_processes

SCRIPT = ROOT / "scripts/slurm/transcribe-array.sbatch"

# transcribe-many's stand-in: marks its start, waits to be cancelled in the task WAIT_IN_TASK
# names, then appends its arguments to a file of its task.
STANDIN = """#!/bin/sh
touch "started-$SLURM_ARRAY_TASK_ID"
[ "$SLURM_ARRAY_TASK_ID" != "$WAIT_IN_TASK" ] || sleep 300
printf '%s\\n' "$@" >> "shard-$SLURM_ARRAY_TASK_ID"
"""


def test_array_tasks_run_one_shard_each_and_a_cancelled_one_runs_again(slurm_cluster, tmp_path):
    work = tmp_path / "work folder"  # the job's folder, with a blank as users' folders have
    work.mkdir()
    # No blank in the program's name: Slurm 22.05's proctrack/linuxproc cannot find a process
    # whose name has one (it misreads /proc/PID/stat), so it could not cancel that task.
    standin = work / "transcribe-many"
    standin.write_text(STANDIN)
    standin.chmod(0o755)
    env = {"TRANSCRIBE_MANY": str(standin), "WAIT_IN_TASK": "2"}
    job = slurm_cluster.submit(SCRIPT, "--out", "out folder", options=["--array=0-3"], env=env,
                               cwd=work)
    deadline = time.monotonic() + 120
    while not (work / "started-2").exists():
        assert time.monotonic() < deadline, f"task 2 did not start: {slurm_cluster.tasks(job)}"
        time.sleep(0.1)
    slurm_cluster.cancel(job, 2)
    assert slurm_cluster.wait(job) == {"0": "COMPLETED", "1": "COMPLETED", "2": "CANCELLED",
                                       "3": "COMPLETED"}
    assert not (work / "shard-2").exists()

    env.update(TRANSCRIBE_SHARDS="4", WAIT_IN_TASK="")
    again = slurm_cluster.submit(SCRIPT, "--out", "out folder", options=["--array=2"], env=env,
                                 cwd=work)
    assert slurm_cluster.wait(again) == {"2": "COMPLETED"}

    del env["TRANSCRIBE_SHARDS"]
    misnumbered = slurm_cluster.submit(SCRIPT, options=["--array=1-2"], env=env, cwd=work)
    assert slurm_cluster.wait(misnumbered) == {"1": "FAILED", "2": "FAILED"}
    assert (work / f"transcribe-{misnumbered}_1.log").read_text() == (
        "transcribe-array: the tasks must be numbered 0 to 1 (sbatch --array=0-1); to rerun some"
        " of N tasks, set TRANSCRIBE_SHARDS=N\n")
    for task in range(4):  # each written once, by the first run or the resubmitted task
        assert (work / f"shard-{task}").read_text() == f"--shard\n{task}/4\n--out\nout folder\n"


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
