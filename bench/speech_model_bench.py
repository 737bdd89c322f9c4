#!/usr/bin/python3
"""The worker against the speech library's own load and recognition, on spoken English with the
committed speech model (models/synthetic-en), one run each.

  /usr/bin/python3 bench/speech_model_bench.py [--worker build/linux/transcribe-worker]
                                               [--minutes 10] [--out build/linux/speech-bench]

The audio: the model's held-out test sentences read by its two held-out voices, one after another
with 0.3-0.8 s pauses, until there are --minutes of it (a 16-bit WAV). The library: the Linux
libsherpa-onnx-c-api.so through ctypes, one thread, the recognizer created and the audio decoded
in 30 s pieces one after another. The worker: the whole process on the WAV (ffmpeg decoding, the
20-30 s cutting, one decode thread of one inference thread on this 2-core machine).
"""
import argparse
import json
import subprocess
import sys
import time
from pathlib import Path

import numpy as np

ROOT = Path(__file__).resolve().parents[1]
MODEL = ROOT / "models/synthetic-en"
sys.path.insert(0, str(ROOT / "tools"))
sys.path.insert(0, str(ROOT / "tools/synthetic_en"))
import held_out  # noqa: E402
import sherpa_ctypes  # noqa: E402
import speech  # noqa: E402
from score import edit_distance, words_of  # noqa: E402

SR = speech.SAMPLE_RATE


def spoken_audio(minutes):
    """(samples, text) of at least `minutes` of held-out reading."""
    sentences = (MODEL / "test-sentences.txt").read_text().splitlines()
    pieces, texts, total, round_ = [], [], 0, 0
    while total < minutes * 60 * SR:
        for v, voice in enumerate(speech.HELD_OUT_VOICES):
            chunk = sentences[(round_ * 10) % len(sentences):][:10]
            pieces.append(held_out.reading(chunk, voice, seed=1000 + 2 * round_ + v))
            texts += chunk
            total += pieces[-1].size
        round_ += 1
    return np.concatenate(pieces), " ".join(texts)


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--worker", type=Path, default=ROOT / "build/linux/transcribe-worker")
    parser.add_argument("--minutes", type=float, default=10.0)
    parser.add_argument("--out", type=Path, default=ROOT / "build/linux/speech-bench")
    args = parser.parse_args()
    args.out.mkdir(parents=True, exist_ok=True)
    wav = args.out / "reading.wav"
    samples, text = spoken_audio(args.minutes)
    speech.write_wav(wav, samples)
    samples = speech.to_int16(samples).astype(np.float32) / 32768.0  # what the file holds
    seconds = samples.size / SR
    reference = words_of(text)

    started = time.perf_counter()
    library_words = []
    with sherpa_ctypes.Recognizer(MODEL, num_threads=1) as recognizer:
        for first in range(0, samples.size, 30 * SR):
            result = json.loads(recognizer.decode(samples[first:first + 30 * SR]))
            library_words += words_of(result["text"])
    library_seconds = time.perf_counter() - started

    started = time.perf_counter()
    done = subprocess.run([str(args.worker), "--model", str(MODEL), "--ffmpeg", "/usr/bin/ffmpeg",
                           str(wav)], capture_output=True, text=True, check=True)
    worker_seconds = time.perf_counter() - started
    worker_words = words_of(" ".join(w["text"] for line in done.stdout.splitlines()
                                     for w in json.loads(line).get("words", [])))

    for name, took, words in (("library", library_seconds, library_words),
                              ("worker", worker_seconds, worker_words)):
        errors = edit_distance(reference, words)
        print(f"{name}: {took:.2f} s for {seconds:.1f} s of audio (real-time factor "
              f"{took / seconds:.4f}), WER {100 * errors / len(reference):.2f} %")
    print(f"worker / library: {worker_seconds / library_seconds:.3f}")


if __name__ == "__main__":
    main()
