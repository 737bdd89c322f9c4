#!/usr/bin/python3
"""Writes the tone model: a NeMo transducer (TDT) that sherpa-onnx loads as "nemo_transducer".

Its output is known exactly (see tone_alphabet.py): a burst at a token's tone is recognized as that
token, at the 80 ms output frame where the burst's sound begins, with a TDT duration that covers
the rest of the burst; silence and low noise are blank.

The encoder, per stream: frames past the stream's length are replaced by silence (batched decoding
pads with 0.0, which is loud in the log-mel domain); a 10 ms frame is "sound" when its loudest token
bin exceeds SOUND_THRESHOLD, and an onset is sound after no sound. Each 80 ms output frame carries:
  - the token that most sound frames of this and the next output frame have as their loudest
    bin (one-hot);
  - an onset flag (an onset in one of its 10 ms frames);
  - the parity of the number of onsets up to and including it;
  - a duration (one-hot): 1 plus the number of following frames that still hold sound but no
    onset, at most MAX_DURATION, so that the TDT loop skips the rest of a burst but never an onset.
The decoder carries the parity of the number of tokens emitted so far in its state and output.
The joiner emits the frame's token only on an onset frame whose parity differs from the decoder's,
so each burst gives exactly one token however often the search asks about the same frame; logit
gaps of LOGIT_GAP keep greedy and beam search on the same path.

Variants for the failure tests: not-onnx, missing-metadata, tokens-mismatch, missing-files,
bad-graph, missing-weights; "plain" is the same model without TDT durations.

With --export the directory is shaped like a real Parakeet TDT export (EXPORT): 128 feature bins
with feat_dim metadata, 1024 pieces plus <blk> (the tone tokens, the extra tokens of
tone_alphabet and never-emitted filler pieces), decoder states of 2 x 640, the metadata keys of
an export, and an encoder whose token bins are picked by a (bins x tokens) weight matrix. Its
files are *.int8.onnx, or with --external-weights encoder.onnx, decoder.onnx and joiner.onnx with
that matrix in encoder.weights (onnx's external-data format). --normalize-type sets the
normalize_type metadata; with "per_feature" the library normalises every bin of a stream, which
the tone detector cannot undo: such a model loads and runs, but what it hears is not predictable.
With --pieces tokens.txt names some tones by tone_alphabet.PIECES: the bare word-boundary piece,
a digit, CJK characters and punctuation.
"""
import argparse
import math
import sys
from dataclasses import dataclass, replace
from pathlib import Path

import numpy as np
import onnx
from onnx import TensorProto, helper, numpy_helper

sys.path.insert(0, str(Path(__file__).resolve().parent))
import tone_alphabet as ta  # noqa: E402

OPSET = 17
LOGIT_GAP = 40.0
# Extra encoder work of the heavy variant: dense tanh layers over every 10 ms frame.
HEAVY_LAYERS = 10
HEAVY_WIDTH = 2048
# onnx's default: tensors of this many bytes or more go to the external-data file.
EXTERNAL_DATA_THRESHOLD = 1024
WEIGHTS_FILE = "encoder.weights"


@dataclass(frozen=True)
class Shape:
    """What a model directory looks like to the library, apart from what it recognizes."""
    tokens: tuple  # the tone tokens, ids 1, 2, ... in this order
    token_bins: tuple  # the mel bin of each
    num_bins: int  # feature bins (feat_dim)
    vocab_size: int  # ids without the blank; filler pieces fill those past the tone tokens
    pred_rnn_layers: int
    pred_hidden: int
    normalize_type: str
    extended: bool  # the extra tokens of tone_alphabet are among the tokens
    weight_matrix: bool  # the encoder picks its token bins with a weight matrix
    metadata: tuple = ()  # further metadata entries (key, value)
    pieces: tuple = ()  # (tone token, piece it is named in tokens.txt): tone_alphabet.PIECES

    @property
    def tones(self):
        return len(self.tokens)

    @property
    def blank_id(self):
        return self.vocab_size

    @property
    def encoder_dim(self):  # token one-hot, onset, parity, duration one-hot
        return self.tones + 2 + ta.NUM_DURATIONS

    @property
    def onset(self):
        return self.tones

    @property
    def parity(self):
        return self.tones + 1

    @property
    def duration(self):
        return self.tones + 2


TONE = Shape(tokens=tuple(ta.TOKENS), token_bins=tuple(ta.TOKEN_BINS), num_bins=80,
             vocab_size=ta.VOCAB_SIZE, pred_rnn_layers=1, pred_hidden=1, normalize_type="NA",
             extended=False, weight_matrix=False,
             metadata=(("comment", "synthetic tone-alphabet test model, no training"),))
EXPORT = Shape(tokens=tuple(ta.TOKENS + ta.EXTRA_TOKENS), token_bins=tuple(ta.TOKEN_BINS_128),
               num_bins=ta.EXPORT_BINS, vocab_size=1024, pred_rnn_layers=2, pred_hidden=640,
               normalize_type="", extended=True, weight_matrix=True,
               metadata=(("version", "1"), ("model_author", "make_tone_model"),
                         ("comment", "synthetic tone-alphabet model shaped like a Parakeet TDT "
                                     "export, no training")))

VARIANTS = ["not-onnx", "missing-metadata", "tokens-mismatch", "missing-files", "bad-graph",
            "missing-weights", "plain"]
NETWORKS = ["encoder", "decoder", "joiner"]


class Graph:
    """Collects nodes and constants with generated names."""

    def __init__(self, prefix):
        self.prefix = prefix
        self.nodes = []
        self.initializers = []
        self.count = 0

    def name(self, hint):
        self.count += 1
        return f"{self.prefix}{hint}_{self.count}"

    def const(self, value, dtype=np.float32, hint="c"):
        name = self.name(hint)
        self.initializers.append(numpy_helper.from_array(np.asarray(value, dtype=dtype), name))
        return name

    def op(self, op_type, inputs, outputs=1, hint=None, **attrs):
        names = [self.name(hint or op_type.lower()) for _ in range(outputs)]
        self.nodes.append(helper.make_node(op_type, inputs, names, **attrs))
        return names[0] if outputs == 1 else names

    def slice(self, x, start, end, axis):
        return self.op("Slice", [x, start, end, self.const([axis], np.int64)])


def metadata(shape, tdt):
    url = "generated:tone-alphabet-tdt" if tdt else "generated:tone-alphabet"
    return {
        "vocab_size": str(shape.vocab_size),
        "subsampling_factor": str(ta.SUBSAMPLING),
        "pred_rnn_layers": str(shape.pred_rnn_layers),
        "pred_hidden": str(shape.pred_hidden),
        "normalize_type": shape.normalize_type,
        "feat_dim": str(shape.num_bins),
        "model_type": "EncDecRNNTBPEModel",
        "url": url,
        **dict(shape.metadata),
    }


def finish(graph, name, inputs, outputs, meta=None):
    model = helper.make_model(
        helper.make_graph(graph.nodes, name, inputs, outputs, graph.initializers),
        opset_imports=[helper.make_opsetid("", OPSET)], producer_name="make_tone_model")
    model.ir_version = 8
    for key, value in (meta or {}).items():
        entry = model.metadata_props.add()
        entry.key, entry.value = key, value
    onnx.checker.check_model(model)
    return model


def heavy_compute(g, frames, num_bins):
    """Dense tanh layers over (N, T, bins) frames, reduced to (N, T); finite, so x 0 is exact zero.

    The weights are computed from the input at run time: ONNX Runtime can then neither fold them
    into constants nor pre-pack one copy per layer, and the model file stays small.
    """
    zero = g.op("Mul", [g.op("ReduceSum", [frames], keepdims=0), g.const(0.0)])

    def weights(rows, cols):
        phase = g.const(np.linspace(0.0, 3.0, rows, dtype=np.float32)[:, None])
        freq = g.const(np.linspace(0.5, 7.0, cols, dtype=np.float32)[None, :])
        angle = g.op("Add", [g.op("Mul", [phase, freq]), zero])
        return g.op("Mul", [g.op("Cos", [angle]), g.const(1.0 / math.sqrt(rows))])

    h = g.op("Tanh", [g.op("MatMul", [frames, weights(num_bins, HEAVY_WIDTH)])])
    square = weights(HEAVY_WIDTH, HEAVY_WIDTH)
    for _ in range(HEAVY_LAYERS - 1):
        h = g.op("Tanh", [g.op("MatMul", [h, square])])
    return g.op("ReduceMean", [h], axes=[2], keepdims=0)


def token_bins(g, shape, x):
    """The token bins of (N, bins, T) features: (N, tones, T)."""
    if not shape.weight_matrix:
        return g.op("Gather", [x, g.const(shape.token_bins, np.int64)], axis=1)
    # A one-hot matrix picks them, as a real encoder's first layer would weigh all bins; each
    # level is 1 x itself plus zeros, so it comes out exact.
    pick = np.zeros((shape.num_bins, shape.tones), dtype=np.float32)
    pick[list(shape.token_bins), np.arange(shape.tones)] = 1.0
    picked = g.op("MatMul", [g.op("Transpose", [x], perm=[0, 2, 1]), g.const(pick, hint="pick")])
    return g.op("Transpose", [picked], perm=[0, 2, 1])


def make_encoder(shape=TONE, tdt=True, heavy=False, drop_key=None):
    g = Graph("enc/")
    x, lengths = "x", "x_lens"
    i64 = np.int64
    one, zero_f = g.const(1.0), g.const(0.0)
    tones = shape.tones

    # Mask: frames at or past each stream's length become silence in the token bins.
    bins = token_bins(g, shape, x)  # (N, B, T)
    x_shape = g.op("Shape", [x])
    frames = g.slice(x_shape, g.const([2], i64), g.const([3], i64), 0)  # [T]
    time = g.op("Range", [g.const(0, i64), g.op("Squeeze", [frames, g.const([0], i64)]),
                          g.const(1, i64)])
    valid = g.op("Less", [g.op("Unsqueeze", [time, g.const([0], i64)]),
                          g.op("Unsqueeze", [lengths, g.const([1], i64)])])  # (N, T)
    valid = g.op("Unsqueeze", [valid, g.const([1], i64)])
    masked = g.op("Where", [valid, bins, g.const(ta.MASKED_LEVEL)])

    # Pad the time axis to whole output frames plus one more (the "next frame" of the last).
    sub = g.const([ta.SUBSAMPLING], i64)
    out_frames = g.op("Div", [g.op("Add", [frames, g.const([ta.SUBSAMPLING - 1], i64)]), sub])
    padded_frames = g.op("Mul", [g.op("Add", [out_frames, g.const([1], i64)]), sub])
    pads = g.op("Concat", [g.const([0, 0, 0, 0, 0], i64),
                           g.op("Sub", [padded_frames, frames])], axis=0)
    padded = g.op("Pad", [masked, pads, g.const(ta.MASKED_LEVEL)], mode="constant")  # (N,B,Tp)

    # Sound and onsets per 10 ms frame, pooled to output frames.
    level = g.op("ReduceMax", [padded], axes=[1], keepdims=0)  # (N, Tp)
    sound = g.op("Cast", [g.op("Greater", [level, g.const(ta.SOUND_THRESHOLD)])],
                 to=TensorProto.FLOAT)
    before = g.op("Pad", [sound, g.const([0, 1, 0, 0], i64), zero_f], mode="constant")
    before = g.slice(before, g.const([0], i64), padded_frames, 1)
    onset = g.op("Mul", [sound, g.op("Sub", [one, before])])
    grouped = g.const([0, -1, ta.SUBSAMPLING], i64)
    onset_out = g.op("ReduceMax", [g.op("Reshape", [onset, grouped])], axes=[2], keepdims=0)
    sound_out = g.op("ReduceMax", [g.op("Reshape", [sound, grouped])], axes=[2], keepdims=0)
    parity = g.op("Mod", [g.op("CumSum", [onset_out, g.const(1, i64)]), g.const(2.0)], fmod=1)

    # The token: each sound frame votes for its loudest token bin; the most votes over this and
    # the next output frame win. (Summed levels would not do: a tone is barely quieter in the
    # neighbouring bin than in its own, but far louder there than silence or another burst.)
    loudest = g.op("ArgMax", [padded], axis=1, keepdims=1)  # (N, 1, Tp)
    votes = g.op("Cast", [g.op("Equal", [loudest, g.const(np.arange(tones)[None, :, None], i64)])],
                 to=TensorProto.FLOAT)
    votes = g.op("Mul", [votes, g.op("Unsqueeze", [sound, g.const([1], i64)])])
    per_out = g.op("ReduceSum", [g.op("Reshape", [votes, g.const([0, 0, -1, ta.SUBSAMPLING],
                                                                 i64)]),
                                 g.const([3], i64)], keepdims=0)  # (N, B, T'+1)
    this = g.slice(per_out, g.const([0], i64), out_frames, 2)
    nxt = g.slice(per_out, g.const([1], i64), g.op("Add", [out_frames, g.const([1], i64)]), 2)
    best = g.op("ArgMax", [g.op("Add", [this, nxt])], axis=1, keepdims=1)  # (N, 1, T')
    token = g.op("Cast", [g.op("Equal", [best, g.const(np.arange(tones)[None, :, None], i64)])],
                 to=TensorProto.FLOAT)

    # Duration: 1 + the run of following frames with sound but no onset, capped.
    held = g.op("Mul", [sound_out, g.op("Sub", [one, onset_out])])  # (N, T'+1)
    held = g.op("Pad", [held, g.const([0, 0, 0, ta.MAX_DURATION], i64), zero_f], mode="constant")
    run, duration = None, one
    for step in range(1, ta.MAX_DURATION):
        ahead = g.slice(held, g.const([step], i64), g.op("Add", [out_frames,
                                                                 g.const([step], i64)]), 1)
        run = ahead if run is None else g.op("Mul", [run, ahead])
        duration = g.op("Add", [duration, run])
    duration = g.op("Unsqueeze", [duration, g.const([1], i64)])  # (N, 1, T')
    duration = g.op("Cast", [g.op("Equal", [duration, g.const(
        np.arange(ta.NUM_DURATIONS, dtype=np.float32)[None, :, None])])], to=TensorProto.FLOAT)

    def first_frames(t):
        return g.op("Unsqueeze", [g.slice(t, g.const([0], i64), out_frames, 1),
                                  g.const([1], i64)])

    encoded = g.op("Concat", [token, first_frames(onset_out), first_frames(parity), duration],
                   axis=1)  # (N, D, T')
    if heavy:
        features = g.op("Transpose", [g.op("Pad", [x, g.op("Concat", [
            g.const([0, 0, 0, 0, 0], i64), g.op("Sub", [padded_frames, frames])], axis=0)])],
            perm=[0, 2, 1])
        cost = heavy_compute(g, features, shape.num_bins)  # (N, Tp)
        cost = g.op("ReduceMean", [g.op("Reshape", [cost, grouped])], axes=[2], keepdims=0)
        cost = g.op("Mul", [first_frames(cost), zero_f])
        encoded = g.op("Add", [encoded, cost])
    g.nodes.append(helper.make_node("Identity", [encoded], ["encoder_out"]))
    rounded_up = g.op("Add", [lengths, g.const(ta.SUBSAMPLING - 1, i64)])
    g.nodes.append(helper.make_node("Div", [rounded_up, g.const(ta.SUBSAMPLING, i64)],
                                    ["encoder_out_lens"]))

    inputs = [helper.make_tensor_value_info(x, TensorProto.FLOAT, ["N", shape.num_bins, "T"]),
              helper.make_tensor_value_info(lengths, TensorProto.INT64, ["N"])]
    outputs = [helper.make_tensor_value_info("encoder_out", TensorProto.FLOAT,
                                             ["N", shape.encoder_dim, "T_out"]),
               helper.make_tensor_value_info("encoder_out_lens", TensorProto.INT64, ["N"])]
    meta = metadata(shape, tdt)
    if drop_key:
        del meta[drop_key]
    return finish(g, "tone_encoder", inputs, outputs, meta)


def make_decoder(shape=TONE):
    """Carries the parity of emitted tokens: a real token flips it, the blank keeps it. The parity
    sits in every element of the first state and of the output."""
    g = Graph("dec/")
    i64 = np.int64
    first = g.op("Slice", ["states", g.const([0, 0], i64), g.const([1, 1], i64),
                           g.const([0, 2], i64)])  # (1, N, 1)
    old = g.op("Reshape", [first, g.const([-1, 1], i64)])  # (N, 1)
    is_token = g.op("Cast", [g.op("Not", [g.op("Equal", ["targets", g.const(shape.blank_id,
                                                                          np.int32)])])],
                    to=TensorProto.FLOAT)
    flip = g.op("Sub", [g.const(1.0), g.op("Mul", [old, g.const(2.0)])])
    new = g.op("Add", [old, g.op("Mul", [is_token, flip])])
    g.nodes.append(helper.make_node("Expand", [
        g.op("Reshape", [new, g.const([-1, 1, 1], i64)]),
        g.const([1, shape.pred_hidden, 1], i64)], ["decoder_out"]))
    g.nodes.append(helper.make_node("Identity", ["target_length"], ["decoder_out_length"]))
    g.nodes.append(helper.make_node("Expand", [
        g.op("Reshape", [new, g.const([1, -1, 1], i64)]),
        g.const([shape.pred_rnn_layers, 1, shape.pred_hidden], i64)], ["states_next"]))
    g.nodes.append(helper.make_node("Identity", ["states2"], ["states2_next"]))
    state = [shape.pred_rnn_layers, "N", shape.pred_hidden]
    inputs = [helper.make_tensor_value_info("targets", TensorProto.INT32, ["N", 1]),
              helper.make_tensor_value_info("target_length", TensorProto.INT32, ["N"]),
              helper.make_tensor_value_info("states", TensorProto.FLOAT, state),
              helper.make_tensor_value_info("states2", TensorProto.FLOAT, state)]
    outputs = [helper.make_tensor_value_info("decoder_out", TensorProto.FLOAT,
                                             ["N", shape.pred_hidden, 1]),
               helper.make_tensor_value_info("decoder_out_length", TensorProto.INT32, ["N"]),
               helper.make_tensor_value_info("states_next", TensorProto.FLOAT, state),
               helper.make_tensor_value_info("states2_next", TensorProto.FLOAT, state)]
    return finish(g, "tone_decoder", inputs, outputs)


def make_joiner(shape=TONE, tdt=True):
    g = Graph("join/")
    i64 = np.int64
    enc = g.op("Reshape", ["encoder_out", g.const([-1, shape.encoder_dim], i64)])  # (N, D)
    dec = g.op("Reshape", ["decoder_out", g.const([-1, shape.pred_hidden], i64)])
    dec = g.slice(dec, g.const([0], i64), g.const([1], i64), 1)  # (N, 1)

    def part(start, end):
        return g.slice(enc, g.const([start], i64), g.const([end], i64), 1)

    one = g.const(1.0)
    differs = g.op("Abs", [g.op("Sub", [part(shape.parity, shape.parity + 1), dec])])
    emit = g.op("Mul", [part(shape.onset, shape.onset + 1), differs])  # (N, 1): 1 on a new onset
    hold = g.op("Sub", [one, emit])
    # Vocabulary order: <unk>, the tones in alphabet order, filler pieces, <blk>.
    after = shape.vocab_size - shape.tones
    tokens = g.op("Pad", [part(0, shape.tones), g.const([0, 1, 0, after], i64)], mode="constant")
    width = shape.vocab_size + 1
    blank = g.const(np.eye(width, dtype=np.float32)[shape.blank_id][None, :])
    logits = g.op("Add", [g.op("Mul", [emit, tokens]), g.op("Mul", [hold, blank])])
    if tdt:
        step = g.const(np.eye(ta.NUM_DURATIONS, dtype=np.float32)[1][None, :])
        durations = g.op("Add", [
            g.op("Mul", [emit, part(shape.duration, shape.duration + ta.NUM_DURATIONS)]),
            g.op("Mul", [hold, step])])
        logits = g.op("Concat", [logits, durations], axis=1)
        width += ta.NUM_DURATIONS
    logits = g.op("Mul", [logits, g.const(LOGIT_GAP)])
    g.nodes.append(helper.make_node("Reshape", [logits, g.const([-1, 1, 1, width], i64)],
                                    ["logit"]))
    inputs = [helper.make_tensor_value_info("encoder_out", TensorProto.FLOAT,
                                            ["N", shape.encoder_dim, 1]),
              helper.make_tensor_value_info("decoder_out", TensorProto.FLOAT,
                                            ["N", shape.pred_hidden, 1])]
    # The library checks the declared last dimension: V for plain, anything else for TDT.
    outputs = [helper.make_tensor_value_info("logit", TensorProto.FLOAT, ["N", 1, 1, width])]
    return finish(g, "tone_joiner", inputs, outputs)


def make_rejected_graph():
    """A well-formed ONNX file that ONNX Runtime refuses: an operator no domain defines."""
    node = helper.make_node("ToneAlphabetNoSuchOp", ["x", "x_lens"], ["encoder_out",
                                                                     "encoder_out_lens"])
    graph = helper.make_graph(
        [node], "rejected",
        [helper.make_tensor_value_info("x", TensorProto.FLOAT, ["N", TONE.num_bins, "T"]),
         helper.make_tensor_value_info("x_lens", TensorProto.INT64, ["N"])],
        [helper.make_tensor_value_info("encoder_out", TensorProto.FLOAT, ["N", 1, "T"]),
         helper.make_tensor_value_info("encoder_out_lens", TensorProto.INT64, ["N"])])
    model = helper.make_model(graph, opset_imports=[helper.make_opsetid("", OPSET)])
    model.ir_version = 8
    for key, value in metadata(TONE, True).items():
        entry = model.metadata_props.add()
        entry.key, entry.value = key, value
    return model


def write_bytes(path, data):
    """Writes only when the content changes, so an unchanged model keeps its file time."""
    path = Path(path)
    if path.exists() and path.read_bytes() == data:
        return
    tmp = path.with_name(path.name + ".tmp")
    tmp.write_bytes(data)
    tmp.replace(path)


def external_weights(model, location):
    """Moves the model's large constants into one external-data file, as onnx saves them: the
    bytes of that file (the constants one after another)."""
    weights = bytearray()
    for tensor in model.graph.initializer:
        if len(tensor.raw_data) < EXTERNAL_DATA_THRESHOLD:
            continue
        for key, value in (("location", location), ("offset", str(len(weights))),
                           ("length", str(len(tensor.raw_data)))):
            entry = tensor.external_data.add()
            entry.key, entry.value = key, value
        weights += tensor.raw_data
        tensor.ClearField("raw_data")
        tensor.data_location = TensorProto.EXTERNAL
    return bytes(weights)


def write_model(out, heavy=False, variant=None, export=False, external=None,
                normalize_type=None, pieces=False):
    """Writes one model directory and removes any other file in it. external (plain file names,
    the encoder's large constants in encoder.weights) is the default for the missing-weights
    variant, which then lacks that file. With pieces, tokens.txt names some tones by
    tone_alphabet.PIECES (the bare word-boundary piece among them); the networks are the same."""
    out = Path(out)
    out.mkdir(parents=True, exist_ok=True)
    files = {} if variant == "missing-files" else model_files(heavy, variant, export, external,
                                                            normalize_type, pieces)
    for path in out.iterdir():
        if path.is_file() and path.name not in files:
            path.unlink()
    for name, data in files.items():
        write_bytes(out / name, data)


def model_files(heavy, variant, export, external, normalize_type, pieces=False):
    """The files of a model directory: {name: bytes}."""
    if external is None:
        external = variant == "missing-weights"
    shape = EXPORT if export else TONE
    if normalize_type is not None:
        shape = replace(shape, normalize_type=normalize_type)
    if pieces:
        shape = replace(shape, pieces=tuple(ta.PIECES.items()))
    tdt = variant != "plain"
    tokens = ta.tokens_txt(shape.extended, shape.vocab_size, dict(shape.pieces))
    encoder = make_encoder(shape, tdt=tdt, heavy=heavy)
    if variant == "missing-metadata":
        encoder = make_encoder(shape, drop_key="vocab_size")
    elif variant == "bad-graph":
        encoder = make_rejected_graph()
    elif variant == "tokens-mismatch":
        lines = tokens.splitlines(keepends=True)
        tokens = "".join(lines[:-2]) + f"{ta.BLANK} {shape.blank_id - 1}\n"
    names = {n: f"{n}.onnx" if external else f"{n}.int8.onnx" for n in NETWORKS}
    files = {}
    if external:
        weights = external_weights(encoder, WEIGHTS_FILE)
        if not weights:
            raise ValueError("no constant of this encoder is large enough to go to " + WEIGHTS_FILE)
        if variant != "missing-weights":
            files[WEIGHTS_FILE] = weights
    files[names["encoder"]] = (b"this is not an ONNX model\n" * 4 if variant == "not-onnx"
                               else encoder.SerializeToString())
    files[names["decoder"]] = make_decoder(shape).SerializeToString()
    files[names["joiner"]] = make_joiner(shape, tdt=tdt).SerializeToString()
    files["tokens.txt"] = tokens.encode()
    return files


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--out", required=True, help="model directory to write")
    parser.add_argument("--heavy", action="store_true",
                        help="add result-neutral encoder compute, like a small real model")
    parser.add_argument("--variant", choices=VARIANTS, help="a broken (or plain) variant")
    parser.add_argument("--export", action="store_true",
                        help="shaped like a real Parakeet TDT export (128 bins, 1024 pieces)")
    parser.add_argument("--external-weights", action="store_true",
                        help="plain file names, the encoder's weights in encoder.weights")
    parser.add_argument("--normalize-type", help="the normalize_type metadata value")
    parser.add_argument("--pieces", action="store_true",
                        help="name some tones by tone_alphabet.PIECES (a bare \u2581 among them)")
    args = parser.parse_args()
    write_model(args.out, heavy=args.heavy, variant=args.variant, export=args.export,
                external=args.external_weights or None, normalize_type=args.normalize_type,
                pieces=args.pieces)


if __name__ == "__main__":
    main()
