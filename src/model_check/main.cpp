// Entry point of transcribe-model-check.
#include "core/platform/process_arguments.h"
#include "core/program_main.h"
#include "model_check/check_model.h"

#ifdef _WIN32
int wmain(int, wchar_t**) { tw::program_main(tw::process_arguments(0, nullptr), tw::check_model); }
#else
int main(int argc, char** argv) {
  tw::program_main(tw::process_arguments(argc, argv), tw::check_model);
}
#endif
