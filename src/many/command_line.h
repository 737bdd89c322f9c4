#pragma once
// The command line of transcribe-many: a left-to-right walk over the arguments into Options.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "core/error.h"
#include "core/subtitles/cue_limits.h"

namespace tw::many {

// This run's share of the files: those whose path hashes to `index` modulo `count`.
struct Shard {
  std::uint64_t index = 0;
  std::uint64_t count = 1;
};

struct Options {
  std::string model;
  std::string ffmpeg;
  std::string out = "transcripts";
  std::vector<std::string> formats = {"jsonl", "srt", "vtt", "txt"};  // each once, as given
  std::uint64_t batch = 1;
  bool use_cuda = false;
  std::optional<Shard> shard;
  bool progress_json = false;
  subtitles::CueLimits limits;
  std::vector<std::string> inputs;  // media files, lists and folders, as given
  bool help = false;
  bool show_version = false;
};

inline constexpr const char* USAGE =
    "usage: transcribe-many --model DIR --ffmpeg PATH [--out DIR] [--formats LIST] [--batch N]\n"
    "         [--provider cpu|cuda] [--shard K/N] [--progress json] [--style netflix|bbc]\n"
    "         [--max-line-chars N] [--max-lines N] [--max-cue-seconds S] [--pause-ms M]\n"
    "         [--max-cps C] [--min-cue-seconds S] [--fps F] [--cue-gap-frames N]\n"
    "         [--close-gap-ms M] [--] FILE_OR_LIST...\n"
    "       transcribe-many --help | --version\n"
    "Transcribes every file with one recognizer into OUT: NAME.jsonl (the worker's records) and\n"
    "the subtitle formats, and NAME.source, what they were made from; a rerun skips the files\n"
    "done. A failed file leaves NAME.error.\n"
    "  --out DIR         output folder (default: transcripts)\n"
    "  --formats LIST    comma-separated, of jsonl srt vtt txt json (default: jsonl,srt,vtt,txt)\n"
    "  --batch N         pieces decoded in one call, as transcribe-worker's --batch\n"
    "  --shard K/N       only the files whose path's hash modulo N is K (0 <= K < N)\n"
    "  --progress json   a JSON line of progress a second on standard error (on a terminal: one\n"
    "                    updating line anyway)\n"
    "  FILE_OR_LIST      a media file; a list (a file ending in .list or .txt: one path a line,\n"
    "                    relative to the current folder; blank lines and lines starting with #\n"
    "                    skipped); or a folder, whose media files are taken by extension (wav mp3\n"
    "                    m4a mp4 aac flac ogg opus oga webm mkv mka mov avi ts flv 3gp, any case;\n"
    "                    not its sub-folders)\n"
    "  --                every argument after it is a file, list or folder, even one starting\n"
    "                    with -\n"
    "The subtitle options are transcribe-subtitles' own.\n";

// `arguments` are the process's arguments after the program path, in UTF-8. The error names the
// option or argument at fault.
Result<Options> parse_command_line(std::span<const std::string> arguments);

}  // namespace tw::many
