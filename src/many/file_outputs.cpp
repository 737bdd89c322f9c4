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
    if (made) made = file->close();
    if (!made) return cannot_write(format, made.error());
  }
  return std::nullopt;
}

std::optional<std::string> FileOutputs::make_source_file() {
  if (!source_) return "cannot read " + file_.path;
  Result<FileWriter> file = work_.create_file(file_name(file_.name, "source"));
  Status made = file ? file->write(*source_) : fail(std::move(file.error()));
  if (made) made = file->close();
  if (!made) return cannot_write("source", made.error());
  return std::nullopt;
}

// Under the work folder's lock, so that a stop waits for the outputs to be all in place.
std::optional<std::string> FileOutputs::install() {
  const std::string& out = settings_.out;
  const std::string source_path = output_path(out, file_.name, "source");
  // The outputs of another source go first, their record before them, so that a record in place
  // always describes every output beside it.
  if (is_existing_file(utf8_path(source_path)) && recorded_source(out, file_.name) != source_) {
    remove_file(source_path);
    for (std::string_view format : ALL_FORMATS) remove_file(output_path(out, file_.name, format));
  }
  for (const std::string& format : settings_.formats) {
    Status moved = move_file(work_.path_of(file_name(file_.name, format)),
                             output_path(out, file_.name, format));
    if (!moved) return cannot_write(format, moved.error());
  }
  Status moved = move_file(work_.path_of(file_name(file_.name, "source")), source_path);
  if (!moved) return cannot_write("source", moved.error());
  remove_file(output_path(out, file_.name, "error"));
  return std::nullopt;
}

void FileOutputs::remove_temporaries() {
  for (std::string_view format : ALL_FORMATS)
    remove_file(work_.path_of(file_name(file_.name, format)));
  remove_file(work_.path_of(file_name(file_.name, "source")));
}

void FileOutputs::report_failure(std::string reason, Outcomes& outcomes, std::uint64_t index) {
  remove_temporaries();
  Result<std::unique_lock<std::mutex>> held = work_.claim();
  if (!held) return;  // stopped: the file is not finished
  const std::string temporary = work_.path_of(file_name(file_.name, "error"));
  Result<FileWriter> file = FileWriter::create(temporary);
  Status written = file ? file->write(reason) : fail(std::move(file.error()));
  if (written) written = file->close();
  if (written) written = move_file(temporary, output_path(settings_.out, file_.name, "error"));
  if (!written) {
    remove_file(temporary);
    write_stderr("transcribe-many: " + cannot_write("error", written.error()) + "\n");
  }
  write_stderr("transcribe-many: failed: " + file_.path + ": " + reason);
  outcomes.failed(index, std::move(reason));
}

void FileOutputs::finish(Status audio, Outcomes& outcomes, std::uint64_t index) {
  start();
  if (records_file_ && !failure_) {
    if (Status closed = records_file_->close(); !closed) {
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
    if (!reason) reason = make_source_file();
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
