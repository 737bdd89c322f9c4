"""transcribe-subtitles run as a process on worker records: every SRT and WebVTT file it writes is
read back by Debian's ffmpeg with the same cues as its JSON document holds; cues appear while the
records still arrive; bad input ends with the error line and leaves a complete document of what
was read before it."""
import json
import math
import subprocess
import threading

import pytest

import expect
from expect import READY, words_record
from standin_process import start_program

LONG_WORD = "pneumonoultramicroscopicsilicovolcanoconiosis-and-more"


def subtitles_path(worker):
    return worker.build_dir / ("transcribe-subtitles.exe" if worker.windows else "transcribe-subtitles")


def run_subtitles(worker, args, input_bytes):
    process = start_program(worker, subtitles_path(worker), args, stdin=subprocess.PIPE)
    out, err = process.communicate(input=input_bytes, timeout=300)
    return subprocess.CompletedProcess(args, process.returncode, out, err)


def tone_records(worker, name):
    return READY + expect.piece_records(expect.load_expected(worker.test_data, name)["pieces"])


def synthetic_records(hours):
    """Records of 30 s pieces, each with 24 words of 1 s, 0.25 s apart."""
    lines = [READY]
    for piece in range(int(hours * 120)):
        base = piece * 30.0
        words = [{"text": f"w{piece}x{i}", "start": base + 1.25 * i, "end": base + 1.25 * i + 1}
                 for i in range(24)]
        lines.append(words_record(base + 30.0, words))
    return b"".join(lines)


def inputs(worker):
    word = {"text": "alone", "start": 1.0, "end": 1.5}
    long_words = [{"text": LONG_WORD, "start": i * 1.0, "end": i + 0.75} for i in range(5)]
    return {
        "hello-world": tone_records(worker, "hello-world"),
        "speech-45s": tone_records(worker, "speech-45s"),
        "no words": tone_records(worker, "silence-3s"),
        "one word": READY + words_record(3.0, [word]),
        "longer than a line": READY + words_record(5.0, long_words),
        "ten hours": synthetic_records(10),
    }


def ffmpeg_cues(path, input_format):
    """The cues Debian's ffmpeg reads from a subtitle file, as (start ms, end ms, lines)."""
    srt = subprocess.run(["/usr/bin/ffmpeg", "-loglevel", "error", "-f", input_format, "-i",
                          str(path), "-f", "srt", "-"], check=True, capture_output=True).stdout
    cues = []
    for block in srt.decode().replace("\r\n", "\n").split("\n\n")[:-1]:
        times, *lines = block.split("\n")[1:]
        start, end = ([int(v) for v in t.replace(",", ":").split(":")] for t in times.split(" --> "))
        to_ms = lambda h, m, s, ms: ((h * 60 + m) * 60 + s) * 1000 + ms  # noqa: E731
        cues.append((to_ms(*start), to_ms(*end), lines))
    return cues


def to_ms(seconds):
    return math.floor(seconds * 1000 + 0.5)


def test_ffmpeg_reads_back_every_srt_and_vtt_with_the_cues_of_the_json_document(worker, tmp_path):
    for name, records in inputs(worker).items():
        outputs = {}
        for form in ("json", "srt", "vtt", "txt"):
            path = tmp_path / f"{name}.{form}"
            result = run_subtitles(worker, ["--format", form, "--output", worker.native(path)],
                                   records)
            assert (result.returncode, result.stderr) == (0, b""), (name, form)
            outputs[form] = path
        cues = json.loads(outputs["json"].read_text())["cues"]
        want = [(to_ms(c["start"]), to_ms(c["end"]), c["lines"]) for c in cues]
        assert ffmpeg_cues(outputs["srt"], "srt") == want, name
        assert ffmpeg_cues(outputs["vtt"], "webvtt") == want, name
        words = [w for line in records.splitlines()[1:] for w in json.loads(line)["words"]]
        assert [w for c in cues for w in c["words"]] == words, name
        for before, cue in zip([None] + cues, cues):
            assert before is None or cue["start"] >= before["end"], name
            assert len(cue["lines"]) <= 2 and all(len(line) <= 42 or " " not in line
                                                  for line in cue["lines"]), name
            assert len(cue["words"]) == 1 or cue["end"] - cue["start"] <= 7, name
        text = outputs["txt"].read_text()
        assert text.split() == [w["text"] for w in words], name
    assert len(cues) > 5000 and want[-1][1] == 35999750  # ten hours


def read_until(stream, marker, into):
    while marker not in b"".join(into):
        chunk = stream.read1(65536)
        if not chunk:
            return
        into.append(chunk)


def test_cues_are_written_while_the_records_still_arrive(worker):
    records = tone_records(worker, "speech-45s").splitlines(keepends=True)
    process = start_program(worker, subtitles_path(worker), ["--format", "srt"], stdin=subprocess.PIPE)
    process.stdin.write(b"".join(records[:2]))  # the ready record and the first piece's words
    process.stdin.flush()
    seen = []
    reader = threading.Thread(target=read_until, args=(process.stdout, b"\n\n", seen), daemon=True)
    reader.start()
    reader.join(120)
    assert not reader.is_alive(), f"no cues while the input is open: {b''.join(seen)!r}"
    assert process.poll() is None
    out, _ = process.communicate(input=b"".join(records[2:]), timeout=120)
    whole = run_subtitles(worker, ["--format", "srt"], b"".join(records)).stdout
    assert b"".join(seen) + out == whole


NEVER = words_record(60.0, [{"text": "never", "start": 50.0, "end": 51.0}])


@pytest.mark.parametrize("bad_tail, error", [
    (b"Fallback to cpu!\n" + NEVER, b"error: line 4: not a record\n"),
    (b'{"end":1.0,"words":[]}\n' + NEVER, b"error: line 4: record out of order: it ends at 1.0 s, "
                                          b"before the record before it (41.0 s)\n"),
    (b"error: ffmpeg failed: [mp3] bad frame\nsecond line\n",
     b"error: transcription failed: ffmpeg failed: [mp3] bad frame\nsecond line\n"),
])
def test_bad_input_ends_with_the_error_line_after_a_complete_document(worker, bad_tail, error):
    good = READY + words_record(20.5, [{"text": "before", "start": 1.0, "end": 2.0}]) + \
        words_record(41.0, [{"text": "kept", "start": 21.0, "end": 22.0}])
    for form in ("vtt", "json"):
        result = run_subtitles(worker, ["--format", form], good + bad_tail)
        assert (result.returncode, result.stderr) == (1, error)
        assert result.stdout == run_subtitles(worker, ["--format", form], good).stdout
        assert b"never" not in result.stdout
