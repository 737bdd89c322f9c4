#!/usr/bin/python3
"""Data preparation of the synthetic English recipe, in numbered stages that skip what is done.

  1  text:     sentences from the fortune files -> DATA/text/{train,dev,test}.txt (seeded split)
  2  vocab:    SentencePiece BPE on the training text -> DATA/lang/bpe.model, tokens.txt
  3  train:    each training sentence spoken by a few training voices, some of them also word
               by word with pauses -> DATA/train/
  4  held-out: dev and test sentences by the held-out voices -> DATA/dev/, DATA/test/
               (the test set in two conditions: clean, and with 10-30 dB SNR noise; WAVs kept)

Each utterance set is a directory with feats.npy (float16 log-mel frames of all utterances one
after another, as the speech library computes them, not normalised), index.tsv (id, first frame,
frames, voice, text) and, for held-out sets, wav/ID.wav.

  prepare.py --data DIR [--stage N] [--stop-stage N] [--seed S] [--jobs J]
"""
import argparse
import multiprocessing
import os
import random
import sys
from pathlib import Path

import numpy as np

HERE = Path(__file__).resolve().parent
sys.path.insert(0, str(HERE))
sys.path.insert(0, str(HERE.parent))
import mel_features  # noqa: E402
import speech  # noqa: E402
import text as corpus_text  # noqa: E402

PARAMS = {
    "seed": 1234,
    "dev_sentences": 100,
    "test_sentences": 200,
    "common_words": 2000,  # the vocabulary: the corpus's most frequent words
    "renditions": 3,  # each training sentence is spoken this many times, each by a voice drawn anew
    "apart_share": 0.15,  # of training sentences, once more with their words spoken one by one
    "vocab_size": 256,  # BPE pieces including <unk>; <blk> comes on top
}


def log(message):
    print(f"prepare: {message}", flush=True)


def stage_text(data, params):
    out = data / "text"
    if (out / "test.txt").exists():
        log("stage 1: text already there")
        return
    sentences, vocabulary = corpus_text.common_word_sentences(corpus_text.corpus(),
                                                              params["common_words"])
    random.Random(params["seed"]).shuffle(sentences)
    n_dev, n_test = params["dev_sentences"], params["test_sentences"]
    splits = {"dev": sentences[:n_dev], "test": sentences[n_dev:n_dev + n_test],
              "train": sentences[n_dev + n_test:]}
    out.mkdir(parents=True, exist_ok=True)
    for name, lines in splits.items():
        (out / f"{name}.txt").write_text("".join(s + "\n" for s in lines))
    (out / "vocabulary.txt").write_text("".join(w + "\n" for w in sorted(vocabulary)))
    log(f"stage 1: {len(sentences)} sentences of {len(vocabulary)} words: " +
        ", ".join(f"{k} {len(v)}" for k, v in splits.items()))


def stage_vocab(data, params):
    import sentencepiece as spm
    out = data / "lang"
    if (out / "tokens.txt").exists():
        log("stage 2: vocabulary already there")
        return
    out.mkdir(parents=True, exist_ok=True)
    spm.SentencePieceTrainer.train(
        input=str(data / "text/train.txt"), model_prefix=str(out / "bpe"),
        vocab_size=params["vocab_size"], model_type="bpe", character_coverage=1.0,
        unk_id=0, bos_id=-1, eos_id=-1, pad_id=-1, input_sentence_size=100000000,
        shuffle_input_sentence=False, num_threads=1, minloglevel=2)
    sp = spm.SentencePieceProcessor(model_file=str(out / "bpe.model"))
    # NeMo's layout: the pieces in id order (<unk> first), then <blk> with the next id.
    lines = [f"{sp.id_to_piece(i)} {i}" for i in range(sp.get_piece_size())]
    lines.append(f"<blk> {sp.get_piece_size()}")
    (out / "tokens.txt").write_text("\n".join(lines) + "\n")
    log(f"stage 2: {sp.get_piece_size()} pieces plus <blk>")


def _make(job):
    seed, text, held_out, noisy, apart, wav_path = job
    label, samples = speech.training_utterance(seed, text, held_out=held_out, noisy=noisy,
                                               apart=apart)
    if wav_path:
        speech.write_wav(wav_path, samples)
        samples = speech.to_int16(samples).astype(np.float32) / 32768.0  # what a reader gets
    feats = mel_features.log_mel(samples).astype(np.float16)
    return label, feats


def write_set(out, jobs, texts, ids, processes):
    """Runs the jobs (in order, results in order) and writes feats.npy and index.tsv."""
    tmp = out.with_name(out.name + ".partial")
    tmp.mkdir(parents=True, exist_ok=True)
    (tmp / "wav").mkdir(exist_ok=True)
    jobs = [(seed, t, h, n, a, str(tmp / "wav" / w) if w else None)
            for seed, t, h, n, a, w in jobs]
    feats, rows, first = [], [], 0
    with multiprocessing.Pool(processes) as pool:
        for i, (label, f) in enumerate(pool.imap(_make, jobs, chunksize=8)):
            feats.append(f)
            rows.append(f"{ids[i]}\t{first}\t{len(f)}\t{label}\t{texts[i]}")
            first += len(f)
            if (i + 1) % 1000 == 0:
                log(f"  {out.name}: {i + 1}/{len(jobs)} utterances, {first / 100 / 3600:.2f} h")
    np.save(tmp / "feats.npy", np.concatenate(feats))
    (tmp / "index.tsv").write_text("\n".join(rows) + "\n")
    if not any((tmp / "wav").iterdir()):
        (tmp / "wav").rmdir()
    tmp.rename(out)
    log(f"  {out.name}: {len(rows)} utterances, {first / 100 / 3600:.2f} h of audio")


def stage_train(data, params, processes):
    out = data / "train"
    if (out / "index.tsv").exists():
        log("stage 3: training set already there")
        return
    sentences = (data / "text/train.txt").read_text().splitlines()
    texts = [s for _ in range(params["renditions"]) for s in sentences]
    apart = random.Random(params["seed"]).sample(
        sentences, int(params["apart_share"] * len(sentences)))
    jobs = [(params["seed"] * 1000003 + i, s, None, None, i >= len(texts), None)
            for i, s in enumerate(texts + apart)]
    texts += apart
    write_set(out, jobs, texts, [f"train-{i:05d}" for i in range(len(texts))], processes)


def stage_held_out(data, params, processes):
    for name, conditions in (("dev", [None]), ("test", [False, True])):
        out = data / name
        if (out / "index.tsv").exists():
            log(f"stage 4: {name} set already there")
            continue
        sentences = (data / f"text/{name}.txt").read_text().splitlines()
        jobs, texts, ids = [], [], []
        for v, voice in enumerate(speech.HELD_OUT_VOICES):
            for noisy in conditions:
                for i, s in enumerate(sentences):
                    # Clean and noisy test copies share the seed: the same speech, noise added.
                    seed = params["seed"] * 7919 + (1 if name == "dev" else 2) * 100000 + \
                        v * 10000 + i
                    condition = {None: "mixed", False: "clean", True: "noisy"}[noisy]
                    uid = f"{name}-{voice}-{condition}-{i:04d}"
                    jobs.append((seed, s, voice, noisy, False, uid + ".wav"))
                    texts.append(s)
                    ids.append(uid)
        write_set(out, jobs, texts, ids, processes)


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--data", type=Path, required=True)
    parser.add_argument("--stage", type=int, default=1)
    parser.add_argument("--stop-stage", type=int, default=4)
    parser.add_argument("--seed", type=int, default=PARAMS["seed"])
    parser.add_argument("--jobs", type=int, default=min(2, os.cpu_count() or 1))
    args = parser.parse_args()
    params = dict(PARAMS, seed=args.seed)
    stages = {1: lambda: stage_text(args.data, params), 2: lambda: stage_vocab(args.data, params),
              3: lambda: stage_train(args.data, params, args.jobs),
              4: lambda: stage_held_out(args.data, params, args.jobs)}
    for number in range(args.stage, args.stop_stage + 1):
        stages[number]()


if __name__ == "__main__":
    main()
