"""Speech from espeak-ng and flite, resampled to 16 kHz by sox, with noise, gain, reverberation and
silence added; every random choice comes from the utterance's own seed.

Voices: espeak-ng's English voices with its variants, and flite's kal, awb, slt and rms. The
variant "f2" of espeak-ng and flite's "rms" never speak a training sentence: they are the held-out
voices of the dev and test sets.
"""
import io
import subprocess
import wave

import numpy as np

SAMPLE_RATE = 16000
ESPEAK_LANGUAGES = ["en-us", "en-gb", "en-gb-scotland", "en-gb-x-gbclan", "en-gb-x-rp",
                    "en-gb-x-gbcwmd", "en-029"]
# Every variant espeak-ng 1.51 ships (voices/!v) but the held-out one and "Mr serious" (a blank
# in its name), and the plain voice.
ESPEAK_TRAIN_VARIANTS = [
    "",
    "Alex", "Alicia", "Andrea", "Andy", "Annie", "AnxiousAndy", "Demonic", "Denis", "Diogo",
    "Gene", "Gene2", "Henrique", "Hugo", "Jacky", "Lee", "Marco", "Mario", "Michael", "Mike",
    "Nguyen", "RicishayMax", "RicishayMax2", "RicishayMax3", "Storm", "Tweaky", "UniRobot",
    "adam", "anika", "anikaRobot", "announcer", "antonio", "aunty", "belinda", "benjamin",
    "boris", "caleb", "croak", "david", "ed", "edward", "edward2", "f1", "f3", "f4", "f5", "fast",
    "grandma", "grandpa", "gustave", "iven", "iven2", "iven3", "iven4", "john", "kaukovalta",
    "klatt", "klatt2", "klatt3", "klatt4", "klatt5", "klatt6", "linda", "m1", "m2", "m3", "m4",
    "m5", "m6", "m7", "m8", "marcelo", "max", "michel", "miguel", "norbert", "pablo", "paul",
    "pedro", "quincy", "rob", "robert", "robosoft", "robosoft2", "robosoft3", "robosoft4",
    "robosoft5", "robosoft6", "robosoft7", "robosoft8", "sandro", "shelby", "steph", "steph2",
    "steph3", "travis", "victor", "whisper", "whisperf", "zac"]
ESPEAK_HELD_OUT_VARIANT = "f2"
FLITE_TRAIN_VOICES = ["kal", "awb", "slt"]
FLITE_HELD_OUT_VOICE = "rms"
HELD_OUT_VOICES = ["espeak-" + ESPEAK_HELD_OUT_VARIANT, "flite-" + FLITE_HELD_OUT_VOICE]
FLITE_SHARE = 0.4  # of training utterances


def pick_voice(rng, held_out):
    """A voice description: (engine, voice name, speed setting, pitch)."""
    if held_out == "espeak-" + ESPEAK_HELD_OUT_VARIANT:
        return ("espeak", f"{rng.choice(ESPEAK_LANGUAGES)}+{ESPEAK_HELD_OUT_VARIANT}",
                int(rng.integers(130, 221)), int(rng.integers(20, 81)))
    if held_out == "flite-" + FLITE_HELD_OUT_VOICE:
        return ("flite", FLITE_HELD_OUT_VOICE, float(rng.uniform(0.8, 1.25)), 0)
    if rng.random() < FLITE_SHARE:
        return ("flite", str(rng.choice(FLITE_TRAIN_VOICES)), float(rng.uniform(0.8, 1.25)), 0)
    variant = str(rng.choice(ESPEAK_TRAIN_VARIANTS))
    name = str(rng.choice(ESPEAK_LANGUAGES)) + (f"+{variant}" if variant else "")
    return ("espeak", name, int(rng.integers(130, 221)), int(rng.integers(20, 81)))


def voice_label(voice):
    engine, name = voice[0], voice[1]
    return f"{engine}-{name.split('+')[1] if '+' in name else name}"


def synthesize(text, voice, reverb=None, tract=None, cents=None):
    """float32 samples at 16 kHz of one utterance: the synthesizer's WAV through sox (resampling;
    a speed change by the factor `tract` when asked, which moves pitch and formants together as a
    shorter or longer vocal tract would; a pitch shift by `cents` alone, the formants kept; a
    little reverberation when asked: (reverberance %, room scale %))."""
    engine, name, speed, pitch = voice
    if engine == "espeak":
        synth = ["espeak-ng", "-v", name, "-s", str(speed), "-p", str(pitch), "--stdout", text]
    else:
        synth = ["flite", "-voice", name, "--setf", f"duration_stretch={speed:.3f}", "-t", text,
                 "-o", "/dev/stdout"]
    raw = subprocess.run(synth, check=True, capture_output=True).stdout
    effects = ["speed", f"{tract:.3f}"] if tract else []
    effects += ["pitch", str(cents)] if cents else []
    effects += ["reverb", str(reverb[0]), "50", str(reverb[1])] if reverb else []
    sox = ["sox", "-V1", "-R", "-t", "wav", "-", "-t", "wav", "-r", str(SAMPLE_RATE), "-c", "1",
           "-b", "16", "-e", "signed", "-", "gain", "-3"] + effects
    wav = subprocess.run(sox, input=raw, check=True, capture_output=True).stdout
    with wave.open(io.BytesIO(wav)) as reader:
        frames = reader.readframes(reader.getnframes())
    return np.frombuffer(frames, dtype="<i2").astype(np.float32) / 32768.0


def coloured_noise(rng, n, colour):
    white = rng.standard_normal(n + 1)
    if colour == "white":
        noise = white[:n]
    elif colour == "brown":
        noise = np.cumsum(white)[:n]
        noise -= np.convolve(noise, np.ones(801) / 801, mode="same")  # no drift below 20 Hz
    else:  # pink-ish: white and brown mixed in the spectrum's middle
        spectrum = np.fft.rfft(white[:n])
        f = np.arange(spectrum.size) + 1.0
        noise = np.fft.irfft(spectrum / np.sqrt(f), n)
    return noise / (np.std(noise) + 1e-12)


def decorate(rng, speech, snr_db=None, peak_db=None, lead=None, trail=None):
    """Silence before and after, gain to a peak level, and noise over everything at an SNR (dB,
    against the speech's power); None for snr_db means no noise at all."""
    lead = rng.uniform(0.1, 0.8) if lead is None else lead
    trail = rng.uniform(0.1, 0.8) if trail is None else trail
    peak_db = rng.uniform(-20.0, -1.0) if peak_db is None else peak_db
    speech = speech / (np.max(np.abs(speech)) + 1e-9) * 10 ** (peak_db / 20)
    audio = np.concatenate([np.zeros(int(lead * SAMPLE_RATE)), speech,
                            np.zeros(int(trail * SAMPLE_RATE))])
    if snr_db is not None:
        voiced = speech[np.abs(speech) > 0.01 * np.max(np.abs(speech))]
        power = np.mean(voiced ** 2) if voiced.size else 1e-6
        colour = str(rng.choice(["white", "pink", "brown"]))
        noise = coloured_noise(rng, audio.size, colour)
        audio = audio + noise * np.sqrt(power / 10 ** (snr_db / 10))
    return np.clip(audio, -1.0, 32767 / 32768).astype(np.float32)


def sound_span(samples):
    """First and last sample above 2 % of the peak (the synthesizer's own silence trimmed)."""
    loud = np.flatnonzero(np.abs(samples) > 0.02 * np.max(np.abs(samples)))
    return int(loud[0]), int(loud[-1]) + 1


def words_apart(text, voice, rng, tract, cents):
    """The text's words synthesized one by one, trimmed to their sound, 0.1-0.7 s apart."""
    pieces = []
    for word in text.split():
        samples = synthesize(word, voice, tract=tract, cents=cents)
        if np.any(samples):
            a, b = sound_span(samples)
            pieces.append(samples[a:b] / np.max(np.abs(samples)))
        pieces.append(np.zeros(int(rng.uniform(0.1, 0.7) * SAMPLE_RATE), dtype=np.float32))
    return np.concatenate(pieces[:-1])


def training_utterance(seed, text, held_out=None, noisy=None, apart=False):
    """One utterance: (voice label, samples). Noise at 10-30 dB SNR on 80 % (or as asked),
    reverberation on 30 %, a speed change on 70 % of the training utterances and a pitch shift
    on 70 % of flite's; `apart`: the words spoken one by one, with pauses."""
    rng = np.random.default_rng(seed)
    voice = pick_voice(rng, held_out)
    reverb = (int(rng.integers(10, 41)), int(rng.integers(10, 41))) if rng.random() < 0.3 else None
    # New speakers from the few there are: 0.88-1.12 times the speed on 70 % of the training
    # utterances, and flite's three voices shifted in pitch by up to 5 semitones either way
    # (held-out voices are left as they are).
    tract = float(rng.uniform(0.88, 1.12)) if held_out is None and rng.random() < 0.7 else None
    cents = None
    if held_out is None and voice[0] == "flite" and rng.random() < 0.7:
        cents = int(rng.integers(-500, 501))
    if apart:
        speech = words_apart(text, voice, rng, tract, cents)
    else:
        speech = synthesize(text, voice, reverb, tract, cents)
    with_noise = rng.random() < 0.8 if noisy is None else noisy
    snr = float(rng.uniform(10, 30)) if with_noise else None
    return voice_label(voice), decorate(rng, speech, snr_db=snr)


def to_int16(samples):
    return np.round(np.clip(samples, -1.0, 32767 / 32768) * 32768).astype("<i2")


def write_wav(path, samples):
    with wave.open(str(path), "wb") as writer:
        writer.setnchannels(1)
        writer.setsampwidth(2)
        writer.setframerate(SAMPLE_RATE)
        writer.writeframes(to_int16(samples).tobytes())
