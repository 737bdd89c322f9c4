#include "worker/records.h"

#include <string>

#include "core/platform/std_streams.h"

namespace tw {

Status write_record(nlohmann::json record) {
  // One write of the whole line: the host sees each record complete, at once.
  return write_stdout_whole(record_line(record));
}

Status write_ready_record() { return write_record(ready_record()); }

Status write_words_record(double end, std::vector<Word> words) {
  return write_record(words_record(end, words));
}

}  // namespace tw
