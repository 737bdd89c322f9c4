// Entry point of transcribe-model-check.
#include "core/platform/process_arguments.h"
#include "core/program_main.h"
#include "model_check/check_model.h"

#ifdef _WIN32
int wmain(int, wchar_t**) { tw::run_program(tw::check_model, tw::process_arguments(0, nullptr)); }
#else
int main(int argc, char** argv) {
  tw::run_program(tw::check_model, tw::process_arguments(argc, argv));
}
#endif
