#pragma once
// The speech library works only with the ONNX Runtime it was built with, which ships beside
// the worker. When that copy is missing, Windows loads another module of the same name: an older
// one in its own directory (Windows ML ships one with many Windows 10 and 11 machines) or one on
// PATH, and the library then crashes on its first call. The check refuses a run, whatever the
// provider, whose loaded ONNX Runtime does not come from the worker's own folder.
//
// The speech library itself is held to the same rule: a copy found on PATH or in the host's
// current directory (Windows), or on LD_LIBRARY_PATH (Linux), when the one beside the worker is
// missing, is not the build the package was tested with.
//
// The folders are compared after lower-casing both with the full Unicode mapping (Windows
// compares names without case; the case of the folder follows how the program was started).
// The same rule applies on Linux, where the modules are libonnxruntime.so and
// libsherpa-onnx-c-api.so.

#include <optional>
#include <string>
#include <string_view>

#include "core/error.h"

namespace tw {

// The checks for this process, the speech library's first: its loaded speech library and ONNX
// Runtime modules, its program file and the system's Windows directory.
Status check_library_origins();

// The judgement on the speech library: `module_path` is nothing when it is not loaded. Fails
// with "the speech library (PATH) was loaded instead of the one beside the worker". An empty
// module or program path (unreadable) passes.
Status check_speech_library_path(const std::optional<std::string>& module_path,
                                 std::string_view program_path);

// The judgement on given facts: `module_path` is nothing when no ONNX Runtime is loaded;
// `program_path` is the worker's program file; `windows_directory` (nothing off Windows) only
// chooses the message. An empty module or program path (unreadable) passes.
Status check_onnx_runtime_path(const std::optional<std::string>& module_path,
                               std::string_view program_path,
                               const std::optional<std::string>& windows_directory);

}  // namespace tw
