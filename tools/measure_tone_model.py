#!/usr/bin/python3
"""Prints the decode speed of generated models on one thread through the real library (Linux).

    /usr/bin/python3 tools/measure_tone_model.py DIR/models/tone DIR/models/tone-heavy

The real-time factor is decode time over audio time, for one 30 s piece of tone speech decoded
on its own, as wall time and as this process's CPU time (steadier on a busy machine).
"""
import argparse
import json
import sys
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
import sherpa_ctypes  # noqa: E402
import tone_encoder  # noqa: E402

SENTENCE = "the quick brown fox jumps over the lazy dog"


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("models", nargs="+", type=Path)
    parser.add_argument("--seconds", type=float, default=30.0)
    parser.add_argument("--repeat", type=int, default=3)
    args = parser.parse_args()
    audio = tone_encoder.synthesize(SENTENCE, duration=args.seconds)
    wave = audio.floats()
    want = tone_encoder.library_result(
        tone_encoder.recognize(audio.bursts, 0, audio.samples.size))["tokens"]
    for model in args.models:
        size = sum(p.stat().st_size for p in model.iterdir())
        with sherpa_ctypes.Recognizer(model, num_threads=1) as recognizer:
            recognizer.decode(wave[:16000])  # the first run sets up buffers
            wall, cpu = [], []
            for _ in range(args.repeat):
                c0, t0 = time.process_time(), time.perf_counter()
                result = json.loads(recognizer.decode(wave))
                wall.append(time.perf_counter() - t0)
                cpu.append(time.process_time() - c0)
                if result["tokens"] != want:
                    sys.exit(f"{model}: unexpected result")
        print(f"{model.name}: {size} bytes, real-time factor {min(wall) / args.seconds:.4f} "
              f"(wall), {min(cpu) / args.seconds:.4f} (cpu), {len(want)} tokens")


if __name__ == "__main__":
    main()
