#pragma once
// Writing to a standard handle on Windows, shared by the stream writers and fail_fast. A host
// may hand the worker a console or a pipe in non-blocking mode (PIPE_NOWAIT, as MSYS and Cygwin
// shells make theirs).

#include <windows.h>

#include <string_view>

namespace tw {

// Whether the handle is a console, which takes text rather than bytes.
bool is_console(HANDLE handle);

// Writes the UTF-8 `text` to a console as UTF-16, in pieces that never split a surrogate pair.
// False at the first refusal (GetLastError says why) or when the console took nothing
// (GetLastError is then ERROR_SUCCESS).
bool write_console_text(HANDLE console, std::string_view text);

// WriteFile of a first part of `bytes`, which the handle takes whole or in part. A pipe in
// non-blocking mode takes a write whole or not at all, and nothing while it is full: smaller
// parts are tried, then the call waits for the reader to make room, as a blocking pipe would.
// Returns WriteFile's result; `written` is 0 only when a handle other than a pipe took nothing.
BOOL write_some(HANDLE handle, std::string_view bytes, DWORD& written);

// A pipe whose writer keeps it open but has nothing in it, read in non-blocking mode, fails
// with ERROR_NO_DATA at once: the reader waits this long before it tries again.
inline constexpr DWORD IDLE_PIPE_WAIT_MS = 20;

}  // namespace tw
