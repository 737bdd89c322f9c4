#pragma once
// Results that finished out of order, held until their turn.

#include <cstdint>
#include <map>
#include <optional>
#include <utility>
#include <vector>

#include "core/asr/word.h"

namespace tw {

struct DecodedPiece {
  double end = 0.0;  // seconds from the beginning of the file
  std::vector<Word> words;
};

template <class T = DecodedPiece>
class ReorderBuffer {
 public:
  void put(std::uint64_t seq, T piece) { waiting_.emplace(seq, std::move(piece)); }

  // The result with the next sequence number (0, 1, 2, ...), once it has been put.
  std::optional<T> take_next() {
    auto entry = waiting_.find(next_);
    if (entry == waiting_.end()) return std::nullopt;
    T piece = std::move(entry->second);
    waiting_.erase(entry);
    ++next_;
    return piece;
  }

 private:
  std::map<std::uint64_t, T> waiting_;
  std::uint64_t next_ = 0;
};

}  // namespace tw
