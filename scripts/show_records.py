"""Echoes the worker's records as they arrive, then compares the words with the expected ones."""
import json
import sys


def main():
    expected = json.load(open(sys.argv[1]))
    words = []
    for line in sys.stdin:
        print("  " + line.rstrip("\n"), flush=True)
        record = json.loads(line)
        words.extend(w["text"] for w in record.get("words", []))
    want = [w["text"] for w in expected["words"]]
    print(f"recovered {len(words)} words: {' '.join(words)}")
    if words == want:
        print("all words as encoded")
        return 0
    print(f"expected  {len(want)} words: {' '.join(want)}")
    return 1


if __name__ == "__main__":
    sys.exit(main())
