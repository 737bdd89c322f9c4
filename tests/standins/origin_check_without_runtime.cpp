// origin_check_without_runtime [--system-root VALUE | --no-system-root]
// Like origin_check, but without the speech library: no ONNX Runtime is loaded at all.
#include "origin_report.h"

#ifdef _WIN32
int wmain(int, wchar_t**) { return report_onnx_runtime_origin(tw::process_arguments(0, nullptr)); }
#else
int main(int argc, char** argv) {
  return report_onnx_runtime_origin(tw::process_arguments(argc, argv));
}
#endif
