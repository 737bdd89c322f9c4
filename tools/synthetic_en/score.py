#!/usr/bin/python3
"""Word error rate: word-level edit distance (substitutions + deletions + insertions) over the
reference's word count. Both sides are compared as lower-case words with punctuation other than
the apostrophe removed.

  score.py REF.txt HYP.txt      one utterance per line, same order
"""
import re
import sys

import numpy as np


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


def align(ref, hyp):
    """(ref index, hyp index) pairs on the diagonal steps of a minimum edit alignment."""
    n, m = len(ref), len(hyp)
    cost = np.zeros((n + 1, m + 1), dtype=np.int64)
    cost[:, 0] = np.arange(n + 1)
    cost[0, :] = np.arange(m + 1)
    for i in range(1, n + 1):
        for j in range(1, m + 1):
            cost[i, j] = min(cost[i - 1, j] + 1, cost[i, j - 1] + 1,
                             cost[i - 1, j - 1] + (ref[i - 1] != hyp[j - 1]))
    pairs, i, j = [], n, m
    while i > 0 and j > 0:
        if cost[i, j] == cost[i - 1, j - 1] + (ref[i - 1] != hyp[j - 1]):
            pairs.append((i - 1, j - 1))
            i, j = i - 1, j - 1
        elif cost[i, j] == cost[i - 1, j] + 1:
            i -= 1
        else:
            j -= 1
    return pairs[::-1]


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
