#!/usr/bin/python3
"""Checks an exported directory against its PyTorch checkpoint on held-out WAVs: the speech
library (through ctypes, one stream at a time and batched) must give the same tokens at the same
frames as PyTorch's greedy TDT search over tools/mel_features.py's features. Equal tokens over
many utterances show that the training features are the library's and that the export is
faithful; it prints both WERs.

  check_export.py --data DIR --checkpoint EXP/last.pt --model models/synthetic-en [--count N]
"""
import argparse
import json
import sys
import wave
from pathlib import Path

import numpy as np
import torch

HERE = Path(__file__).resolve().parent
sys.path.insert(0, str(HERE))
sys.path.insert(0, str(HERE.parent))
import sherpa_ctypes  # noqa: E402
import train  # noqa: E402
from score import word_errors  # noqa: E402


def read_wav(path):
    with wave.open(str(path)) as reader:
        data = reader.readframes(reader.getnframes())
    return np.frombuffer(data, dtype="<i2").astype(np.float32) / 32768.0


def main():
    import sentencepiece as spm
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--data", type=Path, required=True)
    parser.add_argument("--checkpoint", type=Path, required=True)
    parser.add_argument("--model", type=Path, required=True)
    parser.add_argument("--set", default="test")
    parser.add_argument("--count", type=int, default=40)
    args = parser.parse_args()
    torch.set_num_threads(1)
    net, params = train.load_trained(args.checkpoint)
    sp = spm.SentencePieceProcessor(model_file=str(args.data / "lang/bpe.model"))
    rows = [line.split("\t") for line in
            (args.data / args.set / "index.tsv").read_text().splitlines()]
    step = max(1, len(rows) // args.count)
    rows = rows[::step][:args.count]
    symbols = [line.split()[0] for line in (args.model / "tokens.txt").read_text().splitlines()]

    recognizer = sherpa_ctypes.Recognizer(args.model)
    waves = [read_wav(args.data / args.set / "wav" / f"{r[0]}.wav") for r in rows]
    batched = recognizer.decode_batch(waves[:8])
    same = same_batch = tokens_seen = 0
    errors = {"pytorch": [0, 0], "library": [0, 0]}
    for n, (row, samples) in enumerate(zip(rows, waves)):
        hyp = train.greedy_of_samples(net, samples)
        torch_tokens = [sp.id_to_piece(y).replace("\u2581", " ") for y, _, _ in hyp]
        frame_seconds = 0.01 * params.get("subsampling", 8)
        torch_times = [round(t * frame_seconds, 2) for _, t, _ in hyp]
        result = json.loads(recognizer.decode(samples))
        lib_tokens = result["tokens"]
        lib_times = [round(t, 2) for t in result["timestamps"]]
        match = torch_tokens == lib_tokens and torch_times == lib_times
        same += match
        tokens_seen += len(lib_tokens)
        if n < 8:
            same_batch += json.loads(batched[n])["tokens"] == lib_tokens
        if not match:
            print(f"differs: {row[0]}\n  pytorch: {''.join(torch_tokens)}\n"
                  f"  library: {result['text']}")
        for name, text in (("pytorch", sp.decode([y for y, _, _ in hyp])),
                           ("library", result["text"])):
            e, w = word_errors(row[4], text)
            errors[name][0] += e
            errors[name][1] += w
    print(f"check_export: {tokens_seen} tokens in all; {same}/{len(rows)} utterances with the same tokens and times in "
          f"PyTorch and the library; batched decoding equal to single for {same_batch}/8; "
          + ", ".join(f"WER {k} {100 * e / max(1, w):.2f} %" for k, (e, w) in errors.items()))
    del symbols
    return 0 if same == len(rows) else 1


if __name__ == "__main__":
    sys.exit(main())
