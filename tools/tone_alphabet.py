"""The tone alphabet shared by the tone model generator and the tone encoder.

Every token of the tone model owns one mel bin of the recognizer's 80-bin front end; its sound is
a sine at that bin's centre frequency. A burst of it is recognized as the token, silence as blank.
Letters exist twice: word-initial ("\u2581h", shown as " h" in results) and word-continuing ("h"),
so any lower-case word made of a-z and the apostrophe (not as its first character) can be spelled.

The bins were chosen so that each token's tone is louder in its own bin than in any other
token's bin by at least 1.18 natural-log units: every second bin from 330 Hz to 1.24 kHz (low
bins are barely wider than the FFT resolution), then every bin from 1.34 kHz to 5.83 kHz (below
what common lossy codecs cut; MP3, AAC, Opus and Vorbis at low rates keep every word).
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
    return mel_features.bin_centre_hz(TOKEN_BINS[TOKENS.index(symbol)])


def shown(symbol):
    """The token as the library's result shows it: the marker becomes one space."""
    return " " + symbol[len(WORD_START):] if symbol.startswith(WORD_START) else symbol


def spell(word):
    """The tokens of one lower-case word."""
    if not word:
        raise ValueError("empty word")
    bad = [c for c in word if c not in LETTERS + "'"]
    if bad:
        raise ValueError(f"the tone alphabet has no {bad[0]!r} (word {word!r})")
    if word[0] == "'":
        raise ValueError(f"a word cannot begin with an apostrophe ({word!r})")
    return [WORD_START + word[0]] + list(word[1:])


def tokens_txt():
    lines = [f"{UNKNOWN} 0"] + [f"{s} {i + 1}" for i, s in enumerate(TOKENS)]
    lines.append(f"{BLANK} {BLANK_ID}")
    return "\n".join(lines) + "\n"
