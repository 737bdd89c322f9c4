#!/usr/bin/python3
"""What the Slurm test's own cluster costs (tests/e2e/slurm_cluster.py), as root: the time from
the start to an idle node, a 4-task array of scripts/slurm/transcribe-array.sbatch whose
transcribe-many is a stand-in that ends at once (submission to the last task's end: Slurm's own
overhead), and the stop; then the processes left (zombies aside).

    /usr/bin/python3 bench/slurm_array.py --runs 3   # as root, after scripts/setup.sh
"""
import argparse
import subprocess
import sys
import tempfile
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parents[1]
sys.path.insert(0, str(ROOT / "tests/e2e"))
from slurm_cluster import SlurmCluster, missing  # noqa: E402


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--runs", type=int, default=3)
    parser.add_argument("--tasks", type=int, default=4)
    options = parser.parse_args()
    if reason := missing():
        sys.exit(f"slurm_array: {reason}")
    print("| run | start to idle node | array of", options.tasks, "tasks | stop | left |")
    print("| --- | --- | --- | --- | --- |")
    for run in range(1, options.runs + 1):
        with tempfile.TemporaryDirectory() as work:
            standin = Path(work) / "transcribe-many"
            standin.write_text("#!/bin/sh\n")
            standin.chmod(0o755)
            cluster = SlurmCluster(tempfile.gettempdir())
            cluster.start()
            began = time.monotonic()
            job = cluster.submit(ROOT / "scripts/slurm/transcribe-array.sbatch",
                                 options=[f"--array=0-{options.tasks - 1}"],
                                 env={"TRANSCRIBE_MANY": str(standin)}, cwd=work)
            states = cluster.wait(job)
            array = time.monotonic() - began
            problems = cluster.stop()
        # Ended processes not yet reaped by pid 1 (slurmstepd's parent) are not left.
        left = subprocess.run(["pgrep", "-a", "--runstates", "D,R,S,T", "slurm|munge"],
                              capture_output=True, text=True).stdout.strip().replace("\n", "; ")
        assert set(states.values()) == {"COMPLETED"} and not problems, (states, problems)
        print(f"| {run} | {cluster.timings['idle']:.1f} s | {array:.1f} s | "
              f"{cluster.timings['stop']:.1f} s | {left or 'none'} |")


if __name__ == "__main__":
    main()
