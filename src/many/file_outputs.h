#pragma once
// One media file's outputs while its records arrive: NAME.jsonl written in the work folder as
// they come, their words kept, and at the file's end either every output made, flushed to disk
// and moved into place under the output folder's lock (a pending NAME.source first, the final
// one last) or NAME.error. Used by the decode stage's thread alone.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/asr/word.h"
#include "core/error.h"
#include "core/platform/file_writer.h"
#include "core/subtitles/cue_limits.h"
#include "core/subtitles/record_reader.h"
#include "many/media_inputs.h"
#include "many/outcomes.h"
#include "many/work_folder.h"

namespace tw::many {

struct OutputSettings {
  std::string out;                   // the output folder, normalized
  std::vector<std::string> formats;  // of jsonl srt vtt txt json
  subtitles::CueLimits limits;
};

// Removes the NAME.error beside the outputs of a file found done (an earlier run's failure, left
// when the outputs were made by another run), under the output folder's lock.
void remove_stale_error(const std::string& out, std::string_view name, const std::string& source,
                        const std::vector<std::string>& formats);

class FileOutputs {
 public:
  // `source` is the file's NAME.source text (nothing when the media could not be read).
  FileOutputs(WorkFolder& work, const OutputSettings& settings, const MediaFile& file,
              std::optional<std::string> source);

  // One piece's words, as the worker's record of them; the first call writes the ready record
  // before it. A write that fails makes the file fail at its end.
  void add_words(double end, const std::vector<Word>& words);

  // The file's end, `audio` the decoder's outcome: the outputs in place, or NAME.error, and the
  // outcome recorded as file `index`. Nothing is recorded once the work folder is gone (a stop).
  void finish(Status audio, Outcomes& outcomes, std::uint64_t index);

 private:
  void start();
  void add_line(const std::string& line);
  std::string cannot_write(std::string_view extension, const Error& error) const;
  std::optional<std::string> make_subtitles();
  std::optional<std::string> write_file(std::string_view extension, const std::string& text);
  std::optional<std::string> make_source_files();
  std::optional<std::string> install();
  void remove_temporaries();
  void report_failure(std::string reason, Outcomes& outcomes, std::uint64_t index);

  WorkFolder& work_;
  const OutputSettings& settings_;
  const MediaFile& file_;
  const std::optional<std::string> source_;
  bool started_ = false;
  std::optional<FileWriter> records_file_;
  std::optional<std::string> failure_;  // the first write or record error
  subtitles::RecordReader reader_;
  std::vector<subtitles::RecordLine> records_;
};

}  // namespace tw::many
