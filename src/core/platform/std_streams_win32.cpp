#include <windows.h>

#include <algorithm>

#include "core/platform/empty_reads.h"
#include "core/platform/os_error.h"
#include "core/platform/pipe_writer_win32.h"
#include "core/platform/process.h"
#include "core/platform/std_handles_win32.h"
#include "core/platform/std_streams.h"
#include "core/text/utf16.h"

namespace tw {
namespace {

constexpr std::size_t CONSOLE_PIECE_UNITS = 8192;  // UTF-16 units per WriteConsoleW
constexpr std::size_t MAX_WRITE_BYTES = 0x40000000;

bool is_missing(HANDLE handle) { return handle == nullptr || handle == INVALID_HANDLE_VALUE; }

}  // namespace

bool is_console(HANDLE handle) {
  DWORD mode = 0;
  return GetConsoleMode(handle, &mode) != 0;
}

void open_closed_std_streams() {}

bool stderr_is_terminal() { return is_console(GetStdHandle(STD_ERROR_HANDLE)); }

bool write_console_text(HANDLE console, std::string_view text) {
  const std::u16string wide = utf8_to_utf16(text);
  std::u16string_view left = wide;
  while (!left.empty()) {
    const std::size_t piece = utf16_piece_length(left, CONSOLE_PIECE_UNITS);
    DWORD written = 0;
    if (!WriteConsoleW(console, left.data(), static_cast<DWORD>(piece), &written, nullptr)) {
      return false;
    }
    if (written == 0) {
      SetLastError(ERROR_SUCCESS);
      return false;
    }
    left.remove_prefix(std::min<std::size_t>(written, left.size()));
  }
  return true;
}

BOOL write_some(HANDLE handle, std::string_view bytes, DWORD& written) {
  const DWORD whole = static_cast<DWORD>(std::min(bytes.size(), MAX_WRITE_BYTES));
  const bool pipe = GetFileType(handle) == FILE_TYPE_PIPE;
  for (DWORD part = whole;;) {
    written = 0;
    if (!WriteFile(handle, bytes.data(), part, &written, nullptr)) return FALSE;
    if (written > 0 || !pipe || whole == 0) return TRUE;
    if (part > 1) {
      part /= 2;  // too much for the room left
    } else {
      Sleep(IDLE_PIPE_WAIT_MS);  // full: the reader has to take something first
      part = whole;
    }
  }
}

namespace {

// Writes all of `bytes` to `handle`; a missing handle discards them when `missing_discards`.
Status write_all(HANDLE handle, std::string_view bytes, bool missing_discards) {
  if (is_missing(handle)) {
    if (missing_discards) return {};
    return fail(os_error(ERROR_INVALID_HANDLE));
  }
  if (is_console(handle)) {
    if (write_console_text(handle, bytes)) return {};
    if (GetLastError() == ERROR_SUCCESS) return fail("failed to write the buffered data");
    return fail(last_os_error());
  }
  while (!bytes.empty()) {
    DWORD written = 0;
    if (!write_some(handle, bytes, written)) {
      if (GetLastError() == ERROR_INVALID_HANDLE && missing_discards) return {};
      return fail(last_os_error());
    }
    if (written == 0) return fail("failed to write the buffered data");
    bytes.remove_prefix(written);
  }
  return {};
}

std::mutex& stderr_lock() {
  static std::mutex lock;
  return lock;
}

}  // namespace

Status write_stdout(std::string_view bytes) {
  // No standard output at all: the bytes are discarded.
  return write_all(GetStdHandle(STD_OUTPUT_HANDLE), bytes, true);
}

Status write_stdout_or_error(std::string_view bytes) {
  return write_all(GetStdHandle(STD_OUTPUT_HANDLE), bytes, false);
}

void write_stderr(std::string_view bytes) { (void)write_stderr_or_error(bytes); }

Status write_stderr_or_error(std::string_view bytes) {
  if (output_ended()) return {};
  std::lock_guard<std::mutex> hold(stderr_lock());
  return write_all(GetStdHandle(STD_ERROR_HANDLE), bytes, false);
}

std::size_t read_stdin(std::span<char> buffer) {
  Result<std::size_t> got = read_stdin_or_error(buffer);
  return got ? *got : 0;
}

Result<std::size_t> read_stdin_or_error(std::span<char> buffer) {
  HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
  if (is_missing(in)) return 0;
  const bool pipe = GetFileType(in) == FILE_TYPE_PIPE;
  bool broken_pipe = false;  // the host closed its end: the end of the input
  const auto read_once = [&]() -> Result<std::size_t> {
    for (;;) {
      DWORD got = 0;
      if (ReadFile(in, buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr)) return got;
      const DWORD code = GetLastError();
      // A message-mode pipe with a message longer than the buffer: the rest follows.
      if (code == ERROR_MORE_DATA) return got;
      // An empty pipe in non-blocking mode whose writer is still there: wait for data.
      if (code == ERROR_NO_DATA && pipe && !pipe_writer_gone(in)) {
        Sleep(IDLE_PIPE_WAIT_MS);
        continue;
      }
      broken_pipe = code == ERROR_BROKEN_PIPE;
      return fail(os_error(static_cast<int>(code)));
    }
  };
  Result<std::size_t> got =
      read_past_empty_writes(pipe, read_once, [&] { return pipe_writer_gone(in); });
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
