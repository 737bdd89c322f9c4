"""A real one-node Slurm cluster for the process tests, started as root in a folder of its own.

munged runs as the munge user with a key, socket, pid and seed file in that folder, so it never
meets the system's munged; slurmctld and slurmd run in the foreground as children of the test, on
ports that were free, with the node as `slurmd -C` sees this machine. Client commands get
SLURM_CONF. Every process of the cluster carries the folder's path in its environment (the
daemons directly, the jobs through sbatch, which hands the submitter's environment on) or has a
file or socket open in the folder (slurmstepd), so stop() finds whatever is left, and so does a
later start after a run killed before it could stop: the daemons die with the test process, and
the folder's name holds that process's identity, so the leftovers of a folder whose maker is gone
are killed and the folder removed.
"""
import ctypes
import os
import pwd
import re
import shutil
import signal
import socket
import subprocess
import tempfile
import time
from pathlib import Path

import pytest

MARKER = "TW_SLURM_CLUSTER"
PREFIX = "tw-slurm-"
STALE = re.compile(PREFIX + r"(\d+\.\d+)-")  # the maker's process identity in a folder's name
FOLDER = re.compile(r"(.*/" + PREFIX + r"\d+\.\d+-[a-z0-9_]+)(/| \(deleted\)|$)")
START_BOUND = 60  # seconds for the node to become idle
JOB_BOUND = 120  # seconds for a job to end, by default
STOP_BOUND = 30  # seconds for the jobs to end after a cancel and for a daemon after its TERM
PROGRAMS = ("munged", "mungekey", "slurmctld", "slurmd", "sbatch", "squeue", "scontrol", "sinfo",
            "scancel")
SBIN_PATH = os.environ.get("PATH", "") + ":/usr/sbin:/sbin"  # a non-login root may lack them

_LIBC = ctypes.CDLL(None, use_errno=True)


def _die_with_parent():
    """In the child before exec: killed when the test process ends, however it ends."""
    _LIBC.prctl(1, signal.SIGKILL)  # PR_SET_PDEATHSIG


def process_identity(pid):
    """"PID.START" for a live process (START: its start time since boot), None when none."""
    try:
        stat = Path(f"/proc/{pid}/stat").read_text()
    except OSError:
        return None
    fields = stat[stat.rindex(")") + 2:].split()
    return None if fields[0] == "Z" else f"{pid}.{fields[19]}"


def _unix_socket_paths():
    """{inode: path} of the bound Unix sockets."""
    lines = Path("/proc/net/unix").read_text().splitlines()[1:]
    return {f[6]: f[7] for f in (line.split(None, 7) for line in lines) if len(f) == 8}


def _folder_in(path):
    made = FOLDER.match(path)
    return made[1] if made else None


def cluster_processes():
    """{pid: cluster folder} of the live processes of any cluster: those with the marker in their
    environment (the daemons, the jobs) and those with a file or socket open in a cluster's folder
    (slurmstepd and slurmscriptd, whose titles overwrite their environment)."""
    needle = f"{MARKER}=".encode()
    sockets = _unix_socket_paths()
    found = {}
    for entry in Path("/proc").iterdir():
        if not entry.name.isdigit() or int(entry.name) == os.getpid():
            continue
        try:
            if process_identity(entry.name) is None:
                continue
            for variable in (entry / "environ").read_bytes().split(b"\0"):
                if variable.startswith(needle):
                    found[int(entry.name)] = variable[len(needle):].decode(errors="replace")
            for fd in (entry / "fd").iterdir():
                target = os.readlink(fd)
                if target.startswith("socket:["):
                    target = sockets.get(target[8:-1], "")
                if folder := _folder_in(target):
                    found[int(entry.name)] = folder
        except OSError:
            continue
    return found


def is_stale(folder):
    made_by = STALE.match(Path(folder).name)
    return made_by is not None and process_identity(made_by[1].split(".")[0]) != made_by[1]


def stale_processes(parent):
    """The processes of the clusters in the folder `parent` whose test process is gone."""
    return [pid for pid, folder in cluster_processes().items()
            if Path(folder).parent == Path(parent).resolve() and is_stale(folder)]


def clear_stale(parent):
    """Kills the processes of the clusters in `parent` whose test process is gone, and removes
    their folders."""
    for pid in stale_processes(parent):
        try:
            os.kill(pid, signal.SIGKILL)
        except OSError:
            pass
    for folder in Path(parent).glob(PREFIX + "*"):
        if is_stale(folder):
            shutil.rmtree(folder, ignore_errors=True)


def free_ports(count):
    sockets = [socket.socket() for _ in range(count)]
    for s in sockets:
        s.bind(("0.0.0.0", 0))
    ports = [s.getsockname()[1] for s in sockets]
    for s in sockets:
        s.close()
    return ports


def missing():
    """Why this machine cannot run the cluster, or None."""
    if os.geteuid() != 0:
        return "the Slurm cluster's daemons run as root"
    absent = [p for p in PROGRAMS if not shutil.which(p, path=SBIN_PATH)]
    if absent:
        return (f"{', '.join(absent)} not installed (scripts/setup.sh installs slurmctld, slurmd, "
                "slurm-client and munge)")
    try:
        pwd.getpwnam("munge")
    except KeyError:
        return "no munge user (the munge package makes it)"
    return None


class SlurmCluster:
    def __init__(self, parent):
        self.parent = Path(parent).resolve()  # as /proc shows the paths of open files
        self.folder = None
        self.daemons = {}  # name: Popen, in the order they were started
        self.env = None
        self.socket = None  # munged's
        self.node = socket.gethostname().split(".")[0]
        self.timings = {}  # seconds: "idle" (start to idle node), "stop"

    def start(self):
        began = time.monotonic()
        clear_stale(self.parent)
        maker = process_identity(os.getpid())
        self.folder = Path(tempfile.mkdtemp(prefix=f"{PREFIX}{maker}-", dir=self.parent))
        self.folder.chmod(0o755)  # munged, as munge, passes through
        self.env = {**os.environ, "PATH": SBIN_PATH, MARKER: str(self.folder),
                    "SLURM_CONF": str(self.folder / "slurm.conf")}
        self._start_munged()
        for attempt in range(3):  # a port taken between choosing it and binding it: others
            self._write_config(*free_ports(2))
            self._start("slurmctld", ["slurmctld", "-D"])
            self._start("slurmd", ["slurmd", "-D", "-N", self.node])
            if self._wait_idle():
                self.timings["idle"] = time.monotonic() - began
                return
            for name in ("slurmd", "slurmctld"):
                self.daemons[name].kill()
                self.daemons.pop(name).wait()
                (self.folder / f"{name}.log").rename(self.folder / f"{name}.{attempt}.log")
        raise RuntimeError(f"slurmctld or slurmd could not bind their ports; see {self.folder}")

    def _start(self, name, command, **popen):
        log = open(self.folder / f"{name}.log", "wb")
        self.daemons[name] = subprocess.Popen(
            command, env=self.env, stdin=subprocess.DEVNULL, stdout=log, stderr=subprocess.STDOUT,
            cwd=self.folder, start_new_session=True, preexec_fn=_die_with_parent, **popen)
        log.close()

    def _start_munged(self):
        munge = self.folder / "munge"
        munge.mkdir(mode=0o711)  # munged wants others to reach its socket
        shutil.chown(munge, "munge", "munge")
        key = munge / "munge.key"
        subprocess.run(["mungekey", "--create", f"--keyfile={key}"], env=self.env, check=True)
        shutil.chown(key, "munge", "munge")
        key.chmod(0o400)
        self.socket = munge / "munge.socket"
        self._start("munged", ["munged", "--foreground", f"--key-file={key}",
                               f"--socket={self.socket}", f"--pid-file={munge}/munged.pid",
                               f"--seed-file={munge}/munged.seed"],
                    user="munge", group="munge", extra_groups=[])
        deadline = time.monotonic() + START_BOUND
        while not self.socket.exists():
            self._check_running("munged")
            if time.monotonic() > deadline:
                raise RuntimeError(f"munged made no socket: {self.log('munged')}")
            time.sleep(0.05)

    def _write_config(self, controller_port, node_port):
        folder = self.folder
        for sub in ("state", "spool"):
            (folder / sub).mkdir(exist_ok=True)
        (folder / "plugstack.conf").write_text("")  # none of the system's plugins
        hardware = subprocess.run(["slurmd", "-C"], env={**self.env, "SLURM_CONF": os.devnull},
                                  capture_output=True, text=True, check=True).stdout
        node = re.sub(r"^NodeName=\S+", f"NodeName={self.node} NodeAddr=127.0.0.1",
                      hardware.splitlines()[0])
        (folder / "slurm.conf").write_text(f"""\
ClusterName=tw
SlurmctldHost={self.node}(127.0.0.1)
SlurmctldPort={controller_port}
SlurmdPort={node_port}
SlurmUser=root
SlurmdUser=root
AuthType=auth/munge
CredType=cred/munge
AuthInfo="socket={self.socket}"
StateSaveLocation="{folder}/state"
SlurmdSpoolDir="{folder}/spool"
SlurmctldPidFile="{folder}/slurmctld.pid"
SlurmdPidFile="{folder}/slurmd.pid"
PlugStackConfig="{folder}/plugstack.conf"
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
SelectType=select/cons_tres
SelectTypeParameters=CR_Core
JobAcctGatherType=jobacct_gather/none
AccountingStorageType=accounting_storage/none
MpiDefault=none
MailProg=/bin/true
ReturnToService=2
# seconds from a cancel's TERM to its KILL, and that an ended job stays known to scontrol
KillWait=5
MinJobAge=3600
{node} State=UNKNOWN
PartitionName=main Nodes={self.node} Default=YES MaxTime=INFINITE State=UP
""")

    def _check_running(self, name):
        if self.daemons[name].poll() is not None:
            raise RuntimeError(f"{name} ended with status {self.daemons[name].returncode}: "
                               f"{self.log(name)}")

    def _wait_idle(self):
        """True once the node is idle; False when a daemon ended because its port was taken."""
        deadline = time.monotonic() + START_BOUND
        while True:
            for name in ("slurmctld", "slurmd"):
                if self.daemons[name].poll() is not None and \
                        "Address already in use" in self.log(name):
                    return False
            for name in self.daemons:
                self._check_running(name)
            state = self.client("sinfo", "-h", "-N", "-o", "%T", check=False).stdout.strip()
            if state == "idle":
                return True
            if time.monotonic() > deadline:
                raise RuntimeError(f"the node is {state or 'unknown'} after {START_BOUND} s; "
                                   f"see {self.folder}")
            time.sleep(0.1)

    def log(self, name):
        """The end of a daemon's output."""
        try:
            return (self.folder / f"{name}.log").read_text(errors="replace")[-3000:]
        except OSError as error:
            return str(error)

    def client(self, *args, env=None, cwd=None, check=True):
        """Runs a Slurm client command (sbatch, squeue, ...) against this cluster."""
        return subprocess.run(args, env={**self.env, **(env or {})}, cwd=cwd, capture_output=True,
                              text=True, timeout=60, check=check)

    def submit(self, script, *args, options=(), env=None, cwd=None):
        """sbatch OPTIONS SCRIPT ARGS with the environment and `env`, in the folder `cwd` (the
        job's, where its output goes; by default the cluster's); returns the job's id."""
        done = self.client("sbatch", "--parsable", *options, str(script), *args, env=env,
                           cwd=cwd or self.folder)
        return done.stdout.strip().split(";")[0]

    def cancel(self, job, task=None):
        self.client("scancel", job if task is None else f"{job}_{task}")

    def tasks(self, job):
        """{array task id or job id: state} from scontrol (pending tasks: one range, as 2-3)."""
        states = {}
        for line in self.client("scontrol", "-o", "show", "job", job).stdout.splitlines():
            task = re.search(r"\bArrayTaskId=(\S+)", line) or re.search(r"\bJobId=(\S+)", line)
            states[task[1]] = re.search(r"\bJobState=(\S+)", line)[1]
        return states

    def queued(self, job=None):
        """The queue's entries (pending, running, completing), of one job or all."""
        done = self.client("squeue", "-h", "-o", "%i", *(["-j", job] if job else []), check=False)
        if done.returncode != 0 and "Invalid job id" not in done.stderr:
            raise RuntimeError(f"squeue: {done.stderr}")
        return done.stdout.split() if done.returncode == 0 else []

    def wait(self, job, bound=JOB_BOUND):
        """Waits until no task of the job is queued; returns their states."""
        deadline = time.monotonic() + bound
        while self.queued(job):
            if time.monotonic() > deadline:
                raise RuntimeError(f"job {job} still queued after {bound} s: {self.tasks(job)}")
            time.sleep(0.2)
        return self.tasks(job)

    def stop(self):
        """Cancels every job left, stops the daemons (TERM, then KILL after a bound), waits for
        the cluster's other processes to end (KILL after the bound) and removes the folder.
        Returns what went wrong: a daemon that had ended or needed a KILL, processes left; the
        folder is kept then, for its logs."""
        began = time.monotonic()
        problems = []
        if "slurmctld" in self.daemons and self.daemons["slurmctld"].poll() is None:
            try:
                jobs = self.queued()
                if jobs:
                    self.client("scancel", *jobs, check=False)
                deadline = time.monotonic() + STOP_BOUND
                while self.queued() and time.monotonic() < deadline:
                    time.sleep(0.2)
            except (RuntimeError, subprocess.SubprocessError) as error:
                problems.append(f"cancelling the jobs left: {error}")
        for name in ("slurmd", "slurmctld", "munged"):
            if name not in self.daemons:
                continue
            if self.daemons[name].poll() is not None:
                problems.append(f"{name} had ended with status {self.daemons[name].returncode}")
            elif not self._end(self.daemons[name]):
                problems.append(f"{name} did not end on TERM within {STOP_BOUND} s")
        deadline = time.monotonic() + STOP_BOUND
        while left := [pid for pid, folder in cluster_processes().items()
                       if folder == str(self.folder)]:
            if time.monotonic() > deadline:
                from conftest import command_line  # here: conftest imports this module
                problems += [f"{pid} {command_line(pid)} was left" for pid in left]
                for pid in left:
                    try:
                        os.kill(pid, signal.SIGKILL)
                    except OSError:
                        pass
                break
            time.sleep(0.1)
        if not problems and self.folder:
            shutil.rmtree(self.folder, ignore_errors=True)
        self.timings["stop"] = time.monotonic() - began
        return problems

    @staticmethod
    def _end(process):
        """TERM, then KILL after the bound; True when TERM was enough."""
        if process.poll() is None:
            process.terminate()
        try:
            process.wait(STOP_BOUND)
            return True
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait()
            return False


@pytest.fixture
def slurm_cluster(request):
    """A started one-node cluster (SlurmCluster), stopped after the test; every process it
    started must have ended. Skipped where it cannot run, unless TW_REQUIRE_SLURM is set."""
    reason = missing()
    if request.config.option.platform != "linux":
        reason = "the cluster runs the Linux build"
    elif reason and os.environ.get("TW_REQUIRE_SLURM"):
        pytest.fail(reason)
    if reason:
        pytest.skip(reason)
    cluster = SlurmCluster(tempfile.gettempdir())
    try:
        cluster.start()
        yield cluster
    finally:
        problems = cluster.stop()
    assert not problems, f"the cluster in {cluster.folder} left: {problems}"
