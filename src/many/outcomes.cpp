#include "many/outcomes.h"

#include <algorithm>

namespace tw::many {

Outcomes::Outcomes(std::vector<MediaFile> todo, std::size_t total, std::size_t already_done)
    : todo_(std::move(todo)),
      total_(total),
      already_done_(already_done),
      kinds_(todo_.size(), Kind::not_finished),
      reasons_(todo_.size()) {}

void Outcomes::transcribed(std::uint64_t index) {
  std::lock_guard guard(lock_);
  kinds_.at(index) = Kind::transcribed;
}

void Outcomes::failed(std::uint64_t index, std::string reason) {
  std::lock_guard guard(lock_);
  kinds_.at(index) = Kind::failed;
  reasons_.at(index) = std::move(reason);
}

std::size_t Outcomes::settled() const {
  std::lock_guard guard(lock_);
  return todo_.size() - static_cast<std::size_t>(std::ranges::count(kinds_, Kind::not_finished));
}

std::string Outcomes::start_line(const std::string& out) const {
  return "transcribe-many: " + std::to_string(total_) + " files, " + std::to_string(already_done_) +
         " already done, " + std::to_string(todo_.size()) + " to transcribe into " + out + "\n";
}

std::string Outcomes::summary() const {
  std::lock_guard guard(lock_);
  const auto count = [this](Kind kind) { return std::to_string(std::ranges::count(kinds_, kind)); };
  std::string text = "transcribe-many: " + count(Kind::transcribed) + " transcribed, " +
                     std::to_string(already_done_) + " already done, " + count(Kind::failed) +
                     " failed, " + count(Kind::not_finished) + " not finished\n";
  for (std::size_t i = 0; i < todo_.size(); ++i) {
    if (kinds_[i] == Kind::failed) text += "  failed: " + todo_[i].path + ": " + reasons_[i];
  }
  for (std::size_t i = 0; i < todo_.size(); ++i) {
    if (kinds_[i] == Kind::not_finished) text += "  not finished: " + todo_[i].path + "\n";
  }
  return text;
}

bool Outcomes::all_transcribed() const {
  std::lock_guard guard(lock_);
  return std::ranges::all_of(kinds_, [](Kind kind) { return kind == Kind::transcribed; });
}

}  // namespace tw::many
