#pragma once
// The run's progress on standard error: on a terminal one line rewritten in place (files done,
// audio time done, speed, time left), or with --progress json one JSON line a second:
//   {"files_done":3,"files_total":10,"audio_done":750.2,"audio_total":6000.0,"speed":35.2,
//    "seconds_left":149.0}
// audio_total, speed and seconds_left are null until known. Nothing otherwise. The total audio
// time comes from ffmpeg under the decoder's whitelists, one file after another on a thread of
// its own, only when progress is shown.

#include <chrono>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "many/media_inputs.h"

namespace tw::many {

class Progress {
 public:
  Progress(const std::vector<MediaFile>& todo, std::string ffmpeg, bool json);

  // Starts showing progress, when it is shown at all.
  void start();
  // File `index` is recognized up to `end` seconds.
  void reached(std::uint64_t index, double end);
  void file_done(std::uint64_t index);
  // The last line, before the summary.
  void end();

  // The progress line's text, and its JSON form.
  std::string line() const;
  std::string json_line() const;

 private:
  void probe_durations();
  void tick();

  const std::vector<MediaFile>& todo_;
  const std::string ffmpeg_;
  const bool json_;
  const bool terminal_;
  mutable std::mutex lock_;
  std::chrono::steady_clock::time_point started_;
  bool running_ = false;
  std::vector<double> positions_;
  std::vector<std::optional<double>> durations_;
  std::size_t probed_ = 0;
  std::size_t files_done_ = 0;
  std::size_t shown_length_ = 0;
};

}  // namespace tw::many
