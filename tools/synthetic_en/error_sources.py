#!/usr/bin/python3
"""Where a checkpoint's errors come from: its WER (PyTorch greedy TDT search, clean speech made
anew) on training sentences by training voices, on dev sentences by training voices and on dev
sentences by each held-out voice. The first against the second separates unseen sentences from
seen ones; the second against the others, unseen voices from seen ones.

  error_sources.py --data DIR --checkpoint EXP/last.pt [--count N]
"""
import argparse
import sys
from pathlib import Path

import numpy as np
import torch

HERE = Path(__file__).resolve().parent
sys.path.insert(0, str(HERE))
import speech  # noqa: E402
import train  # noqa: E402
from score import word_errors  # noqa: E402


def heard(model, sp, samples):
    """What the model hears in the samples, as a 16-bit WAV would carry them."""
    hyp = train.greedy_of_samples(model, speech.to_int16(samples).astype(np.float32) / 32768.0)
    return sp.decode([y for y, _, _ in hyp])


def wer(model, sp, texts, held_out, seed):
    """Overall and per engine (espeak, flite): errors / words."""
    counts = {}
    for i, text in enumerate(texts):
        label, samples = speech.training_utterance(seed + i, text, held_out=held_out, noisy=False)
        errors, words = word_errors(text, heard(model, sp, samples))
        for key in ("all", label.split("-")[0]):
            e, n = counts.get(key, (0, 0))
            counts[key] = (e + errors, n + words)
    return {key: e / max(1, n) for key, (e, n) in counts.items()}


def main():
    import sentencepiece as spm
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--data", type=Path, required=True)
    parser.add_argument("--checkpoint", type=Path, required=True)
    parser.add_argument("--count", type=int, default=60)
    args = parser.parse_args()
    torch.set_num_threads(1)
    sp = spm.SentencePieceProcessor(model_file=str(args.data / "lang/bpe.model"))
    model, _ = train.load_trained(args.checkpoint)
    sentences = {name: (args.data / f"text/{name}.txt").read_text().splitlines()[:args.count]
                 for name in ("train", "dev")}
    cases = [("training sentences, training voices", "train", None),
             ("dev sentences, training voices", "dev", None)]
    cases += [(f"dev sentences, {voice}", "dev", voice) for voice in speech.HELD_OUT_VOICES]
    for n, (title, name, voice) in enumerate(cases):
        figures = wer(model, sp, sentences[name], voice, 777000 + 1000 * n)
        print(f"{title}: {100 * figures.pop('all'):.1f} %" + "".join(
            f", {key} {100 * value:.1f} %" for key, value in sorted(figures.items())), flush=True)


if __name__ == "__main__":
    main()
