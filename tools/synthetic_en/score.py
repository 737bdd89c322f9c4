#!/usr/bin/python3
"""Word error rate: word-level edit distance (substitutions + deletions + insertions) over the
reference's word count. Both sides are compared as lower-case words with punctuation other than
the apostrophe removed.

  score.py REF.txt HYP.txt      one utterance per line, same order
"""
import re
import sys


def words_of(text):
    return re.sub(r"[^a-z' ]", " ", text.lower()).split()


def edit_distance(ref, hyp):
    previous = list(range(len(hyp) + 1))
    for i, r in enumerate(ref, 1):
        current = [i] + [0] * len(hyp)
        for j, h in enumerate(hyp, 1):
            current[j] = min(previous[j] + 1, current[j - 1] + 1, previous[j - 1] + (r != h))
        previous = current
    return previous[-1]


def word_errors(reference, hypothesis):
    """(errors, reference words) of one utterance."""
    ref, hyp = words_of(reference), words_of(hypothesis)
    return edit_distance(ref, hyp), len(ref)


def main():
    refs = open(sys.argv[1]).read().splitlines()
    hyps = open(sys.argv[2]).read().splitlines()
    if len(refs) != len(hyps):
        sys.exit(f"score: {len(refs)} references but {len(hyps)} hypotheses")
    errors = words = 0
    for r, h in zip(refs, hyps):
        e, n = word_errors(r, h)
        errors += e
        words += n
    print(f"WER {100 * errors / max(1, words):.2f} % ({errors} errors / {words} words)")


if __name__ == "__main__":
    main()
