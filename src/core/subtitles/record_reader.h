#pragma once
// Reads the worker's standard output one line at a time: the ready record, words records, and
// the "error: " line of a failed run when its standard error was passed along. Any other line
// that does not begin with "{" is a diagnostic passed along with it (the library's log, wine's
// messages) and is skipped. A line is either read whole or refused whole, so nothing of a bad
// line reaches the cues.

#include <cstddef>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

#include "core/asr/word.h"
#include "core/error.h"

namespace tw::subtitles {

struct RecordLine {
  enum class Kind { skipped, ready, words, worker_error };
  Kind kind = Kind::skipped;  // skipped: a blank line or a diagnostic
  double end = 0.0;           // words: the end of the audio covered so far
  std::vector<Word> words;    // words: in order
  std::string reason;         // worker_error: the text after "error: "
};

class RecordReader {
 public:
  // The next line, without its line feed (a UTF-8 byte order mark before the first is
  // skipped). Refuses a line that begins with "{" and is not a
  // record, and a record out of order (a second or late ready record, an end before the
  // previous record's end, a word that starts before the word before it or ends before it
  // starts).
  Result<RecordLine> read(std::string_view line);

  // Whether any line so far was a record (ready or words).
  bool any_record() const { return any_record_; }

 private:
  Status check_order(const RecordLine& record) const;

  std::size_t line_number_ = 0;
  bool any_record_ = false;
  double last_end_ = -std::numeric_limits<double>::infinity();
  double last_word_start_ = -std::numeric_limits<double>::infinity();
};

}  // namespace tw::subtitles
