#!/usr/bin/python3
"""Realistic worker record streams for measuring transcribe-subtitles: natural English sentences
(clauses, questions, abbreviations, decimals, initials, one-word answers), hesitations with
pauses, a fast talker now and then, and records of 20-30 s that end wherever the piece cut fell,
mid-sentence too. `--language zh` gives Chinese sentences (words without blanks) instead.

    /usr/bin/python3 bench/record_stream.py --minutes 20 --seed 1 > records.jsonl

The same seed always gives the same stream.
"""
import argparse
import json
import random
import sys

SUBJECTS = ["I", "we", "they", "you", "she", "he", "the team", "my brother", "our neighbours",
            "the doctor", "Dr. Patel", "Mr. Jones", "Mrs. Brown", "the committee", "J. Smith",
            "the children", "most people", "the company", "Professor Lee", "my mother"]
VERBS = ["said", "thought", "decided", "noticed", "explained", "remembered", "wanted to know",
         "asked", "told us", "believed", "found out", "agreed", "promised", "admitted"]
CLAUSES = [
    "the meeting had been moved to the morning", "the water pump was broken again",
    "nobody had checked the numbers before the report went out",
    "the new bridge would open at 9 a.m. on Monday", "the results were better than expected",
    "it would cost about 3.5 million dollars", "the train from St. Albans was running late",
    "the U.S. office would handle the contracts", "the battery lasts for 2.5 hours at most",
    "we should start again from the beginning", "the garden needed a lot more work",
    "the museum closes at 6 p.m. in the winter", "there was nothing left in the fridge",
    "the old road through the valley was closed", "the price had gone up by 7.25 percent",
    "she could not find the keys to the car", "they would need more time to finish the job",
    "the software had a bug that nobody could reproduce", "the kids were already asleep",
    "it was the best meal he had ever eaten", "the experiment failed for the third time",
    "some fruits, e.g. apples and pears, keep for months", "the plan, i.e. the second one, works",
]
TAILS = ["because it was raining", "although nobody believed it", "and that was the end of it",
         "so we went home early", "but the manager disagreed", "when the lights went out",
         "after the long weekend", "in the middle of the night", "without telling anyone",
         "before the deadline", "while we were waiting for the bus", "pump", "again", "too"]
QUESTIONS = ["what do you want to do with the old car", "did you see the message from Dr. Kim",
             "why would anyone build a house there", "can we talk about it tomorrow",
             "is that really what happened", "where did you put the receipts",
             "how long will it take to fix"]
SHORT = ["Yes.", "No.", "Okay.", "Right.", "Exactly.", "I see.", "Thank you.", "Really?",
         "Of course.", "Why not?", "Good.", "Sure."]
HESITATIONS = ["uh", "um", "well,", "you know,", "I mean,"]

ZH_WORDS = ["我们", "今天", "明天", "公司", "会议", "已经", "决定", "需要", "时间", "问题",
            "朋友", "老师", "学生", "城市", "天气", "非常", "可以", "还是", "因为", "所以",
            "这个", "那个", "东西", "工作", "发现", "开始", "结束", "办法", "电脑", "手机"]
ZH_ENDS = ["。", "？", "！"]


def english_sentence(rng):
    kind = rng.random()
    if kind < 0.12:
        return rng.choice(SHORT).split()
    if kind < 0.25:
        text = rng.choice(QUESTIONS) + "?"
    else:
        text = f"{rng.choice(SUBJECTS)} {rng.choice(VERBS)} that {rng.choice(CLAUSES)}"
        if rng.random() < 0.5:
            text += ("," if rng.random() < 0.5 else "") + " " + rng.choice(TAILS)
        if rng.random() < 0.25:
            text += ", and " + rng.choice(CLAUSES)
        text += "."
    words = text.split()
    words[0] = words[0][0].upper() + words[0][1:]
    if rng.random() < 0.2:  # a hesitation inside the sentence
        words.insert(rng.randrange(1, len(words)), rng.choice(HESITATIONS))
    return words


def chinese_sentence(rng):
    words = [rng.choice(ZH_WORDS) for _ in range(rng.randint(3, 18))]
    if len(words) > 8:
        words[len(words) // 2] += "，"
    words[-1] += rng.choice(ZH_ENDS)
    return words


def timed_words(rng, language):
    """Words with times: a speaking rate per stretch of talk, short gaps between words, longer
    ones after clauses and sentences, a pause after a hesitation."""
    t = 0.5
    rate = 1.0
    while True:
        if rng.random() < 0.08:  # another speaker, or the same one speeding up or slowing down
            rate = rng.choice([0.75, 0.9, 1.0, 1.0, 1.15, 1.3])
        sentence = chinese_sentence(rng) if language == "zh" else english_sentence(rng)
        for i, text in enumerate(sentence):
            letters = len(text) * (2.2 if language == "zh" else 1)
            duration = (0.09 + 0.052 * letters) / rate * rng.uniform(0.85, 1.15)
            yield {"text": text, "start": round(t, 3), "end": round(t + duration, 3)}
            t += duration
            if text.rstrip(",") in ("uh", "um") or text.endswith(","):
                t += rng.uniform(0.15, 0.9)
            elif i + 1 < len(sentence):
                t += rng.choice([0.0, 0.02, 0.05, 0.08, 0.12]) / rate
        t += rng.choice([0.05, 0.1, 0.2, 0.3, 0.45, 0.6, 0.9, 1.5, 3.0])


def records(minutes, seed=1, language="en"):
    """The record lines (bytes), the ready record first."""
    rng = random.Random(seed)
    yield b'{"ready":true}\n'
    piece_end = rng.uniform(20, 30)
    words = []
    for word in timed_words(rng, language):
        if word["start"] >= minutes * 60:
            break
        while word["start"] >= piece_end:  # the piece was cut before this word
            yield (json.dumps({"end": round(piece_end, 3), "words": words},
                              ensure_ascii=False) + "\n").encode()
            words = []
            piece_end += rng.uniform(20, 30)
        words.append(word)
        piece_end = max(piece_end, word["end"])
    yield (json.dumps({"end": round(max(piece_end, minutes * 60), 3), "words": words},
                      ensure_ascii=False) + "\n").encode()


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--minutes", type=float, default=20)
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--language", choices=["en", "zh"], default="en")
    args = parser.parse_args()
    for line in records(args.minutes, args.seed, args.language):
        sys.stdout.buffer.write(line)


if __name__ == "__main__":
    main()
