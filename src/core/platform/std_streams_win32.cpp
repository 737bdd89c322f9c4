#include <windows.h>

#include "core/platform/empty_reads.h"
#include "core/platform/os_error.h"
#include "core/platform/pipe_writer_win32.h"
#include "core/platform/process.h"
#include "core/platform/std_streams.h"
#include "core/text/utf16.h"

namespace tw {
namespace {

bool is_missing(HANDLE handle) { return handle == nullptr || handle == INVALID_HANDLE_VALUE; }

// A console takes text, not bytes: the UTF-8 record goes in as UTF-16.
Status write_console(HANDLE console, std::string_view bytes) {
  std::u16string text = utf8_to_utf16(bytes);
  const wchar_t* data = reinterpret_cast<const wchar_t*>(text.data());
  std::size_t left = text.size();
  while (left > 0) {
    DWORD chunk = left > 8192 ? 8192 : static_cast<DWORD>(left);
    DWORD written = 0;
    if (!WriteConsoleW(console, data, chunk, &written, nullptr)) return fail(last_os_error());
    if (written == 0) return fail("failed to write the buffered data");
    data += written;
    left -= written;
  }
  return {};
}

}  // namespace

Status write_stdout(std::string_view bytes) {
  HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  if (is_missing(out)) return {};  // no standard output at all: the bytes are discarded
  DWORD mode = 0;
  if (GetConsoleMode(out, &mode)) return write_console(out, bytes);
  while (!bytes.empty()) {
    DWORD chunk = bytes.size() > 0x40000000 ? 0x40000000 : static_cast<DWORD>(bytes.size());
    DWORD written = 0;
    if (!WriteFile(out, bytes.data(), chunk, &written, nullptr)) {
      if (GetLastError() == ERROR_INVALID_HANDLE) return {};
      return fail(last_os_error());
    }
    if (written == 0) return fail("failed to write the buffered data");
    bytes.remove_prefix(written);
  }
  return {};
}

void write_stderr(std::string_view bytes) {
  if (output_ended()) return;
  static std::mutex lock;
  std::lock_guard<std::mutex> hold(lock);
  HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
  if (is_missing(err)) return;
  DWORD mode = 0;
  if (GetConsoleMode(err, &mode)) {
    (void)write_console(err, bytes);
    return;
  }
  while (!bytes.empty()) {
    DWORD written = 0;
    if (!WriteFile(err, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
        written == 0) {
      return;
    }
    bytes.remove_prefix(written);
  }
}

std::size_t read_stdin(std::span<char> buffer) {
  Result<std::size_t> got = read_stdin_or_error(buffer);
  return got ? *got : 0;
}

Result<std::size_t> read_stdin_or_error(std::span<char> buffer) {
  HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
  if (is_missing(in)) return 0;
  bool broken_pipe = false;  // the host closed its end: the end of the input
  const auto read_once = [&]() -> Result<std::size_t> {
    DWORD got = 0;
    if (!ReadFile(in, buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr)) {
      broken_pipe = GetLastError() == ERROR_BROKEN_PIPE;
      return fail(last_os_error());
    }
    return static_cast<std::size_t>(got);
  };
  Result<std::size_t> got = read_past_empty_writes(GetFileType(in) == FILE_TYPE_PIPE, read_once,
                                                   [&] { return pipe_writer_gone(in); });
  if (!got && broken_pipe) return 0;
  return got;
}

void exit_process(int status) {
  // A record being written may complete; none starts after this, and no child is left half-started.
  end_output();
  stop_process_starts();
  // Other threads may still run: end the process without static destructors or DLL detach code.
  TerminateProcess(GetCurrentProcess(), static_cast<UINT>(status));
  ExitProcess(static_cast<UINT>(status));
}

}  // namespace tw
