/* Runs transcribe-worker on one media file and hands over its records (C11; POSIX and Win32).
 *
 *   transcribe_options options = {.worker = "/opt/transcribe/transcribe-worker",
 *                                 .model = "/opt/models/parakeet", .ffmpeg = "/usr/bin/ffmpeg",
 *                                 .media = "talk.mp4"};
 *   transcribe_run* run = transcribe_start(&options);  (NULL: errno tells why)
 *   transcribe_record record;
 *   while (transcribe_next(run, &record)) {
 *     if (record.kind == TRANSCRIBE_WORDS) puts(record.line);  (parse the words as you like)
 *   }
 *   transcribe_result result;
 *   if (transcribe_finish(run, &result) == TRANSCRIBE_FAILED) puts(result.error);
 *   transcribe_result_free(&result);
 *
 * The worker is always started with --exit-on-stdin-close and its standard input kept open: a
 * cancel closes it, and so does the end of the host process, however it ends, so no worker and
 * no ffmpeg outlive the host. Standard output and standard error are read at the same time (two
 * threads on Windows, poll() on POSIX), so a worker that writes much to either never waits for
 * the host. Strings are UTF-8 on both platforms. One run is used by one thread at a time, except
 * transcribe_cancel, which any thread may call while another waits in transcribe_next.
 */
#ifndef TRANSCRIBE_HOST_H
#define TRANSCRIBE_HOST_H

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct transcribe_run transcribe_run;

typedef struct transcribe_options {
  const char* worker;   /* the transcribe-worker executable (.exe on Windows) */
  const char* model;    /* the model directory */
  const char* ffmpeg;   /* the ffmpeg executable */
  const char* media;    /* the media file */
  const char* start;    /* optional (NULL): --start SECONDS, e.g. "12.5" */
  const char* end;      /* optional (NULL): --end SECONDS */
  const char* batch;    /* optional (NULL): --batch N */
  const char* provider; /* optional (NULL): "cpu" or "cuda" */
} transcribe_options;

typedef enum transcribe_kind {
  TRANSCRIBE_READY = 1, /* {"ready":true} */
  TRANSCRIBE_WORDS = 2  /* {"end":...,"words":[...]} */
} transcribe_kind;

typedef struct transcribe_record {
  transcribe_kind kind;
  double end;       /* "end" of a words record, seconds from the beginning of the file */
  const char* line; /* the whole record, without its line feed; valid until the next call */
  size_t length;
} transcribe_record;

typedef enum transcribe_outcome {
  TRANSCRIBE_DONE = 0,      /* every record was read; status 0 */
  TRANSCRIBE_CANCELLED = 1, /* transcribe_cancel stopped it */
  TRANSCRIBE_FAILED = 2     /* the worker failed: see error */
} transcribe_outcome;

/* transcribe_result.status when the exit status cannot be known (POSIX: this process ignores
 * SIGCHLD, so the system reaps the worker itself, or something else waited for it). Such a run
 * is never TRANSCRIBE_DONE. */
#define TRANSCRIBE_STATUS_UNKNOWN (-1)

typedef struct transcribe_result {
  int status;         /* exit status (POSIX: 128 + the signal after a signal), or the above */
  char* error;        /* TRANSCRIBE_FAILED: the worker's error text after "error: ", whole */
  char* error_output; /* everything the worker wrote to standard error */
  size_t error_output_length;
} transcribe_result;

/* Starts the worker. NULL when it could not be started (errno, or GetLastError on Windows).
 * A bare ffmpeg name (no folder) is looked for in PATH's absolute folders only, never in the
 * current folder; when it is not there nothing starts (ENOENT, ERROR_FILE_NOT_FOUND). */
transcribe_run* transcribe_start(const transcribe_options* options);

/* Waits for the next record: 1 and *record, or 0 at the end (the worker's output has ended, or
 * the run was cancelled). A last line cut short by a stop is never returned. */
int transcribe_next(transcribe_run* run, transcribe_record* record);

/* Asks the worker to stop, through its standard input: it ends its decoder and exits within
 * about two seconds. transcribe_next then returns 0. */
void transcribe_cancel(transcribe_run* run);

/* Waits for the worker's exit (read transcribe_next to 0 or cancel first, unless the rest of the
 * records do not matter: they are read and dropped), frees the run and fills *result, which
 * transcribe_result_free releases. */
transcribe_outcome transcribe_finish(transcribe_run* run, transcribe_result* result);

void transcribe_result_free(transcribe_result* result);

#ifdef __cplusplus
}
#endif

#endif
