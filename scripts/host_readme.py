"""Writes the README.md of a release package: the sections of the project README written for
host authors, cut out of it, so that their text is kept in one place.

    host_readme.py README.md VERSION > README.md-of-the-package

Links to headings that the package README does not carry become plain text. Files of the
repository are not in the package: a link to one that stands alone in parentheses is left out
with them, any other becomes plain text.
"""
import re
import sys

SECTIONS = ("Interface for host authors", "Subtitles: `transcribe-subtitles`", "Using a real model",
            "Choosing the batch size and the provider", "Troubleshooting")
LINK = re.compile(r"\[([^\]]+)\]\(([^)\s]+)\)")
# Asides such as " ([BENCHMARKS.md](BENCHMARKS.md))", with the white space before them.
FILE_ASIDE = re.compile(r"\s*\(\[[^\]]+\]\((?!#|https?:)[^)\s]+\)\)")


def anchor(heading):
    """The fragment a Markdown viewer gives a heading: lower case, punctuation dropped, spaces
    as hyphens."""
    return "#" + re.sub(r"[^\w\- ]", "", heading.strip().lower()).replace(" ", "-")


def sections(lines, titles):
    """The level-2 sections with the given titles, each up to the next level-2 heading."""
    kept, keeping = [], False
    for line in lines:
        if line.startswith("## "):
            keeping = line[3:].strip() in titles
        if keeping:
            kept.append(line)
    return kept


def main():
    readme, version = sys.argv[1], sys.argv[2]
    with open(readme, encoding="utf-8") as f:
        lines = sections(f.read().splitlines(), SECTIONS)
    found = {line[3:].strip() for line in lines if line.startswith("## ")}
    if found != set(SECTIONS):
        sys.exit(f"host_readme: {readme} lacks {sorted(set(SECTIONS) - found)}")
    anchors = {anchor(line.lstrip("#")) for line in lines if line.startswith("#")}

    def link(match):
        return match.group(0) if match.group(2) in anchors else match.group(1)

    out = [f"# transcribe-worker {version}", "",
           "For authors of host applications: how to start the worker, what it writes, how to",
           "turn its records into subtitles, and what to do when a run fails. LICENSE and",
           "THIRD-PARTY-NOTICES hold the licences, SHA256SUMS the checksums of every file in",
           "this folder.", ""]
    text = FILE_ASIDE.sub("", "\n".join(lines))
    out.append(LINK.sub(link, text))
    sys.stdout.write("\n".join(out).rstrip("\n") + "\n")


if __name__ == "__main__":
    main()
