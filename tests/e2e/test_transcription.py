"""Whole runs of the worker over tone-encoded media: real ffmpeg, real sherpa-onnx, the generated
tone model. Standard output is compared byte for byte with the records rebuilt from the tone
encoder's expected words (expect.py); a successful run leaves standard error empty and ends with
status 0.
"""
import json
import ntpath
import shutil
import signal
import subprocess

import numpy as np
import pytest

import expect
import sherpa_ctypes  # noqa: E402 (expect puts tools/ on the path)
from expect import READY, json_number, piece_records, words_record

# The several-minutes file costs little natively but long under wine (ffmpeg.exe pipes and
# process starts are slow there); the shorter files cover the same paths.
LINUX_ONLY = "several minutes of media: Linux only, the shorter files cover it under wine"


def transcribe(worker, media, *options, model="tone", env=None, **popen):
    args = ["--model", worker.native(worker.test_data / "models" / model),
            "--ffmpeg", worker.ffmpeg, *options, worker.native(media)]
    return worker.run(args, env=env, timeout=240, **popen)


def media_path(worker, name):
    return worker.test_data / "media" / f"{name}.wav"


def library_texts(test_data, model, name):
    """The "text" of the Linux speech library's result for each piece of a generated medium."""
    document = expect.load_expected(test_data, name)
    audio = expect.tone_audio(test_data, name)
    with sherpa_ctypes.Recognizer(test_data / "models" / model) as recognizer:
        return [json.loads(recognizer.decode(
            audio.floats(p["start_sample"], p["start_sample"] + p["samples"])))["text"]
            for p in document["pieces"]]


def check_success(result, worker, stdout):
    assert expect.worker_stderr(worker, result.stderr) == b""
    assert result.stdout == stdout
    assert result.returncode == 0


def expected_stdout(worker, name):
    return READY + piece_records(expect.load_expected(worker.test_data, name)["pieces"])


def test_number_and_string_forms_of_the_records():
    # The forms the expected records are built with, on the values whose layout is fixed.
    forms = [(0.0, "0.0"), (-0.0, "-0.0"), (30.0, "30.0"), (0.5, "0.5"), (0.1, "0.1"),
             (1e-5, "0.00001"), (1e-6, "1e-6"), (1.5e-7, "1.5e-7"), (1e15, "1000000000000000.0"),
             (1e16, "1e+16"), (2.5e16, "2.5e+16"),
             (1.2345678901234568e17, "1.2345678901234568e+17"), (1 / 3, "0.3333333333333333"),
             (10.0 + float(np.float32(0.4)), "10.400000005960464"), (float("nan"), "null"),
             (float("inf"), "null"), (-2.5, "-2.5")]
    assert [(value, json_number(value)) for value, _ in forms] == forms
    assert words_record(20.01, []) == b'{"end":20.01,"words":[]}\n'
    word = {"text": 'a"\\\t\x01/\u0416\U0001F600', "start": 0.24, "end": 1.2}
    assert words_record(32.5, [word]) == (
        '{"end":32.5,"words":[{"end":1.2,"start":0.24,'
        '"text":"a\\"\\\\\\t\\u0001/\u0416\U0001F600"}]}\n').encode()


@pytest.mark.parametrize("name", ["hello-world", "silence-3s", "speech-25s", "speech-30s",
                                  "speech-45s", "speech-180s"])
def test_one_record_per_piece(worker, name):
    # 25 s is one piece; exactly 30 s is cut once (20.29 s) with a tail; 45 s two pieces; three
    # minutes nine; silence one piece without words.
    if name == "speech-180s" and worker.windows:
        pytest.skip(LINUX_ONLY)
    check_success(transcribe(worker, media_path(worker, name)), worker,
                  expected_stdout(worker, name))


@pytest.mark.parametrize("model", ["export-int8", "export-fp32"])
@pytest.mark.parametrize("name", ["export-words", "speech-30s"])
def test_models_shaped_like_real_exports(worker, model, name):
    # 128 bins, 1024 pieces, 2 x 640 decoder states; fp32 with the encoder's weights beside it.
    # Pieces with punctuation and non-ASCII letters join into words like any other:
    # "über", "café,", "naïve?", "it's", "señor.", "olé!".
    check_success(transcribe(worker, media_path(worker, name), model=model), worker,
                  expected_stdout(worker, name))


@pytest.mark.parametrize("model,name", [
    ("tone", "hello-world"), ("export-int8", "export-words"), ("tone-pieces", "hello-world-pieces"),
    ("export-pieces", "hello-world-pieces"), ("export-pieces", "pieces")])
def test_words_joined_by_blanks_are_the_library_text(worker, model, name):
    # Vocabularies with the bare word-boundary piece "\u2581", punctuation pieces without it, an
    # apostrophe, a digit and CJK pieces: a record's words, joined by one blank, are the text
    # that the real library (the Linux one, also for the Windows worker) gives for its piece.
    # With "\u2581w" named "\u2581", "hello world" is "hello" and "orld".
    result = transcribe(worker, media_path(worker, name), model=model)
    check_success(result, worker, expected_stdout(worker, name))
    joined = [" ".join(w["text"] for w in json.loads(line)["words"])
              for line in result.stdout.splitlines()[1:]]
    assert joined == library_texts(worker.test_data, model, name)


@pytest.mark.parametrize("samples", [1599, 1600])
def test_audio_shorter_than_a_tenth_of_a_second(worker, tmp_path, samples):
    # Fewer than 1600 samples make no piece at all: the ready record alone.
    media = tmp_path / "short.wav"
    expect.tone_encoder.write_wav(media, np.full(samples, 300, dtype=np.int16))
    records = b"" if samples < 1600 else words_record(0.1, [])
    check_success(transcribe(worker, media), worker, READY + records)


def range_options(start_sample, end_sample):
    options = []
    if start_sample is not None:
        options += ["--start", f"{start_sample / 16000:.2f}"]
    if end_sample is not None:
        options += ["--end", f"{end_sample / 16000:.2f}"]
    return options


@pytest.mark.parametrize("start_near,end_near", [(12.0, None), (None, 33.0), (5.0, 40.0),
                                                 (41.0, None), (30.0, 100.0)])
def test_time_range(worker, start_near, end_near):
    # Starts and ends on the 10 ms grid in the silence between words. The pieces are cut from
    # the range alone and their times count from the beginning of the file.
    audio = expect.tone_audio(worker.test_data, "speech-45s")
    document = expect.load_expected(worker.test_data, "speech-45s")
    start = None if start_near is None else expect.quiet_sample_near(document, start_near)
    if end_near is None or end_near * 16000 >= audio.samples.size:
        end, end_option = None, None if end_near is None else round(end_near * 16000)
    else:
        end = end_option = expect.quiet_sample_near(document, end_near)
    pieces = expect.tone_encoder.expected(audio, start_sample=start or 0, end_sample=end)["pieces"]
    assert pieces, "the range holds audio"
    check_success(transcribe(worker, media_path(worker, "speech-45s"),
                             *range_options(start, end_option)),
                  worker, READY + piece_records(pieces))


@pytest.mark.parametrize("start,end", [("50", None), ("2", "2"), ("3", "1"), ("inf", None),
                                       ("1e13", "Infinity")])
def test_empty_time_range_gives_no_record(worker, start, end):
    # Starting past the end of the file (also beyond any time ffmpeg takes), or an end not after
    # the start: no audio, no piece.
    options = ["--start", start] + (["--end", end] if end is not None else [])
    check_success(transcribe(worker, media_path(worker, "hello-world"), *options), worker, READY)


@pytest.mark.parametrize("end", ["inf", "1e300", "9223372036855"])
def test_an_end_beyond_any_time_ffmpeg_takes_is_the_end_of_the_file(worker, end):
    check_success(transcribe(worker, media_path(worker, "hello-world"), "--end", end), worker,
                  expected_stdout(worker, "hello-world"))


def test_a_host_that_ignores_sigchld_changes_nothing(worker):
    # An ignored SIGCHLD is inherited across exec; the worker still waits for its decoder.
    if worker.windows:
        pytest.skip("a POSIX signal disposition")
    ignore = lambda: signal.signal(signal.SIGCHLD, signal.SIG_IGN)  # noqa: E731
    check_success(transcribe(worker, media_path(worker, "speech-25s"), preexec_fn=ignore), worker,
                  expected_stdout(worker, "speech-25s"))


@pytest.mark.parametrize("batch", ["0", "1"])
def test_batch_of_one_gives_one_record_per_piece(worker, batch):
    name = "speech-45s" if worker.windows else "speech-180s"
    check_success(transcribe(worker, media_path(worker, name), "--batch", batch), worker,
                  expected_stdout(worker, name))


def test_batch_of_four_may_join_pieces_into_one_record(worker):
    # Single-thread mode decodes whatever pieces have arrived, up to four, in one call and writes
    # one record for them; how many that is depends on timing.
    name = "speech-45s" if worker.windows else "speech-180s"
    result = transcribe(worker, media_path(worker, name), "--batch", "4")
    assert expect.worker_stderr(worker, result.stderr) == b""
    assert result.returncode == 0
    pieces = expect.load_expected(worker.test_data, name)["pieces"]
    covered = expect.check_batched_records(result.stdout, pieces)
    assert max(covered) <= 4


@pytest.mark.parametrize("processors,name,batch", [
    (10, "speech-45s", "4"),  # two decode threads of four inference threads; batch unused
    (26, "speech-180s", "1"),  # six decode threads, results put back in order
])
def test_worker_mode_gives_one_record_per_piece_in_order(worker, processors_env, processors, name,
                                                         batch):
    if name == "speech-180s" and worker.windows:
        name = "speech-45s"
    check_success(transcribe(worker, media_path(worker, name), "--batch", batch,
                             env=processors_env(processors)),
                  worker, expected_stdout(worker, name))


@pytest.mark.parametrize("depth", [0, 2], ids=["short", "over-260-characters"])
def test_paths_with_spaces_and_non_ascii_characters(worker, tmp_path, depth):
    # Windows refuses paths of 260 characters and more unless the machine allows them (wine has
    # no such limit): the worker hands such paths on in their \\?\ form, which the library and
    # ffmpeg must take as well.
    base = tmp_path.joinpath(*["Länger – " + "x" * 120] * depth)
    folder = base / "Aufnahmen – Привет мир ✓"
    folder.mkdir(parents=True)
    media = folder / "hello world 你好 \U0001F600.wav"
    shutil.copyfile(media_path(worker, "hello-world"), media)
    model = base / "tone model"
    shutil.copytree(worker.test_data / "models" / "tone", model)
    args = ["--model", worker.native(model), "--ffmpeg", worker.ffmpeg, worker.native(media)]
    check_success(worker.run(args, timeout=240), worker, expected_stdout(worker, "hello-world"))


WINDOWS_MEDIA_FORMS = {
    # how a Windows host may name the media: the path given, from its native absolute form, and
    # whether the worker runs in the media's folder
    "long-path prefix": (lambda media: "\\\\?\\" + media, False),
    "device namespace": (lambda media: "\\\\.\\" + media, False),
    "drive-absolute with slashes": (lambda media: media.replace("\\", "/"), False),
    "drive-relative": (lambda media: media[:2] + ntpath.basename(media), True),
    "root-relative": (lambda media: media[2:], False),
    "relative": (lambda media: ntpath.join("..", "media", ntpath.basename(media)), True),
}


@pytest.mark.parametrize("form", sorted(WINDOWS_MEDIA_FORMS))
def test_windows_forms_of_the_media_path(worker, tmp_path, form):
    if not worker.windows:
        pytest.skip("Windows paths only")
    media = media_path(worker, "hello-world")
    written, in_media_folder = WINDOWS_MEDIA_FORMS[form]
    args = ["--model", worker.native(worker.test_data / "models" / "tone"),
            "--ffmpeg", worker.ffmpeg, written(worker.native(media))]
    result = worker.run(args, timeout=240, cwd=media.parent if in_media_folder else tmp_path)
    check_success(result, worker, expected_stdout(worker, "hello-world"))


COMPRESSED = {
    # Opus in Ogg; AAC in MP4 beside a video track the worker has no use for.
    "ogg": ["-c:a", "libopus", "-b:a", "32k"],
    "mp4": ["-f", "lavfi", "-i", "color=c=blue:s=64x64:r=5:d=25", "-map", "1:v", "-map", "0:a",
            "-c:v", "libx264", "-preset", "ultrafast", "-c:a", "aac", "-b:a", "64k", "-shortest"],
}


@pytest.mark.parametrize("container", sorted(COMPRESSED))
def test_compressed_container(worker, tmp_path, container):
    # Codec delay may move the times, so only the words' texts are compared.
    media = tmp_path / f"speech-25s.{container}"
    subprocess.run(["/usr/bin/ffmpeg", "-nostdin", "-loglevel", "error", "-y", "-i",
                    str(media_path(worker, "speech-25s")), *COMPRESSED[container], str(media)],
                   check=True)
    result = transcribe(worker, media)
    assert expect.worker_stderr(worker, result.stderr) == b""
    assert result.returncode == 0
    records = expect.records(result.stdout)
    assert records[0] == {"ready": True}
    texts = [w["text"] for r in records[1:] for w in r["words"]]
    document = expect.load_expected(worker.test_data, "speech-25s")
    assert texts == [w["text"] for w in document["words"]]
    assert abs(records[-1]["end"] - 25.0) < 0.1
