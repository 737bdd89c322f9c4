#pragma once
// The speech library works only with the ONNX Runtime it was built with, which ships beside
// the worker. When that copy is missing, Windows loads another module of the same name: an older
// one in its own directory (Windows ML ships one with many Windows 10 and 11 machines) or one on
// PATH, and the library then crashes on its first call. The check refuses a run, whatever the
// provider, whose loaded ONNX Runtime does not come from the worker's own folder.
//
// The folders are compared after lower-casing both with the full Unicode mapping (Windows
// compares names without case; the case of the folder follows how the program was started).
// The same rule applies on Linux, where the module is libonnxruntime.so.

#include <optional>
#include <string>
#include <string_view>

#include "core/error.h"

namespace tw {

// The check for this process: its loaded ONNX Runtime module, its program file and the
// system's Windows directory.
Status check_onnx_runtime_origin();

// The judgement on given facts: `module_path` is nothing when no ONNX Runtime is loaded;
// `program_path` is the worker's program file; `windows_directory` (nothing off Windows) only
// chooses the message. An empty module or program path (unreadable) passes.
Status check_onnx_runtime_path(const std::optional<std::string>& module_path,
                               std::string_view program_path,
                               const std::optional<std::string>& windows_directory);

}  // namespace tw
