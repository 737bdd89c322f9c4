// record_writer [--after-stdin-ends]
// Writes the ready record and four words records through the worker's record writer, stopping
// at the first failed write with the worker's error line and status 1. With --after-stdin-ends
// it first reads standard input to its end, so that a test can close standard output before
// the first record.
#include <array>
#include <limits>
#include <string>
#include <vector>

#include "core/platform/fail_fast.h"
#include "core/platform/process_arguments.h"
#include "core/platform/std_streams.h"
#include "worker/entry.h"
#include "worker/records.h"

namespace {

constexpr double NaN = std::numeric_limits<double>::quiet_NaN();
constexpr double INF = std::numeric_limits<double>::infinity();

// Stops at the first write that fails, as the run does.
tw::Status write_all() {
  if (tw::Status s = tw::write_ready_record(); !s) return s;
  if (tw::Status s = tw::write_words_record(32.5, {{"hello", 0.24, 0.56}, {"world", 0.64, 1.2}});
      !s) {
    return s;
  }
  if (tw::Status s = tw::write_words_record(20.01, {}); !s) return s;
  std::string text = "q\"b\\s\tt\x01 \xD0\x81\xD0\xB6 \xF0\x9F\x98\x80 a/b\nz";
  if (tw::Status s = tw::write_words_record(INF, {{text, 10.0 + static_cast<double>(0.4f), NaN}});
      !s) {
    return s;
  }
  return tw::write_words_record(1e16, {{"\xC3\xA9", 1e-6, 0.00001}});  // the exponent forms
}

int write_records(const std::vector<std::string>& arguments) {
  tw::install_process_guards();
  if (!arguments.empty() && arguments[0] == "--after-stdin-ends") {
    std::array<char, 4096> buffer;
    while (tw::read_stdin(buffer) > 0) {
    }
  }
  tw::Status written = write_all();
  if (written) tw::exit_process(0);
  tw::write_stderr(tw::error_line(written.error()));
  tw::exit_process(1);
}

}  // namespace

#ifdef _WIN32
int wmain(int, wchar_t**) { return write_records(tw::process_arguments(0, nullptr)); }
#else
int main(int argc, char** argv) { return write_records(tw::process_arguments(argc, argv)); }
#endif
