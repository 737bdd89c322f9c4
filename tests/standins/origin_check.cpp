// origin_check [--system-root VALUE | --no-system-root]
// Linked against the speech library, like the worker: its ONNX Runtime is loaded with the
// program. Prints the loaded runtime's path and runs the origin check (see origin_report.h).
#include "origin_report.h"

// Any import from the speech library makes the loader bring it and its runtime in.
extern "C" const char* SherpaOnnxGetVersionStr();

namespace {

int check(const std::vector<std::string>& arguments) {
  // Keeps the import; the version itself is of no interest.
  volatile const char* version = SherpaOnnxGetVersionStr();
  (void)version;
  return report_onnx_runtime_origin(arguments);
}

}  // namespace

#ifdef _WIN32
int wmain(int, wchar_t**) { return check(tw::process_arguments(0, nullptr)); }
#else
int main(int argc, char** argv) { return check(tw::process_arguments(argc, argv)); }
#endif
