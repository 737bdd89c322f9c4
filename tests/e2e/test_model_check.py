"""transcribe-model-check as a process: what it says of every generated model directory, and
that it says ok exactly when the worker loads the model."""
import pytest

import expect
from expect import READY
from standin_process import model_check

OK = "ok: the worker will load this model"
LIBRARY_OK = "speech library: loaded the model and decoded a second of silence"
LIBRARY_REFUSED = "the speech library refused the model: "
OK_MODELS = ["tone", "tone-heavy", "tone-plain", "export-int8", "export-fp32",
             "export-per-feature", "tone-pieces", "export-pieces"]


def worker_loads(worker, model_dir):
    """Whether the worker loads the model: its ready record, or its one load failure."""
    result = worker.run(["--model", worker.native(model_dir), "--ffmpeg", worker.ffmpeg,
                         worker.native(worker.test_data / "media" / "hello-world.wav")])
    if result.stdout.startswith(READY):
        return True
    assert expect.worker_stderr(worker, result.stderr).decode().endswith(
        f"error: failed to load model from {worker.native(model_dir)}\n")
    assert (result.stdout, result.returncode) == (b"", 1)
    return False


# The reason given for each broken generated model that the check finds.
REASONS = {
    "broken-not-onnx": "encoder.int8.onnx: not an ONNX model",
    "broken-missing-metadata": "encoder.int8.onnx: no vocab_size in the metadata",
    "broken-tokens-mismatch": "tokens.txt: <blk> is not the last token",
    "broken-missing-files": "encoder.int8.onnx: no such file",
    "broken-missing-weights": "encoder.onnx: its weights file encoder.weights is missing",
}
# Only the library finds these (with --load): words of its reason. Only ONNX Runtime knows its
# operators.
LIBRARY_REASONS = {"broken-bad-graph": "ToneAlphabetNoSuchOp"}


def test_the_tool_says_ok_exactly_when_the_worker_loads_the_model(worker):
    models = worker.test_data / "models"
    names = sorted(OK_MODELS + list(REASONS) + list(LIBRARY_REASONS))
    assert sorted(p.name for p in models.iterdir()) == names
    for name in names:
        model_dir = worker.native(models / name)
        out, err, status = model_check(worker, "--load", model_dir)
        loads = worker_loads(worker, models / name)
        assert (status == 0 and out.endswith(f"{LIBRARY_OK}\n{OK}\n")) == loads, (name, out, err)
        assert loads == (name in OK_MODELS) and (err == "") == loads, (name, err)
        if name in REASONS:
            assert (status, err) == (1, "error: " + REASONS[name]) and OK not in out, name
        elif name in LIBRARY_REASONS:
            assert status == 1 and err.startswith("error: " + LIBRARY_REFUSED), name
            assert LIBRARY_REASONS[name] in err and OK not in out, err
        # Without --load the verdict is the same, except for what only the library finds.
        out, err, status = model_check(worker, model_dir)
        if name in REASONS:
            assert (status, err) == (1, "error: " + REASONS[name]), name
        else:
            assert (status, err) == (0, "") and out.endswith(OK + "\n"), name


def test_what_the_tool_prints(worker):
    models = worker.test_data / "models"
    out, err, status = model_check(worker, worker.native(models / "export-fp32"), "--load")
    assert (out, err, status) == ("\n".join([
        "encoder: encoder.onnx (plain)", "decoder: decoder.onnx (plain)",
        "joiner: joiner.onnx (plain)", "encoder weights: encoder.weights",
        "vocabulary: 1024 tokens and the blank", "feature bins: 128", "subsampling: 8",
        "transducer: TDT", "normalisation: none", "tokens.txt: 1025 tokens", LIBRARY_OK, OK,
        ""]), "", 0)
    out, _, _ = model_check(worker, worker.native(models / "tone-plain"))
    assert out.splitlines()[:3] + out.splitlines()[6:] == [
        "encoder: encoder.int8.onnx (int8)", "decoder: decoder.int8.onnx (int8)",
        "joiner: joiner.int8.onnx (int8)", "transducer: plain", "normalisation: NA",
        "tokens.txt: 55 tokens", OK]
    # What was found before the reason: here only that no network file exists.
    out, err, status = model_check(worker, worker.native(models / "broken-missing-files"))
    assert out == "".join(f"{n}: none of {n}.int8.onnx, {n}.fp16.onnx, {n}.fp32.onnx, {n}.onnx\n"
                          for n in ("encoder", "decoder", "joiner"))
    assert (err, status) == ("error: encoder.int8.onnx: no such file", 1)


@pytest.mark.parametrize("args,error", [
    ([], "error: a model directory is required: transcribe-model-check [--load] DIR"),
    (["a", "b"], "error: unexpected argument b"),
    (["--loud", "a"], "error: unexpected argument --loud"),
])
def test_command_line(worker, args, error):
    assert model_check(worker, *args) == ("", error, 1)
