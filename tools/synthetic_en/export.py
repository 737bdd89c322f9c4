#!/usr/bin/python3
"""Exports a checkpoint as a NeMo-style sherpa-onnx transducer directory.

  export.py --data DIR --checkpoint EXP/last.pt --out models/synthetic-en

Writes encoder.onnx (audio_signal (N, 80, T), length (N) -> outputs (N, D, T'), encoded_lengths
(N)), decoder.onnx (targets (N, 1) int32, target_length (N) int32, states and states2
(layers, N, hidden) -> decoder_output (N, hidden, 1), target_length_next, states_next, states2_next)
and joiner.onnx (encoder_outputs (N, D, 1), decoder_outputs (N, hidden, 1) -> outputs
(N, 1, 1, V + 5): token logits with the blank last, then the logits of durations 0 to 4), all
float32 with opset 17, plus tokens.txt. The encoder carries the metadata the library reads.
"""
import argparse
import shutil
import sys
from pathlib import Path

import onnx
import torch
from torch import nn

HERE = Path(__file__).resolve().parent
sys.path.insert(0, str(HERE))
import model as tmodel  # noqa: E402
import train  # noqa: E402

OPSET = 17


class EncoderExport(nn.Module):
    def __init__(self, encoder):
        super().__init__()
        self.encoder = encoder

    def forward(self, audio_signal, length):
        encoded, lengths = self.encoder(audio_signal.transpose(1, 2), length)
        return encoded.transpose(1, 2), lengths


class DecoderExport(nn.Module):
    def __init__(self, predictor):
        super().__init__()
        self.predictor = predictor

    def forward(self, targets, target_length, states, states2):
        out, (h, c) = self.predictor(targets.long(), (states, states2))
        return out.transpose(1, 2), target_length, h, c


class JoinerExport(nn.Module):
    def __init__(self, joiner):
        super().__init__()
        self.joiner = joiner

    def forward(self, encoder_outputs, decoder_outputs):
        logits = self.joiner(encoder_outputs.transpose(1, 2), decoder_outputs.transpose(1, 2))
        return logits.unsqueeze(1)  # (N, 1, 1, V + K)


def metadata(params, vocab_size):
    return {
        "vocab_size": str(vocab_size),
        "normalize_type": "per_feature",
        "pred_rnn_layers": str(params["pred_layers"]),
        "pred_hidden": str(params["pred_hidden"]),
        "subsampling_factor": str(params.get("subsampling", 8)),
        "feat_dim": str(params["feat_dim"]),
        "model_type": "EncDecRNNTBPEModel",
        "version": "1",
        "model_author": "tools/synthetic_en",
        "url": "generated:synthetic-en-tdt",
        "comment": "small TDT transducer trained on synthesized English speech (espeak-ng, "
                   "flite); a test and demo model, not for real users",
    }


def export(checkpoint, out, tokens):
    saved = torch.load(checkpoint, map_location="cpu")
    params, vocab_size = saved["params"], saved["vocab_size"]
    model = train.build_model(params, vocab_size)
    model.load_state_dict(saved["model"])
    model.eval()
    out.mkdir(parents=True, exist_ok=True)
    feat = params["feat_dim"]
    layers, hidden = params["pred_layers"], params["pred_hidden"]
    d = model.encoder.output_dim

    with torch.no_grad():
        torch.onnx.export(
            EncoderExport(model.encoder),
            (torch.randn(2, feat, 300), torch.tensor([300, 211], dtype=torch.int64)),
            str(out / "encoder.onnx"), opset_version=OPSET,
            input_names=["audio_signal", "length"], output_names=["outputs", "encoded_lengths"],
            dynamic_axes={"audio_signal": {0: "N", 2: "T"}, "length": {0: "N"},
                          "outputs": {0: "N", 2: "T_out"}, "encoded_lengths": {0: "N"}})
        torch.onnx.export(
            DecoderExport(model.predictor),
            (torch.tensor([[vocab_size]], dtype=torch.int32), torch.tensor([1], dtype=torch.int32),
             torch.zeros(layers, 1, hidden), torch.zeros(layers, 1, hidden)),
            str(out / "decoder.onnx"), opset_version=OPSET,
            input_names=["targets", "target_length", "states", "states2"],
            output_names=["decoder_output", "target_length_next", "states_next", "states2_next"],
            dynamic_axes={"targets": {0: "N"}, "target_length": {0: "N"}, "states": {1: "N"},
                          "states2": {1: "N"}, "decoder_output": {0: "N"},
                          "target_length_next": {0: "N"}, "states_next": {1: "N"},
                          "states2_next": {1: "N"}})
        torch.onnx.export(
            JoinerExport(model.joiner), (torch.randn(1, d, 1), torch.randn(1, hidden, 1)),
            str(out / "joiner.onnx"), opset_version=OPSET,
            input_names=["encoder_outputs", "decoder_outputs"], output_names=["outputs"],
            dynamic_axes={"encoder_outputs": {0: "N"}, "decoder_outputs": {0: "N"},
                          "outputs": {0: "N"}})

    encoder = onnx.load(str(out / "encoder.onnx"))
    for key, value in metadata(params, vocab_size).items():
        entry = encoder.metadata_props.add()
        entry.key, entry.value = key, value
    onnx.save(encoder, str(out / "encoder.onnx"))
    joiner = onnx.load(str(out / "joiner.onnx"))
    last = joiner.graph.output[0].type.tensor_type.shape.dim[-1]
    if not last.HasField("dim_value") or last.dim_value != vocab_size + 1 + len(tmodel.DURATIONS):
        raise SystemExit(f"export: joiner output's last dimension is not static: {last}")
    for name in ("encoder", "decoder", "joiner"):
        onnx.checker.check_model(str(out / f"{name}.onnx"))
    shutil.copyfile(tokens, out / "tokens.txt")
    return sum(p.numel() for p in model.parameters())


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--data", type=Path, required=True)
    parser.add_argument("--checkpoint", type=Path, required=True)
    parser.add_argument("--out", type=Path, required=True)
    args = parser.parse_args()
    n = export(args.checkpoint, args.out, args.data / "lang/tokens.txt")
    size = sum(f.stat().st_size for f in args.out.iterdir() if f.is_file())
    print(f"export: {n} parameters, {size / 1e6:.1f} MB in {args.out}")


if __name__ == "__main__":
    main()
