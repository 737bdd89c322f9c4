"""The generated tone model and tone encoder, checked against the real sherpa-onnx library.

The library tests load the Linux libsherpa-onnx-c-api.so through ctypes, so they run only for the
Linux build; the checks of the encoder and the front-end simulation run for both.
"""
import json
import random
import signal
import subprocess
import sys
import wave
from pathlib import Path

import numpy as np
import pytest

ROOT = Path(__file__).resolve().parents[2]
TOOLS = ROOT / "tools"
sys.path.insert(0, str(TOOLS))
import mel_features  # noqa: E402
import tone_alphabet as ta  # noqa: E402
import tone_encoder as te  # noqa: E402

PYTHON = "/usr/bin/python3"


@pytest.fixture(scope="module")
def test_data(request):
    out = Path(request.config.getoption("--test-data"))
    subprocess.run([PYTHON, str(TOOLS / "make_test_data.py"), "--out", str(out)], check=True)
    return out


@pytest.fixture(scope="module")
def library(request):
    if request.config.getoption("--platform") != "linux":
        pytest.skip("the ctypes checks load the Linux library")
    import sherpa_ctypes
    return sherpa_ctypes


@pytest.fixture(scope="module")
def recognizers(library, test_data):
    made = {}

    def get(model, method="greedy_search"):
        if (model, method) not in made:
            made[model, method] = library.Recognizer(test_data / "models" / model,
                                                     decoding_method=method)
            assert made[model, method].handle, f"{model} did not load"
        return made[model, method]

    yield get
    for r in made.values():
        r.close()


def observed(result_json):
    """The members the tone encoder predicts, in the library's two-decimal form."""
    result = json.loads(result_json)
    return {"tokens": result["tokens"],
            "timestamps": [f"{v:.2f}" for v in result["timestamps"]],
            "durations": [f"{v:.2f}" for v in result["durations"]]}


def predicted(audio, start, length, tdt=True, vocabulary=None):
    return te.library_result(te.named(te.recognize(audio.bursts, start, length, tdt), vocabulary))


def random_words(rng, count):
    letters = ta.LETTERS + "'"
    return " ".join(rng.choice(ta.LETTERS) + "".join(rng.choice(letters)
                                                      for _ in range(rng.randrange(9)))
                    for _ in range(count))


def cuts_between_words(audio, rng, count):
    """Piece starts on the 10 ms grid in random gaps between words."""
    cuts = []
    for a, b in zip(audio.bursts, audio.bursts[1:]):
        if a.word != b.word:
            lo = -(-(a.end + ta.EDGE_MARGIN) // ta.FRAME_SHIFT)
            hi = (b.start - ta.EDGE_MARGIN) // ta.FRAME_SHIFT
            if lo <= hi:
                cuts.append(rng.randint(lo, hi) * ta.FRAME_SHIFT)
    return sorted(rng.sample(cuts, min(count, len(cuts))))


# --- The alphabet and the front-end simulation (no library needed) ----------------------------


@pytest.mark.parametrize("extended,vocab_size,pieces", [
    (False, ta.VOCAB_SIZE, None), (True, 1024, None), (False, ta.VOCAB_SIZE, ta.PIECES),
    (True, 1024, ta.PIECES)])
def test_tokens_file_fits_the_library_rules(extended, vocab_size, pieces):
    text = ta.tokens_txt(extended, vocab_size, pieces)
    lines = text.splitlines()
    symbols = [line.split()[0] for line in lines]
    ids = [int(line.split()[1]) for line in lines]
    assert ids == list(range(len(lines))) and len(set(symbols)) == len(symbols)
    assert symbols[0] == "<unk>" and symbols[-1] == "<blk>" and ids[-1] == vocab_size
    assert max(text.encode()) != 0xC6  # would be taken for byte-level BPE
    # The tone tokens from id 1, named by the pieces table: the bare "\u2581" only there.
    tones = [(pieces or {}).get(s, s) for s in ta.TOKENS + (ta.EXTRA_TOKENS if extended else [])]
    assert symbols[1:1 + len(tones)] == tones
    assert ("\u2581" in symbols) == (pieces is not None)
    assert all(s in symbols for s in ta.EXTRA_TOKENS) == extended


# The 80-bin tone models know the tone tokens; the 128-bin export-shaped ones the extra tokens
# too, with narrower bins and so smaller margins.
FRONT_ENDS = {80: (ta.TOKENS, ta.TOKEN_BINS, 1.1, 4.0),
              128: (ta.TOKENS + ta.EXTRA_TOKENS, ta.TOKEN_BINS_128, 0.95, 3.5)}


@pytest.mark.parametrize("num_bins", sorted(FRONT_ENDS))
def test_each_tone_is_loudest_in_its_own_bin(num_bins):
    tokens, bins, least_margin, _ = FRONT_ENDS[num_bins]
    bins = np.array(bins)
    for symbol, own in zip(tokens, range(len(bins))):
        tone = mel_features.tone(ta.tone_hz(symbol), 0.3)
        levels = mel_features.log_mel(tone, num_bins)[5:-5, bins]
        margin = levels[:, own] - np.delete(levels, own, axis=1).max(axis=1)
        assert margin.min() > least_margin, symbol
        assert levels[:, own].min() > ta.SOUND_THRESHOLD + 3


@pytest.mark.parametrize("num_bins,text", [(80, "jazz quips"), (128, "jazz qu\u00efps, \u00fcber")])
def test_sound_frames_follow_the_bursts_for_any_start_on_the_10ms_grid(num_bins, text):
    audio = te.synthesize(text, lead=0.1, trail=0.05, seed=3, extended=num_bins == 128)
    _, bins, _, threshold_margin = FRONT_ENDS[num_bins]
    gap = audio.bursts[4].start - ta.EDGE_MARGIN
    for piece_start in (0, 160, 640, 1120, (gap // 160) * 160):
        piece = audio.floats(piece_start)
        loud = mel_features.log_mel(piece, num_bins)[:, bins].max(axis=1)
        want = np.zeros(loud.size, dtype=bool)
        for b in audio.bursts:
            if b.start >= piece_start + ta.EDGE_MARGIN:
                first, last = te.sound_frames(b, piece_start)
                want[first:last + 1] = True
        assert np.array_equal(loud > ta.SOUND_THRESHOLD, want), piece_start
        # Far from the threshold on both sides, so 32-bit arithmetic cannot tip a frame.
        assert loud[want].min() > ta.SOUND_THRESHOLD + threshold_margin
        assert loud[~want].max() < ta.SOUND_THRESHOLD - threshold_margin


def test_a_piece_edge_near_a_burst_is_refused():
    audio = te.synthesize("ab")
    with pytest.raises(ValueError):
        te.recognize(audio.bursts, audio.bursts[0].start - 160 + ta.EDGE_PHASE, 16000)
    with pytest.raises(ValueError):
        te.recognize(audio.bursts, 80, audio.samples.size - 80)  # off the 10 ms grid


def test_encoder_refuses_what_it_cannot_spell_or_time():
    for text in ("Hello", "caf\u00e9", "'tis", "a1"):
        with pytest.raises(ValueError):
            te.synthesize(text)
    with pytest.raises(ValueError):
        te.synthesize("ab", burst=0.165)
    with pytest.raises(ValueError):
        te.synthesize("ab", letter_gap=0.03)


def test_encoder_fills_an_exact_duration_with_whole_words():
    audio = te.synthesize("one two three", duration=25.0)
    assert audio.samples.size == 400000
    assert audio.words[:4] == ["one", "two", "three", "one"]
    assert audio.bursts[-1].end + ta.EDGE_MARGIN <= audio.samples.size
    # Gaps between words are digital silence, gaps inside words hold low noise.
    first, second = audio.bursts[2], audio.bursts[3]
    assert not audio.samples[first.end:second.start].any()
    inside = audio.samples[audio.bursts[0].end:audio.bursts[1].start].astype(float) / 32768
    assert 20 * np.log10(np.sqrt(np.mean(inside**2))) == pytest.approx(ta.NOISE_DBFS, abs=1.0)


def test_words_use_the_worker_rule_and_32bit_timestamps():
    words = te.worker_words([("\u2581h", 6, 3), ("i", 9, 3), ("\u2581y", 14, 2)], 20.01)
    f32 = np.float32
    assert [w["text"] for w in words] == ["hi", "y"]
    assert words[0]["start"] == float(f32(0.48)) + 20.01
    assert words[0]["end"] == float(f32(0.72)) + 20.01 + float(f32(0.24))
    assert words[1]["end"] == words[1]["start"] + float(f32(0.16))
    plain = te.worker_words([("\u2581h", 6, None), ("i", 9, None)], 0.0)
    assert plain[0]["end"] == float(f32(0.72)) + 0.1
    # A bare word-boundary piece parts words where the library's text has a blank.
    bare = te.named([("\u2581h", 6, 1), ("\u2581w", 7, 1), ("'", 8, 1), ("\u2581w", 9, 1),
                     ("i", 10, 1), ("\u2581w", 11, 1), ("v", 12, 1), ("\u2581w", 13, 1)], ta.PIECES)
    words = te.worker_words(bare, 0.0)
    assert [w["text"] for w in words] == ["h'", "i\u3002"]
    assert words[0]["end"] == float(f32(0.64)) + float(f32(0.08))
    assert te.library_text(te.library_result(bare)["tokens"]) == "h' i\u3002 "


def test_cutter_cuts_in_the_first_silent_window_between_words(test_data):
    doc = json.loads((test_data / "media/speech-45s.json").read_text())
    first, second = doc["pieces"]
    cut = second["start_sample"]
    assert first["samples"] == cut and 320000 < cut < 480000 and (cut - 160) % 320 == 0
    samples = te.read_wav(test_data / "media/speech-45s.wav")
    assert not samples[cut - 160:cut + 160].any()
    assert samples[cut - 480:cut - 160].any()  # the window before is not silent
    assert [w["text"] for w in doc["words"]] == doc["text"].split()


def test_encoder_command_line(tmp_path):
    wav, expected = tmp_path / "x.wav", tmp_path / "x.json"
    subprocess.run([PYTHON, str(TOOLS / "tone_encoder.py"), "--text", "hello world", "--out",
                    str(wav), "--expected", str(expected), "--duration", "4"], check=True)
    with wave.open(str(wav)) as w:
        assert (w.getnchannels(), w.getsampwidth(), w.getframerate(), w.getnframes()) == (
            1, 2, 16000, 64000)
    doc = json.loads(expected.read_text())
    assert doc["text"] == "hello world" and doc["duration"] == 4.0
    assert [w["text"] for w in doc["words"]] == ["hello", "world"]
    bad = subprocess.run([PYTHON, str(TOOLS / "tone_encoder.py"), "--text", "Hello", "--out",
                          str(wav)], capture_output=True, text=True)
    assert bad.returncode == 2 and "'H'" in bad.stderr


def test_test_data_is_left_alone_when_up_to_date(test_data):
    before = {p: p.stat().st_mtime_ns for p in test_data.rglob("*") if p.is_file()}
    subprocess.run([PYTHON, str(TOOLS / "make_test_data.py"), "--out", str(test_data)],
                   check=True)
    after = {p: p.stat().st_mtime_ns for p in test_data.rglob("*") if p.is_file()}
    assert before == after


# --- Against the real library -------------------------------------------------------------


def test_models_are_small(test_data):
    tone = sum(p.stat().st_size for p in (test_data / "models/tone").iterdir())
    heavy = sum(p.stat().st_size for p in (test_data / "models/tone-heavy").iterdir())
    assert tone < 20_000 and heavy < 60_000


@pytest.mark.parametrize("model,name", [
    *[("tone", name) for name in ["hello-world", "silence-3s", "speech-30s", "speech-45s",
                                  "speech-180s"]],
    *[(model, name) for model in ["export-int8", "export-fp32"]
      for name in ["hello-world", "speech-45s", "export-words"]],
    ("tone-pieces", "hello-world-pieces"), ("export-pieces", "hello-world-pieces"),
    ("export-pieces", "pieces")])
def test_media_pieces_decode_as_expected(recognizers, test_data, model, name):
    vocabulary = ta.PIECES if model.endswith("-pieces") else None
    doc = json.loads((test_data / f"media/{name}.json").read_text())
    samples = te.read_wav(test_data / f"media/{name}.wav")
    audio = te.ToneAudio(doc["text"].split(), te.bursts_from_expected(doc), samples)
    recognizer = recognizers(model)
    waves = [audio.floats(p["start_sample"], p["start_sample"] + p["samples"])
             for p in doc["pieces"]]
    results = [recognizer.decode(w) for w in waves]
    assert recognizer.decode_batch(waves) == results
    words = []
    for piece, result in zip(doc["pieces"], results):
        assert observed(result) == predicted(audio, piece["start_sample"], piece["samples"],
                                             vocabulary=vocabulary)
        # The library's own text, as the simulation has it.
        assert json.loads(result)["text"] == piece["library_text"]
        words += te.worker_words(te.named(te.recognize(audio.bursts, piece["start_sample"],
                                                       piece["samples"]), vocabulary),
                                 piece["start"])
    assert words == doc["words"]
    if name == "hello-world":
        result = json.loads(results[0])
        assert result["text"] == "hello world"
        assert result["timestamps"][:2] == [0.48, 0.72]
        assert all(abs(p) < 1e-5 for p in result["ys_log_probs"])


@pytest.mark.parametrize("model,tdt,method", [
    ("tone", True, "greedy_search"),
    ("tone", True, "modified_beam_search"),
    ("tone-plain", False, "greedy_search"),
    ("tone-plain", False, "modified_beam_search"),
])
def test_random_words_cut_anywhere_between_words(recognizers, model, tdt, method):
    rng = random.Random(f"{model}/{method}")
    recognizer = recognizers(model, method)
    timings = [{}, {"burst": 0.12, "letter_gap": 0.06, "word_gap": 0.1},
               {"burst": ta.MIN_BURST_SECONDS, "letter_gap": ta.MIN_GAP_SECONDS,
                "word_gap": ta.MIN_GAP_SECONDS}]
    for trial in range(9):
        audio = te.synthesize(random_words(rng, rng.randint(1, 10)), **timings[trial % 3],
                              seed=trial)
        starts = [0] + cuts_between_words(audio, rng, 3)
        ends = starts[1:] + [audio.samples.size]
        # Pieces that start and end anywhere on the 10 ms grid between words, of other lengths.
        pieces = list(zip(starts, ends)) + [(s, audio.samples.size) for s in starts[1:]]
        waves = [audio.floats(s, e) for s, e in pieces]
        results = [recognizer.decode(w) for w in waves]
        assert recognizer.decode_batch(waves) == results, audio.text
        for (s, e), result in zip(pieces, results):
            assert observed(result) == predicted(audio, s, e - s, tdt), (audio.text, s, e)


def test_heavy_model_gives_the_same_results(recognizers, test_data):
    doc = json.loads((test_data / "media/speech-45s.json").read_text())
    samples = te.read_wav(test_data / "media/speech-45s.wav")
    waves = [samples[p["start_sample"]:p["start_sample"] + p["samples"]].astype(np.float32)
             / 32768 for p in doc["pieces"]]
    waves.append(waves[0][:16000 * 3])
    light = recognizers("tone").decode_batch(waves)
    assert recognizers("tone-heavy").decode_batch(waves) == light
    assert recognizers("tone-heavy").decode(waves[-1]) == light[-1]


CREATE = """
import sys
sys.path.insert(0, {tools!r})
import sherpa_ctypes
r = sherpa_ctypes.Recognizer({model!r})
print("NULL" if not r.handle else "LOADED", flush=True)
r.close()
"""


@pytest.mark.parametrize("variant,status,stderr_says", [
    ("tone", 0, None),
    ("broken-missing-files", 0, "does not exist"),
    ("broken-not-onnx", -signal.SIGABRT, "Protobuf parsing failed"),
    ("broken-bad-graph", -signal.SIGABRT, "ToneAlphabetNoSuchOp"),
    ("broken-missing-weights", -signal.SIGABRT, "External data path does not exist"),
    ("broken-missing-metadata", 255, "vocab_size"),
    ("broken-tokens-mismatch", 255, None),
])
def test_broken_models_fail_as_the_library_documents(library, test_data, variant, status,
                                                     stderr_says):
    code = CREATE.format(tools=str(TOOLS), model=str(test_data / "models" / variant))
    run = subprocess.run([PYTHON, "-c", code], capture_output=True, text=True, timeout=60)
    assert run.returncode == status, run.stderr
    if status == 0:
        assert run.stdout == ("LOADED\n" if variant == "tone" else "NULL\n")
    else:
        assert run.stdout == ""
    if stderr_says:
        assert stderr_says in run.stderr
