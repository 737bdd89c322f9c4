#!/usr/bin/python3
"""Measures an exported model through transcribe-worker (ffmpeg decoding, the 20-30 s cutting).

  evaluate_worker.py --data DIR --model models/synthetic-en --worker build/linux/transcribe-worker
                     --out DIR [--parts wer,times,long]

wer:   the test set's utterances of each held-out voice and condition (clean, noisy) joined
       into one file (0.3-0.8 s of pauses between them), encoded as MP3, Opus and AAC by ffmpeg;
       WER of the worker's words against the joined sentences, per voice, condition and codec.
times: held-out sentences spoken word by word by the held-out voices, each word's sound found by
       its level and placed with known silences (0.25-0.6 s) between words; each reported word
       matched to its reference word (edit-distance alignment), start and end errors.
long:  a continuous reading of at least 3 minutes (sentences with 0.15-0.3 s pauses, so most
       cuts fall inside running speech) through the worker, against the same sentences decoded
       one by one by the library (uncut): the WER difference; and against the whole reading
       decoded by the library as one piece, which separates what the cuts cost from what the
       length costs.
"""
import argparse
import json
import subprocess
import sys
import wave
from pathlib import Path

import numpy as np

HERE = Path(__file__).resolve().parent
sys.path.insert(0, str(HERE))
sys.path.insert(0, str(HERE.parent))
import held_out  # noqa: E402
import speech  # noqa: E402
from score import align, edit_distance, words_of  # noqa: E402

SR = speech.SAMPLE_RATE
CODECS = {"mp3": ["-c:a", "libmp3lame", "-b:a", "64k"], "opus": ["-c:a", "libopus", "-b:a", "32k"],
          "m4a": ["-c:a", "aac", "-b:a", "64k"]}


def read_wav(path):
    with wave.open(str(path)) as reader:
        data = reader.readframes(reader.getnframes())
    return np.frombuffer(data, dtype="<i2").astype(np.float32) / 32768.0


def run_worker(worker, model, media):
    done = subprocess.run([str(worker), "--model", str(model), "--ffmpeg", "/usr/bin/ffmpeg",
                           str(media)], capture_output=True, text=True)
    if done.returncode != 0:
        raise SystemExit(f"evaluate: worker failed on {media}: {done.stderr[-500:]}")
    words = []
    for line in done.stdout.splitlines():
        record = json.loads(line)
        words += record.get("words", [])
    return words


def encode(wav, codec, out):
    subprocess.run(["ffmpeg", "-v", "error", "-y", "-i", str(wav)] + CODECS[codec] + [str(out)],
                   check=True)


def wer(ref_words, hyp_words):
    return edit_distance(ref_words, hyp_words), len(ref_words)


def part_wer(data, model, worker, out, rng):
    rows = [line.split("\t") for line in (data / "test/index.tsv").read_text().splitlines()]
    groups = {}
    for uid, _, _, voice, text in rows:
        condition = uid.split("-")[-2]
        groups.setdefault((voice, condition), []).append((uid, text))
    results = []
    for (voice, condition), items in sorted(groups.items()):
        pieces, texts = [], []
        for uid, text in items:
            pieces.append(read_wav(data / "test/wav" / f"{uid}.wav"))
            pieces.append(np.zeros(int(rng.uniform(0.3, 0.8) * SR), dtype=np.float32))
            texts.append(text)
        joined = out / f"test-{voice}-{condition}.wav"
        speech.write_wav(joined, np.concatenate(pieces))
        ref = words_of(" ".join(texts))
        for codec in CODECS:
            media = joined.with_suffix("." + codec)
            encode(joined, codec, media)
            hyp = [w["text"] for w in run_worker(worker, model, media)]
            e, n = wer(ref, words_of(" ".join(hyp)))
            results.append({"voice": voice, "condition": condition, "codec": codec,
                            "seconds": round(sum(p.size for p in pieces) / SR, 1),
                            "words": n, "errors": e, "wer": e / n})
            print(f"wer: {voice} {condition} {codec}: {100 * e / n:.2f} % ({e}/{n})", flush=True)
    return results


def part_times(data, model, worker, out, seed, sentences=12):
    texts = (data / "text/test.txt").read_text().splitlines()[:sentences]
    results = []
    for voice_name in speech.HELD_OUT_VOICES:
        audio, truth = held_out.word_by_word(texts, voice_name, seed)
        wav = out / f"times-{voice_name}.wav"
        speech.write_wav(wav, audio)
        hyp = run_worker(worker, model, wav)
        pairs = align([t[0] for t in truth],
                      [words_of(w["text"])[0] if words_of(w["text"]) else "" for w in hyp],
                      [t[1] for t in truth], [w["start"] for w in hyp])
        matched = [(i, j) for i, j in pairs
                   if truth[i][0] == " ".join(words_of(hyp[j]["text"]))]
        start_err = [abs(hyp[j]["start"] - truth[i][1]) for i, j in matched]
        end_err = [abs(hyp[j]["end"] - truth[i][2]) for i, j in matched]
        both = start_err + end_err
        def stat(values, fn):
            return float(fn(values)) if values else None

        result = {"voice": voice_name, "reference_words": len(truth),
                  "matched_words": len(start_err),
                  "start_error_mean": stat(start_err, np.mean),
                  "start_error_max": stat(start_err, np.max),
                  "end_error_mean": stat(end_err, np.mean), "end_error_max": stat(end_err, np.max),
                  "within_0.2s": stat(both, lambda v: np.mean(np.array(v) <= 0.2))}
        (out / f"times-{voice_name}.json").write_text(json.dumps(
            {"truth": truth, "hyp": hyp}, indent=0))
        print(f"times: {json.dumps(result)}", flush=True)
        results.append(result)
    return results


def part_long(data, model, worker, out, rng, minutes=3.2):
    import sherpa_ctypes
    rows = [line.split("\t") for line in (data / "test/index.tsv").read_text().splitlines()]
    pieces, texts, singles = [], [], []
    total = 0
    for uid, _, _, voice, text in rows:
        if "-clean-" not in uid:
            continue
        samples = read_wav(data / "test/wav" / f"{uid}.wav")
        a, b = speech.sound_span(samples)
        samples = samples[max(0, a - 800):b + 800]
        pieces += [samples, np.zeros(int(rng.uniform(0.15, 0.3) * SR), dtype=np.float32)]
        texts.append(text)
        singles.append(samples)
        total += samples.size + pieces[-1].size
        if total >= minutes * 60 * SR:
            break
    reading = np.concatenate(pieces)
    wav = out / "long-reading.wav"
    speech.write_wav(wav, reading)
    ref = words_of(" ".join(texts))
    hyp = [w["text"] for w in run_worker(worker, model, wav)]
    e_cut, n = wer(ref, words_of(" ".join(hyp)))
    recognizer = sherpa_ctypes.Recognizer(model)
    uncut = []
    for samples in singles:
        uncut += words_of(json.loads(recognizer.decode(samples))["text"])
    e_uncut, _ = wer(ref, uncut)
    # The whole reading as one piece: what the cuts alone cost, apart from the length.
    e_whole, _ = wer(ref, words_of(json.loads(recognizer.decode(reading))["text"]))
    result = {"seconds": round(total / SR, 1), "sentences": len(texts), "words": n,
              "wer_worker_cut": e_cut / n, "wer_uncut": e_uncut / n,
              "difference": (e_cut - e_uncut) / n, "wer_whole_uncut": e_whole / n,
              "difference_to_whole": (e_cut - e_whole) / n}
    print(f"long: {json.dumps(result)}", flush=True)
    return result


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--data", type=Path, required=True)
    parser.add_argument("--model", type=Path, required=True)
    parser.add_argument("--worker", type=Path, required=True)
    parser.add_argument("--out", type=Path, required=True)
    parser.add_argument("--parts", default="wer,times,long")
    parser.add_argument("--seed", type=int, default=77)
    args = parser.parse_args()
    args.out.mkdir(parents=True, exist_ok=True)
    rng = np.random.default_rng(args.seed)
    report = {}
    parts = args.parts.split(",")
    if "wer" in parts:
        report["wer"] = part_wer(args.data, args.model, args.worker, args.out, rng)
    if "times" in parts:
        report["times"] = part_times(args.data, args.model, args.worker, args.out, 9)
    if "long" in parts:
        report["long"] = part_long(args.data, args.model, args.worker, args.out, rng)
    (args.out / "report.json").write_text(json.dumps(report, indent=1))


if __name__ == "__main__":
    main()
