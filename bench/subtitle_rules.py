#!/usr/bin/python3
"""Measures how far transcribe-subtitles' cues follow the subtitle style rules (the Netflix Timed
Text Style Guide, the BBC Subtitle Guidelines) on realistic record streams from
bench/record_stream.py, for one or more builds of the program side by side.

    /usr/bin/python3 bench/subtitle_rules.py --minutes 20 build/linux/transcribe-subtitles [OTHER]
    /usr/bin/python3 bench/subtitle_rules.py --records talk.jsonl build/linux/transcribe-subtitles

The rules are checked here, independently of the program's own --report, on its JSON document:
times as written, lines as written, words as read. Shares are of all cues, except the line rules,
which are of the two-line cues. Limits are the defaults: 42 columns, 2 lines, 5/6 s, 20 cps,
2 frames at 24 fps, gaps under 0.5 s closed.
"""
import argparse
import json
import subprocess
import sys
import unicodedata
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
import record_stream  # noqa: E402

MAX_COLUMNS = 42
MIN_SECONDS = 5 / 6
MAX_CPS = 20
MIN_GAP = 2 / 24
CLOSE_GAP = 0.5
EPSILON = 0.0015  # times are written to the millisecond

BINDING = set("""a an the my your his her its our their this these i we they he she am is are was
were be been have has had do does did will would can could shall should may might must i'm i've
i'll i'd we're they're don't and but or nor so yet because although though while when whereas
unless until if than that which who where of to in on at for with from by about into onto over
under after before between through during without""".split())
ABBREVIATIONS = {"dr.", "mr.", "mrs.", "ms.", "prof.", "st.", "e.g.", "i.e.", "vs."}
INSIDE_SENTENCE = {"a.m.", "p.m.", "u.s.", "u.k.", "etc."}  # sentence ends only before a capital


def columns(text):
    return sum(0 if unicodedata.combining(c) else
               2 if unicodedata.east_asian_width(c) in "WF" else 1 for c in text)


def is_cjk(c):
    return unicodedata.east_asian_width(c) in "WF" and not ("\uac00" <= c <= "\ud7ff")


def ends_sentence(text, next_text="A"):
    return text.rstrip("\"')]”’").endswith((".", "!", "?", "…", "。", "！", "？")) and \
        text.lower() not in ABBREVIATIONS and not (len(text) == 2 and text[0].isupper()) and \
        not (text.lower() in INSIDE_SENTENCE and not next_text[:1].isupper())


def ends_clause(text):
    return text.rstrip("\"')]”’").endswith((",", ";", ":", "—", "，", "、"))


def binds(text):
    return text.lower().strip("\"(") in BINDING


def joined(words):
    out = ""
    for i, w in enumerate(words):
        if i and not (is_cjk(words[i - 1][-1]) and is_cjk(w[0])):
            out += " "
        out += w
    return out


def line_rules(cue):
    """For a two-line cue: (after a binding word where a better break fits, a punctuation break
    that fits ignored, one word alone where another break fits)."""
    texts = [w["text"] for w in cue["words"]]
    bare_top = cue["lines"][0].replace(" ", "")
    top = next(k for k in range(1, len(texts)) if "".join(texts[:k]).replace(" ", "") == bare_top)
    fits = [k for k in range(1, len(texts))
            if columns(joined(texts[:k])) <= MAX_COLUMNS and columns(joined(texts[k:])) <= MAX_COLUMNS]
    # A better break leaves no word alone, where that can be helped.
    better = [k for k in fits if 1 < k < len(texts) - 1 or len(texts) <= 3]
    after_binding = binds(texts[top - 1]) and any(not binds(texts[k - 1]) for k in better)
    punctuation = [k for k in better
                   if ends_sentence(texts[k - 1], texts[k]) or ends_clause(texts[k - 1])]
    ignored = bool(punctuation) and top not in punctuation
    lone = (top == 1 or top == len(texts) - 1) and any(1 < k < len(texts) - 1 for k in fits)
    return after_binding, ignored, lone


def measure(cues):
    counts = dict.fromkeys(["short", "fast", "gap under", "gap open", "binding", "punctuation",
                            "lone", "tail", "abbreviation", "cjk"], 0)
    two_line = 0
    for i, cue in enumerate(cues):
        duration = cue["end"] - cue["start"]
        text = " ".join(cue["lines"])
        counts["short"] += duration < MIN_SECONDS - EPSILON
        counts["fast"] += len(text) / max(duration, 1e-3) > MAX_CPS + 0.05
        if i + 1 < len(cues):
            gap = cues[i + 1]["start"] - cue["end"]
            counts["gap under"] += gap < MIN_GAP - EPSILON
            counts["gap open"] += MIN_GAP + EPSILON < gap < CLOSE_GAP
        if len(cue["lines"]) == 2:
            two_line += 1
            for key, broken in zip(["binding", "punctuation", "lone"], line_rules(cue)):
                counts[key] += broken
        texts = [w["text"] for w in cue["words"]]
        previous = cues[i - 1]["words"][-1]["text"] if i else "."
        counts["tail"] += len(texts) <= 2 and ends_sentence(texts[-1]) and not ends_sentence(previous)
        counts["abbreviation"] += i + 1 < len(cues) and (
            texts[-1].lower() in ABBREVIATIONS or
            (len(texts[-1]) == 2 and texts[-1][1] == "." and texts[-1][0].isupper()))
        counts["cjk"] += any(columns(line) > MAX_COLUMNS and " " in line for line in cue["lines"]) or \
            any(is_cjk(line[k - 1]) and line[k] == " " and is_cjk(line[k + 1])
                for line in cue["lines"] for k in range(1, len(line) - 1))
    return counts, two_line


def cues_of(program, records):
    out = subprocess.run([program, "--format", "json"], input=records, capture_output=True,
                         check=True).stdout
    return json.loads(out)["cues"]


ROWS = [("short", "shorter than 5/6 s"), ("fast", "faster than 20 characters a second"),
        ("gap under", "gap to the next cue under 2 frames (touching too)"),
        ("gap open", "gap of 2 frames to 0.5 s left open"),
        ("binding", "two-line cue broken after an article, preposition, conjunction, pronoun or "
                    "auxiliary where another break fits"),
        ("punctuation", "two-line cue ignoring a punctuation break that fits"),
        ("lone", "one word alone on a line where another break fits"),
        ("tail", "a 1-2 word sentence tail alone in a cue"),
        ("abbreviation", "a sentence split at an abbreviation or initial"),
        ("cjk", "Chinese: blanks between words, or a line over 42 columns")]


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("programs", nargs="+")
    parser.add_argument("--minutes", type=float, default=20)
    parser.add_argument("--seeds", type=int, default=3)
    parser.add_argument("--records", help="a worker's records (a real file's) instead")
    args = parser.parse_args()
    if args.records:
        records = Path(args.records).read_bytes()
        print("| rule | " + " | ".join(args.programs) + " |")
        print("| --- |" + " --- |" * len(args.programs))
        measured = [(measure(cues), len(cues)) for cues in
                    (cues_of(program, records) for program in args.programs)]
        for key, label in ROWS[:-1]:
            cells = []
            for (counts, two_lines), cue_count in measured:
                whole = two_lines if key in ("binding", "punctuation", "lone") else cue_count
                cells.append(f"{100 * counts[key] / max(whole, 1):.1f} % ({counts[key]})")
            print(f"| {label} | " + " | ".join(cells) + " |")
        return
    results = []
    for program in args.programs:
        totals, cue_count, two_lines, zh_cues = {}, 0, 0, 0
        for seed in range(1, args.seeds + 1):
            records = b"".join(record_stream.records(args.minutes, seed))
            cues = cues_of(program, records)
            counts, two_line = measure(cues)
            zh = cues_of(program, b"".join(record_stream.records(args.minutes / 4, seed, "zh")))
            counts["cjk"] = measure(zh)[0]["cjk"]
            zh_cues += len(zh)
            for key, value in counts.items():
                totals[key] = totals.get(key, 0) + value
            cue_count += len(cues)
            two_lines += two_line
        results.append((totals, cue_count, two_lines, zh_cues))
    print(f"{args.seeds} streams of {args.minutes:g} min (English) and {args.minutes / 4:g} min "
          f"(Chinese); cues: " + ", ".join(str(r[1]) for r in results))
    print("| rule | " + " | ".join(Path(p).parent.name or p for p in args.programs) + " |")
    print("| --- |" + " --- |" * len(args.programs))
    for key, label in ROWS:
        cells = []
        for totals, cue_count, two_lines, zh_cues in results:
            whole = two_lines if key in ("binding", "punctuation", "lone") else \
                zh_cues if key == "cjk" else cue_count
            cells.append(f"{100 * totals[key] / max(whole, 1):.1f} % ({totals[key]})")
        print(f"| {label} | " + " | ".join(cells) + " |")


if __name__ == "__main__":
    main()
