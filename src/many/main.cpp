// Entry point of transcribe-many.
#include "core/platform/fail_fast.h"
#include "core/platform/process_arguments.h"
#include "core/platform/std_streams.h"
#include "many/run.h"

#ifdef _WIN32
int wmain(int, wchar_t**) {
  tw::open_closed_std_streams();
  tw::install_process_guards();
  tw::many::run(tw::process_arguments(0, nullptr));
}
#else
int main(int argc, char** argv) {
  tw::open_closed_std_streams();
  tw::install_process_guards();
  tw::many::run(tw::process_arguments(argc, argv));
}
#endif
