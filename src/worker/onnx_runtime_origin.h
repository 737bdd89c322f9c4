#pragma once
// A GPU run needs the GPU add-on's ONNX Runtime; Windows carries a module of the same name in
// its own directory, and that one may have been loaded instead. The check refuses a run whose
// loaded ONNX Runtime lives under the Windows directory.
//
// Both paths are lower-cased with the full Unicode mapping and compared as plain byte
// prefixes: no separator or component check, no normalisation. The Windows directory is the
// "SystemRoot" variable when it is set and valid Unicode, else "C:\Windows". The same rule
// applies unchanged on Linux, where the module is libonnxruntime.so: there the check passes
// unless "SystemRoot" is set to a prefix of the module's path (an empty value is a prefix of
// every path).

#include <optional>
#include <string>

#include "core/error.h"

namespace tw {

// The check for this process: its loaded ONNX Runtime module and its environment.
Status check_onnx_runtime_origin();

// The judgement on given facts: `module_path` is nothing when no ONNX Runtime is loaded,
// `system_root` nothing when "SystemRoot" is not set or not valid Unicode.
Status check_onnx_runtime_path(const std::optional<std::string>& module_path,
                               const std::optional<std::string>& system_root);

}  // namespace tw
