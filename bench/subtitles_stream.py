#!/usr/bin/python3
"""Streams hours of realistic worker records (bench/record_stream.py) into transcribe-subtitles
and reports, per build and format, its processor time and peak resident memory, to show that
memory stays flat however long the stream is and how fast the cue building is.

    /usr/bin/python3 bench/subtitles_stream.py build/linux/transcribe-subtitles [OTHER ...]

The records are made before the program starts and written to it through a pipe, so the
figures are the program's own: processor time (user and system, the kernel's account of the
finished process) and peak resident size (VmHWM, read once every record has been written; the
kernel's maximum for the process would count the Python process it was forked from).
"""
from pathlib import Path
import os
import subprocess
import sys

sys.path.insert(0, str(Path(__file__).resolve().parent))
import record_stream  # noqa: E402


def peak_resident_kib(pid):
    for line in Path(f"/proc/{pid}/status").read_text().splitlines():
        if line.startswith("VmHWM:"):
            return int(line.split()[1])
    return 0


def measure(program, form, records):
    """Processor seconds and peak resident size (KiB) of one run over `records`."""
    process = subprocess.Popen([program, "--format", form], stdin=subprocess.PIPE,
                               stdout=subprocess.DEVNULL)
    process.stdin.write(records)
    process.stdin.flush()
    peak = peak_resident_kib(process.pid)
    process.stdin.close()
    _, status, usage = os.wait4(process.pid, 0)
    process.returncode = os.waitstatus_to_exitcode(status)
    if process.returncode != 0:
        sys.exit(f"{program} failed")
    return usage.ru_utime + usage.ru_stime, peak


def main():
    programs = sys.argv[1:] or ["build/linux/transcribe-subtitles"]
    print("| build | format | hours of records | words | processor time | words a second "
          "| peak resident memory |")
    print("| --- | --- | --- | --- | --- | --- | --- |")
    for hours in (1, 10, 100):
        records = b"".join(record_stream.records(hours * 60, seed=hours))
        words = records.count(b'"text"')
        for program in programs:
            for form in ("srt", "json"):
                seconds, peak_kib = measure(program, form, records)
                print(f"| {program} | {form} | {hours} | {words:,} | {seconds:.2f} s | "
                      f"{words / seconds:,.0f} | {peak_kib / 1024:.1f} MiB |", flush=True)


if __name__ == "__main__":
    main()
