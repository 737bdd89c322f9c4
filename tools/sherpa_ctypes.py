"""Calls sherpa-onnx 1.13.4's offline recognizer from Python through ctypes (Linux x86-64 only).

Our own declarations of the 608-byte SherpaOnnxOfflineRecognizerConfig and of the nine functions
the worker uses, for checking the generated models against the real library.
"""
import ctypes
import json
from ctypes import POINTER, Structure, c_char_p, c_float, c_int32, c_void_p
from pathlib import Path

ROOT = Path(__file__).resolve().parents[1]
LIBRARY = ROOT / "third_party/sherpa-onnx-linux-x64/libsherpa-onnx-c-api.so"
SAMPLE_RATE = 16000


def _strings(*names):
    return [(name, c_char_p) for name in names]


class FeatureConfig(Structure):
    _fields_ = [("sample_rate", c_int32), ("feature_dim", c_int32)]


class TransducerConfig(Structure):
    _fields_ = _strings("encoder", "decoder", "joiner")


class OneModel(Structure):
    _fields_ = _strings("model")


class WhisperConfig(Structure):
    _fields_ = _strings("encoder", "decoder", "language", "task") + [
        ("tail_paddings", c_int32), ("enable_token_timestamps", c_int32),
        ("enable_segment_timestamps", c_int32)]


class SenseVoiceConfig(Structure):
    _fields_ = _strings("model", "language") + [("use_itn", c_int32)]


class MoonshineConfig(Structure):
    _fields_ = _strings("preprocessor", "encoder", "uncached_decoder", "cached_decoder",
                        "merged_decoder")


class FireRedAsrConfig(Structure):
    _fields_ = _strings("encoder", "decoder")


class CanaryConfig(Structure):
    _fields_ = _strings("encoder", "decoder", "src_lang", "tgt_lang") + [("use_pnc", c_int32)]


class FunAsrNanoConfig(Structure):
    _fields_ = _strings("encoder_adaptor", "llm", "embedding", "tokenizer", "system_prompt",
                        "user_prompt") + [
        ("max_new_tokens", c_int32), ("temperature", c_float), ("top_p", c_float),
        ("seed", c_int32), ("language", c_char_p), ("itn", c_int32), ("hotwords", c_char_p)]


class Qwen3AsrConfig(Structure):
    _fields_ = _strings("conv_frontend", "encoder", "decoder", "tokenizer") + [
        ("max_total_len", c_int32), ("max_new_tokens", c_int32), ("temperature", c_float),
        ("top_p", c_float), ("seed", c_int32), ("hotwords", c_char_p)]


class CohereTranscribeConfig(Structure):
    _fields_ = _strings("encoder", "decoder", "language") + [("use_punct", c_int32),
                                                             ("use_itn", c_int32)]


class ModelConfig(Structure):
    _fields_ = [
        ("transducer", TransducerConfig), ("paraformer", OneModel), ("nemo_ctc", OneModel),
        ("whisper", WhisperConfig), ("tdnn", OneModel), ("tokens", c_char_p),
        ("num_threads", c_int32), ("debug", c_int32), ("provider", c_char_p),
        ("model_type", c_char_p), ("modeling_unit", c_char_p), ("bpe_vocab", c_char_p),
        ("telespeech_ctc", c_char_p), ("sense_voice", SenseVoiceConfig),
        ("moonshine", MoonshineConfig), ("fire_red_asr", FireRedAsrConfig),
        ("dolphin", OneModel), ("zipformer_ctc", OneModel), ("canary", CanaryConfig),
        ("wenet_ctc", OneModel), ("omnilingual", OneModel), ("medasr", OneModel),
        ("funasr_nano", FunAsrNanoConfig), ("fire_red_asr_ctc", OneModel),
        ("qwen3_asr", Qwen3AsrConfig), ("cohere_transcribe", CohereTranscribeConfig)]


class LmConfig(Structure):
    _fields_ = [("model", c_char_p), ("scale", c_float)]


class HomophoneReplacerConfig(Structure):
    _fields_ = _strings("dict_dir", "lexicon", "rule_fsts")


class RecognizerConfig(Structure):
    _fields_ = [
        ("feat_config", FeatureConfig), ("model_config", ModelConfig), ("lm_config", LmConfig),
        ("decoding_method", c_char_p), ("max_active_paths", c_int32),
        ("hotwords_file", c_char_p), ("hotwords_score", c_float), ("rule_fsts", c_char_p),
        ("rule_fars", c_char_p), ("blank_penalty", c_float), ("hr", HomophoneReplacerConfig)]


assert ctypes.sizeof(RecognizerConfig) == 608
assert RecognizerConfig.decoding_method.offset == 528
assert RecognizerConfig.hr.offset == 584
assert ModelConfig.cohere_transcribe.offset == 472


def load_library(path=LIBRARY):
    lib = ctypes.CDLL(str(path))
    signatures = {
        "SherpaOnnxCreateOfflineRecognizer": (c_void_p, [POINTER(RecognizerConfig)]),
        "SherpaOnnxDestroyOfflineRecognizer": (None, [c_void_p]),
        "SherpaOnnxCreateOfflineStream": (c_void_p, [c_void_p]),
        "SherpaOnnxAcceptWaveformOffline": (None, [c_void_p, c_int32, POINTER(c_float), c_int32]),
        "SherpaOnnxDecodeOfflineStream": (None, [c_void_p, c_void_p]),
        "SherpaOnnxDecodeMultipleOfflineStreams": (None, [c_void_p, POINTER(c_void_p), c_int32]),
        # A plain pointer, not c_char_p, so the text can be handed back to be released.
        "SherpaOnnxGetOfflineStreamResultAsJson": (c_void_p, [c_void_p]),
        "SherpaOnnxDestroyOfflineStreamResultJson": (None, [c_void_p]),
        "SherpaOnnxDestroyOfflineStream": (None, [c_void_p]),
    }
    for name, (restype, argtypes) in signatures.items():
        function = getattr(lib, name)
        function.restype, function.argtypes = restype, argtypes
    return lib


class Recognizer:
    """One recognizer over a model directory holding encoder/decoder/joiner.int8.onnx (or the
    plain .onnx names when there is no .int8.onnx)."""

    def __init__(self, model_dir, num_threads=1, decoding_method="greedy_search", lib=None):
        self.lib = lib or load_library()
        model_dir = Path(model_dir)
        self._keep = []  # the strings must live until the create call returns

        def text(value):
            data = str(value).encode()
            self._keep.append(data)
            return data

        config = RecognizerConfig()
        config.feat_config.sample_rate = SAMPLE_RATE
        config.feat_config.feature_dim = 80
        transducer = config.model_config.transducer
        def network(name):
            int8 = model_dir / f"{name}.int8.onnx"
            return text(int8 if int8.exists() or not (model_dir / f"{name}.onnx").exists()
                        else model_dir / f"{name}.onnx")

        transducer.encoder = network("encoder")
        transducer.decoder = network("decoder")
        transducer.joiner = network("joiner")
        config.model_config.tokens = text(model_dir / "tokens.txt")
        config.model_config.num_threads = num_threads
        config.model_config.provider = text("cpu")
        config.model_config.model_type = text("nemo_transducer")
        config.decoding_method = text(decoding_method)
        config.max_active_paths = 4
        self.handle = self.lib.SherpaOnnxCreateOfflineRecognizer(ctypes.byref(config))
        self._keep.clear()

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()

    def close(self):
        if self.handle:
            self.lib.SherpaOnnxDestroyOfflineRecognizer(self.handle)
            self.handle = None

    def _stream(self, samples):
        import numpy as np
        data = np.ascontiguousarray(samples, dtype=np.float32)
        stream = self.lib.SherpaOnnxCreateOfflineStream(self.handle)
        self.lib.SherpaOnnxAcceptWaveformOffline(
            stream, SAMPLE_RATE, data.ctypes.data_as(POINTER(c_float)), data.size)
        return stream

    def _result(self, stream):
        raw = self.lib.SherpaOnnxGetOfflineStreamResultAsJson(stream)
        try:
            return ctypes.string_at(raw).decode()
        finally:
            self.lib.SherpaOnnxDestroyOfflineStreamResultJson(raw)

    def decode(self, samples):
        """The result JSON text of one waveform (floats in [-1, 1])."""
        stream = self._stream(samples)
        try:
            self.lib.SherpaOnnxDecodeOfflineStream(self.handle, stream)
            return self._result(stream)
        finally:
            self.lib.SherpaOnnxDestroyOfflineStream(stream)

    def decode_batch(self, waveforms):
        """The result JSON texts of several waveforms decoded in one batched call."""
        streams = [self._stream(w) for w in waveforms]
        try:
            array = (c_void_p * len(streams))(*streams)
            self.lib.SherpaOnnxDecodeMultipleOfflineStreams(self.handle, array, len(streams))
            return [self._result(s) for s in streams]
        finally:
            for s in streams:
                self.lib.SherpaOnnxDestroyOfflineStream(s)


def parse(result_json):
    return json.loads(result_json)
