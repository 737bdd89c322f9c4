#pragma once
// The body of the origin_check stand-ins: [--system-root VALUE | --no-system-root]
// The option first sets or removes "SystemRoot" in the stand-in's own environment. Then
// the ONNX Runtime module this process has loaded goes to standard output as one line (its
// path, or "none"), and the origin checks run as the worker reports them: status 0, or the error
// line and status 1.
#include <optional>
#include <string>
#include <vector>

#include "core/asr/onnx_runtime_origin.h"
#include "core/platform/fail_fast.h"
#include "core/platform/loaded_module.h"
#include "core/platform/process_arguments.h"
#include "core/platform/std_streams.h"
#include "system_root.h"
#include "worker/entry.h"

inline int report_onnx_runtime_origin(const std::vector<std::string>& arguments) {
  tw::install_process_guards();
  if (arguments.size() == 2 && arguments[0] == "--system-root") set_system_root(arguments[1]);
  if (arguments.size() == 1 && arguments[0] == "--no-system-root") set_system_root(std::nullopt);

  std::optional<std::string> module = tw::onnx_runtime_module_path();
  {
    std::lock_guard<std::recursive_timed_mutex> hold(tw::stdout_lock());
    (void)tw::write_stdout(module.value_or("none") + "\n");
  }
  tw::Status check = tw::check_library_origins();
  if (check) tw::exit_process(0);
  tw::write_stderr(tw::error_line(check.error()));
  tw::exit_process(1);
}
