/* Drives hosts/c/transcribe_host.c for tests/e2e/test_hosts.py: the command line and the lines
 * written are those of host_driver.py. The runs go at once and are read one after the other. */
#if !defined(_WIN32)
#define _POSIX_C_SOURCE 200809L
#endif

#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "transcribe_host.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#else
#include <pthread.h>
#include <signal.h>
#include <unistd.h>
#endif

static void die(void) {
#ifdef _WIN32
  TerminateProcess(GetCurrentProcess(), 9);
#else
  kill(getpid(), SIGKILL);
#endif
}

static void idle(void) {
#ifdef _WIN32
  Sleep(3000);
#else
  sleep(3);
#endif
}

/* A thread that cancels a run 3 s after its start, while the driver waits for records. */
#ifdef _WIN32
typedef HANDLE canceller;

static DWORD WINAPI cancel_later(void* run) {
  idle();
  transcribe_cancel(run);
  return 0;
}

static canceller start_canceller(transcribe_run* run) {
  return CreateThread(NULL, 0, cancel_later, run, 0, NULL);
}

static void join_canceller(canceller thread) {
  WaitForSingleObject(thread, INFINITE);
  CloseHandle(thread);
}
#else
typedef pthread_t canceller;

static void* cancel_later(void* run) {
  idle();
  transcribe_cancel(run);
  return NULL;
}

static canceller start_canceller(transcribe_run* run) {
  pthread_t thread;
  if (pthread_create(&thread, NULL, cancel_later, run) != 0) abort();
  return thread;
}

static void join_canceller(canceller thread) { pthread_join(thread, NULL); }
#endif

static void print_record(int pipe, int index, const transcribe_record* record) {
  if (pipe) {
    printf("%s\n", record->line);
  } else {
    printf("{\"run\":%d,\"record\":%s}\n", index, record->line);
  }
  fflush(stdout);
}

static void json_string(const char* text, size_t size) {
  putchar('"');
  for (size_t i = 0; i < size; ++i) {
    unsigned char c = (unsigned char)text[i];
    if (c == '"' || c == '\\') {
      printf("\\%c", c);
    } else if (c < 0x20) {
      printf("\\u%04x", c);
    } else {
      putchar(c);
    }
  }
  putchar('"');
}

static int drive(const char* mode, char** args, int count) {
  transcribe_run** runs = calloc((size_t)count, sizeof *runs);
  for (int i = 0; i < count; ++i) {
    transcribe_options options = {
        .worker = args[0], .model = args[1], .ffmpeg = args[2], .media = args[3 + i]};
    runs[i] = transcribe_start(&options);
    if (!runs[i]) {
      char why[64];
#ifdef _WIN32
      snprintf(why, sizeof why, "Windows error %lu", GetLastError());
#else
      snprintf(why, sizeof why, "%s", strerror(errno));
#endif
      printf("{\"run\":%d,\"refused\":", i);
      json_string(why, strlen(why));
      printf("}\n");
      fflush(stdout);
    }
  }
  int pipe = strcmp(mode, "pipe") == 0;
  int status = 0;
  for (int i = 0; i < count; ++i) {
    if (!runs[i]) continue;
    if (strcmp(mode, "idle") == 0) {
      idle();
      transcribe_cancel(runs[i]);
    }
    int wait = strcmp(mode, "wait") == 0;
    canceller later;
    memset(&later, 0, sizeof later);
    if (wait) later = start_canceller(runs[i]);
    transcribe_record record;
    while (transcribe_next(runs[i], &record)) {
      print_record(pipe, i, &record);
      if (record.kind == TRANSCRIBE_WORDS && strcmp(mode, "cancel") == 0) {
        transcribe_cancel(runs[i]);
      }
      if (record.kind == TRANSCRIBE_WORDS && strcmp(mode, "die") == 0) die();
      if (strcmp(mode, "close") == 0) transcribe_cancel(runs[i]);
    }
    /* Asked again after the end, a run gives nothing. */
    while (transcribe_next(runs[i], &record)) print_record(pipe, i, &record);
    if (wait) join_canceller(later); /* before the run is freed */
    transcribe_result result;
    if (transcribe_finish(runs[i], &result) == TRANSCRIBE_FAILED) {
      if (pipe) {
        printf("error: %s\n", result.error);
        status = result.status;
        transcribe_result_free(&result);
        break;
      }
      printf("{\"run\":%d,\"error\":", i);
      json_string(result.error, strlen(result.error));
      if (result.status == TRANSCRIBE_STATUS_UNKNOWN) {
        printf(",\"status\":null,\"stderr\":");
      } else {
        printf(",\"status\":%d,\"stderr\":", result.status);
      }
      json_string(result.error_output, result.error_output_length);
      printf("}\n");
    } else if (!pipe) {
      printf("{\"run\":%d,\"done\":true,\"progress\":null}\n", i);
    }
    fflush(stdout);
    transcribe_result_free(&result);
  }
  free(runs);
  return status;
}

#ifdef _WIN32
int wmain(int argc, wchar_t** argv) {
  _setmode(_fileno(stdout), _O_BINARY);
  char** args = calloc((size_t)argc, sizeof *args);
  for (int i = 0; i < argc; ++i) {
    int size = WideCharToMultiByte(CP_UTF8, 0, argv[i], -1, NULL, 0, NULL, NULL);
    args[i] = malloc((size_t)size);
    WideCharToMultiByte(CP_UTF8, 0, argv[i], -1, args[i], size, NULL, NULL);
  }
#else
int main(int argc, char** args) {
#endif
  if (argc < 6) {
    fprintf(stderr, "usage: host_driver MODE WORKER MODEL FFMPEG MEDIA...\n");
    return 2;
  }
  return drive(args[1], args + 2, argc - 5);
}
