"""Drives hosts/python/transcribe_host.py for tests/e2e/test_hosts.py; the Node, C and C# drivers
take the same command line and write the same lines:

    host_driver MODE WORKER MODEL FFMPEG MEDIA...

MODE is read (every record), cancel (cancel after the first words record), idle (read nothing
for 3 s, then cancel), wait (cancel from elsewhere, another thread or a timer, 3 s after the
start, while the driver waits for records; Node's driver asks for a second record then and
leaves with return() while both wait), close (leave the run after its first record, the way the
language leaves one early: Python's close(), Node's break out of the loop, C's cancel and
finish), die (kill this process after the first words record) or pipe (one MEDIA: write its
record lines, then "error: TEXT" on a failure, and exit with the worker's status, for a pipe
into transcribe-subtitles). An empty WORKER lets the host find it. Otherwise the runs go at once
and every line is a JSON object naming its run:
    {"run":N,"record":RECORD}
    {"run":N,"error":TEXT,"status":S,"stderr":TEXT}       a failed run; S null when unknown
    {"run":N,"done":true,"progress":P}                    a run that ended otherwise
    {"run":N,"refused":TEXT}                               the host started nothing (a program
                                                           not found)
After the end of a run (its records, a failure, a cancel or a close) the driver asks it once
more for a record before it writes the last line; that must end at once, with no record (or a
record line would come) and no error. A driver leaves the signal dispositions it inherits as
they are (the tests start it with SIGCHLD ignored).
"""
import json
import os
import signal
import sys
import threading
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[2] / "hosts" / "python"))
from transcribe_host import Ready, WorkerError, Words, transcribe  # noqa: E402

mode, worker, model, ffmpeg, *media = sys.argv[1:]
lock = threading.Lock()


def emit(**event):
    with lock:
        sys.stdout.write(json.dumps(event, ensure_ascii=False) + "\n")
        sys.stdout.flush()


def as_json(record):
    if isinstance(record, Ready):
        return {"ready": True}
    assert isinstance(record, Words)
    return {"end": record.end,
            "words": [{"end": w.end, "start": w.start, "text": w.text} for w in record.words]}


def drive(index, path):
    try:
        started = transcribe(path, model=model, ffmpeg=ffmpeg, worker=worker or None)
    except FileNotFoundError as error:
        emit(run=index, refused=str(error))
        return
    with started as run:
        try:
            if mode == "idle":
                time.sleep(3)
                run.cancel()
            if mode == "wait":
                threading.Timer(3, run.cancel).start()
            for record in run:
                if mode == "pipe":
                    sys.stdout.write(json.dumps(as_json(record)) + "\n")
                    sys.stdout.flush()
                    continue
                emit(run=index, record=as_json(record))
                if isinstance(record, Words) and mode == "cancel":
                    run.cancel()
                if isinstance(record, Words) and mode == "die":
                    os.kill(os.getpid(), signal.SIGKILL)
                if mode == "close":
                    run.close()
        except WorkerError as error:
            if mode == "pipe":
                sys.stdout.write(f"error: {error.message}\n")
                sys.stdout.flush()
                sys.exit(error.status if error.status is not None else 1)
            end = {"error": error.message, "status": error.status, "stderr": error.stderr}
        else:
            end = {"done": True, "progress": run.progress}
        for record in run:
            emit(run=index, record=as_json(record))
        if mode != "pipe":
            emit(run=index, **end)


if mode == "pipe":
    drive(0, media[0])  # here, so that sys.exit ends the process with the worker's status
else:
    threads = [threading.Thread(target=drive, args=item) for item in enumerate(media)]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()
