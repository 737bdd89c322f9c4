// stdin_watcher [--system-root VALUE] [--records | --starts] [DECODER ARGUMENT...]
// Starts the worker's stdin watch and then sleeps far longer than any test waits; only the
// watch can end it before that (with status 1). A run that sleeps to the end exits with 0.
// With DECODER, that program is first started the way the audio thread starts ffmpeg and
// registered in the child registry; once its first line of output has arrived (for
// standin_tree: its grandchild has been started), "ready" is written to standard output.
// With --records, a thread then writes records through the worker's record writer without a
// pause, each saying whether the stop of the decoders had begun when it started:
// {"stopping":false}.
// --system-root first sets "SystemRoot" in the stand-in's own environment.
// With --starts, DECODER is instead started, registered, waited for and released again and
// again, with null standard handles, and "ready" follows its first start; nothing else happens
// until the process is killed (a test kills it at chosen moments, to catch a start half done).
#include <array>
#include <chrono>
#include <cstddef>
#include <string>
#include <thread>
#include <vector>

#include "core/platform/fail_fast.h"
#include "core/platform/process.h"
#include "core/platform/process_arguments.h"
#include "core/platform/std_streams.h"
#include "core/tools/child_registry.h"
#include "core/tools/tool_command.h"
#include "system_root.h"
#include "worker/entry.h"
#include "worker/records.h"
#include "worker/stdin_watch.h"

namespace {

constexpr auto SLEEP = std::chrono::minutes(10);

// Reads the decoder's output up to its first line feed or its end.
void await_first_line(tw::ChildProcess& decoder) {
  tw::PipeReader output = decoder.take_output();
  std::array<std::byte, 256> buffer;
  for (;;) {
    tw::Result<std::size_t> got = output.read(buffer);
    if (!got || *got == 0) return;
    for (std::size_t i = 0; i < *got; ++i) {
      if (buffer[i] == std::byte{'\n'}) return;
    }
  }
}

[[noreturn]] void write_records_forever() {
  for (;;) {
    // Read before the record starts: one that says true started after the stop had begun.
    (void)tw::write_record(nlohmann::json::object({{"stopping", tw::child_registry().stopping()}}));
  }
}

tw::ChildProcess start_or_exit(const std::vector<std::string>& arguments, tw::Stdio output) {
  tw::ToolCommand command = tw::tool_command(arguments[0]);
  command.arguments.assign(arguments.begin() + 1, arguments.end());
  tw::Result<tw::ChildProcess> started =
      tw::start_process(command, tw::Stdio::null_device, output, tw::Stdio::null_device);
  if (!started) {
    tw::write_stderr(tw::error_line(started.error()));
    tw::exit_process(2);
  }
  return std::move(*started);
}

void write_ready() {
  std::lock_guard<std::recursive_timed_mutex> hold(tw::stdout_lock());
  (void)tw::write_stdout("ready\n");
}

[[noreturn]] void start_again_and_again(const std::vector<std::string>& arguments) {
  for (bool first = true;; first = false) {
    tw::ChildProcess decoder = start_or_exit(arguments, tw::Stdio::null_device);
    tw::ChildGuard registration = tw::register_child(decoder.id());
    if (first) write_ready();
    (void)decoder.wait();
  }
}

int watch(std::vector<std::string> arguments) {
  tw::install_process_guards();
  if (arguments.size() > 1 && arguments[0] == "--system-root") {
    set_system_root(arguments[1]);
    arguments.erase(arguments.begin(), arguments.begin() + 2);
  }
  const bool records = !arguments.empty() && arguments[0] == "--records";
  if (records) arguments.erase(arguments.begin());
  if (arguments.size() > 1 && arguments[0] == "--starts") {
    start_again_and_again({arguments.begin() + 1, arguments.end()});
  }
  tw::ChildProcess decoder;
  tw::ChildGuard registration;
  if (!arguments.empty()) {
    decoder = start_or_exit(arguments, tw::Stdio::pipe);
    registration = tw::register_child(decoder.id());
    await_first_line(decoder);
    write_ready();
  }
  tw::start_stdin_watch();
  if (records) std::thread(write_records_forever).detach();
  std::this_thread::sleep_for(SLEEP);
  tw::exit_process(0);
}

}  // namespace

#ifdef _WIN32
int wmain(int, wchar_t**) { return watch(tw::process_arguments(0, nullptr)); }
#else
int main(int argc, char** argv) { return watch(tw::process_arguments(argc, argv)); }
#endif
