"""Drives hosts/python/transcribe_host.py for tests/e2e/test_hosts.py; the Node and C drivers
take the same command line and write the same lines:

    host_driver MODE WORKER MODEL FFMPEG MEDIA...

MODE is read (every record), cancel (cancel after the first words record), idle (read nothing
for 3 s, then cancel), die (kill this process after the first words record) or pipe (one
MEDIA: write its record lines, then "error: TEXT" on a failure, and exit with the worker's
status, for a pipe into transcribe-subtitles). An empty WORKER lets the host find it. Otherwise
the runs go at once and every line is a JSON object naming its run:
    {"run":N,"record":RECORD}
    {"run":N,"error":TEXT,"status":S,"stderr":TEXT}       a failed run
    {"run":N,"done":true,"progress":P}                    a run that ended otherwise
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
    with transcribe(path, model=model, ffmpeg=ffmpeg, worker=worker or None) as run:
        try:
            if mode == "idle":
                time.sleep(3)
                run.cancel()
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
        except WorkerError as error:
            if mode == "pipe":
                sys.stdout.write(f"error: {error.message}\n")
                sys.stdout.flush()
                sys.exit(error.status)
            emit(run=index, error=error.message, status=error.status, stderr=error.stderr)
            return
        if mode != "pipe":
            emit(run=index, done=True, progress=run.progress)


if mode == "pipe":
    drive(0, media[0])  # here, so that sys.exit ends the process with the worker's status
else:
    threads = [threading.Thread(target=drive, args=item) for item in enumerate(media)]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()
