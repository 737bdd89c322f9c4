#!/usr/bin/python3
"""Streams hours of synthetic worker records into transcribe-subtitles and reports its time and
peak memory per format, to show that memory stays flat however long the stream is.

    /usr/bin/python3 bench/subtitles_stream.py [build/linux/transcribe-subtitles]
"""
from pathlib import Path
import subprocess
import sys
import time

WORDS_PER_PIECE = 24  # 1 s words, 0.25 s apart: about five words a cue
PIECE_SECONDS = 30.0


def records(hours):
    yield b'{"ready":true}\n'
    for piece in range(int(hours * 3600 / PIECE_SECONDS)):
        base = piece * PIECE_SECONDS
        words = ",".join(
            f'{{"end":{base + 1.25 * i + 1},"start":{base + 1.25 * i},"text":"w{piece}x{i}"}}'
            for i in range(WORDS_PER_PIECE))
        yield f'{{"end":{base + PIECE_SECONDS},"words":[{words}]}}\n'.encode()


def peak_resident_kib(pid):
    for line in Path(f"/proc/{pid}/status").read_text().splitlines():
        if line.startswith("VmHWM:"):
            return int(line.split()[1])
    return 0


def measure(program, form, hours):
    """Wall time and peak resident size (KiB) of one run, the peak read once every record has
    been written to the program (before the end of its input lets it exit)."""
    started = time.monotonic()
    process = subprocess.Popen([program, "--format", form], stdin=subprocess.PIPE,
                               stdout=subprocess.DEVNULL)
    for chunk in records(hours):
        process.stdin.write(chunk)
    process.stdin.flush()
    peak = peak_resident_kib(process.pid)
    process.stdin.close()
    if process.wait() != 0:
        sys.exit(f"{program} failed")
    return time.monotonic() - started, peak


def main():
    program = sys.argv[1] if len(sys.argv) > 1 else "build/linux/transcribe-subtitles"
    print("| format | hours of records | wall time | peak resident memory |")
    print("| --- | --- | --- | --- |")
    for form in ("srt", "json"):
        for hours in (1, 10, 100):
            seconds, peak_kib = measure(program, form, hours)
            print(f"| {form} | {hours} | {seconds:.2f} s | {peak_kib / 1024:.1f} MiB |")


if __name__ == "__main__":
    main()
