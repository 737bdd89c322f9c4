/* Test-only preload library: makes sysconf report the number of logical processors given in the
 * environment variable TW_TEST_PROCESSORS, so the process tests can run the worker as on a large
 * machine (several decode threads). Other sysconf names, and an unset or malformed variable, go to
 * the C library unchanged.
 *
 *   LD_PRELOAD=.../libprocessor_count.so TW_TEST_PROCESSORS=26 transcribe-worker ...
 */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <stdlib.h>
#include <unistd.h>

static long processors_from_environment(void) {
  const char* text = getenv("TW_TEST_PROCESSORS");
  if (text == NULL || *text == '\0') return 0;
  char* end = NULL;
  long count = strtol(text, &end, 10);
  return *end == '\0' && count > 0 ? count : 0;
}

long sysconf(int name) {
  if (name == _SC_NPROCESSORS_ONLN || name == _SC_NPROCESSORS_CONF) {
    long count = processors_from_environment();
    if (count > 0) return count;
  }
  static long (*next_sysconf)(int);
  if (next_sysconf == NULL) next_sysconf = (long (*)(int))dlsym(RTLD_NEXT, "sysconf");
  return next_sysconf(name);
}
