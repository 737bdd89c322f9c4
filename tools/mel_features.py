"""The log-mel features sherpa-onnx computes for a NeMo transducer, redone in numpy.

Used to choose the tone frequencies and the loudness threshold of the tone model and to check
that bursts and gaps land on the intended side of that threshold. It follows the library's
fixed front end: 25 ms frames every 10 ms with mirrored edges, no dither, no DC removal,
pre-emphasis 0.97, the "povey" window, a 512-point power spectrum, a Slaney-style mel bank
from 0 to 7600 Hz with area normalisation, and the natural log floored at FLT_EPSILON.
"""
import math

import numpy as np

SAMPLE_RATE = 16000
FRAME_SHIFT = 160  # samples, 10 ms
FRAME_LENGTH = 400  # samples, 25 ms
FFT_SIZE = 512
NUM_MEL_BINS = 80
LOW_FREQ = 0.0
HIGH_FREQ = SAMPLE_RATE / 2 - 400  # the library's default of Nyquist - 400 Hz
PREEMPHASIS = 0.97
LOG_FLOOR = float(np.finfo(np.float32).eps)
SILENCE_LEVEL = math.log(LOG_FLOOR)  # -15.94: every bin of digital silence

# Slaney mel scale: linear below 1 kHz, logarithmic above.
_LINEAR_HZ_PER_MEL = 200.0 / 3
_BREAK_HZ = 1000.0
_BREAK_MEL = _BREAK_HZ / _LINEAR_HZ_PER_MEL
_LOG_STEP = math.log(6.4) / 27.0


def hz_to_mel(hz):
    hz = np.asarray(hz, dtype=np.float64)
    linear = hz / _LINEAR_HZ_PER_MEL
    logarithmic = _BREAK_MEL + np.log(np.maximum(hz, 1e-10) / _BREAK_HZ) / _LOG_STEP
    return np.where(hz >= _BREAK_HZ, logarithmic, linear)


def mel_to_hz(mel):
    mel = np.asarray(mel, dtype=np.float64)
    linear = mel * _LINEAR_HZ_PER_MEL
    logarithmic = _BREAK_HZ * np.exp(_LOG_STEP * (mel - _BREAK_MEL))
    return np.where(mel >= _BREAK_MEL, logarithmic, linear)


def mel_edges_hz(num_bins=NUM_MEL_BINS):
    """num_bins + 2 triangle corners in Hz, equally spaced on the mel scale."""
    mels = np.linspace(hz_to_mel(LOW_FREQ), hz_to_mel(HIGH_FREQ), num_bins + 2)
    return mel_to_hz(mels)


def bin_centre_hz(b, num_bins=NUM_MEL_BINS):
    return float(mel_edges_hz(num_bins)[b + 1])


def mel_bank(num_bins=NUM_MEL_BINS):
    """(num_bins, FFT_SIZE // 2 + 1) triangle weights, linear in Hz, Slaney area-normalised."""
    edges = mel_edges_hz(num_bins)
    fft_hz = np.arange(FFT_SIZE // 2 + 1) * SAMPLE_RATE / FFT_SIZE
    bank = np.zeros((num_bins, fft_hz.size))
    for b in range(num_bins):
        left, centre, right = edges[b], edges[b + 1], edges[b + 2]
        rising = (fft_hz - left) / (centre - left)
        falling = (right - fft_hz) / (right - centre)
        bank[b] = np.maximum(0.0, np.minimum(rising, falling)) * 2.0 / (right - left)
    return bank


def _povey_window():
    k = np.arange(FRAME_LENGTH)
    return (0.5 - 0.5 * np.cos(2 * math.pi * k / (FRAME_LENGTH - 1))) ** 0.85


def frame_count(num_samples):
    return (num_samples + FRAME_SHIFT // 2) // FRAME_SHIFT


def log_mel(samples, num_bins=NUM_MEL_BINS):
    """(frames, num_bins) log-mel features of float samples in [-1, 1] at 16 kHz."""
    samples = np.asarray(samples, dtype=np.float64)
    n = samples.size
    frames = frame_count(n)
    if frames == 0:
        return np.zeros((0, num_bins))
    # Frame i covers samples 160 i - 120 .. 160 i + 279; indices outside are mirrored.
    starts = np.arange(frames) * FRAME_SHIFT + FRAME_SHIFT // 2 - FRAME_LENGTH // 2
    index = starts[:, None] + np.arange(FRAME_LENGTH)[None, :]
    index = np.where(index < 0, -index - 1, index)
    index = np.where(index >= n, 2 * n - 1 - index, index)
    x = samples[index]
    emphasised = x.copy()
    emphasised[:, 1:] -= PREEMPHASIS * x[:, :-1]
    emphasised[:, 0] -= PREEMPHASIS * x[:, 0]
    windowed = emphasised * _povey_window()
    spectrum = np.fft.rfft(windowed, FFT_SIZE)
    power = spectrum.real**2 + spectrum.imag**2
    energy = power @ mel_bank(num_bins).T
    return np.log(np.maximum(energy, LOG_FLOOR))


def tone(frequency, seconds, amplitude=0.5):
    t = np.arange(int(round(seconds * SAMPLE_RATE))) / SAMPLE_RATE
    return amplitude * np.sin(2 * math.pi * frequency * t)
