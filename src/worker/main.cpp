// Entry point of transcribe-worker.
#include "core/platform/process_arguments.h"
#include "worker/entry.h"

#ifdef _WIN32
int wmain(int, wchar_t**) { return tw::worker_main(tw::process_arguments(0, nullptr)); }
#else
int main(int argc, char** argv) { return tw::worker_main(tw::process_arguments(argc, argv)); }
#endif
