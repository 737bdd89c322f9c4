#pragma once
// Which ONNX Runtime and which speech library module this process has loaded, found without
// loading anything and without keeping anything loaded: onnxruntime.dll and
// sherpa-onnx-c-api.dll on Windows (GetModuleHandleW), a module whose file name is
// libonnxruntime.so or libsherpa-onnx-c-api.so, alone or followed by ".<version>", elsewhere
// (dl_iterate_phdr); and the program file the process runs, whose folder those modules are
// expected to come from.

#include <optional>
#include <string>

namespace tw {

// The module's file path as UTF-8 (on Windows each unpaired surrogate becomes U+FFFD; elsewhere
// the bytes the loader holds, with the folder's links resolved), empty when the path cannot be
// read; nothing when no such module is loaded.
std::optional<std::string> onnx_runtime_module_path();
std::optional<std::string> speech_library_module_path();  // the same for the speech library

// The path of this process's program file, however long, as UTF-8 (GetModuleFileNameW; on
// Linux /proc/self/exe, links resolved as the loader resolves $ORIGIN); empty when it cannot be
// read.
std::string program_path();

}  // namespace tw
