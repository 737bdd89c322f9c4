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


def align(ref, hyp, ref_times=None, hyp_times=None):
    """(ref index, hyp index) pairs on the diagonal steps of a minimum edit alignment. With the
    words' times given, of the alignments with fewest edits the one whose equal words lie closest
    in time (so a word said twice is paired with its own occurrence, not with the other)."""
    n, m = len(ref), len(hyp)

    def gap(i, j):
        if ref_times is None or ref[i] != hyp[j]:
            return 0.0
        return abs(ref_times[i] - hyp_times[j])

    cost = [[(0, 0.0)] * (m + 1) for _ in range(n + 1)]
    for i in range(n + 1):
        for j in range(m + 1):
            if i == 0 or j == 0:
                cost[i][j] = (i + j, 0.0)
                continue
            diagonal = cost[i - 1][j - 1]
            cost[i][j] = min((cost[i - 1][j][0] + 1, cost[i - 1][j][1]),
                             (cost[i][j - 1][0] + 1, cost[i][j - 1][1]),
                             (diagonal[0] + (ref[i - 1] != hyp[j - 1]),
                              diagonal[1] + gap(i - 1, j - 1)))
    pairs, i, j = [], n, m
    while i > 0 and j > 0:
        diagonal = cost[i - 1][j - 1]
        if cost[i][j] == (diagonal[0] + (ref[i - 1] != hyp[j - 1]),
                          diagonal[1] + gap(i - 1, j - 1)):
            pairs.append((i - 1, j - 1))
            i, j = i - 1, j - 1
        elif cost[i][j] == (cost[i - 1][j][0] + 1, cost[i - 1][j][1]):
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
