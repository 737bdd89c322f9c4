#include "many/progress.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <thread>

#include "core/audio/decoder_command.h"
#include "core/json/json_number.h"
#include "core/platform/process.h"
#include "core/platform/std_streams.h"
#include "core/tools/child_registry.h"

namespace tw::many {
namespace {

constexpr auto TICK = std::chrono::seconds(1);
// ffmpeg's header for one input is a few kilobytes; "Duration:" is in its first lines.
constexpr std::size_t MAX_PROBE_OUTPUT = 65536;

std::optional<double> probe_duration(const std::string& ffmpeg, const std::string& media) {
  Result<ChildProcess> started = start_process(duration_probe_command(ffmpeg, media),
                                               Stdio::null_device, Stdio::null_device, Stdio::pipe);
  if (!started) return std::nullopt;
  ChildGuard registration = register_child(started->id());
  PipeReader said = started->take_error_output();
  std::string text;
  std::vector<std::byte> buffer(4096);
  for (;;) {
    Result<std::size_t> count = said.read(buffer);
    if (!count || *count == 0) break;
    if (text.size() < MAX_PROBE_OUTPUT) {
      text.append(reinterpret_cast<const char*>(buffer.data()), *count);
    }
  }
  said.close();
  (void)started->wait();
  registration.release();
  return probed_duration(text);
}

std::string clock_text(double seconds) {
  const long long whole = std::llround(std::max(seconds, 0.0));
  char text[48];
  std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", whole / 3600, whole / 60 % 60, whole % 60);
  return text;
}

std::string json_or_null(std::optional<double> value) {
  return value && std::isfinite(*value) ? json_number(*value) : "null";
}

}  // namespace

Progress::Progress(const std::vector<MediaFile>& todo, std::string ffmpeg, bool json)
    : todo_(todo),
      ffmpeg_(std::move(ffmpeg)),
      json_(json),
      terminal_(stderr_is_terminal()),
      positions_(todo.size(), 0.0),
      durations_(todo.size()) {}

void Progress::start() {
  if (!json_ && !terminal_) return;
  {
    std::lock_guard guard(lock_);
    started_ = std::chrono::steady_clock::now();
    running_ = true;
  }
  // Both threads use only this object, which lives until the process ends.
  std::thread([this] { probe_durations(); }).detach();
  std::thread([this] { tick(); }).detach();
}

void Progress::probe_durations() {
  for (std::size_t index = 0; index < todo_.size(); ++index) {
    std::optional<double> duration;
    if (check_not_special(todo_[index].path)) duration = probe_duration(ffmpeg_, todo_[index].path);
    std::lock_guard guard(lock_);
    durations_[index] = duration;
    ++probed_;
  }
}

// The line is made under the lock and written outside it: a blocked standard error holds up
// only this thread, never the decode stage or a stop, which take the lock.
void Progress::tick() {
  for (;;) {
    std::this_thread::sleep_for(TICK);
    std::string text;
    {
      std::lock_guard guard(lock_);
      if (!running_) return;
      if (json_) {
        text = json_line();
      } else {
        text = line();
        const std::size_t length = text.size();
        if (length < shown_length_) text.append(shown_length_ - length, ' ');
        shown_length_ = length;
        text.insert(0, "\r");
      }
    }
    write_stderr(text);
  }
}

void Progress::reached(std::uint64_t index, double end) {
  std::lock_guard guard(lock_);
  if (std::isfinite(end)) positions_.at(index) = std::max(positions_.at(index), end);
}

void Progress::file_done(std::uint64_t index) {
  std::lock_guard guard(lock_);
  if (durations_.at(index)) positions_.at(index) = *durations_.at(index);
  ++files_done_;
}

void Progress::end() {
  std::string last;
  {
    std::lock_guard guard(lock_);
    if (running_ && terminal_ && !json_) last = "\r" + line() + "\n";
    running_ = false;
  }
  if (!last.empty()) write_stderr(last);
}

// Called with the lock held.
std::string Progress::line() const {
  double done = 0.0;
  for (double position : positions_) done += position;
  const double elapsed =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - started_).count();
  std::string text = std::to_string(files_done_) + "/" + std::to_string(todo_.size()) + " files, " +
                     clock_text(done) + " of audio";
  if (elapsed > 0.0 && done > 0.0) {
    const double speed = done / elapsed;
    char rate[32];
    std::snprintf(rate, sizeof rate, ", %.1fx real time", speed);
    text += rate;
    if (probed_ == todo_.size()) {
      double total = 0.0;
      for (const std::optional<double>& duration : durations_) total += duration.value_or(0.0);
      text += ", " + clock_text((total - done) / speed) + " left";
    }
  }
  return text;
}

// Called with the lock held.
std::string Progress::json_line() const {
  double done = 0.0;
  for (double position : positions_) done += position;
  const double elapsed =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - started_).count();
  std::optional<double> total;
  if (probed_ == todo_.size()) {
    total = 0.0;
    for (const std::optional<double>& duration : durations_) *total += duration.value_or(0.0);
  }
  std::optional<double> speed;
  if (elapsed > 0.0 && done > 0.0) speed = done / elapsed;
  std::optional<double> left;
  if (speed && total) left = std::max(*total - done, 0.0) / *speed;
  return "{\"files_done\":" + std::to_string(files_done_) +
         ",\"files_total\":" + std::to_string(todo_.size()) +
         ",\"audio_done\":" + json_number(done) + ",\"audio_total\":" + json_or_null(total) +
         ",\"speed\":" + json_or_null(speed) + ",\"seconds_left\":" + json_or_null(left) + "}\n";
}

}  // namespace tw::many
