#pragma once
// What became of each file of this run, kept in memory for the summary: the decode stage
// records them, a stop reads them from another thread.

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "many/media_inputs.h"

namespace tw::many {

class Outcomes {
 public:
  // `todo`: the files to transcribe, in order; `already_done`: those skipped as done.
  Outcomes(std::vector<MediaFile> todo, std::size_t total, std::size_t already_done);

  const std::vector<MediaFile>& todo() const { return todo_; }

  void transcribed(std::uint64_t index);
  // `reason` is what NAME.error holds (ending in a line feed).
  void failed(std::uint64_t index, std::string reason);

  // Files done (transcribed or failed) so far.
  std::size_t settled() const;

  // The first line of a run.
  std::string start_line(const std::string& out) const;
  // The last lines: the counts, the failed files with their reasons, the files not finished.
  std::string summary() const;
  // Whether every file was transcribed.
  bool all_transcribed() const;

 private:
  enum class Kind { not_finished, transcribed, failed };

  const std::vector<MediaFile> todo_;
  const std::size_t total_;
  const std::size_t already_done_;
  mutable std::mutex lock_;
  std::vector<Kind> kinds_;
  std::vector<std::string> reasons_;
};

}  // namespace tw::many
