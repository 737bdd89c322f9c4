#include "many/file_outputs.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "core/asr/records_json.h"
#include "core/platform/paths.h"
#include "core/platform/std_streams.h"
#include "core/subtitles/subtitle_document.h"
#include "many/source_record.h"

namespace tw::many {
namespace {

constexpr std::string_view ALL_FORMATS[] = {"jsonl", "srt", "vtt", "txt", "json"};
// The work folder's name of the pending NAME.source.
constexpr std::string_view PENDING = "pending";

std::string file_name(std::string_view name, std::string_view extension) {
  return std::string(name) + "." + std::string(extension);
}

Status move_file(const std::string& from, const std::string& to) {
  std::error_code error;
  std::filesystem::rename(utf8_path(from), utf8_path(to), error);
  if (error) return fail(error.message());
  return {};
}

void remove_file(const std::string& path) {
  std::error_code ignored;
  std::filesystem::remove(utf8_path(path), ignored);
}

}  // namespace

void remove_stale_error(const std::string& out, std::string_view name, const std::string& source,
                        const std::vector<std::string>& formats) {
  const std::string error_path = output_path(out, name, "error");
  if (!is_existing_file(utf8_path(error_path))) return;
  Result<FileLock> locked = lock_output_folder(out);
  if (locked && is_complete(out, name, source, formats)) remove_file(error_path);
}

FileOutputs::FileOutputs(WorkFolder& work, const OutputSettings& settings, const MediaFile& file,
                         std::optional<std::string> source)
    : work_(work), settings_(settings), file_(file), source_(std::move(source)) {}

std::string FileOutputs::cannot_write(std::string_view extension, const Error& error) const {
  return "cannot write " + output_path(settings_.out, file_.name, extension) + ": " + error.chain();
}

void FileOutputs::add_line(const std::string& line) {
  if (failure_) return;
  if (records_file_) {
    if (Status written = records_file_->write(line); !written) {
      failure_ = cannot_write("jsonl", written.error());
      return;
    }
  }
  // The subtitles are made from the records as written, as transcribe-subtitles reads them.
  Result<subtitles::RecordLine> record =
      reader_.read(std::string_view(line).substr(0, line.size() - 1));
  if (!record) {
    failure_ = record.error().chain();
  } else if (record->kind == subtitles::RecordLine::Kind::words) {
    records_.push_back(std::move(*record));
  }
}

void FileOutputs::start() {
  if (started_) return;
  started_ = true;
  if (std::ranges::find(settings_.formats, "jsonl") != settings_.formats.end()) {
    Result<FileWriter> file = work_.create_file(file_name(file_.name, "jsonl"));
    if (!file) {
      failure_ = cannot_write("jsonl", file.error());
    } else {
      records_file_.emplace(std::move(*file));
    }
  }
  add_line(record_line(ready_record()));
}

void FileOutputs::add_words(double end, const std::vector<Word>& words) {
  start();
  add_line(record_line(words_record(end, words)));
}

std::optional<std::string> FileOutputs::make_subtitles() {
  for (const std::string& format : settings_.formats) {
    if (format == "jsonl") continue;
    Result<FileWriter> file = work_.create_file(file_name(file_.name, format));
    if (!file) return cannot_write(format, file.error());
    subtitles::SubtitleDocument document(
        *subtitles::format_named(format), settings_.limits,
        [&file](std::string_view text) { return file->write(text); }, false);
    Status made = document.begin();
    for (const subtitles::RecordLine& record : records_) {
      if (made) made = document.add(record);
    }
    if (made) made = document.end();
    if (made) made = file->flush_to_disk();
    if (made) made = file->close();
    if (!made) return cannot_write(format, made.error());
  }
  return std::nullopt;
}

// `text` as the work folder's NAME.`extension`, on disk.
std::optional<std::string> FileOutputs::write_file(std::string_view extension,
                                                   const std::string& text) {
  Result<FileWriter> file = work_.create_file(file_name(file_.name, extension));
  Status made = file ? file->write(text) : fail(std::move(file.error()));
  if (made) made = file->flush_to_disk();
  if (made) made = file->close();
  if (!made) return cannot_write("source", made.error());
  return std::nullopt;
}

std::optional<std::string> FileOutputs::make_source_files() {
  if (!source_) return "cannot read " + file_.path;
  std::optional<std::string> failure = write_file("source", *source_);
  if (!failure) failure = write_file(PENDING, pending_record(*source_));
  return failure;
}

// Under the work folder's lock, so that a stop waits for the outputs to be all in place, and the
// output folder's, so that another run's outputs of the name cannot come between the check and
// the moves. Whenever an output of ours is in place, a NAME.source naming the media is beside it.
std::optional<std::string> FileOutputs::install() {
  const std::string& out = settings_.out;
  Result<FileLock> locked = lock_output_folder(out);
  if (!locked) return locked.error().chain();
  if (std::optional<std::string> conflict =
          outputs_conflict(out, file_.name, file_.path, settings_.formats)) {
    return conflict;
  }
  const std::string source_path = output_path(out, file_.name, "source");
  const std::optional<std::string> earlier = recorded_source(out, file_.name);
  Status moved = move_file(work_.path_of(file_name(file_.name, PENDING)), source_path);
  if (!moved) return cannot_write("source", moved.error());
  // The outputs of another source in formats not made now go; the others are replaced.
  if (earlier && *earlier != *source_ && *earlier != pending_record(*source_)) {
    for (std::string_view format : ALL_FORMATS) {
      if (std::ranges::find(settings_.formats, format) == settings_.formats.end()) {
        remove_file(output_path(out, file_.name, format));
      }
    }
  }
  for (const std::string& format : settings_.formats) {
    moved = move_file(work_.path_of(file_name(file_.name, format)),
                      output_path(out, file_.name, format));
    if (!moved) return cannot_write(format, moved.error());
  }
  moved = move_file(work_.path_of(file_name(file_.name, "source")), source_path);
  if (!moved) return cannot_write("source", moved.error());
  remove_file(output_path(out, file_.name, "error"));
  flush_folder(out);
  return std::nullopt;
}

void FileOutputs::remove_temporaries() {
  for (std::string_view format : ALL_FORMATS)
    remove_file(work_.path_of(file_name(file_.name, format)));
  remove_file(work_.path_of(file_name(file_.name, "source")));
  remove_file(work_.path_of(file_name(file_.name, PENDING)));
}

void FileOutputs::report_failure(std::string reason, Outcomes& outcomes, std::uint64_t index) {
  remove_temporaries();
  // Said on standard error once the lock is released: a stop, which takes it, must not wait
  // for a reader of standard error.
  std::string said;
  {
    Result<std::unique_lock<std::mutex>> held = work_.claim();
    if (!held) return;  // stopped: the file is not finished
    const std::string temporary = work_.path_of(file_name(file_.name, "error"));
    Result<FileWriter> file = FileWriter::create(temporary);
    Status written = file ? file->write(reason) : fail(std::move(file.error()));
    if (written) written = file->flush_to_disk();
    if (written) written = file->close();
    if (written) written = move_file(temporary, output_path(settings_.out, file_.name, "error"));
    if (!written) {
      remove_file(temporary);
      said = "transcribe-many: " + cannot_write("error", written.error()) + "\n";
    }
    said += "transcribe-many: failed: " + file_.path + ": " + reason;
    outcomes.failed(index, std::move(reason));
  }
  write_stderr(said);
}

void FileOutputs::finish(Status audio, Outcomes& outcomes, std::uint64_t index) {
  start();
  if (records_file_ && !failure_) {
    Status closed = records_file_->flush_to_disk();
    if (closed) closed = records_file_->close();
    if (!closed) {
      failure_ = cannot_write("jsonl", closed.error());
    }
  }
  records_file_.reset();
  std::optional<std::string> reason;
  if (!audio) {
    reason = "error: " + audio.error().chain();
  } else if (failure_) {
    reason = failure_;
  } else {
    reason = make_subtitles();
    if (!reason) reason = make_source_files();
  }
  if (!reason) {
    Result<std::unique_lock<std::mutex>> held = work_.claim();
    if (!held) return;
    reason = install();
    if (!reason) {
      outcomes.transcribed(index);
      return;
    }
  }
  report_failure(*reason + "\n", outcomes, index);
}

}  // namespace tw::many
