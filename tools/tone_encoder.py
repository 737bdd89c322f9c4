#!/usr/bin/python3
"""Turns lower-case text into tone-alphabet audio and the words the worker will report for it.

    /usr/bin/python3 tools/tone_encoder.py --text "hello world" --out x.wav --expected x.json

Each letter becomes a burst of its token's tone (tone_alphabet.py): BURST_SECONDS long with
LETTER_GAP_SECONDS of low noise between the letters of a word and WORD_GAP_SECONDS of digital
silence between words, so that a "quietest 20 ms" cutter cuts between words. Every burst starts
and ends half a feature frame past a 10 ms grid point.

The expected results follow from a simulation of the tone model (which 10 ms feature frames hold
sound, how they pool into 80 ms output frames, the TDT search) and of the worker (the cutter that
makes 20-30 s pieces at the quietest 20 ms, and the word building with its 32-bit timestamps).
They are exact for pieces that start on the 10 ms grid (every piece of a run whose --start is a
multiple of 0.01 s); timestamps then depend on a piece's start only through where its 80 ms grid
falls. A piece edge that comes within EDGE_MARGIN samples of a burst is refused.
"""
import argparse
import json
import sys
import wave
from dataclasses import dataclass
from pathlib import Path

import numpy as np

sys.path.insert(0, str(Path(__file__).resolve().parent))
import tone_alphabet as ta  # noqa: E402
from mel_features import frame_count  # noqa: E402

# The worker's piece cutter.
MIN_PIECE_SAMPLES = 320000
MAX_PIECE_SAMPLES = 480000
CUT_WINDOW = 320
MIN_TAIL_SAMPLES = 1600
# The worker's end time for a last token without a duration.
LAST_TOKEN_SECONDS = 0.1


@dataclass
class Burst:
    symbol: str  # as in tokens.txt
    start: int  # first sample
    end: int  # one past the last sample
    word: int  # index of the word it spells


@dataclass
class ToneAudio:
    words: list  # the words encoded, in order
    bursts: list  # Burst, in order
    samples: np.ndarray  # int16, mono, 16 kHz

    @property
    def text(self):
        return " ".join(self.words)

    def floats(self, start=0, end=None):
        """Samples as the worker and the library see them: int16 / 32768."""
        return self.samples[start:end].astype(np.float32) / np.float32(32768)


def _grid(seconds, what):
    frames = round(seconds * ta.SAMPLE_RATE / ta.FRAME_SHIFT)
    if abs(frames * ta.FRAME_SHIFT - seconds * ta.SAMPLE_RATE) > 1e-6 * ta.SAMPLE_RATE:
        raise ValueError(f"{what} must be a multiple of 0.01 s, not {seconds}")
    return frames * ta.FRAME_SHIFT


def _burst_samples(symbol, length):
    t = np.arange(length) / ta.SAMPLE_RATE
    x = ta.BURST_AMPLITUDE * np.sin(2 * np.pi * ta.tone_hz(symbol) * t)
    ramp = 0.5 - 0.5 * np.cos(np.pi * (np.arange(ta.FADE) + 0.5) / ta.FADE)
    x[:ta.FADE] *= ramp
    x[-ta.FADE:] *= ramp[::-1]
    return x


def synthesize(text, burst=ta.BURST_SECONDS, letter_gap=ta.LETTER_GAP_SECONDS,
               word_gap=ta.WORD_GAP_SECONDS, lead=0.5, trail=0.5, duration=None,
               noise_dbfs=ta.NOISE_DBFS, seed=0, extended=False):
    """Tone audio for the words of text.

    With duration (seconds), the text is repeated as often as whole words fit before the trailing
    silence and the audio is padded with silence to exactly that length. With extended, words may
    use the extra tokens that only the 128-bin models know.
    """
    words = text.split()
    spelled = [ta.spell(w, extended) for w in words]
    burst_len = _grid(burst, "the burst length")
    letter_gap_len = _grid(letter_gap, "the letter gap")
    word_gap_len = _grid(word_gap, "the word gap")
    if burst_len < _grid(ta.MIN_BURST_SECONDS, "") or min(letter_gap_len, word_gap_len) < _grid(
            ta.MIN_GAP_SECONDS, ""):
        raise ValueError(f"bursts shorter than {ta.MIN_BURST_SECONDS} s or gaps shorter than "
                         f"{ta.MIN_GAP_SECONDS} s are not recognized reliably")
    # The first burst starts at least EDGE_MARGIN samples in, the last ends that far before the end.
    cursor = max(_grid(lead, "the leading silence"), ta.FRAME_SHIFT) + ta.EDGE_PHASE
    trail_len = max(_grid(trail, "the trailing silence"), ta.EDGE_MARGIN)
    total = None if duration is None else round(duration * ta.SAMPLE_RATE)

    placed_words, bursts = [], []
    index = 0
    while spelled and (index < len(spelled) or total is not None):
        tokens = spelled[index % len(spelled)]
        length = len(tokens) * burst_len + (len(tokens) - 1) * letter_gap_len
        if total is not None and cursor + length + trail_len > total:
            break
        for k, symbol in enumerate(tokens):
            start = cursor + k * (burst_len + letter_gap_len)
            bursts.append(Burst(symbol, start, start + burst_len, len(placed_words)))
        placed_words.append(words[index % len(words)])
        cursor += length + word_gap_len
        index += 1
    if total is None:
        total = (bursts[-1].end if bursts else cursor) + trail_len

    signal = np.zeros(total)
    rng = np.random.default_rng(seed)
    for i, b in enumerate(bursts):
        signal[b.start:b.end] = _burst_samples(b.symbol, b.end - b.start)
        follows = i + 1 < len(bursts) and bursts[i + 1].word == b.word
        if follows and noise_dbfs is not None:
            gap = bursts[i + 1].start - b.end
            signal[b.end:b.end + gap] = rng.normal(0.0, 10 ** (noise_dbfs / 20), gap)
    samples = np.clip(np.round(signal * 32768), -32768, 32767).astype(np.int16)
    return ToneAudio(placed_words, bursts, samples)


def write_wav(path, samples):
    with wave.open(str(path), "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(ta.SAMPLE_RATE)
        w.writeframes(samples.astype("<i2").tobytes())


def read_wav(path):
    with wave.open(str(path), "rb") as w:
        if (w.getnchannels(), w.getsampwidth(), w.getframerate()) != (1, 2, ta.SAMPLE_RATE):
            raise ValueError(f"{path}: not 16 kHz mono 16-bit")
        return np.frombuffer(w.readframes(w.getnframes()), dtype="<i2").astype(np.int16)


# --- The tone model, simulated -------------------------------------------------------------


def sound_frames(burst, piece_start):
    """First and last 10 ms feature frame of a piece that hold the burst's sound."""
    start, end = burst.start - piece_start, burst.end - piece_start
    if (start - ta.EDGE_PHASE) % ta.FRAME_SHIFT or (end - ta.EDGE_PHASE) % ta.FRAME_SHIFT:
        raise ValueError(f"piece start {piece_start} is not on the 10 ms grid of the bursts")
    return (start - ta.EDGE_PHASE) // ta.FRAME_SHIFT, (end - ta.EDGE_PHASE) // ta.FRAME_SHIFT


def recognize(bursts, piece_start, piece_samples, tdt=True):
    """What the tone model gives for samples [piece_start, piece_start + piece_samples).

    A list of (symbol, output frame, duration in output frames or None).
    """
    piece_end = piece_start + piece_samples
    feature_frames = frame_count(piece_samples)
    out_frames = -(-feature_frames // ta.SUBSAMPLING)
    sound = np.zeros((out_frames + 1) * ta.SUBSAMPLING, dtype=bool)
    onset_symbol = {}
    for b in bursts:
        if b.end + ta.EDGE_MARGIN <= piece_start or b.start >= piece_end + ta.EDGE_MARGIN:
            continue
        if b.start < piece_start + ta.EDGE_MARGIN or b.end + ta.EDGE_MARGIN > piece_end:
            raise ValueError(f"a piece edge ({piece_start}, {piece_end}) is too close to the "
                             f"burst at samples {b.start}-{b.end}")
        first, last = sound_frames(b, piece_start)
        if sound[first - 1] or sound[first]:
            raise ValueError(f"the burst at sample {b.start} touches the one before it")
        sound[first:last + 1] = True
        out = first // ta.SUBSAMPLING
        if out in onset_symbol:
            raise ValueError(f"two bursts begin in one output frame (sample {b.start})")
        onset_symbol[out] = b.symbol
    sound[feature_frames:] = False
    grouped = sound.reshape(-1, ta.SUBSAMPLING)
    onset = np.zeros(out_frames + 1, dtype=bool)
    onset[list(onset_symbol)] = True
    held = grouped.any(axis=1) & ~onset
    parity = np.cumsum(onset) % 2

    def duration(t):
        k = 1
        while k < ta.MAX_DURATION and held[t + k]:
            k += 1
        return k

    emitted, decoder_parity = [], 0
    if tdt:
        t = 0
        while t < out_frames:
            if onset[t] and parity[t] != decoder_parity:
                emitted.append((onset_symbol[t], t, duration(t)))
                decoder_parity ^= 1
                t += duration(t)
            else:
                t += 1
    else:
        for t in range(out_frames):
            # The search asks again on the same frame after every token.
            while onset[t] and parity[t] != decoder_parity:
                emitted.append((onset_symbol[t], t, None))
                decoder_parity ^= 1
    return emitted


def _frame_seconds_text(frames):
    """How the library's JSON writes frames x 80 ms: fixed with two decimals."""
    hundredths = frames * ta.OUTPUT_FRAME * 100 // ta.SAMPLE_RATE
    return f"{hundredths // 100}.{hundredths % 100:02d}"


def named(emitted, pieces):
    """What recognize() emitted, with each tone named as a model with that pieces table
    (tone_alphabet.PIECES, or None for the tone tokens' own names) names it."""
    return [((pieces or {}).get(s, s), t, k) for s, t, k in emitted]


# Where the library's text drops the space before a character, and which characters it takes
# for CJK (observed on sherpa-onnx 1.13.4; the worker's result_text_blanks.cpp holds the same).
PUNCTUATION = [(0x21, 0x2F), (0x3A, 0x40), (0x5B, 0x60), (0x7B, 0x7E), (0x3000, 0x303F),
               (0xFF01, 0xFF0F), (0xFF1A, 0xFF20), (0xFF3B, 0xFF40), (0xFF5B, 0xFF65)]
CJK = [(0x1100, 0x11FF), (0x2E80, 0xA4CF), (0xA840, 0xD7AF), (0xF900, 0xFAFF), (0xFE30, 0xFE4F),
       (0xFF65, 0xFFDC), (0x20000, 0x2FFFF)]


def _within(c, ranges):
    return any(a <= ord(c) <= b for a, b in ranges)


def drops_blank_between(before, after):
    """Whether the library's text has no blank between the two (non-empty) texts."""
    return _within(after[0], PUNCTUATION) or (_within(before[-1], CJK) and _within(after[0], CJK))


def library_text(tokens):
    """The library's "text" for the shown tokens: joined, each space dropped that stands before
    punctuation or between two CJK characters, leading spaces removed."""
    joined = "".join(tokens)

    def dropped(i):
        return (joined[i] == " " and i + 1 < len(joined)
                and drops_blank_between(joined[i - 1] if i else " ", joined[i + 1]))

    return "".join(c for i, c in enumerate(joined) if not dropped(i)).lstrip(" ")


def library_result(emitted):
    """The "tokens", "timestamps" and "durations" members of the library's result JSON."""
    return {
        "tokens": [ta.shown(s) for s, _, _ in emitted],
        "timestamps": [_frame_seconds_text(t) for _, t, _ in emitted],
        "durations": [_frame_seconds_text(k) for _, _, k in emitted if k is not None],
    }


def worker_words(emitted, offset):
    """Words as the worker builds them from a piece's result, offset in seconds."""
    f32 = np.float32
    result = library_result(emitted)
    stamps = [float(f32(float(v))) for v in result["timestamps"]]
    durations = [float(f32(float(v))) for v in result["durations"]]
    words, space_pending = [], False
    for i, token in enumerate(result["tokens"]):
        start = stamps[i] + offset
        if i < len(durations):
            end = start + durations[i]
        elif i + 1 < len(stamps):
            end = stamps[i + 1] + offset
        else:
            end = start + LAST_TOKEN_SECONDS
        text = token.lstrip()
        if not text:
            # The bare word-boundary piece: no text, no time, but a blank in the library's text.
            space_pending = space_pending or token.startswith(" ")
            continue
        if (not words or token.startswith(" ")
                or space_pending and not drops_blank_between(words[-1]["text"], text)):
            words.append({"text": text, "start": start, "end": end})
        else:
            words[-1]["text"] += text
            words[-1]["end"] = end
        space_pending = False
    return words


# --- The worker's pieces -------------------------------------------------------------------


def worker_cuts(samples):
    """(start, length) of each piece the worker's cutter makes of int16 samples."""
    x = samples.astype(np.float32) / np.float32(32768)
    pieces, pos = [], 0
    while x.size - pos >= MAX_PIECE_SAMPLES:
        window = x[pos + MIN_PIECE_SAMPLES:pos + MAX_PIECE_SAMPLES]
        # Summed one after another in 32-bit floats, as the cutter does.
        energy = np.cumsum((window * window).reshape(-1, CUT_WINDOW), axis=1)[:, -1]
        cut = MIN_PIECE_SAMPLES + CUT_WINDOW * int(np.argmin(energy)) + CUT_WINDOW // 2
        pieces.append((pos, cut))
        pos += cut
    if x.size - pos >= MIN_TAIL_SAMPLES:
        pieces.append((pos, x.size - pos))
    return pieces


def expected_pieces(bursts, pieces, tdt=True, vocabulary=None):
    """For (start sample, length) pieces: dicts with the piece's times, its words and the
    library's text; vocabulary is the model's pieces table (tone_alphabet.PIECES) or None."""
    result = []
    for start, length in pieces:
        offset = start / ta.SAMPLE_RATE
        emitted = named(recognize(bursts, start, length, tdt), vocabulary)
        result.append({"start_sample": start, "samples": length, "start": offset,
                       "end": length / ta.SAMPLE_RATE + offset,
                       "words": worker_words(emitted, offset),
                       "library_text": library_text(library_result(emitted)["tokens"])})
    return result


def expected_words(bursts, piece_starts, total_samples, tdt=True):
    """The words of each piece when pieces start at the given sample indices (each on the 10 ms
    grid) and the last one runs to total_samples."""
    ends = list(piece_starts[1:]) + [total_samples]
    pieces = [(s, e - s) for s, e in zip(piece_starts, ends)]
    return [p["words"] for p in expected_pieces(bursts, pieces, tdt)]


def expected(audio, tdt=True, start_sample=0, end_sample=None, vocabulary=None):
    """The expected-words document of tone audio as the worker cuts samples [start_sample,
    end_sample): the whole file by default, otherwise what a decoder that delivers exactly that
    range gives the worker (its --start and --end; start_sample on the 10 ms grid). vocabulary:
    the pieces table of the model that hears it (tone_alphabet.PIECES), None for the tone
    tokens."""
    cuts = worker_cuts(audio.samples[start_sample:end_sample])
    pieces = expected_pieces(audio.bursts, [(start_sample + s, n) for s, n in cuts], tdt,
                             vocabulary)
    return {
        "text": audio.text,
        "sample_rate": ta.SAMPLE_RATE,
        "samples": int(audio.samples.size),
        "duration": audio.samples.size / ta.SAMPLE_RATE,
        "words": [w for p in pieces for w in p["words"]],
        "pieces": pieces,
        "tokens": [{"token": ta.shown(b.symbol), "symbol": b.symbol, "word": b.word,
                    "start_sample": b.start, "end_sample": b.end}
                   for b in audio.bursts],
    }


def bursts_from_expected(document):
    """The bursts of an expected-words document, for expected_words with other piece starts."""
    return [Burst(t["symbol"], t["start_sample"], t["end_sample"], t["word"])
            for t in document["tokens"]]


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--text", required=True, help="lower-case words separated by spaces")
    parser.add_argument("--out", required=True, help="WAV file to write (16 kHz mono 16-bit)")
    parser.add_argument("--expected", help="JSON file of the expected words to write")
    parser.add_argument("--duration", type=float, help="total seconds; the text is repeated")
    parser.add_argument("--lead", type=float, default=0.5, help="seconds of leading silence")
    parser.add_argument("--trail", type=float, default=0.5,
                        help="seconds of trailing silence (the least, with --duration)")
    parser.add_argument("--burst", type=float, default=ta.BURST_SECONDS)
    parser.add_argument("--letter-gap", type=float, default=ta.LETTER_GAP_SECONDS)
    parser.add_argument("--word-gap", type=float, default=ta.WORD_GAP_SECONDS)
    parser.add_argument("--noise-dbfs", type=float, default=ta.NOISE_DBFS,
                        help="level of the noise between the letters of a word")
    parser.add_argument("--no-noise", action="store_true", help="digital silence in all gaps")
    parser.add_argument("--seed", type=int, default=0)
    parser.add_argument("--plain", action="store_true",
                        help="expect the plain (non-TDT) model: word ends from the next token")
    args = parser.parse_args()
    try:
        audio = synthesize(args.text, burst=args.burst, letter_gap=args.letter_gap,
                           word_gap=args.word_gap, lead=args.lead, trail=args.trail,
                           duration=args.duration,
                           noise_dbfs=None if args.no_noise else args.noise_dbfs, seed=args.seed)
        document = expected(audio, tdt=not args.plain) if args.expected else None
    except ValueError as e:
        parser.error(str(e))
    write_wav(args.out, audio.samples)
    if document is not None:
        Path(args.expected).write_text(json.dumps(document, indent=1) + "\n")


if __name__ == "__main__":
    main()
