#!/usr/bin/python3
"""transcribe-many against the worker run once per file, one run each (Linux build).

  /usr/bin/python3 bench/many_files_bench.py clips [--clips 200] [--round 50]
  /usr/bin/python3 bench/many_files_bench.py big [--big-clips 20]
  /usr/bin/python3 bench/many_files_bench.py long [--files 10] [--minutes 10]
  /usr/bin/python3 bench/many_files_bench.py memory [--files 10000]

clips: tone-encoded clips of 10 s (one piece each) with the tone-heavy model: the speech
library's recognition alone (ctypes, the model loaded before the clock starts, as many threads
as transcribe-many decodes on), transcribe-many, and the worker once per file, one at a time
and two side by side, taking turns over rounds of the clips.
big: transcribe-many and the worker once per file with a model whose encoder carries 600 MiB of
weights (what a real 0.6 B-parameter int8 export weighs), which only its load reads.
long: files of several minutes, transcribe-many against the worker once per file, in time and in
processor time (the worker decodes on one thread where transcribe-many has several).
memory: many short files (hard links of one clip); transcribe-many's peak resident memory, open
descriptors and threads once 100 and 1,000 files are done and at its last --progress json line.

Outputs go to BUILD/many-bench (--build, default build/linux); the test data come from
tools/make_test_data.py.
"""
import argparse
import concurrent.futures
import json
import os
import resource
import shutil
import subprocess
import sys
import time
from pathlib import Path

import numpy as np

ROOT = Path(__file__).resolve().parents[1]
sys.path.insert(0, str(ROOT / "tools"))
import sherpa_ctypes  # noqa: E402
import tone_encoder  # noqa: E402

BUILD = ROOT / "build/linux"  # --build changes it
FFMPEG = "/usr/bin/ffmpeg"
WORDS = ("alpha bravo charlie delta echo foxtrot golf hotel india juliet kilo lima mike "
         "november oscar papa quebec romeo sierra tango uniform victor whiskey").split()
BIG_WEIGHTS = 150 * 1024 * 1024  # float32 values: 600 MiB


def make_clips(folder, count, seconds):
    folder.mkdir(parents=True, exist_ok=True)
    paths = []
    for i in range(count):
        path = folder / f"clip-{i:05d}.wav"
        if not path.exists():
            text = " ".join(WORDS[(i + k) % len(WORDS)] for k in range(3 + i % 4))
            audio = tone_encoder.synthesize(text, duration=seconds, seed=i)
            tone_encoder.write_wav(path, audio.samples)
        paths.append(path)
    return paths


def make_big_model(source, target):
    """`source` with 600 MiB of weights that the encoder reduces to an exact zero: ONNX Runtime
    folds them away while loading, so they cost a load and nothing else."""
    import onnx
    from onnx import helper, numpy_helper
    if (target / "encoder.int8.onnx").exists():
        return target
    target.mkdir(parents=True, exist_ok=True)
    for name in ("decoder.int8.onnx", "joiner.int8.onnx", "tokens.txt"):
        shutil.copy(source / name, target / name)
    model = onnx.load(str(source / "encoder.int8.onnx"))
    graph = model.graph
    weights = np.full(BIG_WEIGHTS, 1e-3, dtype=np.float32)
    graph.initializer.append(numpy_helper.from_array(weights, "big_weights"))
    graph.initializer.append(numpy_helper.from_array(np.array(0.0, np.float32), "big_zero"))
    last = next(n for n in graph.node if "encoder_out" in n.output)
    last_input = last.input[0]
    graph.node.extend([
        helper.make_node("ReduceSum", ["big_weights"], ["big_sum"], keepdims=0),
        helper.make_node("Mul", ["big_sum", "big_zero"], ["big_nothing"]),
        helper.make_node("Add", [last_input, "big_nothing"], ["big_out"]),
    ])
    last.input[0] = "big_out"
    onnx.save(model, str(target / "encoder.int8.onnx"))
    return target


def timed(command, **kwargs):
    began = time.perf_counter()
    subprocess.run(command, check=True, stdout=subprocess.DEVNULL, **kwargs)
    return time.perf_counter() - began


def worker_once(model, clip):
    return subprocess.run([str(BUILD / "transcribe-worker"), "--model", str(model), "--ffmpeg",
                           FFMPEG, str(clip)], check=True, capture_output=True).stdout


def per_file_workers(model, clips, side_by_side):
    began = time.perf_counter()
    with concurrent.futures.ThreadPoolExecutor(side_by_side) as pool:
        list(pool.map(lambda clip: worker_once(model, clip), clips))
    return time.perf_counter() - began


def many(model, clips, out, *extra):
    shutil.rmtree(out, ignore_errors=True)
    listing = out.with_suffix(".list")
    listing.write_text("".join(f"{clip}\n" for clip in clips))
    return timed([str(BUILD / "transcribe-many"), "--model", str(model), "--ffmpeg", FFMPEG,
                  "--formats", "jsonl", "--out", str(out), *extra, str(listing)])


def recognition_alone(model, clips, threads):
    """The clips' samples decoded by the library, one stream each on `threads` threads, with
    the recognizer made before the clock starts."""
    waves = [tone_encoder.read_wav(clip).astype(np.float32) / 32768.0 for clip in clips]
    recognizers = [sherpa_ctypes.Recognizer(model, num_threads=1) for _ in range(threads)]
    began = time.perf_counter()
    with concurrent.futures.ThreadPoolExecutor(threads) as pool:
        list(pool.map(lambda item: recognizers[item[0] % threads].decode(item[1]),
                      enumerate(waves)))
    took = time.perf_counter() - began
    for recognizer in recognizers:
        recognizer.close()
    return took


def row(name, seconds, files, many_seconds=None):
    ratio = f"{seconds / many_seconds:.2f}" if many_seconds else ""
    print(f"| {name} | {seconds:.1f} s | {files / seconds:.2f} | {ratio} |")


def clips_bench(options):
    heavy = BUILD / "test-data/models/tone-heavy"
    clips = make_clips(WORK / "clips", options.clips, 10.0)
    threads = options.threads
    # The runs take turns over rounds of the clips, so that a machine busy with other work
    # slows each of them alike; transcribe-many loads the model once a round.
    rounds = [clips[i:i + options.round] for i in range(0, len(clips), options.round)]
    alone = whole = one = two = 0.0
    for group in rounds:
        alone += recognition_alone(heavy, group, threads)
        whole += many(heavy, group, WORK / "out-many")
        one += per_file_workers(heavy, group, 1)
        two += per_file_workers(heavy, group, 2)
    print(f"{len(clips)} clips of 10 s, tone-heavy, {os.cpu_count()} processors, in "
          f"{len(rounds)} rounds\n")
    print("| run | time | files a second | transcribe-many's throughput / this |")
    print("| --- | --- | --- | --- |")
    row(f"recognition alone ({threads} threads)", alone, len(clips))
    row("transcribe-many", whole, len(clips))
    row("worker per file, one at a time", one, len(clips), whole)
    row("worker per file, two side by side", two, len(clips), whole)
    print(f"\ntranscribe-many / recognition alone: {whole / alone:.3f}; throughput against the "
          f"worker one at a time {one / whole:.2f}, two side by side {two / whole:.2f}")


def big_model_bench(options):
    heavy = BUILD / "test-data/models/tone-heavy"
    few = make_clips(WORK / "clips", options.big_clips, 10.0)
    big = make_big_model(heavy, WORK / "model-600mb")
    print(f"\n{len(few)} clips, the tone-heavy model with 600 MiB of weights\n")
    print("| run | time | files a second | transcribe-many's throughput / this |")
    print("| --- | --- | --- | --- |")
    whole = many(big, few, WORK / "out-many-big")
    one = per_file_workers(big, few, 1)
    load = timed([str(BUILD / "transcribe-worker"), "--model", str(big), "--ffmpeg", FFMPEG,
                  str(BUILD / "test-data/media/silence-3s.wav")])
    row("transcribe-many", whole, len(few))
    row("worker per file, one at a time", one, len(few), whole)
    print(f"\nthroughput against the worker one at a time: {one / whole:.2f}; one worker run on "
          f"3 s of silence (mostly the load): {load:.2f} s")


def processor_seconds(run):
    """What `run` returns, and the processor time (user and system) of the processes it ran and
    of theirs (ffmpeg)."""
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    result = run()
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    return result, (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)


def long_bench(options):
    heavy = BUILD / "test-data/models/tone-heavy"
    files = make_clips(WORK / "long", options.files, options.minutes * 60)
    whole, whole_cpu = processor_seconds(lambda: many(heavy, files, WORK / "out-long"))
    one, one_cpu = processor_seconds(lambda: per_file_workers(heavy, files, 1))
    print(f"{len(files)} files of {options.minutes:g} min, tone-heavy\n")
    print("| run | time | processor time |")
    print("| --- | --- | --- |")
    print(f"| transcribe-many | {whole:.1f} s | {whole_cpu:.1f} s |")
    print(f"| worker once per file | {one:.1f} s | {one_cpu:.1f} s |")
    print(f"\ntranscribe-many / worker: time {whole / one:.3f}, processor time "
          f"{whole_cpu / one_cpu:.3f}")


def sample(pid):
    status = Path(f"/proc/{pid}/status").read_text()
    fields = dict(line.split(":", 1) for line in status.splitlines() if ":" in line)
    return {"peak_kib": int(fields["VmHWM"].split()[0]), "rss_kib": int(fields["VmRSS"].split()[0]),
            "threads": int(fields["Threads"]), "descriptors": len(os.listdir(f"/proc/{pid}/fd"))}


def memory_bench(options):
    tone = BUILD / "test-data/models/tone"
    folder = WORK / "memory"
    first = make_clips(WORK / "memory-source", 1, 1.0)[0]
    folder.mkdir(parents=True, exist_ok=True)
    clips = []
    for i in range(options.files):
        path = folder / f"m-{i:05d}.wav"
        if not path.exists():
            os.link(first, path)
        clips.append(path)
    out = WORK / "out-memory"
    shutil.rmtree(out, ignore_errors=True)
    listing = out.with_suffix(".list")
    listing.write_text("".join(f"{clip}\n" for clip in clips))
    process = subprocess.Popen([str(BUILD / "transcribe-many"), "--model", str(tone), "--ffmpeg",
                                FFMPEG, "--formats", "jsonl,srt", "--out", str(out), "--progress",
                                "json", str(listing)], stdout=subprocess.DEVNULL,
                               stderr=subprocess.PIPE, text=True)
    marks = {}
    last = None
    began = time.perf_counter()
    for line in process.stderr:
        if not line.startswith("{"):
            continue
        done = json.loads(line).get("files_done", 0)
        try:
            last = (done, sample(process.pid))
        except (FileNotFoundError, ProcessLookupError):
            break  # ended between its line and the sample
        for mark in (100, 1000):
            if done >= mark and mark not in marks:
                marks[mark] = last[1]
    process.wait()
    if last:  # the last progress line comes a second or less before the end
        marks[last[0]] = last[1]
    took = time.perf_counter() - began
    print(f"{options.files} files of 1 s, tone model, jsonl and srt: {took:.0f} s\n")
    print("| files done | peak resident memory | resident now | threads | open descriptors |")
    print("| --- | --- | --- | --- | --- |")
    for mark, taken in sorted(marks.items()):
        print(f"| {mark} | {taken['peak_kib'] / 1024:.1f} MiB | {taken['rss_kib'] / 1024:.1f} MiB"
              f" | {taken['threads']} | {taken['descriptors']} |")


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("bench", choices=["clips", "big", "long", "memory"])
    parser.add_argument("--clips", type=int, default=200)
    parser.add_argument("--big-clips", type=int, default=20)
    parser.add_argument("--round", type=int, default=50, help="clips a round")
    parser.add_argument("--threads", type=int, default=2,
                        help="decode threads of the library-alone run (transcribe-many's here)")
    parser.add_argument("--files", type=int, default=None)
    parser.add_argument("--minutes", type=float, default=10.0)
    parser.add_argument("--build", type=Path, default=ROOT / "build/linux")
    options = parser.parse_args()
    global BUILD, WORK
    BUILD = options.build.resolve()
    WORK = BUILD / "many-bench"
    subprocess.run([sys.executable, str(ROOT / "tools/make_test_data.py"), "--out",
                    str(BUILD / "test-data")], check=True)
    if options.bench == "clips":
        clips_bench(options)
    elif options.bench == "big":
        big_model_bench(options)
    elif options.bench == "long":
        options.files = options.files or 10
        long_bench(options)
    else:
        options.files = options.files or 10000
        memory_bench(options)


if __name__ == "__main__":
    main()
