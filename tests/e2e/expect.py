"""What the worker is expected to write, byte for byte, and the helpers the process tests share.

Records are rebuilt from the expected-words documents of the tone encoder (tools/tone_encoder.py)
with the worker's own number and string forms, so a test compares the whole of standard output
with one byte string. Standard error is compared exactly too, after removing the few lines that
the speech library or ONNX Runtime add on their own.
"""
import json
import math
import sys
from decimal import Decimal
from pathlib import Path

ROOT = Path(__file__).resolve().parents[2]
sys.path.insert(0, str(ROOT / "tools"))
import tone_encoder  # noqa: E402

SAMPLE_RATE = 16000
READY = b'{"ready":true}\n'

# ONNX Runtime prints this under wine, where there is no GPU or display.
WINE_DXGI_LINE = b"Failed to create DXGI factory."
# sherpa-onnx built without GPU support says so once when asked for the cuda provider.
CPU_FALLBACK_ENDING = b"Fallback to cpu!"


def worker_stderr(worker, err, cpu_fallback=False):
    """Standard error as the worker wrote it: without ONNX Runtime's DXGI line under wine and,
    with cpu_fallback, without the library's one line about falling back to the cpu."""
    lines = err.splitlines(keepends=True)
    if worker.windows:
        lines = [line for line in lines if line.rstrip(b"\r\n") != WINE_DXGI_LINE]
    if cpu_fallback:
        fallback = [line for line in lines if line.rstrip(b"\r\n").endswith(CPU_FALLBACK_ENDING)]
        assert len(fallback) == 1, f"expected one cpu fallback line in {err!r}"
        lines.remove(fallback[0])
    return b"".join(lines)


# --- The worker's JSON forms ----------------------------------------------------------------


def json_number(value):
    """A 64-bit float as the worker writes it: the shortest round-trip digits, plain notation
    from 1e-5 up to below 1e16 (integral values end in ".0"), scientific notation outside that
    range with a signed exponent; null when not finite."""
    if not math.isfinite(value):
        return "null"
    sign = "-" if math.copysign(1.0, value) < 0 else ""
    value = abs(value)
    if value == 0:
        return sign + "0.0"
    # Python's repr is the shortest digit string that reads back as the same float.
    digits_tuple, exponent = Decimal(repr(value)).normalize().as_tuple()[1:]
    digits = "".join(map(str, digits_tuple))
    point = len(digits) - 1 + exponent  # power of ten of the first digit
    if -5 <= point <= 15:
        if point < 0:
            text = "0." + "0" * (-point - 1) + digits
        elif len(digits) > point + 1:
            text = digits[:point + 1] + "." + digits[point + 1:]
        else:
            text = digits + "0" * (point + 1 - len(digits)) + ".0"
    else:
        text = digits[0] + ("." + digits[1:] if len(digits) > 1 else "")
        text += "e" + ("+" if point >= 0 else "-") + str(abs(point))
    return sign + text


_ESCAPES = {'"': '\\"', "\\": "\\\\", "\b": "\\b", "\t": "\\t", "\n": "\\n", "\f": "\\f",
            "\r": "\\r"}


def json_string(text):
    """Quoted, with only the quotation mark, the backslash and control characters escaped."""
    out = []
    for c in text:
        if c in _ESCAPES:
            out.append(_ESCAPES[c])
        elif ord(c) < 0x20:
            out.append(f"\\u{ord(c):04x}")
        else:
            out.append(c)
    return '"' + "".join(out) + '"'


def words_record(end, words):
    """One words record line: keys in byte order, compact, ended by a line feed."""
    items = ",".join(
        '{"end":' + json_number(w["end"]) + ',"start":' + json_number(w["start"]) + ',"text":'
        + json_string(w["text"]) + "}" for w in words)
    return ('{"end":' + json_number(end) + ',"words":[' + items + "]}\n").encode()


def piece_records(pieces):
    """The words records of a run that delivers one record per piece."""
    return b"".join(words_record(p["end"], p["words"]) for p in pieces)


# --- Expected documents -----------------------------------------------------------------------


def load_expected(test_data, name):
    return json.loads((Path(test_data) / "media" / f"{name}.json").read_text())


def tone_audio(test_data, name):
    """The tone audio of a generated media file, for tone_encoder.expected over part of it."""
    document = load_expected(test_data, name)
    samples = tone_encoder.read_wav(Path(test_data) / "media" / f"{name}.wav")
    return tone_encoder.ToneAudio(document["text"].split(),
                                  tone_encoder.bursts_from_expected(document), samples)


def quiet_sample_near(document, seconds):
    """A sample index on the 10 ms grid, in the silence between two words, near `seconds`:
    a piece may start there without cutting a tone burst."""
    tokens = document["tokens"]
    gaps = [(a["end_sample"], b["start_sample"]) for a, b in zip(tokens, tokens[1:])
            if a["word"] != b["word"]]
    target = seconds * SAMPLE_RATE
    gap_start, gap_end = min(gaps, key=lambda g: abs((g[0] + g[1]) / 2 - target))
    middle = (gap_start + gap_end) // 2
    return middle - middle % 160


# --- Reading what the worker wrote --------------------------------------------------------------


def records(stdout):
    """The parsed records of standard output; every line must be one JSON object."""
    assert stdout.endswith(b"\n") or stdout == b"", f"unterminated record in {stdout[-200:]!r}"
    return [json.loads(line) for line in stdout.split(b"\n")[:-1]]


def check_batched_records(stdout, pieces):
    """Records that may each cover several consecutive pieces (single-thread mode with a batch
    size above 1, where the grouping depends on timing): every record must be exactly the record
    of the pieces it covers, its end being the end of the last of them, and together they must
    cover all pieces in order. Returns how many pieces each record covered."""
    assert stdout.startswith(READY)
    lines = stdout[len(READY):].split(b"\n")
    assert lines[-1] == b"", "the last record is not ended by a line feed"
    covered, at = [], 0
    for line in lines[:-1]:
        end = json.loads(line)["end"]
        first = at
        while at < len(pieces) and pieces[at]["end"] != end:
            at += 1
        assert at < len(pieces), f"record end {end} is not the end of a later piece"
        at += 1
        words = [w for p in pieces[first:at] for w in p["words"]]
        assert line + b"\n" == words_record(end, words)
        covered.append(at - first)
    assert at == len(pieces), f"records cover {at} of {len(pieces)} pieces"
    return covered
