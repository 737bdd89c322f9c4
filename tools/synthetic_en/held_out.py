"""Held-out speech made on demand: sentences read by the voices the model never heard in
training, one after another with pauses, or word by word with known silences (the true time of
every word known to the sample)."""
import numpy as np

import speech

SR = speech.SAMPLE_RATE


def reading(texts, voice_name, seed, pause=(0.3, 0.8), noisy=False):
    """The sentences spoken one after another by a held-out voice (each with its own speed and
    pitch, silence around it, gain, and noise when asked), `pause` seconds apart: samples."""
    rng = np.random.default_rng(seed)
    pieces = []
    for i, text in enumerate(texts):
        _, samples = speech.training_utterance(seed * 1000 + i, text, held_out=voice_name,
                                               noisy=noisy)
        pieces += [samples, np.zeros(int(rng.uniform(*pause) * SR), dtype=np.float32)]
    return np.concatenate(pieces)


def word_by_word(texts, voice_name, seed, pause=(0.25, 0.6)):
    """The sentences' words synthesized one by one by a held-out voice (one voice setting a
    sentence), trimmed to their sound and placed `pause` seconds apart after 0.5 s of silence:
    (samples, [(word, start s, end s)])."""
    rng = np.random.default_rng(seed)
    audio = [np.zeros(int(0.5 * SR), dtype=np.float32)]
    position = audio[0].size
    truth = []
    for s, text in enumerate(texts):
        voice = speech.pick_voice(np.random.default_rng(seed * 1000 + s), voice_name)
        for word in text.split():
            samples = speech.synthesize(word, voice)
            a, b = speech.sound_span(samples)
            samples = samples[a:b] / np.max(np.abs(samples)) * 0.5
            truth.append((word, position / SR, (position + samples.size) / SR))
            gap = np.zeros(int(rng.uniform(*pause) * SR), dtype=np.float32)
            audio += [samples.astype(np.float32), gap]
            position += samples.size + gap.size
    return np.concatenate(audio), truth
