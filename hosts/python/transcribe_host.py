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
import json
import os
import queue
import shutil
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
    `status` its exit status and `stderr` everything it wrote to standard error."""

    def __init__(self, message: str, status: int, stderr: str):
        super().__init__(message)
        self.message = message
        self.status = status
        self.stderr = stderr


def error_text(stderr: str) -> Optional[str]:
    """The text after the last line that starts with "error: ", to the end (it may span lines;
    lines of the speech library may come before it)."""
    at = stderr.rfind("\nerror: ")
    if at >= 0:
        at += 1
    elif stderr.startswith("error: "):
        at = 0
    else:
        return None
    return stderr[at + len("error: "):].rstrip("\r\n")


def find_worker() -> str:
    """transcribe-worker beside this module, in the package folder it came in, or on PATH."""
    for folder in (_HERE, os.path.dirname(os.path.dirname(_HERE))):
        candidate = os.path.join(folder, _WORKER)
        if os.path.isfile(candidate):
            return candidate
    found = shutil.which(_WORKER)
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
        flags = subprocess.CREATE_NO_WINDOW if _WINDOWS else 0
        # Arguments as a list: no shell, and on Windows the standard quoting of list2cmdline.
        self._process = subprocess.Popen(args, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                         stderr=subprocess.PIPE, creationflags=flags)
        self._lines: "queue.Queue[Optional[bytes]]" = queue.Queue()
        self._stderr = bytearray()
        self._cancelled = False
        self._finished = False
        self._first, self._last = first, last
        self._duration: Optional[float] = None
        self._end = first
        self._readers = [threading.Thread(target=self._read_stdout, daemon=True),
                         threading.Thread(target=self._read_stderr, daemon=True)]
        for reader in self._readers:
            reader.start()
        self._prober = threading.Thread(target=self._probe, args=(media, ffmpeg), daemon=True)
        self._prober.start()

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

    def _probe(self, media, ffmpeg):
        """The media's duration from ffprobe beside ffmpeg, for `progress`; the run's end waits
        for it, so that the progress is final then."""
        ffprobe = os.path.join(os.path.dirname(ffmpeg), "ffprobe" + _EXE)
        if not os.path.isfile(ffprobe):
            return
        try:
            flags = subprocess.CREATE_NO_WINDOW if _WINDOWS else 0
            out = subprocess.run([ffprobe, "-v", "error", "-show_entries", "format=duration",
                                  "-of", "csv=p=0", media], stdin=subprocess.DEVNULL,
                                 capture_output=True, timeout=60, creationflags=flags).stdout
            self._duration = float(out.decode().strip())
        except (OSError, ValueError, subprocess.SubprocessError):
            pass

    # --- the iterator ----------------------------------------------------------------------

    def __iter__(self):
        return self

    def __next__(self):
        while not self._cancelled:
            line = self._lines.get()
            if line is None:
                break
            if self._cancelled:
                break
            record = _record(line)
            if isinstance(record, Words):
                self._end = record.end
            return record
        self._finish()
        raise StopIteration

    def _finish(self):
        if self._finished:
            return
        self._finished = True
        status = self._process.wait()
        for thread in (*self._readers, self._prober):
            thread.join()
        for stream in (self._process.stdin, self._process.stdout, self._process.stderr):
            try:
                stream.close()
            except OSError:
                pass
        if status != 0 and not self._cancelled:
            stderr = self._stderr.decode("utf-8", errors="replace")
            message = error_text(stderr)
            if message is None:
                message = f"{os.path.basename(self._process.args[0])} ended with status {status}"
            raise WorkerError(message, status, stderr)
        if status == 0:
            self._end = self._last if self._last is not None else float("inf")

    @property
    def progress(self) -> Optional[float]:
        """The share of the media (or of the range) transcribed so far, 0 to 1; None while the
        duration is not known (no ffprobe beside ffmpeg, or it could not read the file)."""
        duration = self._duration
        if duration is None:
            return None
        last = min(duration, self._last) if self._last is not None else duration
        if last <= self._first:
            return 1.0
        return max(0.0, min(1.0, (self._end - self._first) / (last - self._first)))

    def cancel(self):
        """Stops the worker through its standard input; the iteration then ends without an
        error. The worker ends its decoder and exits within about two seconds."""
        self._cancelled = True
        try:
            self._process.stdin.close()
        except OSError:
            pass
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
    mean in this process wherever the worker and ffmpeg run."""
    ffmpeg = os.fspath(ffmpeg)
    ffmpeg = os.path.abspath(shutil.which(ffmpeg) or ffmpeg)
    media = os.path.abspath(os.fspath(media))
    args = [os.fspath(worker) if worker is not None else find_worker(),
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
