#!/usr/bin/python3
"""Makes the generated test models and media the tests use (run by the build as a test fixture).

    /usr/bin/python3 tools/make_test_data.py --out DIR

DIR/models/tone          the tone model (TDT)
DIR/models/tone-heavy    the same with result-neutral extra encoder work, like a small real model
DIR/models/tone-plain    the same without TDT durations
DIR/models/export-int8   the tone model shaped like a real Parakeet TDT export (*.int8.onnx)
DIR/models/export-fp32   the same with plain names and the encoder's weights in encoder.weights
DIR/models/export-per-feature  export-int8 with "per_feature" normalisation (loads; its words are
                         not predictable)
DIR/models/tone-pieces   the tone model whose tokens.txt names some tones as other pieces
                         (tone_alphabet.PIECES: the bare word-boundary piece among them)
DIR/models/export-pieces export-int8 with those names
DIR/models/broken-NAME   for the failure tests: not-onnx, missing-metadata, tokens-mismatch,
                         missing-files (an empty directory), bad-graph, missing-weights
                         (export-fp32 without encoder.weights)
DIR/media/NAME.wav       tone-encoded audio, 16 kHz mono 16-bit
DIR/media/NAME.json      the words the worker reports for it (see tone_encoder.expected)

Everything is made again only when the generator's sources changed or an output is missing.
"""
import argparse
import hashlib
import json
import sys
from pathlib import Path

TOOLS = Path(__file__).resolve().parent
sys.path.insert(0, str(TOOLS))
import make_tone_model  # noqa: E402
import tone_encoder  # noqa: E402

SENTENCE = "the quick brown fox jumps over the lazy dog while it's raining"
# name: (text, options of tone_encoder.synthesize)
MEDIA = {
    "hello-world": ("hello world", {}),
    # Only the export-shaped models know the extra tokens.
    "export-words": ("\u00fcber caf\u00e9, na\u00efve? it's se\u00f1or. ol\u00e9!",
                     {"extended": True}),
    # Heard by the models whose tokens.txt names some tones as other pieces (tone_alphabet.PIECES):
    # "\u2581w" is the bare word-boundary piece there, so "hello world" is "hello" and "orld".
    "hello-world-pieces": ("hello world", {"pieces": True}),
    # The bare piece at the start and before an apostrophe, ASCII and CJK punctuation, a digit,
    # CJK characters, a letter and the export tokens "?" and "\u00e9" (export-pieces only).
    "pieces": ("wit w's w, wx wjk wj wv wz no w? wonder w\u00e9",
               {"extended": True, "pieces": True}),
    "silence-3s": ("", {"duration": 3.0}),
    "speech-25s": (SENTENCE, {"duration": 25.0}),
    "speech-30s": (SENTENCE, {"duration": 30.0}),
    "speech-45s": (SENTENCE, {"duration": 45.0}),
    "speech-180s": (SENTENCE, {"duration": 180.0}),
}
MODELS = {
    "tone": {},
    "tone-heavy": {"heavy": True},
    "tone-plain": {"variant": "plain"},
    "export-int8": {"export": True},
    "export-fp32": {"export": True, "external": True},
    "export-per-feature": {"export": True, "normalize_type": "per_feature"},
    "tone-pieces": {"pieces": True},
    "export-pieces": {"export": True, "pieces": True},
    **{f"broken-{v}": {"variant": v} for v in make_tone_model.VARIANTS if v != "plain"},
    "broken-missing-weights": {"variant": "missing-weights", "export": True},
}
STAMP = ".generated"


GENERATOR_SOURCES = ["mel_features.py", "tone_alphabet.py", "make_tone_model.py",
                     "tone_encoder.py", "make_test_data.py"]


def sources_digest():
    digest = hashlib.sha256()
    for name in GENERATOR_SOURCES:
        digest.update(name.encode() + b"\0" + (TOOLS / name).read_bytes())
    return digest.hexdigest()


def outputs(out):
    paths = [out / "models" / name for name in MODELS]
    for name in MEDIA:
        paths += [out / "media" / f"{name}.wav", out / "media" / f"{name}.json"]
    return paths


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--out", required=True, type=Path)
    parser.add_argument("--force", action="store_true", help="make everything again")
    args = parser.parse_args()
    out = args.out
    stamp = out / STAMP
    digest = sources_digest()
    if (not args.force and stamp.exists() and stamp.read_text() == digest
            and all(p.exists() for p in outputs(out))):
        return
    stamp.unlink(missing_ok=True)
    for name, options in MODELS.items():
        make_tone_model.write_model(out / "models" / name, **options)
    media = out / "media"
    media.mkdir(parents=True, exist_ok=True)
    for name, (text, options) in MEDIA.items():
        options = dict(options)
        vocabulary = tone_encoder.ta.PIECES if options.pop("pieces", False) else None
        audio = tone_encoder.synthesize(text, **options)
        tone_encoder.write_wav(media / f"{name}.wav", audio.samples)
        document = tone_encoder.expected(audio, vocabulary=vocabulary)
        (media / f"{name}.json").write_text(json.dumps(document, indent=1) + "\n")
    stamp.write_text(digest)


if __name__ == "__main__":
    main()
