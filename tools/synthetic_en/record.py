#!/usr/bin/python3
"""Writes the model directory's RECIPE.md (the command, the seeds, the training figures, the
held-out figures and the checksum of every file of the model) and copies the held-out test
sentences beside the model as test-sentences.txt, for the tests and the demo to speak.

  record.py --data DIR --exp DIR --model models/synthetic-en [--notes FILE]

The checksum table is what tests/e2e/test_speech_model.py compares the committed files with.
"""
import argparse
import hashlib
import json
import shutil
import subprocess
import sys
from pathlib import Path

HERE = Path(__file__).resolve().parent
sys.path.insert(0, str(HERE))
import prepare  # noqa: E402

MODEL_FILES = ["encoder.onnx", "decoder.onnx", "joiner.onnx", "tokens.txt"]
RECORDED_FILES = MODEL_FILES + ["test-sentences.txt"]


def checksum_rows(model):
    rows = []
    for name in RECORDED_FILES:
        data = (model / name).read_bytes()
        rows.append(f"| {name} | {len(data)} | {hashlib.sha256(data).hexdigest()} |")
    return rows


def recipe_commit():
    """The last commit of the recipe's files, marked when they have changed since."""
    def git(*args):
        return subprocess.run(["git", "-C", str(HERE), *args], capture_output=True,
                              text=True).stdout.strip()
    commit = git("log", "-1", "--format=%h", "--", ".") or "unknown"
    return commit + (" with local changes" if git("status", "--porcelain", "--", ".") else "")


def pct(value):
    return "n/a" if value is None else f"{100 * value:.2f} %"


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--data", type=Path, required=True)
    parser.add_argument("--exp", type=Path, required=True)
    parser.add_argument("--model", type=Path, required=True)
    parser.add_argument("--notes", type=Path)
    args = parser.parse_args()
    shutil.copyfile(args.data / "text/test.txt", args.model / "test-sentences.txt")
    history = json.loads((args.exp / "history.json").read_text())
    report_path = args.exp / "worker/report.json"
    report = json.loads(report_path.read_text()) if report_path.exists() else {}
    check = (args.exp / "check_export.log")
    size = sum((args.model / n).stat().st_size for n in MODEL_FILES)
    p = history["params"]

    lines = ["# models/synthetic-en", "",
             "A small TDT transducer trained here on synthesized English speech: a test and demo "
             "model, not a model for real users (see docs/speech-model.md).", "",
             "## Recipe", "", "```sh",
             f"TIME_BUDGET={p['time_budget_minutes']:g} tools/synthetic_en/run.sh"
             "    # stages 0-8: packages, data, training, export, checks, worker figures",
             "/usr/bin/python3 tools/synthetic_en/record.py --data build/synthetic-en "
             "--exp build/synthetic-en/exp --model models/synthetic-en", "```", "",
             f"- recipe: `tools/synthetic_en` at commit {recipe_commit()} (the recipe's later "
             "runs: `tools/synthetic_en/RUNS.md`)",
             f"- data seed {prepare.PARAMS['seed']} (prepare.py), training seed {p['seed']} "
             "(train.py); all parameters are the PARAMS dicts of those two files",
             f"- training: {history['training_minutes']:.1f} min, {history['steps']} steps, "
             f"{p['workers']} process(es) of {p['threads']} thread(s), `nice -n 5` on the "
             "shared 2-core machine; the learning "
             "rate follows the elapsed share of the time budget, so a rerun on a machine under "
             f"another load differs slightly (`--total-steps {history['steps']}` pins it)",
             f"- parameters: {history['parameters']} (the training-only CTC head included; the "
             "export leaves it out)",
             f"- model size: {size} bytes ({size / 1e6:.1f} MB, float32)", "",
             "## Dev WER per epoch (PyTorch greedy TDT search, held-out sentences by held-out "
             "voices)", "", "| epoch | complete | step | minutes | dev WER | per voice |",
             "| --- | --- | --- | --- | --- | --- |"]
    for h in history["history"]:
        voices = ", ".join(f"{k} {pct(v)}" for k, v in sorted(h["dev_wer_per_voice"].items()))
        lines.append(f"| {h['epoch']} | {'yes' if h['complete'] else 'no (time budget)'} | "
                     f"{h['step']} | {h['minutes']:.1f} | {pct(h['dev_wer'])} | {voices} |")
    if check.exists():
        lines += ["", "## Export check (the library against PyTorch, same WAVs)", "", "```",
                  check.read_text().strip().splitlines()[-1], "```"]
    if "wer" in report:
        lines += ["", "## Test WER through transcribe-worker (held-out sentences, held-out "
                  "voices, files of all sentences of a voice joined, 20-30 s cutting)", "",
                  "| voice | condition | codec | audio s | words | errors | WER |",
                  "| --- | --- | --- | --- | --- | --- | --- |"]
        for r in report["wer"]:
            lines.append(f"| {r['voice']} | {r['condition']} | {r['codec']} | {r['seconds']} | "
                         f"{r['words']} | {r['errors']} | {pct(r['wer'])} |")
    if "times" in report:
        lines += ["", "## Word times (words synthesized one by one, known silences between them)",
                  "", "| voice | words | matched | start error mean / max s | end error mean / max s"
                  " | within 0.2 s |", "| --- | --- | --- | --- | --- | --- |"]
        for r in report["times"]:
            def s(v):
                return "n/a" if v is None else f"{v:.3f}"
            lines.append(f"| {r['voice']} | {r['reference_words']} | {r['matched_words']} | "
                         f"{s(r['start_error_mean'])} / {s(r['start_error_max'])} | "
                         f"{s(r['end_error_mean'])} / {s(r['end_error_max'])} | "
                         f"{pct(r['within_0.2s'])} |")
    if "long" in report:
        r = report["long"]
        lines += ["", "## Long speech", "",
                  f"A continuous reading of {r['seconds']} s ({r['sentences']} clean test "
                  f"sentences, {r['words']} words, 0.15-0.3 s pauses): WER through the worker "
                  f"{pct(r['wer_worker_cut'])}, the same sentences decoded one by one uncut "
                  f"{pct(r['wer_uncut'])}, difference {pct(r['difference'])}. The whole "
                  f"reading decoded by the library as one piece (no cut): "
                  f"{pct(r['wer_whole_uncut'])}, so the cuts themselves cost "
                  f"{pct(r['difference_to_whole'])}."]
    if args.notes and args.notes.exists():
        lines += ["", args.notes.read_text().strip()]
    lines += ["", "## Files", "", "| file | bytes | sha256 |", "| --- | --- | --- |"]
    lines += checksum_rows(args.model)
    (args.model / "RECIPE.md").write_text("\n".join(lines) + "\n")
    print(f"record: wrote {args.model / 'RECIPE.md'}")


if __name__ == "__main__":
    main()
