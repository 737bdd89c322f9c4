"""transcribe-subtitles run as a process on worker records: Debian's ffmpeg reads every SRT and
WebVTT file it writes with the cues of its JSON document; cues appear while the records still
arrive; bad input ends with the error line after a complete document of the records before."""
import json
import math
import os
import subprocess
import threading
import unicodedata

import pytest

import expect
from expect import READY, words_record
from standin_process import start_program


def run_subtitles(worker, args, input_bytes, stdin=subprocess.PIPE, stdout=subprocess.PIPE):
    process = start_subtitles(worker, args, stdin, stdout)
    out, err = process.communicate(input=input_bytes, timeout=300)
    return subprocess.CompletedProcess(args, process.returncode, out, err)


def start_subtitles(worker, args, stdin=subprocess.PIPE, stdout=subprocess.PIPE):
    program = "transcribe-subtitles" + (".exe" if worker.windows else "")
    return start_program(worker, worker.build_dir / program, args, stdin=stdin, stdout=stdout)


def tone_records(worker, name):
    return READY + expect.piece_records(expect.load_expected(worker.test_data, name)["pieces"])


def inputs(worker):
    long_words = [{"text": "pneumonoultramicroscopicsilicovolcanoconiosis-and-more",
                   "start": i * 1.0, "end": i + 0.75} for i in range(5)]
    # Ten hours of 30 s records, each with 24 words of 1 s, 0.25 s apart.
    ten_hours = [words_record(p * 30.0 + 30.0, [
        {"text": f"w{p}x{i}", "start": p * 30.0 + 1.25 * i, "end": p * 30.0 + 1.25 * i + 1}
        for i in range(24)]) for p in range(1200)]
    return {
        "hello-world": tone_records(worker, "hello-world"),
        "speech-45s": tone_records(worker, "speech-45s"),
        "no words": tone_records(worker, "silence-3s"),
        "one word": READY + words_record(3.0, [{"text": "alone", "start": 1.0, "end": 1.5}]),
        "longer than a line": READY + words_record(5.0, long_words),
        # Words that look like markup or a time line, of no length, or ending after the record.
        "markup and no length": READY + words_record(6.0, [
            {"text": t, "start": s, "end": e} for t, s, e in [
                ("-->", 0.5, 0.5), ("1", 0.5, 0.6), ("00:00:02,000-->00:00:03,000", 0.6, 0.6),
                ("<unk>", 0.7, 0.7), ("a<b>c.", 0.8, 0.8), ("<i>tick.</i>", 5.0, 5.0),
                ("tock", 5.0, 7.0)]]) + words_record(9.0, [
            {"text": "x--", "start": 6.5, "end": 6.5}, {"text": ">y", "start": 6.5, "end": 6.5}]),
        "sentences": READY + words_record(30.0, timed(
            "Well, Dr. Smith said that we should meet at 5 p.m. tomorrow. Yes. Okay. I think "
            "that is a very good idea because the weather will be fine and the children can play "
            "outside in the garden, pump. So what do you want to do with the old car that your "
            "father gave you last year? I don't know.", 0.5)),
        "chinese": READY + words_record(20.0, timed(
            "我们 今天 开会， 决定 明天 开始 工作。 你 知道 这个 问题 吗？ 老师 和 学生 "
            "都 觉得 天气 非常 好。", 1.0)),
        "ten hours": READY + b"".join(ten_hours),
    }


def timed(text, start):
    """The words of `text` spoken one after the other, a longer pause after a sentence."""
    words = []
    for text in text.split():
        duration = 0.1 + 0.05 * len(text.encode())
        words.append({"text": text, "start": round(start, 3), "end": round(start + duration, 3)})
        start += duration + (0.4 if text[-1] in ".?。？" else 0.05)
    return words


def columns(line):
    return sum(2 if unicodedata.east_asian_width(c) in "WF" else 1 for c in line)


def han(c):
    return "\u4e00" <= c <= "\u9fff" or c in "，。？"


def ffmpeg_cues(path, input_format):
    """The cues Debian's ffmpeg reads from a subtitle file, as (start ms, end ms, lines)."""
    srt = subprocess.run(["/usr/bin/ffmpeg", "-loglevel", "error", "-f", input_format, "-i",
                          str(path), "-f", "srt", "-"], check=True, capture_output=True).stdout
    cues = []
    # The zero-width spaces that keep SubRip text from being markup are not part of the words.
    for block in srt.decode().replace("\r\n", "\n").replace("\u200b", "").split("\n\n")[:-1]:
        times, *lines = block.split("\n")[1:]
        h_m_s_ms = [[int(v) for v in t.replace(",", ":").split(":")] for t in times.split(" --> ")]
        start, end = (((h * 60 + m) * 60 + s) * 1000 + ms for h, m, s, ms in h_m_s_ms)
        cues.append((start, end, lines))
    return cues


def test_ffmpeg_reads_back_every_srt_and_vtt_with_the_cues_of_the_json_document(worker, tmp_path):
    to_ms = lambda seconds: math.floor(seconds * 1000 + 0.5)  # noqa: E731
    for name, records in inputs(worker).items():
        for form in ("json", "srt", "vtt", "txt"):
            path = worker.native(tmp_path / f"{name}.{form}")
            result = run_subtitles(worker, ["--format", form, "--output", path], records)
            assert (result.returncode, result.stderr) == (0, b""), (name, form)
        cues = json.loads((tmp_path / f"{name}.json").read_text())["cues"]
        want = [(to_ms(c["start"]), to_ms(c["end"]), c["lines"]) for c in cues]
        assert ffmpeg_cues(tmp_path / f"{name}.srt", "srt") == want, name
        assert ffmpeg_cues(tmp_path / f"{name}.vtt", "webvtt") == want, name
        words = [w for line in records.splitlines()[1:] for w in json.loads(line)["words"]]
        assert [w for c in cues for w in c["words"]] == words, name
        text = (tmp_path / f"{name}.txt").read_text()
        if name == "chinese":  # no blank between words written without blanks
            assert text == "".join(w["text"] for w in words) + "\n"
        else:
            assert text.split() == [w["text"] for w in words]
        for before, cue in zip([None] + cues, cues):
            # At least 2 frames at 24 fps between cues, as written.
            assert before is None or to_ms(cue["start"]) - to_ms(before["end"]) >= 83, name
            assert to_ms(cue["end"]) > to_ms(cue["start"]), name
            assert to_ms(cue["start"]) >= to_ms(cue["words"][0]["start"]), name
            assert len(cue["lines"]) <= 2, name
            assert all(columns(line) <= 42 or " " not in line for line in cue["lines"]), name
            assert not any(han(a) and b == " " and han(c) for line in cue["lines"]
                           for a, b, c in zip(line, line[1:], line[2:])), name
            words_end = max(w["end"] for w in cue["words"])
            assert len(cue["words"]) == 1 or words_end - cue["words"][0]["start"] <= 7, name
    assert len(cues) > 5000 and want[-1][1] == 35999750  # ten hours


def test_cues_are_written_while_the_records_still_arrive(worker):
    records = tone_records(worker, "speech-45s").splitlines(keepends=True)
    process = start_subtitles(worker, ["--format", "srt"])
    process.stdin.write(b"".join(records[:2]))  # the ready record and the first piece's words
    process.stdin.flush()
    seen = []

    def read_a_cue():
        while b"\n\n" not in b"".join(seen) and (chunk := process.stdout.read1(65536)):
            seen.append(chunk)

    reader = threading.Thread(target=read_a_cue, daemon=True)
    reader.start()
    reader.join(120)
    assert not reader.is_alive() and process.poll() is None, b"".join(seen)
    out, _ = process.communicate(input=b"".join(records[2:]), timeout=120)
    whole = run_subtitles(worker, ["--format", "srt"], b"".join(records)).stdout
    assert b"".join(seen) + out == whole


NEVER = words_record(60.0, [{"text": "never", "start": 50.0, "end": 51.0}])


@pytest.mark.parametrize("bad_tail, error", [
    (b"{Fallback to cpu!}\n" + NEVER, b"error: line 4: not a record\n"),
    (b'{"end":1.0,"words":[]}\n' + NEVER, b"error: line 4: record out of order: it ends at 1.0 s, "
                                          b"before the record before it (22.0 s)\n"),
    (b"error: ffmpeg failed: [mp3] bad frame\nsecond line\n",
     b"error: transcription failed: ffmpeg failed: [mp3] bad frame\nsecond line\n"),
])
def test_bad_input_ends_with_the_error_line_after_a_complete_document(worker, bad_tail, error):
    # The second record leaves its cue open: the bad line must not keep it from the document.
    good = READY + words_record(20.5, [{"text": "before", "start": 1.0, "end": 2.0}]) + \
        words_record(22.0, [{"text": "kept", "start": 21.0, "end": 22.0}])
    for form in ("vtt", "json"):
        result = run_subtitles(worker, ["--format", form], good + bad_tail)
        assert (result.returncode, result.stderr) == (1, error)
        assert result.stdout == run_subtitles(worker, ["--format", form], good).stdout
        assert b"kept" in result.stdout


def test_diagnostics_passed_along_are_skipped_but_input_without_records_fails(worker):
    records = tone_records(worker, "hello-world").splitlines(keepends=True)
    noise = b"2026-12-07 onnxruntime warning: Fallback to cpu!\r\n"
    mixed = noise + records[0].replace(b"}", b',"model":"x"}') + noise + b"".join(records[1:])
    for form in ("srt", "json"):
        result = run_subtitles(worker, ["--format", form], mixed)
        assert (result.returncode, result.stderr) == (0, b""), form
        assert result.stdout == run_subtitles(worker, ["--format", form], b"".join(records)).stdout
    for no_records in (b"", noise, b"\n" + noise + b"\n"):
        result = run_subtitles(worker, ["--format", "vtt"], no_records)
        assert (result.returncode, result.stdout) == (1, b"WEBVTT\n")
        assert result.stderr == b"error: no records in standard input\n"


def test_a_read_error_ends_the_run_and_is_not_taken_for_the_end(worker):
    if worker.windows:
        pytest.skip("/proc/self/mem is Linux's")
    with open("/proc/self/mem", "rb") as unreadable:
        from_stdin = run_subtitles(worker, ["--format", "vtt"], None, stdin=unreadable)
    from_path = run_subtitles(worker, ["--format", "vtt", "/proc/self/mem"], b"")
    for result, name in ((from_stdin, b"standard input"), (from_path, b"/proc/self/mem")):
        assert (result.returncode, result.stdout) == (1, b"WEBVTT\n")
        assert result.stderr == b"error: cannot read " + name + b": Input/output error (os error 5)\n"


def test_the_output_is_never_the_input_nor_the_report_under_another_name(worker, tmp_path):
    records = tone_records(worker, "hello-world")
    (tmp_path / "in.jsonl").write_bytes(records)
    os.link(tmp_path / "in.jsonl", tmp_path / "linked.jsonl")
    other_name = worker.native(tmp_path / "linked.jsonl")
    refusals = [run_subtitles(worker, ["--output", other_name, worker.native(tmp_path / "in.jsonl")],
                              b"")]
    # Wine gives a Linux file passed as standard input or output no volume, so there only a
    # handle a Windows parent opened could be told apart.
    if not worker.windows:
        with open(tmp_path / "in.jsonl", "rb") as same_file:
            refusals.append(run_subtitles(worker, ["--output", other_name], None, stdin=same_file))
    for refused in refusals:
        assert (refused.returncode, refused.stdout) == (1, b"")
        assert refused.stderr == b"error: cannot write " + other_name.encode() + b": it is the input\n"
    if not worker.windows:
        with open(tmp_path / "linked.jsonl", "ab") as appended:
            refused = run_subtitles(worker, [str(tmp_path / "in.jsonl")], b"", stdout=appended)
        assert refused.stderr == b"error: cannot write standard output: it is the input\n"
    assert (tmp_path / "in.jsonl").read_bytes() == records
    # Nor is the report the output: written last, it would replace the document. Either is
    # refused before anything is emptied, under a second name, a link or another spelling.
    (tmp_path / "out.srt").write_bytes(b"precious")
    os.link(tmp_path / "out.srt", tmp_path / "report.txt")
    os.symlink("out.srt", tmp_path / "symlink.txt")
    out = worker.native(tmp_path / "out.srt")
    new = worker.native(tmp_path / "new.srt")
    for output, report in [(out, worker.native(tmp_path / "report.txt")),
                           (out, worker.native(tmp_path / "symlink.txt")),
                           (out, worker.native(tmp_path / "." / "out.srt")),
                           (new, worker.native(tmp_path / "." / "new.srt"))]:
        refused = run_subtitles(worker, ["--output", output, "--report", report], records)
        assert (refused.returncode, refused.stderr) == (
            1, b"error: cannot write " + report.encode() + b": it is the output\n")
        assert (tmp_path / "out.srt").read_bytes() == b"precious"
        assert not (tmp_path / "new.srt").exists()


def test_a_destination_that_fails_or_holds_no_content_is_told_and_loses_nothing(worker, tmp_path):
    if worker.windows:
        pytest.skip("named pipes, /dev/full and closed descriptors are POSIX's")
    records = tone_records(worker, "hello-world")
    (tmp_path / "in.jsonl").write_bytes(records)
    (tmp_path / "out.srt").write_bytes(b"precious")
    os.mkfifo(tmp_path / "fifo")
    source, out, fifo = (str(tmp_path / name) for name in ("in.jsonl", "out.srt", "fifo"))
    read_end, write_end = os.pipe()
    os.close(read_end)

    def run(args, redirect="", stdout=subprocess.PIPE):
        process = start_program(worker, worker.build_dir / "transcribe-subtitles", args,
                                stdout=stdout, redirect=redirect)
        result = process.communicate(timeout=60)
        return process.returncode, result[1]

    def cannot(name, why):
        return 1, b"error: cannot write " + name.encode() + b": " + why + b"\n"

    # A report that cannot be opened leaves the output as it was; a failed or closed standard
    # stream is told; a named pipe is told from its status, never opened, when it is the input.
    for args, redirect, stdout, expected in [
            (["--output", out, "--report", str(tmp_path), source], "", None,
             cannot(str(tmp_path), b"Is a directory")),
            (["--output", out, "--report", str(tmp_path / "no" / "r"), source], "", None,
             cannot(str(tmp_path / "no" / "r"), b"No such file or directory")),
            (["--report", "-", source], "2>/dev/full", subprocess.DEVNULL, (1, b"")),
            ([source], ">&-", None, cannot("standard output", b"Bad file descriptor (os error 9)")),
            ([source], "", write_end, cannot("standard output", b"Broken pipe (os error 32)")),
            (["--output", fifo, fifo], "", None, cannot(fifo, b"it is the input")),
            (["--report", fifo, fifo], "", None, cannot(fifo, b"it is the input")),
            # Devices hold nothing to lose: /dev/null is no input's twin, nor the output's.
            (["--output", "/dev/null", "--report", "/dev/null", source], "", None, (0, b"")),
            (["--output", "/dev/null"], "", None, (1, b"error: no records in standard input\n"))]:
        status, err = run(args, redirect, stdout or subprocess.PIPE)
        assert (status, err) == expected, (args, redirect)
        assert (tmp_path / "out.srt").read_bytes() == b"precious"
    os.close(write_end)


def test_a_hyphen_is_a_standard_stream_and_a_file_named_so_is_dot_slash_hyphen(worker, tmp_path):
    records = tone_records(worker, "hello-world")
    expected = run_subtitles(worker, [], records)
    assert expected.returncode == 0 and expected.stdout.startswith(b"1\n00:00:")
    assert run_subtitles(worker, ["--output", "out.srt", "--output", "-"], records).stdout == \
        expected.stdout
    named = run_subtitles(worker, ["--output", worker.native(tmp_path / "-"), "-"], records)
    assert (named.returncode, named.stdout) == (0, b"")
    assert (tmp_path / "-").read_bytes() == expected.stdout


def test_sentences_make_cues_a_subtitler_would_keep(worker):
    cues = json.loads(run_subtitles(worker, ["--format", "json"],
                                    inputs(worker)["sentences"]).stdout)["cues"]
    assert [c["lines"] for c in cues] == [
        ["Well, Dr. Smith said", "that we should meet at 5 p.m. tomorrow."],
        ["Yes. Okay."],
        ["I think that is a very good idea", "because the weather will be fine"],
        ["and the children can play outside", "in the garden, pump."],
        ["So what do you want to do with the old car", "that your father gave you last year?"],
        ["I don't know."]]
    ms = lambda seconds: round(seconds * 1000)  # noqa: E731 (cue times are whole milliseconds)
    for cue, after in zip(cues, cues[1:]):
        assert ms(cue["end"]) - ms(cue["start"]) >= 833 and ms(after["start"]) - ms(cue["end"]) >= 83
    # A short sentence shown for exactly the minimum stays alone: no cue spans a long silence.
    short = READY + words_record(30.0, [{"text": t, "start": s, "end": e} for t, s, e in [
        ("Hello", 0.5, 1.0), ("world.", 1.1, 1.5), ("Yes.", 5.0, 5.5), ("Next", 9.0, 9.5),
        ("cue.", 9.6, 9.9)]])
    result = run_subtitles(worker, ["--format", "json"], short)
    assert [(c["start"], c["end"], c["lines"]) for c in json.loads(result.stdout)["cues"]] == [
        (0.5, 1.5, ["Hello world."]), (5.0, 5.833, ["Yes."]), (9.0, 9.9, ["Next cue."])]


def test_a_style_sets_the_limits_other_options_change_and_the_report_counts_what_breaks(
        worker, tmp_path):
    records = inputs(worker)["sentences"]
    report_path = worker.native(tmp_path / "report.txt")
    bbc = run_subtitles(worker, ["--report", "-", "--format", "json", "--style", "bbc",
                                 "--report", report_path], records)
    assert (bbc.returncode, bbc.stderr) == (0, b"")
    report = (tmp_path / "report.txt").read_text()
    assert report.startswith("subtitle quality: ") and "limits: 37 columns a line" in report
    assert "gaps of 2 frames at 25 fps" in report
    longest = lambda cues: max(len(line) for c in cues for line in c["lines"])  # noqa: E731
    assert longest(json.loads(bbc.stdout)["cues"]) <= 37
    default = run_subtitles(worker, ["--format", "json"], records)
    assert longest(json.loads(default.stdout)["cues"]) == 42
    narrow = run_subtitles(worker, ["--max-line-chars", "30", "--style", "bbc", "--format",
                                    "json", "--report", "-"], records)
    assert longest(json.loads(narrow.stdout)["cues"]) <= 30
    assert narrow.stderr.decode().startswith("subtitle quality: ")
    # A 2 s silence inside a sentence: --pause-ms, or its old name --min-gap-ms, makes it no cue end.
    paused = READY + words_record(9.0, timed("one two three four five six seven", 0.0)[:4] +
                                  timed("five six seven eight.", 4.0))
    default, long_pause, old_name = (
        json.loads(run_subtitles(worker, ["--format", "json"] + extra, paused).stdout)["cues"]
        for extra in ([], ["--pause-ms", "3000"], ["--min-gap-ms", "3000"]))
    assert len(default) == 2 and len(long_pause) == 1 and old_name == long_pause


@pytest.mark.parametrize("args, error", [
    (["--style", "dvd"], b"error: --style: unknown style dvd (netflix or bbc)\n"),
    (["--fps", "0"], b"error: --fps: must be a positive number\n"),
    (["--max-cps", "-3"], b"error: --max-cps: must be a positive number\n"),
    (["--report"], b"error: --report needs a value\n"),
    # A frame over a second would hold every cue past its words; counts end at 2^64 - 1.
    (["--fps", "0.5"], b"error: --fps: must be at least 1\n"),
    (["--cue-gap-frames", "25", "--fps", "24"],
     b"error: the least gap between cues (25 frames at 24 fps) must be at most 1 s\n"),
    (["--max-cue-seconds", "inf"], b"error: --max-cue-seconds: must be a positive number\n"),
    (["--max-lines", "18446744073709551616"],
     b"error: --max-lines: number too large to fit in target type\n"),
])
def test_bad_style_options_are_refused(worker, args, error):
    result = run_subtitles(worker, args, b"")
    assert (result.returncode, result.stdout, result.stderr) == (1, b"", error)
