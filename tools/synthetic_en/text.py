"""English sentences from the fortune files Debian ships, normalised for speaking and scoring.

Normalisation: lower case; whole numbers from 0 to 9999 spelled out ("1984" -> "one thousand nine
hundred eighty four"), any other digit sequence drops the sentence; hyphens and slashes become
spaces; apostrophes inside words stay ("don't"); every other punctuation mark is dropped. A
sentence is kept only when every word is in /usr/share/dict/words (so abbreviations, names the
synthesizers spell out and foreign words are left out) and it has 3 to 24 words. The corpus then
keeps only sentences made of its most common words (a closed vocabulary that a few hours of
speech cover many times over).
"""
import collections
import re
from pathlib import Path

FORTUNE_DIR = Path("/usr/share/games/fortunes")
DICTIONARY = Path("/usr/share/dict/words")
MIN_WORDS, MAX_WORDS = 3, 24

_ONES = ["zero", "one", "two", "three", "four", "five", "six", "seven", "eight", "nine", "ten",
         "eleven", "twelve", "thirteen", "fourteen", "fifteen", "sixteen", "seventeen",
         "eighteen", "nineteen"]
_TENS = ["", "", "twenty", "thirty", "forty", "fifty", "sixty", "seventy", "eighty", "ninety"]


def spell_number(n):
    """0 <= n <= 9999 in words, without "and": 305 -> "three hundred five"."""
    if n < 20:
        return _ONES[n]
    if n < 100:
        return _TENS[n // 10] + ("" if n % 10 == 0 else " " + _ONES[n % 10])
    if n < 1000:
        rest = n % 100
        return _ONES[n // 100] + " hundred" + ("" if rest == 0 else " " + spell_number(rest))
    rest = n % 1000
    return spell_number(n // 1000) + " thousand" + ("" if rest == 0 else " " + spell_number(rest))


def _number_words(match):
    digits = match.group(0)
    if len(digits) > 4 or (len(digits) > 1 and digits[0] == "0"):
        return " 0bad "
    return " " + spell_number(int(digits)) + " "


def normalise(sentence):
    """The spoken and scored form of a sentence, or None when it cannot be said plainly."""
    text = sentence.lower().replace("\u2019", "'")
    if re.search(r"\d[.,:]\d", text):
        return None
    text = re.sub(r"\d+", _number_words, text)
    if "0bad" in text or re.search(r"\d", text):
        return None
    text = re.sub(r"[-/]", " ", text)
    text = re.sub(r"[^a-z' ]", " ", text)
    words = [w.strip("'") for w in text.split()]
    words = [w for w in words if w]
    return " ".join(words) if words else None


def dictionary_words():
    return {w.strip().lower() for w in DICTIONARY.read_text(encoding="utf-8").splitlines()}


def fortune_sentences():
    """Every sentence of the fortune files, in file order (offensive ones are not installed)."""
    for path in sorted(FORTUNE_DIR.iterdir()):
        if path.suffix or path.is_dir():
            continue
        try:
            content = path.read_text(encoding="utf-8")
        except UnicodeDecodeError:
            continue
        for entry in content.split("\n%\n"):
            lines = [l.strip() for l in entry.splitlines()]
            # Attribution lines ("-- Mark Twain") and speaker tags are not prose.
            lines = [l for l in lines if l and not l.startswith("--") and not l.startswith("(")]
            prose = " ".join(lines)
            prose = re.sub(r"\s+", " ", prose)
            for sentence in re.split(r"(?<=[.!?])\s+", prose):
                yield sentence


def corpus():
    """The distinct normalised sentences that pass the filters, sorted."""
    known = dictionary_words()
    kept = set()
    for sentence in fortune_sentences():
        if re.search(r"[A-Z]{2,}|[A-Za-z]\.[A-Za-z]|[@#$%&*=_<>|~^{}\[\]\\]", sentence):
            continue  # acronyms, abbreviations, code and ascii art
        text = normalise(sentence)
        if not text:
            continue
        words = text.split()
        if not MIN_WORDS <= len(words) <= MAX_WORDS:
            continue
        if all(w in known for w in words):
            kept.add(text)
    return sorted(kept)


def common_word_sentences(sentences, words):
    """The sentences whose every word is among the `words` most frequent words of all of them
    (ties broken alphabetically), and that vocabulary."""
    counts = collections.Counter(w for s in sentences for w in s.split())
    ranked = sorted(counts, key=lambda w: (-counts[w], w))
    vocabulary = set(ranked[:words])
    return [s for s in sentences if all(w in vocabulary for w in s.split())], vocabulary
