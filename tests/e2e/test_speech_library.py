"""The speech library as the worker uses it, run as separate processes (natively, or under wine
for the Windows build): our declaration of its configuration record, and loading bad models.
"""
import os
import re
import shutil
from pathlib import Path

import pytest

from standin_process import model_check

PYTHON_ONNX = pytest.importorskip("onnx")


def run_standin(worker, name, args, timeout=120):
    suffix = ".exe" if worker.windows else ""
    worker.exe = worker.build_dir / "standins" / (name + suffix)
    return worker.run(args, timeout=timeout)


# ---- The configuration record, as the library printed it back

def parse_group(text, i=0):
    """Parses `Name(key=value, ...)` from text[i]: (the items as a dict, the index after it).
    A value is a quoted string, a nested group (a dict) or a bare word."""
    opening = re.compile(r"\w+\(").match(text, i)
    assert opening, text[i:i + 80]
    i = opening.end()
    items = {}
    while True:
        while text[i] in ", ":
            i += 1
        if text[i] == ")":
            return items, i + 1
        key = re.compile(r"(\w+)=").match(text, i)
        assert key, text[i:i + 80]
        i = key.end()
        if text[i] == '"':
            end = text.index('"', i + 1)
            value, i = text[i:end + 1], end + 1
        elif re.compile(r"\w+\(").match(text, i):
            value, i = parse_group(text, i)
        else:
            bare = re.compile(r"[^,)]*").match(text, i)
            value, i = bare.group(0).strip(), bare.end()
        items[key.group(1)] = value


# The numbers and flags the probe sets (tests/standins/asr_abi_probe.cpp), by field path.
PROBE_NUMBERS = {
    "feat_config.sample_rate": "22050",
    "feat_config.feature_dim": "83",
    "model_config.whisper.tail_paddings": "1234",
    "model_config.whisper.enable_token_timestamps": "True",
    "model_config.whisper.enable_segment_timestamps": "True",
    "model_config.num_threads": "7",
    "model_config.debug": "True",
    "model_config.sense_voice.use_itn": "True",
    "model_config.canary.use_pnc": "True",
    "model_config.funasr_nano.max_new_tokens": "2345",
    "model_config.funasr_nano.temperature": "0.625",
    "model_config.funasr_nano.top_p": "0.375",
    "model_config.funasr_nano.seed": "3456",
    "model_config.funasr_nano.itn": "True",
    "model_config.qwen3_asr.max_total_len": "4567",
    "model_config.qwen3_asr.max_new_tokens": "5678",
    "model_config.qwen3_asr.temperature": "0.125",
    "model_config.qwen3_asr.top_p": "0.875",
    "model_config.qwen3_asr.seed": "6789",
    "model_config.cohere_transcribe.use_punct": "True",
    "model_config.cohere_transcribe.use_itn": "True",
    "lm_config.scale": "2.75",
    "max_active_paths": "9",
    "hotwords_score": "3.25",
    "blank_penalty": "4.5",
}

# Every string field; the probe sets each to "S_" + its path.
PROBE_STRINGS = """
model_config.transducer.encoder model_config.transducer.decoder model_config.transducer.joiner
model_config.paraformer.model model_config.nemo_ctc.model
model_config.whisper.encoder model_config.whisper.decoder model_config.whisper.language
model_config.whisper.task model_config.tdnn.model model_config.tokens model_config.provider
model_config.model_type model_config.modeling_unit model_config.bpe_vocab
model_config.telespeech_ctc model_config.sense_voice.model model_config.sense_voice.language
model_config.moonshine.preprocessor model_config.moonshine.encoder
model_config.moonshine.uncached_decoder model_config.moonshine.cached_decoder
model_config.moonshine.merged_decoder model_config.fire_red_asr.encoder
model_config.fire_red_asr.decoder model_config.dolphin.model model_config.zipformer_ctc.model
model_config.canary.encoder model_config.canary.decoder model_config.canary.src_lang
model_config.canary.tgt_lang model_config.wenet_ctc.model model_config.omnilingual.model
model_config.medasr.model model_config.funasr_nano.encoder_adaptor model_config.funasr_nano.llm
model_config.funasr_nano.embedding model_config.funasr_nano.tokenizer
model_config.funasr_nano.system_prompt model_config.funasr_nano.user_prompt
model_config.funasr_nano.language model_config.funasr_nano.hotwords
model_config.fire_red_asr_ctc.model model_config.qwen3_asr.conv_frontend
model_config.qwen3_asr.encoder model_config.qwen3_asr.decoder model_config.qwen3_asr.tokenizer
model_config.qwen3_asr.hotwords model_config.cohere_transcribe.encoder
model_config.cohere_transcribe.decoder model_config.cohere_transcribe.language lm_config.model
decoding_method hotwords_file rule_fsts rule_fars hr.lexicon hr.rule_fsts
""".split()

# Where the library prints a field under another name. hr.dict_dir is never printed.
PRINTED_AS = {
    "feat_config.sample_rate": "feat_config.sampling_rate",
    "model_config.transducer.encoder": "model_config.transducer.encoder_filename",
    "model_config.transducer.decoder": "model_config.transducer.decoder_filename",
    "model_config.transducer.joiner": "model_config.transducer.joiner_filename",
}


def test_every_field_of_the_configuration_reaches_the_library_where_declared(worker):
    result = run_standin(worker, "asr_abi_probe", [])
    assert result.returncode == 0, result.stderr
    assert result.stdout.strip() == b"refused"  # no model files: printed, then refused
    stderr = result.stderr.decode("utf-8", "replace")
    lines = [l for l in stderr.splitlines() if "OfflineRecognizerConfig(" in l]
    assert len(lines) == 1, stderr
    line = lines[0]
    printed, _ = parse_group(line, line.index("OfflineRecognizerConfig("))

    expected = dict(PROBE_NUMBERS)
    expected.update({path: f'"S_{path}"' for path in PROBE_STRINGS})
    assert len(expected) == 83  # every field of the record but hr.dict_dir
    for path, value in expected.items():
        node = printed
        for key in PRINTED_AS.get(path, path).split("."):
            assert isinstance(node, dict) and key in node, f"{path} is not printed"
            node = node[key]
        assert node == value, f"{path} printed as {node}, set to {value}"


# ---- Bad models: the worker refuses them with its error line, where the library alone dies

def check_refused(worker, model_dir):
    result = run_standin(worker, "asr_load_model", [worker.native(model_dir)])
    stderr = result.stderr.decode("utf-8", "replace").replace("\r\n", "\n")
    assert result.returncode == 1, stderr
    assert result.stdout == b""
    error_lines = [l for l in stderr.splitlines() if l.startswith("error: ")]
    assert error_lines == [f"error: failed to load model from {worker.native(model_dir)}"], stderr
    assert stderr.endswith(error_lines[0] + "\n")


def check_loaded(worker, model_dir):
    result = run_standin(worker, "asr_load_model", [worker.native(model_dir)])
    assert result.returncode == 0, result.stderr.decode("utf-8", "replace")
    assert result.stdout.strip() == b"loaded"


def raw_outcome(worker, model_dir):
    """What the library alone does: "loaded", "refused" or "died"."""
    result = run_standin(worker, "asr_load_model", ["--raw", worker.native(model_dir)])
    outcome = result.stdout.strip()
    # Under wine a crash can end with status 0 once its report (on standard output) is written.
    if result.returncode != 0 or outcome not in (b"loaded", b"refused"):
        return "died"
    return outcome.decode()


@pytest.mark.parametrize("name", ["not-onnx", "missing-metadata", "tokens-mismatch", "bad-graph",
                                  "missing-files"])
def test_a_broken_model_is_refused_with_the_error_line(worker, name):
    model_dir = worker.test_data / "models" / f"broken-{name}"
    check_refused(worker, model_dir)
    # Without the model check and the exception guard, the library ends the process for all
    # of these but the missing files.
    assert raw_outcome(worker, model_dir) == ("refused" if name == "missing-files" else "died")


def test_a_missing_directory_is_refused_as_written(worker, tmp_path):
    check_refused(worker, tmp_path / "no such model")
    check_loaded(worker, worker.test_data / "models" / "tone")


# Variants of the tone model with one thing changed, as a user might have them: whether the
# library loads each, and that the worker loads what the library loads and refuses the rest.
def variants(tone, plain):
    yield "as-generated", tone, {}, None, None
    for key in ["vocab_size", "subsampling_factor", "pred_rnn_layers", "pred_hidden"]:
        yield f"no-{key}", tone, {key: None}, None, None
    yield "negative-pred-hidden", tone, {"pred_hidden": "-1"}, None, None
    yield "negative-is-giga-am", tone, {"is_giga_am": "-1"}, None, None
    yield "feat-dim-not-the-inputs", tone, {"feat_dim": "128"}, None, None
    yield "feat-dim-not-a-number", tone, {"feat_dim": "none"}, None, None
    yield "unknown-normalize-type", tone, {"normalize_type": "global"}, None, None
    yield "upper-case-TDT-url", tone, {"url": "x-TDT"}, None, None
    yield "plain-joiner-tdt-url", plain, {"url": "x-tdt"}, None, None
    yield "vocab-size-off-by-one", tone, {"vocab_size": "53"}, None, None
    lines = (tone / "tokens.txt").read_text(encoding="utf-8").splitlines()
    yield "tokens-third-field", tone, {}, lines[:3] + [lines[3] + " 9"] + lines[4:], None
    yield "tokens-crlf-and-blank-lines", tone, {}, ["", *[l + "\r" for l in lines], ""], None
    yield "tokens-duplicate-id", tone, {}, lines[:3] + [lines[3].split()[0] + " 1"] + lines[4:], None
    yield "joiner-symbolic-size", tone, {}, None, "V"


def make_variant(path, base, metadata, tokens, joiner_last):
    path.mkdir()
    shutil.copy(base / "decoder.int8.onnx", path / "decoder.int8.onnx")
    encoder = PYTHON_ONNX.load(str(base / "encoder.int8.onnx"))
    props = {p.key: p.value for p in encoder.metadata_props}
    for key, value in metadata.items():
        if value is None:
            props.pop(key, None)
        else:
            props[key] = value
    del encoder.metadata_props[:]
    for key, value in props.items():
        entry = encoder.metadata_props.add()
        entry.key, entry.value = key, value
    PYTHON_ONNX.save(encoder, str(path / "encoder.int8.onnx"))
    joiner = PYTHON_ONNX.load(str(base / "joiner.int8.onnx"))
    if joiner_last is not None:
        joiner.graph.output[0].type.tensor_type.shape.dim[-1].dim_param = joiner_last
    PYTHON_ONNX.save(joiner, str(path / "joiner.int8.onnx"))
    if tokens is None:
        shutil.copy(base / "tokens.txt", path / "tokens.txt")
    else:
        (path / "tokens.txt").write_bytes(("\n".join(tokens) + "\n").encode())


def test_the_worker_loads_what_the_library_loads_and_refuses_the_rest(worker, tmp_path):
    models = worker.test_data / "models"
    outcomes = {}
    for name, base, metadata, tokens, joiner_last in variants(models / "tone", models / "tone-plain"):
        make_variant(tmp_path / name, base, metadata, tokens, joiner_last)
        outcomes[name] = raw_outcome(worker, tmp_path / name)
        if outcomes[name] == "loaded":
            check_loaded(worker, tmp_path / name)
        else:
            check_refused(worker, tmp_path / name)
        # So does transcribe-model-check.
        _, _, status = model_check(worker, "--load", worker.native(tmp_path / name))
        assert (status == 0) == (outcomes[name] == "loaded"), name
    # The variants do reach both outcomes of the library.
    assert outcomes["as-generated"] == "loaded"
    assert outcomes["tokens-crlf-and-blank-lines"] == "loaded"
    assert outcomes["no-vocab_size"] == "died"
    assert outcomes["tokens-duplicate-id"] == "died"
    assert outcomes["feat-dim-not-the-inputs"] == "died"  # at the first decode
