"""Echoes the worker's records as they arrive, then prints the words it heard with their times and
the word error rate against the text that was spoken.

  show_records.py SPOKEN.txt < records
"""
import json
import sys
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "tools/synthetic_en"))
from score import edit_distance, words_of  # noqa: E402


def main():
    spoken = words_of(Path(sys.argv[1]).read_text())
    words = []
    for line in sys.stdin:
        print("  " + line.rstrip("\n"), flush=True)
        words.extend(json.loads(line).get("words", []))
    print(f"heard {len(words)} words:")
    for w in words:
        print(f"  {w['start']:7.2f} {w['end']:7.2f}  {w['text']}")
    heard = words_of(" ".join(w["text"] for w in words))
    errors = edit_distance(spoken, heard)
    print(f"spoken: {' '.join(spoken)}")
    print(f"heard:  {' '.join(heard)}")
    print(f"word error rate: {100 * errors / max(1, len(spoken)):.1f} % "
          f"({errors} errors in {len(spoken)} words)")
    return 0


if __name__ == "__main__":
    sys.exit(main())
