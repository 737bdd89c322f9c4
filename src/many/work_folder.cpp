#include "many/work_folder.h"

#include <charconv>
#include <filesystem>
#include <optional>
#include <system_error>

#include "core/platform/paths.h"
#include "core/platform/process_liveness.h"

namespace tw::many {
namespace {

constexpr std::string_view PREFIX = ".transcribe-many.";
constexpr std::string_view SUFFIX = ".work";
constexpr std::string_view LOCK_FILE = ".transcribe-many.lock";

// The process id of a work folder of `host` named `name`; nothing for any other name.
std::optional<std::uint32_t> owner_on_host(std::string_view name, std::string_view host) {
  if (!name.starts_with(PREFIX) || !name.ends_with(SUFFIX)) return std::nullopt;
  name.remove_prefix(PREFIX.size());
  name.remove_suffix(SUFFIX.size());
  const std::size_t dot = name.rfind('.');
  if (dot == std::string_view::npos || name.substr(0, dot) != host) return std::nullopt;
  const std::string_view digits = name.substr(dot + 1);
  std::uint32_t id = 0;
  auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), id);
  if (error != std::errc() || end != digits.data() + digits.size()) return std::nullopt;
  return id;
}

void remove_dead_leftovers(const std::filesystem::path& out, std::string_view host,
                           std::uint32_t self) {
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(out, error)) {
    std::optional<std::uint32_t> owner = owner_on_host(path_utf8(entry.path().filename()), host);
    if (owner && *owner != self && process_is_gone(*owner)) {
      std::error_code ignored;
      std::filesystem::remove_all(entry.path(), ignored);
    }
  }
}

std::string safe_host(std::string_view host) {
  std::string safe(host);
  for (char& c : safe) {
    const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                       c == '-' || c == '_';
    if (!plain) c = '_';
  }
  return safe;
}

}  // namespace

std::string work_folder_name(std::string_view host, std::uint32_t process_id) {
  return std::string(PREFIX) + safe_host(host) + "." + std::to_string(process_id) +
         std::string(SUFFIX);
}

Result<FileLock> lock_output_folder(const std::string& out) {
  const std::string path = path_utf8(utf8_path(out) / utf8_path(LOCK_FILE));
  Result<FileLock> lock = FileLock::acquire(path);
  if (!lock) return fail("cannot lock " + path, std::move(lock.error()));
  return lock;
}

Result<std::unique_ptr<WorkFolder>> WorkFolder::create(const std::string& out) {
  const std::filesystem::path folder = utf8_path(out);
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  if (error || !is_existing_directory(folder)) {
    return fail("cannot make the output folder " + out +
                (error ? ": " + error.message() : std::string(": a file is in its place")));
  }
  const std::uint32_t self = current_process_id();
  const std::string host = safe_host(host_name());
  remove_dead_leftovers(folder, host, self);
  const std::filesystem::path work = folder / utf8_path(work_folder_name(host, self));
  std::filesystem::remove_all(work, error);  // a folder of an earlier process of the same id
  if (!std::filesystem::create_directory(work, error) || error) {
    return fail("cannot write in the output folder " + out +
                (error ? ": " + error.message() : std::string()));
  }
  return std::unique_ptr<WorkFolder>(new WorkFolder(path_utf8(work)));
}

std::string WorkFolder::path_of(std::string_view file_name) const {
  return path_utf8(utf8_path(path_) / utf8_path(file_name));
}

Result<std::unique_lock<std::mutex>> WorkFolder::claim() {
  std::unique_lock guard(lock_);
  if (removed_) return fail("transcription stopped");
  return guard;
}

Result<FileWriter> WorkFolder::create_file(std::string_view file_name) {
  Result<std::unique_lock<std::mutex>> held = claim();
  if (!held) return fail(std::move(held.error()));
  return FileWriter::create(path_of(file_name));
}

void WorkFolder::remove() {
  std::lock_guard guard(lock_);
  if (removed_) return;
  removed_ = true;
  std::error_code ignored;
  std::filesystem::remove_all(utf8_path(path_), ignored);
}

}  // namespace tw::many
