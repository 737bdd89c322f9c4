#!/usr/bin/python3
"""Trains the TDT transducer on the prepared data, from scratch or from its last checkpoint.

  train.py --data DIR --exp DIR [--time-budget MINUTES] [--epochs N]

Prints the loss and speed every few dozen steps and the dev WER (held-out sentences by held-out
voices, greedy TDT search as the speech library does it) after every epoch. Stops after --epochs
or when the time budget is spent, whichever comes first; the learning rate follows a cosine over
that time budget (or over --total-steps when given, which makes a rerun step-for-step the same).
Checkpoints (EXP/last.pt) are written every few minutes and after each epoch; a rerun continues
from the last one, at the same batch.

With --workers N (2 by default) N processes of one thread each train together: each step, each
takes the next batch of the epoch's order, and their gradients are averaged (gloo on the local
host); the first process evaluates, logs and writes the checkpoints.
"""
import argparse
import json
import math
import os
import random
import socket
import sys
import time
from pathlib import Path

# One OpenBLAS thread a process: its own second thread only spins here (the same speed at half the
# processor), and the processor goes to the second training process instead.
os.environ.setdefault("OPENBLAS_NUM_THREADS", "1")

import numpy as np
import torch
import torchaudio

HERE = Path(__file__).resolve().parent
sys.path.insert(0, str(HERE))
sys.path.insert(0, str(HERE.parent))
import mel_features  # noqa: E402
import model as tmodel  # noqa: E402
from score import word_errors  # noqa: E402
from tdt_loss import tdt_loss  # noqa: E402

PARAMS = {
    "seed": 42,
    "threads": 1,  # 2 threads: 23 s of audio a second against 43 with 1 (OpenMP waits)
    "workers": 2,  # processes training together, one batch each a step
    # model
    "feat_dim": 80,
    "subsampling": 4,  # 40 ms encoder frames (8 was tried: no learning within the budget)
    "channels": 64,
    "encoder_dim": 192,
    "encoder_hidden": 192,
    "encoder_layers": 2,
    "pred_hidden": 256,
    "pred_layers": 1,
    "joiner_dim": 192,
    "dropout": 0.1,
    # optimisation
    "peak_lr": 1.5e-3,
    "final_lr_fraction": 0.03,
    "warmup_steps": 100,
    "weight_decay": 1e-6,
    "grad_clip": 20.0,
    "max_frames_per_batch": 2500,  # 10 ms frames, padding included (25 s)
    "max_utterances_per_batch": 32,
    "sigma": 0.05,  # TDT logit under-normalisation (training only)
    "rnnt_weight": 0.0,  # share of plain RNN-T loss on the token logits (0.1: 30 % slower)
    "ctc_weight": 0.5,  # CTC on the encoder output (a training-only head): faster alignment
    # longer utterances: from this epoch on, some training sentences are joined end to end into
    # utterances of up to join_max_frames (the worker's pieces are 20-30 s of running speech; the
    # sentences alone are 2-6 s). 0.1 joins about a fifth of the sentences; longer ones cost more
    # than their length (the joiner's lattice grows with frames times tokens).
    "join_from_epoch": 1,
    "join_start": 0.1,
    "join_max_frames": 1200,
    # SpecAugment
    "freq_masks": 0,  # SpecAugment off: the noise is in the data already
    "freq_mask_width": 10,
    "time_masks": 0,
    "time_mask_width": 25,
    # schedule
    "epochs": 12,
    "time_budget_minutes": 80.0,
    "checkpoint_minutes": 5.0,
    "log_every": 10,
    "eval_minutes": 5.0,  # dev WER on a few utterances between epochs
    "eval_utterances": 30,
    "epoch_eval_utterances": 100,
}


def log(message):
    print(f"train {time.strftime('%H:%M:%S')}: {message}", flush=True)


class UtteranceSet:
    """feats.npy + index.tsv of one prepared set, with the texts' token ids."""

    def __init__(self, directory, sp):
        self.feats = np.load(directory / "feats.npy", mmap_mode="r")
        self.rows = []
        for line in (directory / "index.tsv").read_text().splitlines():
            uid, first, frames, voice, text = line.split("\t")
            self.rows.append({"id": uid, "first": int(first), "frames": int(frames),
                              "voice": voice, "text": text, "tokens": sp.encode(text)})

    def features(self, i):
        row = self.rows[i]
        return np.asarray(self.feats[row["first"]:row["first"] + row["frames"]], dtype=np.float32)


def normalise_per_feature(x):
    """What the library does for normalize_type "per_feature": per bin, over the stream's frames,
    (x - mean) / (population standard deviation + 1e-5)."""
    mean = x.mean(axis=0, keepdims=True)
    std = x.std(axis=0, keepdims=True)
    return (x - mean) / (std + 1e-5)


def spec_augment(x, rng, params):
    x = x.copy()
    frames, bins = x.shape
    for _ in range(params["freq_masks"]):
        w = rng.integers(0, params["freq_mask_width"] + 1)
        f0 = rng.integers(0, bins - w + 1)
        x[:, f0:f0 + w] = 0.0
    for _ in range(params["time_masks"]):
        w = min(rng.integers(0, params["time_mask_width"] + 1), frames // 10)
        t0 = rng.integers(0, frames - w + 1)
        x[t0:t0 + w, :] = 0.0
    return x


def training_items(data, params, rng, epoch):
    """The epoch's utterances as lists of sentence indices: single sentences, and from
    join_from_epoch on, groups of consecutive sentences (in a shuffled order) of up to
    join_max_frames, each started in place of a single sentence with the chance join_start."""
    order = list(range(len(data.rows)))
    if epoch < params["join_from_epoch"]:
        return [[i] for i in order]
    rng.shuffle(order)
    items, pos = [], 0
    while pos < len(order):
        group, frames = [order[pos]], data.rows[order[pos]]["frames"]
        pos += 1
        if rng.random() < params["join_start"]:
            while pos < len(order) and (frames + data.rows[order[pos]]["frames"]
                                        <= params["join_max_frames"]):
                group.append(order[pos])
                frames += data.rows[order[pos]]["frames"]
                pos += 1
        items.append(group)
    return items


def make_batches(data, params, epoch):
    """Batches of utterances of similar length, in a seeded order for each epoch; an utterance
    longer than a batch's frames is a batch of its own."""
    rng = random.Random(params["seed"] * 1000 + epoch)
    items = training_items(data, params, rng, epoch)
    length = [sum(data.rows[i]["frames"] for i in item) for item in items]
    order = sorted(range(len(items)), key=lambda k: (length[k], rng.random()))
    batches, current = [], []
    for k in order:
        if current and ((len(current) + 1) * length[k] > params["max_frames_per_batch"]
                        or len(current) >= params["max_utterances_per_batch"]):
            batches.append(current)
            current = []
        current.append(items[k])
    if current:
        batches.append(current)
    rng.shuffle(batches)
    return batches


def collate(data, items, rng=None, params=None):
    """Padded features and targets of a batch: each item a list of sentence indices, joined end
    to end (features, then the normalisation over the whole, as for one stream)."""
    feats = [normalise_per_feature(np.concatenate([data.features(i) for i in item]))
             for item in items]
    if rng is not None:
        feats = [spec_augment(f, rng, params) for f in feats]
    lengths = torch.tensor([len(f) for f in feats])
    x = torch.zeros(len(feats), int(lengths.max()), feats[0].shape[1])
    for j, f in enumerate(feats):
        x[j, :len(f)] = torch.from_numpy(f)
    tokens = [[t for i in item for t in data.rows[i]["tokens"]] for item in items]
    target_lengths = torch.tensor([len(t) for t in tokens])
    targets = torch.zeros(len(tokens), max(1, int(target_lengths.max())), dtype=torch.long)
    for j, t in enumerate(tokens):
        targets[j, :len(t)] = torch.tensor(t)
    return x, lengths, targets, target_lengths


def compute_loss(model, batch, params):
    x, lengths, targets, target_lengths = batch
    joint, enc_lengths, encoded = model.logits(x, lengths, targets)
    v = model.vocab_size + 1
    token_logits, duration_logits = joint.split([v, joint.shape[-1] - v], dim=-1)
    duration_logp = torch.log_softmax(duration_logits, dim=-1)
    loss = tdt_loss(token_logits, duration_logp, targets, enc_lengths, target_lengths,
                    blank=model.vocab_size, durations=tmodel.DURATIONS, sigma=params["sigma"])
    if params["rnnt_weight"] > 0:
        rnnt = torchaudio.functional.rnnt_loss(
            token_logits.contiguous(), targets.int(), enc_lengths.int(), target_lengths.int(),
            blank=model.vocab_size, reduction="mean")
        loss = (1 - params["rnnt_weight"]) * loss + params["rnnt_weight"] * rnnt
    if params["ctc_weight"] > 0:
        ctc_logp = torch.log_softmax(model.ctc_head(encoded), dim=-1).transpose(0, 1)
        ctc = torch.nn.functional.ctc_loss(ctc_logp, targets, enc_lengths, target_lengths,
                                           blank=model.vocab_size, reduction="sum",
                                           zero_infinity=True) / len(targets)
        loss = (1 - params["ctc_weight"]) * loss + params["ctc_weight"] * ctc
    return loss, int(target_lengths.sum())


def decode_set(model, data, sp, indices=None, batch_size=16):
    """Greedy TDT transcripts of the set's utterances (all, or the given ones)."""
    model.eval()
    indices = list(range(len(data.rows))) if indices is None else indices
    texts = {}
    with torch.no_grad():
        for start in range(0, len(indices), batch_size):
            chunk = indices[start:start + batch_size]
            x, lengths, _, _ = collate(data, [[i] for i in chunk])
            encoded, enc_lengths = model.encoder(x, lengths)
            for j, i in enumerate(chunk):
                hyp = tmodel.greedy_tdt(model, encoded[j], int(enc_lengths[j]))
                texts[i] = sp.decode([y for y, _, _ in hyp])
    model.train()
    return texts


def spread(count, total):
    """count indices spread evenly over range(total) (every voice of a set appears)."""
    step = max(1, total // count)
    return list(range(0, total, step))[:count]


def wer_by_voice(data, texts):
    errors, words, per_voice = 0, 0, {}
    for i, hyp in texts.items():
        row = data.rows[i]
        e, n = word_errors(row["text"], hyp)
        errors += e
        words += n
        key = row["voice"]
        pe, pn = per_voice.get(key, (0, 0))
        per_voice[key] = (pe + e, pn + n)
    return errors / max(1, words), {k: e / max(1, n) for k, (e, n) in per_voice.items()}


def build_model(params, vocab_size):
    return tmodel.Transducer(
        vocab_size, params["feat_dim"], params["channels"], params["encoder_dim"],
        params["encoder_hidden"], params["encoder_layers"], params["pred_hidden"],
        params["pred_layers"], params["joiner_dim"], params["dropout"],
        params.get("subsampling", 8))


def load_trained(checkpoint):
    """The checkpoint's model, ready for decoding, and its training parameters."""
    saved = torch.load(checkpoint, map_location="cpu")
    model = build_model(saved["params"], saved["vocab_size"])
    model.load_state_dict(saved["model"])
    model.eval()
    return model, saved["params"]


def greedy_of_samples(model, samples):
    """The greedy TDT search over one stream of 16 kHz samples (features and normalisation as the
    speech library computes them): [(token id, frame, duration)]."""
    feats = normalise_per_feature(mel_features.log_mel(samples).astype(np.float32))
    x = torch.from_numpy(feats)[None]
    with torch.no_grad():
        encoded, lengths = model.encoder(x, torch.tensor([x.shape[1]]))
    return tmodel.greedy_tdt(model, encoded[0], int(lengths[0]))


def learning_rate(params, step, progress):
    warm = min(1.0, (step + 1) / params["warmup_steps"])
    floor = params["final_lr_fraction"]
    cosine = floor + (1 - floor) * 0.5 * (1 + math.cos(math.pi * min(1.0, progress)))
    return params["peak_lr"] * warm * cosine


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--data", type=Path, required=True)
    parser.add_argument("--exp", type=Path, required=True)
    parser.add_argument("--time-budget", type=float, default=PARAMS["time_budget_minutes"],
                        help="minutes of training (this run and the runs it continues)")
    parser.add_argument("--epochs", type=int, default=PARAMS["epochs"])
    parser.add_argument("--eval-minutes", type=float, default=PARAMS["eval_minutes"])
    parser.add_argument("--threads", type=int, default=PARAMS["threads"])
    parser.add_argument("--workers", type=int, default=PARAMS["workers"])
    parser.add_argument("--peak-lr", type=float, default=PARAMS["peak_lr"])
    parser.add_argument("--total-steps", type=int, default=0,
                        help="cosine over this many steps instead of over the time budget")
    args = parser.parse_args()
    params = dict(PARAMS, time_budget_minutes=args.time_budget, epochs=args.epochs,
                  eval_minutes=args.eval_minutes, threads=args.threads, workers=args.workers,
                  peak_lr=args.peak_lr, total_steps=args.total_steps)
    args.exp.mkdir(parents=True, exist_ok=True)
    if params["workers"] == 1:
        train(0, args, params, None)
        return
    with socket.socket() as probe:  # a free port for the processes to meet on
        probe.bind(("127.0.0.1", 0))
        address = f"tcp://127.0.0.1:{probe.getsockname()[1]}"
    torch.multiprocessing.spawn(train, args=(args, params, address), nprocs=params["workers"])


class Team:
    """The training processes' step in common: gradients summed over those that had a batch and
    divided by their number, and the first process's clock and figures shared with the rest."""

    def __init__(self, rank, workers, address):
        self.rank, self.workers = rank, workers
        if workers > 1:
            torch.distributed.init_process_group("gloo", init_method=address, rank=rank,
                                                 world_size=workers)

    def step(self, model, items, elapsed, loss_sum, audio):
        """Averages the gradients in place over the processes that had a batch (`items`
        utterances); returns the first process's elapsed time and the step's loss sum, utterances
        and audio seconds, summed over the processes."""
        grads = [p.grad if p.grad is not None else torch.zeros_like(p)
                 for p in model.parameters()]
        extras = torch.tensor([float(items > 0), elapsed if self.rank == 0 else 0.0, loss_sum,
                               float(items), audio])
        if self.workers > 1:
            flat = torch.cat([g.reshape(-1) for g in grads] + [extras])
            torch.distributed.all_reduce(flat)
            extras = flat[-len(extras):]
            offset = 0
            for p, g in zip(model.parameters(), grads):
                p.grad = flat[offset:offset + g.numel()].view_as(g).clone()
                offset += g.numel()
        for p in model.parameters():
            p.grad.div_(max(1.0, float(extras[0])))
        return float(extras[1]), float(extras[2]), int(extras[3]), float(extras[4])


def train(rank, args, params, address):
    import sentencepiece as spm
    torch.set_num_threads(params["threads"])
    torch.manual_seed(params["seed"])  # the same initial model in every process
    team = Team(rank, params["workers"], address)
    lead = rank == 0

    def note(message):
        if lead:
            log(message)

    sp = spm.SentencePieceProcessor(model_file=str(args.data / "lang/bpe.model"))
    vocab_size = sp.get_piece_size()
    train_set = UtteranceSet(args.data / "train", sp)
    dev_set = UtteranceSet(args.data / "dev", sp)
    model = build_model(params, vocab_size)
    optimizer = torch.optim.AdamW(model.parameters(), lr=params["peak_lr"], betas=(0.9, 0.98),
                                  weight_decay=params["weight_decay"])
    n_params = sum(p.numel() for p in model.parameters())
    hours = sum(r["frames"] for r in train_set.rows) / 100 / 3600
    note(f"{n_params} parameters; {len(train_set.rows)} training utterances ({hours:.2f} h), "
         f"{len(dev_set.rows)} dev utterances; params {json.dumps(params)}")

    state = {"epoch": 0, "batch": 0, "step": 0, "elapsed": 0.0, "history": []}
    checkpoint = args.exp / "last.pt"
    if checkpoint.exists():
        saved = torch.load(checkpoint)
        model.load_state_dict(saved["model"])
        optimizer.load_state_dict(saved["optimizer"])
        state = saved["state"]
        note(f"continuing from epoch {state['epoch']} batch {state['batch']} step "
             f"{state['step']} after {state['elapsed'] / 60:.1f} min")
    torch.manual_seed(params["seed"] * 100 + rank * 10 + state["step"])  # dropout, per process

    def save():
        tmp = checkpoint.with_suffix(".tmp")
        torch.save({"model": model.state_dict(), "optimizer": optimizer.state_dict(),
                    "state": state, "params": params, "vocab_size": vocab_size}, tmp)
        tmp.replace(checkpoint)

    budget = params["time_budget_minutes"] * 60
    started = time.time() - state["elapsed"]
    last_save = last_eval = time.time()
    model.train()
    out_of_time = state["elapsed"] >= budget
    while state["epoch"] < params["epochs"] and not out_of_time:
        epoch = state["epoch"]
        batches = make_batches(train_set, params, epoch)
        rng = np.random.default_rng(params["seed"] * 100 + epoch * 10007 + state["batch"] + rank)
        window_loss, window_items, window_audio, window_start = 0.0, 0, 0.0, time.time()
        while state["batch"] < len(batches) and not out_of_time:
            progress = (state["step"] / params["total_steps"] if params["total_steps"]
                        else state["elapsed"] / budget)
            lr = learning_rate(params, state["step"], progress)
            for group in optimizer.param_groups:
                group["lr"] = lr
            optimizer.zero_grad()
            mine = state["batch"] + rank
            items, loss_sum, audio = [], 0.0, 0.0
            if mine < len(batches):
                items = batches[mine]
                batch = collate(train_set, items, rng, params)
                loss, _ = compute_loss(model, batch, params)
                loss.backward()
                loss_sum, audio = loss.item() * len(items), float(batch[1].sum()) / 100
            elapsed, loss_sum, utterances, audio = team.step(
                model, len(items), time.time() - started, loss_sum, audio)
            torch.nn.utils.clip_grad_norm_(model.parameters(), params["grad_clip"])
            optimizer.step()
            state["elapsed"] = elapsed
            out_of_time = elapsed >= budget
            state["step"] += 1
            state["batch"] += params["workers"]
            window_loss += loss_sum
            window_items += utterances
            window_audio += audio
            if state["step"] % params["log_every"] == 0:
                spent = time.time() - window_start
                note(f"epoch {epoch} batch {min(state['batch'], len(batches))}/{len(batches)} "
                     f"step {state['step']} loss {window_loss / max(1, window_items):.3f} "
                     f"lr {lr:.2e} {window_audio / spent:.1f} s audio/s, "
                     f"{state['elapsed'] / 60:.1f} min")
                window_loss, window_items, window_audio, window_start = 0.0, 0, 0.0, time.time()
            if lead and time.time() - last_eval > params["eval_minutes"] * 60:
                texts = decode_set(model, dev_set, sp,
                                   spread(params["eval_utterances"], len(dev_set.rows)))
                wer, _ = wer_by_voice(dev_set, texts)
                note(f"step {state['step']}: dev WER {100 * wer:.2f} % on {len(texts)} utterances")
                last_eval = time.time()
            if lead and time.time() - last_save > params["checkpoint_minutes"] * 60:
                save()
                last_save = time.time()
        finished_epoch = state["batch"] >= len(batches)
        if lead:
            texts = decode_set(model, dev_set, sp,
                               spread(params["epoch_eval_utterances"], len(dev_set.rows)))
            wer, per_voice = wer_by_voice(dev_set, texts)
            label = f"epoch {epoch}" + ("" if finished_epoch else " (stopped by the time budget)")
            note(f"{label}: dev WER {100 * wer:.2f} % (" +
                 ", ".join(f"{k} {100 * v:.2f} %" for k, v in sorted(per_voice.items())) + ")")
            for i in list(texts)[:3]:
                note(f"  ref: {dev_set.rows[i]['text']}\n                    hyp: {texts[i]}")
            state["history"].append({"epoch": epoch, "complete": finished_epoch,
                                     "step": state["step"], "minutes": state["elapsed"] / 60,
                                     "dev_wer": wer, "dev_wer_per_voice": per_voice})
        if finished_epoch:
            state["epoch"] += 1
            state["batch"] = 0
        if lead:
            save()
            torch.save({"model": model.state_dict(), "params": params, "vocab_size": vocab_size},
                       args.exp / f"epoch-{epoch}.pt")
    if lead:
        (args.exp / "history.json").write_text(json.dumps(
            {"parameters": n_params, "training_minutes": state["elapsed"] / 60,
             "steps": state["step"], "history": state["history"], "params": params}, indent=1))
    note(f"done: {state['step']} steps in {state['elapsed'] / 60:.1f} min")


if __name__ == "__main__":
    main()
