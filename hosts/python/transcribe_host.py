"""Runs transcribe-worker on one media file and hands over its records (Python 3.9+, standard
library only).

    from transcribe_host import transcribe, Words, WorkerError

    with transcribe("talk.mp4", model="models/parakeet", ffmpeg="/usr/bin/ffmpeg") as run:
        for record in run:
            if isinstance(record, Words):
                print(run.progress, [w.text for w in record.words])

The worker is always started with --exit-on-stdin-close and its standard input kept open: a
cancel closes it, and so does the end of this process, however it ends, so no worker and no
ffmpeg outlive the host. Standard output and standard error are read at the same time on two
threads, so a worker that writes much to either never waits for the host.
"""
import errno
import json
import os
import queue
import re
import stat
import subprocess
import sys
import threading
from dataclasses import dataclass
from typing import List, Optional

__all__ = ["transcribe", "Run", "Ready", "Words", "Word", "WorkerError"]

_WINDOWS = sys.platform == "win32"
_EXE = ".exe" if _WINDOWS else ""
_WORKER = "transcribe-worker" + _EXE
_HERE = os.path.dirname(os.path.abspath(__file__))
_NO_WINDOW = subprocess.CREATE_NO_WINDOW if _WINDOWS else 0

# The worker's own whitelists for its decoder, so that the duration probe reads the media as
# locked down as the worker does: local files of those containers and audio codecs only.
_WHITELISTS = [
    "-format_whitelist",
    "mov,mp4,m4a,3gp,3g2,mj2,matroska,webm,avi,mpegts,flv,mp3,aac,wav,flac,ogg",
    "-codec_whitelist",
    "aac,aac_fixed,aac_latm,mp3,mp3float,mp2,mp2float,mp1,mp1float,opus,libopus,vorbis,libvorbis,"
    "flac,alac,ac3,ac3_fixed,eac3,dca,truehd,mlp,pcm_s16le,pcm_s16be,pcm_s24le,pcm_s24be,"
    "pcm_s32le,pcm_s32be,pcm_f32le,pcm_f32be,pcm_f64le,pcm_u8,pcm_alaw,pcm_mulaw",
    "-protocol_whitelist", "file"]
# The line in which ffmpeg lists an input's duration: "  Duration: 00:41:07.52, start: ...".
_DURATION = re.compile(rb"^  Duration: (\d+):(\d\d):(\d\d(?:\.\d+)?)", re.MULTILINE)


@dataclass(frozen=True)
class Ready:
    """The model has loaded; the decoder starts next."""


@dataclass(frozen=True)
class Word:
    start: float
    end: float
    text: str


@dataclass(frozen=True)
class Words:
    """The words of the audio up to `end` (seconds from the beginning of the file)."""
    end: float
    words: List[Word]


class WorkerError(Exception):
    """A failed run: `message` is the worker's error text (after "error: ", all of it),
    `status` its exit status (None when it cannot be known) and `stderr` everything it wrote to
    standard error."""

    def __init__(self, message: str, status: Optional[int], stderr: str):
        super().__init__(message)
        self.message = message
        self.status = status
        self.stderr = stderr


def error_text(stderr: str) -> Optional[str]:
    """The text after the first line that starts with "error: ", to the end. The worker writes
    its error last, and the libraries' lines before it never start so, while the error text
    itself may hold lines that do (a path or a decoder message with line breaks)."""
    at = ("\n" + stderr).find("\nerror: ")
    if at < 0:
        return None
    return stderr[at + len("error: "):].rstrip("\r\n")


def _on_path(name: str) -> Optional[str]:
    """A bare program name as found in PATH's absolute folders, with ".exe" added on Windows
    when it has no extension; None when it is in none of them. Never the current folder:
    Windows and shutil.which there look in it first, and an empty or relative PATH entry (a
    stray ":" at the end) would name it too."""
    extension = ".exe" if _WINDOWS and not os.path.splitext(name)[1] else ""
    for folder in os.environ.get("PATH", "").split(os.pathsep):
        folder = folder.strip('"') if _WINDOWS else folder
        candidate = os.path.join(folder, name + extension)
        if os.path.isabs(folder) and os.path.isfile(candidate) and os.access(candidate, os.X_OK):
            return candidate
    return None


def _program(path: str) -> str:
    """A program's path made absolute; a bare name (no folder) is looked for on PATH only."""
    path = os.fspath(path)
    if os.path.basename(path) != path or (_WINDOWS and ":" in path):
        return os.path.abspath(path)
    found = _on_path(path)
    if found is None:
        raise FileNotFoundError(f"{path} is not on PATH (a bare name is looked for there only)")
    return found


def find_worker() -> str:
    """transcribe-worker beside this module, in the package folder it came in, or on PATH."""
    for folder in (_HERE, os.path.dirname(os.path.dirname(_HERE))):
        candidate = os.path.join(folder, _WORKER)
        if os.path.isfile(candidate):
            return candidate
    found = _on_path(_WORKER)
    if found is None:
        raise FileNotFoundError(f"{_WORKER} is neither beside {__file__} nor on PATH")
    return found


def _number(value: float) -> str:
    return repr(float(value))  # "12.5", "inf": the worker's float grammar reads both


def _record(line: bytes):
    value = json.loads(line)
    if value.get("ready") is True:
        return Ready()
    words = [Word(w["start"], w["end"], w["text"]) for w in value["words"]]
    return Words(value["end"], words)


class Run:
    """One worker run: an iterator of records and a context manager (leaving it cancels)."""

    def __init__(self, args: List[str], media: str, ffmpeg: str, first: float,
                 last: Optional[float]):
        # Arguments as a list: no shell, and on Windows the standard quoting of list2cmdline.
        self._process = subprocess.Popen(args, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                         stderr=subprocess.PIPE, creationflags=_NO_WINDOW)
        self._lines: "queue.Queue[Optional[bytes]]" = queue.Queue()
        self._stderr = bytearray()
        self._cancelled = False
        self._finishing = threading.Lock()
        self._finished = False
        self._succeeded = False
        self._first, self._last = first, last
        self._duration: Optional[float] = None
        self._end = first
        self._probing = threading.Lock()
        self._probe: Optional[subprocess.Popen] = None
        self._probe_ended = False
        self._readers = [threading.Thread(target=self._read_stdout, daemon=True),
                         threading.Thread(target=self._read_stderr, daemon=True)]
        for reader in self._readers:
            reader.start()
        # Not joined: on a stalled share even its first look at the file can wait as long.
        threading.Thread(target=self._probe_duration, args=(ffmpeg, media), daemon=True).start()

    # --- reading -------------------------------------------------------------------------

    def _read_stdout(self):
        pending = b""
        for chunk in iter(lambda: self._process.stdout.read1(65536), b""):
            pending += chunk
            *lines, pending = pending.split(b"\n")
            for line in lines:
                self._lines.put(line)
        # A last line without its line feed was cut short by a stop: it is dropped.
        self._lines.put(None)

    def _read_stderr(self):
        for chunk in iter(lambda: self._process.stderr.read1(65536), b""):
            self._stderr += chunk

    def _probe_duration(self, ffmpeg, media):
        """The duration from ffmpeg listing the media: "-i" without an output reads the header,
        writes what it found to standard error and exits with 1. Only for a regular file: a FIFO
        or a device would hand part of its stream to the probe instead of the worker."""
        try:
            if not stat.S_ISREG(os.stat(media).st_mode):
                return
            with self._probing:
                if self._probe_ended:
                    return
                self._probe = subprocess.Popen(
                    [ffmpeg, *_WHITELISTS, "-nostdin", "-hide_banner", "-i", media],
                    stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE,
                    creationflags=_NO_WINDOW)
        except OSError:
            return
        found = _DURATION.search(self._probe.communicate()[1])
        if found:
            hours, minutes, seconds = found.groups()
            self._duration = int(hours) * 3600 + int(minutes) * 60 + float(seconds)

    def _end_probe(self):
        """The probe ends with the run: a stalled share must not hold a cancel up."""
        with self._probing:
            self._probe_ended = True
            if self._probe is not None:
                self._probe.kill()

    def _wait(self) -> Optional[int]:
        """The worker's exit status (negative: the signal that ended it), or None when it cannot
        be known: where this process ignores SIGCHLD the system reaps its children itself, and
        subprocess would report 0 then."""
        if _WINDOWS:
            return self._process.wait()
        try:
            _, status = os.waitpid(self._process.pid, 0)
        except ChildProcessError:
            self._process.poll()  # subprocess's own record of the end
            return None
        self._process.returncode = os.waitstatus_to_exitcode(status)
        return self._process.returncode

    # --- the iterator ----------------------------------------------------------------------

    def __iter__(self):
        return self

    def __next__(self):
        while not self._cancelled and not self._finished:
            line = self._lines.get()
            if line is None or self._cancelled:
                break
            record = _record(line)
            if isinstance(record, Words):
                self._end = record.end
            return record
        self._finish()
        raise StopIteration

    def _finish(self):
        """Waits for the worker's exit, once, and raises WorkerError when it failed."""
        with self._finishing:
            if self._finished:
                return
            self._finished = True
            status = self._wait()
            self._end_probe()
            for thread in self._readers:
                thread.join()
            for stream in (self._process.stdin, self._process.stdout, self._process.stderr):
                try:
                    stream.close()
                except OSError:
                    pass
        if self._cancelled:
            return
        if status == 0:
            self._succeeded = True
            return
        stderr = self._stderr.decode("utf-8", errors="replace")
        message = error_text(stderr)
        if message is None:
            name = os.path.basename(self._process.args[0])
            message = f"{name} ended with status {status}" if status is not None else (
                f"the exit status of {name} is unknown ({os.strerror(errno.ECHILD)}): this "
                "process ignores SIGCHLD, or something else waited for the worker")
        raise WorkerError(message, status, stderr)

    @property
    def progress(self) -> Optional[float]:
        """The share of the media (or of the range) transcribed so far, 0 to 1, and 1 once the
        run has succeeded; None while the duration is not known (ffmpeg has not read it yet, or
        could not, or the media is not a regular file)."""
        if self._succeeded:
            return 1.0
        duration = self._duration
        if duration is None:
            return None
        last = min(duration, self._last) if self._last is not None else duration
        if last <= self._first:
            return 1.0
        return max(0.0, min(1.0, (self._end - self._first) / (last - self._first)))

    def cancel(self):
        """Stops the worker through its standard input, and ends the duration probe; the
        iteration then ends without an error. The worker ends its decoder and exits within
        about two seconds."""
        self._cancelled = True
        try:
            self._process.stdin.close()
        except OSError:
            pass
        self._end_probe()
        self._lines.put(None)  # wakes an iteration waiting on another thread

    def close(self):
        """Cancels the run unless it is over, and waits until the worker has exited."""
        if not self._finished:
            self.cancel()
            self._finish()

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()
        return False


def transcribe(media, *, model, ffmpeg, worker=None, start=None, end=None, batch=None,
               provider=None) -> Run:
    """Starts transcribe-worker on `media`. Paths are made absolute here, so they mean what they
    mean in this process wherever the worker and ffmpeg run. FileNotFoundError when `ffmpeg` or
    `worker` is a bare name that is not on PATH: nothing is started then."""
    ffmpeg = _program(ffmpeg)
    media = os.path.abspath(os.fspath(media))
    args = [_program(worker) if worker is not None else find_worker(),
            "--model", os.path.abspath(os.fspath(model)), "--ffmpeg", ffmpeg]
    if start is not None:
        args += ["--start", _number(start)]
    if end is not None:
        args += ["--end", _number(end)]
    if batch is not None:
        args += ["--batch", str(int(batch))]
    if provider is not None:
        args += ["--provider", provider]
    args += ["--exit-on-stdin-close", media]
    first = max(0.0, float(start)) if start is not None else 0.0
    return Run(args, media, ffmpeg, first, float(end) if end is not None else None)
