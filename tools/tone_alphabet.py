"""The tone alphabet shared by the tone model generator and the tone encoder.

Every token of the tone model owns one mel bin of the recognizer's 80-bin front end; its sound is
a sine at that bin's centre frequency. A burst of it is recognized as the token, silence as blank.
Letters exist twice: word-initial ("\u2581h", shown as " h" in results) and word-continuing ("h"),
so any lower-case word made of a-z and the apostrophe (not as its first character) can be spelled.

The bins were chosen so that each token's tone is louder in its own bin than in any other
token's bin by at least 1.18 natural-log units: every second bin from 330 Hz to 1.24 kHz (low
bins are barely wider than the FFT resolution), then every bin from 1.34 kHz to 5.83 kHz (below
what common lossy codecs cut; MP3, AAC, Opus and Vorbis at low rates keep every word).

Models shaped like real exports hear 128 mel bins. There the same tones are loudest in the bins
of TOKEN_BINS_128, and eight more tokens fit above them (EXTRA_TOKENS: a word-initial and three
word-continuing non-ASCII letters and four punctuation marks, tones at the centres of 128-bin bins
119 to 126, 6.0 to 7.4 kHz). Only those models know the extra tokens: spell them with
extended=True.
"""
import mel_features

SAMPLE_RATE = mel_features.SAMPLE_RATE
WORD_START = "\u2581"  # the sub-word marker; the library shows it as one leading space
UNKNOWN = "<unk>"
BLANK = "<blk>"

LETTERS = "abcdefghijklmnopqrstuvwxyz"
# Token ids 1..len(TOKENS) in this order; <unk> is 0 and <blk> comes last.
TOKENS = [WORD_START + c for c in LETTERS] + list(LETTERS) + ["'"]
TOKEN_BINS = list(range(8, 34, 2)) + list(range(34, 74))
assert len(TOKEN_BINS) == len(TOKENS)

# The extra tokens of the 128-bin models and the bins of all their tokens (computed responses:
# each tone wins its own bin by at least 0.97 natural-log units against every other token's bin).
EXTRA_TOKENS = [WORD_START + "\u00fc", "\u00e9", "\u00ef", "\u00f1", ",", ".", "?", "!"]
EXTRA_BINS_128 = list(range(119, 127))
TOKEN_BINS_128 = [14, 17, 19, 22, 26, 29, 33, 36, 38, 41, 45, 48, 52, 55, 56, 58, 60, 61, 63, 64,
                  66, 67, 69, 71, 72, 74, 75, 77, 79, 80, 82, 83, 85, 87, 88, 90, 91, 93, 95, 96,
                  98, 99, 101, 103, 104, 106, 107, 109, 110, 112, 114, 115, 117] + EXTRA_BINS_128
assert len(TOKEN_BINS_128) == len(TOKENS) + len(EXTRA_TOKENS)
EXPORT_BINS = 128

# The pieces vocabulary of the export-shaped models: some tones stand for other pieces, as a real
# SentencePiece vocabulary has them. The bare word-boundary piece (the library shows it as a
# token of one space), a digit, CJK characters and CJK punctuation, none with the marker, beside
# the apostrophe and the punctuation of EXTRA_TOKENS. Audio is spelled with the tone tokens as
# always (spell "w'" for the bare piece and an apostrophe); the model names them by this table.
PIECES = {WORD_START + "w": WORD_START, "x": "7", "j": "\u4e2d", "k": "\u6587", "v": "\u3002",
          "z": "\uff0c"}

VOCAB_SIZE = len(TOKENS) + 1  # <unk> and the tone tokens; the library adds the blank
BLANK_ID = VOCAB_SIZE

# Timing of the recognizer's front end and of the model's output frames.
FRAME_SHIFT = mel_features.FRAME_SHIFT  # samples per 10 ms feature frame
SUBSAMPLING = 8  # feature frames per output frame, like real Parakeet encoders
OUTPUT_FRAME = FRAME_SHIFT * SUBSAMPLING  # samples per 80 ms output frame
NUM_DURATIONS = 5  # TDT durations 0..4 output frames
MAX_DURATION = NUM_DURATIONS - 1

# A feature frame is "sound" when its loudest token bin exceeds this log-mel level. Measured with
# mel_features: a burst's edge frames reach -3.1 on the inside and -11.8 on the outside, and
# -70 dBFS noise stays under -12.1, so the threshold sits in the middle of that gap.
SOUND_THRESHOLD = -7.5
# What the encoder puts in place of frames past a stream's length (digital silence is -15.94).
MASKED_LEVEL = -16.0

# The sound of the alphabet.
BURST_AMPLITUDE = 0.5
FADE = 160  # samples of raised-cosine fade at each end of a burst
# Bursts start and end half a feature frame past a 10 ms grid point: the 25 ms analysis windows
# on either side of an edge then overlap the burst by 200 or by 40 samples, never a borderline
# amount, so the sound frames are a fixed function of the burst for any start on the 10 ms grid.
EDGE_PHASE = FRAME_SHIFT // 2
BURST_SECONDS = 0.16
LETTER_GAP_SECONDS = 0.08  # between the bursts of one word, filled with low noise
WORD_GAP_SECONDS = 0.24  # between words, digital silence
NOISE_DBFS = -70.0
# The shortest timings verified against the real library (random words, pieces cut at random
# points between words, greedy and beam search, one by one and batched). At 0.06 s bursts with
# 0.03 s gaps letters come out wrong: two bursts then share the model's 160 ms token window.
MIN_BURST_SECONDS = 0.08
MIN_GAP_SECONDS = 0.04
# Samples of silence kept between a burst and either end of the audio: the analysis window
# reaches 200 samples past an end and mirrors them back, which must not reflect a burst.
EDGE_MARGIN = 240


def token_id(symbol):
    return TOKENS.index(symbol) + 1


def tone_hz(symbol):
    if symbol in EXTRA_TOKENS:
        return mel_features.bin_centre_hz(EXTRA_BINS_128[EXTRA_TOKENS.index(symbol)], EXPORT_BINS)
    return mel_features.bin_centre_hz(TOKEN_BINS[TOKENS.index(symbol)])


def shown(symbol):
    """The token as the library's result shows it: the marker becomes one space."""
    return " " + symbol[len(WORD_START):] if symbol.startswith(WORD_START) else symbol


def spell(word, extended=False):
    """The tokens of one lower-case word; with extended, the extra tokens may be used too."""
    if not word:
        raise ValueError("empty word")
    symbols = TOKENS + (EXTRA_TOKENS if extended else [])
    bad = [c for c in word if c not in symbols and WORD_START + c not in symbols]
    if bad:
        raise ValueError(f"the tone alphabet has no {bad[0]!r} (word {word!r})")
    spelled = [WORD_START + word[0]] + list(word[1:])
    if spelled[0] not in symbols:
        raise ValueError(f"a word cannot begin with {word[0]!r} ({word!r})")
    if any(c not in symbols for c in spelled[1:]):
        raise ValueError(f"{word!r} has a letter that only begins words")
    return spelled


def filler_pieces(count):
    """Sentencepiece-like pieces that no tone stands for: two letters, word-initial ones first."""
    pairs = [a + b for a in LETTERS for b in LETTERS]
    pieces = [WORD_START + p for p in pairs] + pairs
    if count > len(pieces):
        raise ValueError(f"at most {len(pieces)} filler pieces")
    return pieces[:count]


def tokens_txt(extended=False, vocab_size=VOCAB_SIZE, pieces=None):
    """<unk> 0, the tone tokens from id 1 (with the extra ones when extended; renamed by the
    pieces table when given), filler pieces up to vocab_size - 1 and <blk> vocab_size last."""
    tones = [(pieces or {}).get(t, t) for t in TOKENS + (EXTRA_TOKENS if extended else [])]
    symbols = [UNKNOWN] + tones + filler_pieces(vocab_size - 1 - len(tones)) + [BLANK]
    return "".join(f"{s} {i}\n" for i, s in enumerate(symbols))
