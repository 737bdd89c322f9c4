/* Runs transcribe-worker on one media file and hands over its records: see transcribe_host.h.
 * The first part is shared; then come the Win32 side (CreateProcessW with only the child's own
 * pipe ends, two reader threads) and the POSIX side (posix_spawn, poll()). */
#if defined(_WIN32) && !defined(_WIN32_WINNT)
#define _WIN32_WINNT 0x0600 /* the handle list of CreateProcessW */
#elif !defined(_WIN32) && !defined(_GNU_SOURCE)
#define _GNU_SOURCE /* pipe2 */
#endif

#include "transcribe_host.h"

#include <locale.h>
#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

/* ---- shared: buffers, lines, records, the error text ------------------------------------ */

typedef struct buffer {
  char* data;
  size_t length, capacity;
} buffer;

static int buffer_append(buffer* b, const void* data, size_t size) {
  if (b->length + size + 1 > b->capacity) {
    size_t capacity = b->capacity ? b->capacity : 4096;
    while (capacity < b->length + size + 1) capacity *= 2;
    char* grown = realloc(b->data, capacity);
    if (!grown) return 0;
    b->data = grown;
    b->capacity = capacity;
  }
  memcpy(b->data + b->length, data, size);
  b->length += size;
  b->data[b->length] = '\0';
  return 1;
}

/* Moves the first complete line of `from` (without its line feed) into `line`: 1, or 0 when
 * `from` holds no line feed yet. */
static int take_line(buffer* from, buffer* line) {
  char* feed = from->length ? memchr(from->data, '\n', from->length) : NULL;
  if (!feed) return 0;
  size_t size = (size_t)(feed - from->data);
  line->length = 0;
  if (!buffer_append(line, from->data, size)) return 0;
  from->length -= size + 1;
  memmove(from->data, feed + 1, from->length);
  return 1;
}

/* The worker's number forms ("24.87", "1e-6", "null") read whatever the C locale's decimal
 * point is. */
static double read_number(const char* text) {
  if (strncmp(text, "null", 4) == 0) return NAN;
  char copy[64];
  size_t n = strspn(text, "+-0123456789.eE");
  if (n == 0 || n >= sizeof copy) return NAN;
  memcpy(copy, text, n);
  copy[n] = '\0';
  char* point = strchr(copy, '.');
  if (point) *point = localeconv()->decimal_point[0];
  return strtod(copy, NULL);
}

static void fill_record(const buffer* line, transcribe_record* record) {
  static const char words_start[] = "{\"end\":";
  record->line = line->data;
  record->length = line->length;
  record->end = NAN;
  if (strncmp(line->data, words_start, sizeof words_start - 1) == 0) {
    record->kind = TRANSCRIBE_WORDS;
    record->end = read_number(line->data + sizeof words_start - 1);
  } else {
    record->kind = TRANSCRIBE_READY;
  }
}

static char* copy_text(const char* text, size_t size) {
  char* copy = malloc(size + 1);
  if (copy) {
    memcpy(copy, text, size);
    copy[size] = '\0';
  }
  return copy;
}

/* The text after the first line that starts with "error: ", to the end, without the final line
 * break. The worker writes its error last, and the libraries' lines before it never start so,
 * while the error text itself may hold lines that do (a path or a decoder message with line
 * breaks). */
static char* error_text(const buffer* err) {
  static const char marker[] = "error: ";
  const size_t marker_size = sizeof marker - 1;
  const char* data = err->data ? err->data : "";
  for (size_t at = 0; at + marker_size <= err->length; ++at) {
    if ((at == 0 || data[at - 1] == '\n') && memcmp(data + at, marker, marker_size) == 0) {
      const char* found = data + at + marker_size;
      size_t size = err->length - at - marker_size;
      while (size > 0 && (found[size - 1] == '\n' || found[size - 1] == '\r')) --size;
      return copy_text(found, size);
    }
  }
  return NULL;
}

/* MEDIA as the worker is to read it: a relative path that begins with "-" ("--talk.wav") would
 * be taken for an option, so "./" goes in front, which names the same file. NULL: no memory. */
static char* media_argument(const char* media) {
  size_t size = strlen(media);
  char* argument = malloc(size + 3);
  if (argument) {
    size_t prefix = media[0] == '-' ? 2 : 0;
    memcpy(argument, "./", prefix);
    memcpy(argument + prefix, media, size + 1);
  }
  return argument;
}

/* The worker's arguments after its path; `--exit-on-stdin-close` always. */
static size_t worker_arguments(const transcribe_options* o, const char* ffmpeg, const char* media,
                               const char* args[16]) {
  size_t n = 0;
  args[n++] = "--model";
  args[n++] = o->model;
  args[n++] = "--ffmpeg";
  args[n++] = ffmpeg;
  const char* optional[][2] = {
      {"--start", o->start}, {"--end", o->end}, {"--batch", o->batch}, {"--provider", o->provider}};
  for (size_t i = 0; i < sizeof optional / sizeof optional[0]; ++i) {
    if (optional[i][1]) {
      args[n++] = optional[i][0];
      args[n++] = optional[i][1];
    }
  }
  args[n++] = "--exit-on-stdin-close";
  args[n++] = media;
  return n;
}

/* `wait_error`: why the exit status could not be known (POSIX), or 0. */
static transcribe_outcome outcome_of(int cancelled, int status, int wait_error, buffer* err,
                                     transcribe_result* result) {
  result->status = wait_error ? TRANSCRIBE_STATUS_UNKNOWN : status;
  result->error = NULL;
  result->error_output_length = err->length;
  result->error_output = err->data ? err->data : copy_text("", 0);
  err->data = NULL;
  if (cancelled) return TRANSCRIBE_CANCELLED;
  if (status == 0 && !wait_error) return TRANSCRIBE_DONE;
  buffer whole = {result->error_output, result->error_output_length, 0};
  result->error = error_text(&whole);
  if (!result->error) {
    char text[256];
    if (wait_error) {
      snprintf(text, sizeof text,
               "the exit status of transcribe-worker is unknown (%s): this process ignores "
               "SIGCHLD, or something else waited for the worker",
               strerror(wait_error));
    } else {
      snprintf(text, sizeof text, "transcribe-worker ended with status %d", status);
    }
    result->error = copy_text(text, strlen(text));
  }
  return TRANSCRIBE_FAILED;
}

void transcribe_result_free(transcribe_result* result) {
  free(result->error);
  free(result->error_output);
  result->error = result->error_output = NULL;
}

#ifdef _WIN32
/* ---- Win32 ---------------------------------------------------------------------------------- */
#include <windows.h>

struct transcribe_run {
  buffer out, err, line;
  volatile LONG cancelled; /* Interlocked: MSVC's C has no <stdatomic.h> by default */
  volatile LONG stopping;  /* the readers are to end: see join_reader */
  int out_ended, err_ended;
  HANDLE process, in, out_read, err_read, out_thread, err_thread;
  ULONGLONG exited_at;
  CRITICAL_SECTION lock;
  CONDITION_VARIABLE changed;
};

/* Appends `text` to the wide command line, quoted so that CommandLineToArgvW and the C
 * runtime's parser give it back unchanged. */
static int append_quoted(buffer* line, const wchar_t* text) {
  const wchar_t quote = L'"', backslash = L'\\', blank = L' ';
  int ok = line->length == 0 || buffer_append(line, &blank, sizeof blank);
  if (text[0] != L'\0' && !wcspbrk(text, L" \t\n\v\"")) {
    return ok && buffer_append(line, text, wcslen(text) * sizeof *text);
  }
  ok = ok && buffer_append(line, &quote, sizeof quote);
  for (const wchar_t* c = text;; ++c) {
    size_t backslashes = 0;
    while (*c == L'\\') ++c, ++backslashes;
    /* Backslashes are doubled before a quotation mark (which gets one more) and at the end,
     * where the closing quotation mark follows. */
    size_t count = *c == L'"' || *c == L'\0' ? backslashes * 2 + (*c == L'"') : backslashes;
    for (size_t i = 0; i < count; ++i) ok = ok && buffer_append(line, &backslash, sizeof backslash);
    if (*c == L'\0') break;
    ok = ok && buffer_append(line, c, sizeof *c);
  }
  return ok && buffer_append(line, &quote, sizeof quote);
}

static wchar_t* wide(const char* text) {
  int size = MultiByteToWideChar(CP_UTF8, 0, text, -1, NULL, 0);
  wchar_t* result = size > 0 ? malloc((size_t)size * sizeof *result) : NULL;
  if (result) MultiByteToWideChar(CP_UTF8, 0, text, -1, result, size);
  return result;
}

static char* narrow(const wchar_t* text) {
  int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, NULL, 0, NULL, NULL);
  char* result = size > 0 ? malloc((size_t)size) : NULL;
  if (result) WideCharToMultiByte(CP_UTF8, 0, text, -1, result, size, NULL, NULL);
  return result;
}

/* An absolute folder: "C:\..." or "\\server\..."; "\x" and "C:x" lean on the current one. */
static int is_absolute(const wchar_t* folder) {
  int root = folder[0] == L'\\' || folder[0] == L'/';
  return (root && (folder[1] == L'\\' || folder[1] == L'/')) ||
         (folder[0] && folder[1] == L':' && (folder[2] == L'\\' || folder[2] == L'/'));
}

/* A bare program name (no folder, no drive) as found in PATH's absolute folders, with ".exe"
 * added when it has no extension: the worker searches no PATH on Windows, it would look in its
 * working directory. Never the current folder, which SearchPathW and CreateProcessW look in
 * first, nor an empty or relative PATH entry that would name it. Any other name as given.
 * NULL: not on PATH (ERROR_FILE_NOT_FOUND) or no memory. */
static char* program_path(const char* name) {
  if (strpbrk(name, "\\/:")) return copy_text(name, strlen(name));
  wchar_t* file = wide(name);
  DWORD size = GetEnvironmentVariableW(L"PATH", NULL, 0);
  wchar_t* search = malloc((size + 1) * sizeof *search);
  buffer candidate = {0};
  char* result = NULL;
  int ok = file && search;
  if (ok && (size == 0 || GetEnvironmentVariableW(L"PATH", search, size) >= size))
    search[0] = L'\0';
  const wchar_t* extension = ok && !wcschr(file, L'.') ? L".exe" : L"";
  for (wchar_t* folder = ok ? search : NULL; folder && !result;) {
    wchar_t* next = wcschr(folder, L';');
    if (next) *next++ = L'\0';
    size_t length = wcslen(folder);
    if (length >= 2 && folder[0] == L'"' && folder[length - 1] == L'"') {
      folder[length - 1] = L'\0';
      ++folder;
    }
    if (is_absolute(folder)) {
      candidate.length = 0;
      ok = buffer_append(&candidate, folder, wcslen(folder) * sizeof *folder) &&
           buffer_append(&candidate, L"\\", sizeof(wchar_t)) &&
           buffer_append(&candidate, file, wcslen(file) * sizeof *file) &&
           buffer_append(&candidate, extension, (wcslen(extension) + 1) * sizeof *extension);
      if (!ok) break;
      DWORD attributes = GetFileAttributesW((wchar_t*)candidate.data);
      if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        result = narrow((wchar_t*)candidate.data);
        ok = result != NULL;
      }
    }
    folder = next;
  }
  free(file);
  free(search);
  free(candidate.data);
  if (!result) SetLastError(ok ? ERROR_FILE_NOT_FOUND : ERROR_NOT_ENOUGH_MEMORY);
  return result;
}

static void read_pipe(transcribe_run* run, HANDLE pipe, buffer* into, int* ended) {
  char chunk[65536];
  DWORD got = 0;
  /* A read of zero bytes is not the end of a pipe; its broken end is. */
  while (!InterlockedOr(&run->stopping, 0) && ReadFile(pipe, chunk, sizeof chunk, &got, NULL)) {
    EnterCriticalSection(&run->lock);
    buffer_append(into, chunk, got);
    WakeAllConditionVariable(&run->changed);
    LeaveCriticalSection(&run->lock);
  }
  EnterCriticalSection(&run->lock);
  *ended = 1;
  WakeAllConditionVariable(&run->changed);
  LeaveCriticalSection(&run->lock);
}

static DWORD WINAPI read_stdout(void* run) {
  transcribe_run* r = run;
  read_pipe(r, r->out_read, &r->out, &r->out_ended);
  return 0;
}

static DWORD WINAPI read_stderr(void* run) {
  transcribe_run* r = run;
  read_pipe(r, r->err_read, &r->err, &r->err_ended);
  return 0;
}

/* One pipe: `ours` is not inherited, `theirs` is, and goes to the child through its handle
 * list only. */
static int make_pipe(HANDLE* ours, HANDLE* theirs, int child_reads) {
  HANDLE read, write;
  if (!CreatePipe(&read, &write, NULL, 0)) return 0;
  *ours = child_reads ? write : read;
  *theirs = child_reads ? read : write;
  return SetHandleInformation(*theirs, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
}

static void close_handle(HANDLE* handle) {
  if (*handle) CloseHandle(*handle);
  *handle = NULL;
}

transcribe_run* transcribe_start(const transcribe_options* options) {
  const char* args[16];
  char* ffmpeg = program_path(options->ffmpeg);
  if (!ffmpeg) return NULL; /* GetLastError tells why */
  char* media = media_argument(options->media);
  size_t count = worker_arguments(options, ffmpeg, media ? media : "", args);
  buffer command = {0};
  wchar_t* application = wide(options->worker);
  int ok = media && application && append_quoted(&command, application);
  for (size_t i = 0; ok && i < count; ++i) {
    wchar_t* arg = wide(args[i]);
    ok = arg && append_quoted(&command, arg);
    free(arg);
  }
  ok = ok && buffer_append(&command, L"", sizeof(wchar_t));

  transcribe_run* run = calloc(1, sizeof *run);
  HANDLE child[3] = {NULL, NULL, NULL}; /* standard input, output, error */
  ok = ok && run && make_pipe(&run->in, &child[0], 1) && make_pipe(&run->out_read, &child[1], 0) &&
       make_pipe(&run->err_read, &child[2], 0);

  SIZE_T size = 0;
  InitializeProcThreadAttributeList(NULL, 1, 0, &size);
  LPPROC_THREAD_ATTRIBUTE_LIST attributes = ok ? malloc(size) : NULL;
  ok = attributes && InitializeProcThreadAttributeList(attributes, 1, 0, &size);
  int attributes_made = ok;
  ok = ok && UpdateProcThreadAttribute(attributes, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, child,
                                       sizeof child, NULL, NULL);
  PROCESS_INFORMATION process = {0};
  if (ok) {
    STARTUPINFOEXW startup = {0};
    startup.StartupInfo.cb = sizeof startup;
    startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
    startup.StartupInfo.hStdInput = child[0];
    startup.StartupInfo.hStdOutput = child[1];
    startup.StartupInfo.hStdError = child[2];
    startup.lpAttributeList = attributes;
    ok =
        CreateProcessW(application, (wchar_t*)command.data, NULL, NULL, TRUE,
                       EXTENDED_STARTUPINFO_PRESENT | CREATE_NO_WINDOW | CREATE_UNICODE_ENVIRONMENT,
                       NULL, NULL, &startup.StartupInfo, &process);
  }
  DWORD error = GetLastError();
  if (attributes_made) DeleteProcThreadAttributeList(attributes);
  free(attributes);
  free(application);
  free(command.data);
  free(ffmpeg);
  free(media);
  for (int i = 0; i < 3; ++i) close_handle(&child[i]);
  if (!ok) {
    if (run) {
      close_handle(&run->in);
      close_handle(&run->out_read);
      close_handle(&run->err_read);
      free(run);
    }
    SetLastError(error);
    return NULL;
  }
  CloseHandle(process.hThread);
  run->process = process.hProcess;
  InitializeCriticalSection(&run->lock);
  InitializeConditionVariable(&run->changed);
  run->out_thread = CreateThread(NULL, 0, read_stdout, run, 0, NULL);
  run->err_thread = CreateThread(NULL, 0, read_stderr, run, 0, NULL);
  if (!run->out_thread || !run->err_thread) abort(); /* no memory for a thread: nothing to do */
  return run;
}

/* How long the output may stay open after the worker's exit: a process that inherited the
 * worker's handles (a helper the system started) may hold them. */
#define EXITED_GRACE_MS 2000

int transcribe_next(transcribe_run* run, transcribe_record* record) {
  EnterCriticalSection(&run->lock);
  int got = 0;
  while (!InterlockedOr(&run->cancelled, 0)) {
    if (take_line(&run->out, &run->line)) {
      got = 1;
      break;
    }
    if (run->out_ended) break;
    SleepConditionVariableCS(&run->changed, &run->lock, 250);
    /* Also when woken: a process that holds the output may keep writing to standard error. */
    if (WaitForSingleObject(run->process, 0) == WAIT_OBJECT_0) {
      ULONGLONG now = GetTickCount64();
      if (run->exited_at == 0) run->exited_at = now;
      if (now - run->exited_at > EXITED_GRACE_MS) break;
    }
  }
  LeaveCriticalSection(&run->lock);
  if (got) fill_record(&run->line, record);
  return got;
}

void transcribe_cancel(transcribe_run* run) {
  if (InterlockedExchange(&run->cancelled, 1)) return;
  CloseHandle(run->in); /* the worker's standard input ends: its stop request */
  EnterCriticalSection(&run->lock);
  WakeAllConditionVariable(&run->changed);
  LeaveCriticalSection(&run->lock);
}

/* Waits for a reader thread, which a process that inherited the worker's output may keep
 * reading after the worker's exit, until `deadline` (the grace after the exit, shared by both
 * readers). Then its read is cancelled; CancelSynchronousIo reaches only a read in progress,
 * not one the thread is about to start, so it is repeated until the thread has ended, and
 * `stopping` keeps the thread from starting another. */
static void join_reader(transcribe_run* run, HANDLE thread, ULONGLONG deadline) {
  ULONGLONG now = GetTickCount64();
  DWORD wait = now < deadline ? (DWORD)(deadline - now) : 0;
  for (; WaitForSingleObject(thread, wait) == WAIT_TIMEOUT; wait = 50) {
    InterlockedExchange(&run->stopping, 1);
    CancelSynchronousIo(thread);
  }
  CloseHandle(thread);
}

transcribe_outcome transcribe_finish(transcribe_run* run, transcribe_result* result) {
  WaitForSingleObject(run->process, INFINITE);
  EnterCriticalSection(&run->lock); /* the grace counts from the exit transcribe_next saw */
  ULONGLONG exited = run->exited_at ? run->exited_at : GetTickCount64();
  LeaveCriticalSection(&run->lock);
  join_reader(run, run->out_thread, exited + EXITED_GRACE_MS);
  join_reader(run, run->err_thread, exited + EXITED_GRACE_MS);
  DWORD status = 0;
  GetExitCodeProcess(run->process, &status);
  CloseHandle(run->process);
  CloseHandle(run->out_read);
  CloseHandle(run->err_read);
  int cancelled = InterlockedOr(&run->cancelled, 0);
  if (!cancelled) CloseHandle(run->in);
  DeleteCriticalSection(&run->lock);
  transcribe_outcome outcome = outcome_of(cancelled, (int)status, 0, &run->err, result);
  free(run->out.data);
  free(run->line.data);
  free(run);
  return outcome;
}

#else
/* ---- POSIX ---------------------------------------------------------------------------------- */
#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <stdatomic.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

struct transcribe_run {
  buffer out, err, line;
  atomic_int cancelled;
  pid_t pid;
  int in, out_fd, err_fd; /* -1 once closed */
};

/* A pipe whose ends are closed in every child this process starts, unless made its standard
 * handles: another run's worker must never hold this one's standard input open. */
static int make_pipe(int ends[2]) {
#ifdef __linux__
  return pipe2(ends, O_CLOEXEC) == 0;
#else
  if (pipe(ends) != 0) return 0;
  fcntl(ends[0], F_SETFD, FD_CLOEXEC);
  fcntl(ends[1], F_SETFD, FD_CLOEXEC);
  return 1;
#endif
}

static void close_fd(int* fd) {
  if (*fd >= 0) close(*fd);
  *fd = -1;
}

/* A bare program name (no "/") as found in PATH's absolute folders, an executable regular file
 * as a shell takes it. Never the current folder, which an empty or relative PATH entry (a stray
 * ":" at the end) would name. Any other name as given. NULL: not on PATH (ENOENT) or no memory. */
static char* program_path(const char* name) {
  if (strchr(name, '/')) return copy_text(name, strlen(name));
  const char* search = getenv("PATH");
  buffer candidate = {0};
  for (const char* folder = search ? search : "";; ++folder) {
    size_t length = strcspn(folder, ":");
    if (folder[0] == '/') {
      candidate.length = 0;
      if (!buffer_append(&candidate, folder, length) || !buffer_append(&candidate, "/", 1) ||
          !buffer_append(&candidate, name, strlen(name))) {
        free(candidate.data);
        errno = ENOMEM;
        return NULL;
      }
      struct stat status;
      if (stat(candidate.data, &status) == 0 && S_ISREG(status.st_mode) &&
          access(candidate.data, X_OK) == 0) {
        return candidate.data;
      }
    }
    folder += length;
    if (*folder == '\0') break;
  }
  free(candidate.data);
  errno = ENOENT;
  return NULL;
}

transcribe_run* transcribe_start(const transcribe_options* options) {
  char* ffmpeg = program_path(options->ffmpeg);
  if (!ffmpeg) return NULL; /* errno tells why */
  const char* args[18];
  args[0] = options->worker;
  char* media = media_argument(options->media);
  size_t count = worker_arguments(options, ffmpeg, media ? media : "", args + 1);
  args[count + 1] = NULL;

  int in[2] = {-1, -1}, out[2] = {-1, -1}, err[2] = {-1, -1};
  transcribe_run* run = calloc(1, sizeof *run);
  int ok = media && run && make_pipe(in) && make_pipe(out) && make_pipe(err);
  int error = ok ? 0 : errno;
  if (ok) {
    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_adddup2(&actions, err[1], 2);
    /* The worker gets the default handling of SIGPIPE and SIGCHLD, which a host (Node, Python)
     * may ignore, and no blocked signals. */
    sigset_t defaults, none;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    sigaddset(&defaults, SIGCHLD);
    sigemptyset(&none);
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
    error = posix_spawnp(&run->pid, options->worker, &actions, &attributes, (char* const*)args,
                         environ);
    ok = error == 0;
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
  }
  free(ffmpeg);
  free(media);
  close_fd(&in[0]);
  close_fd(&out[1]);
  close_fd(&err[1]);
  if (!ok) {
    close_fd(&in[1]);
    close_fd(&out[0]);
    close_fd(&err[0]);
    free(run);
    errno = error;
    return NULL;
  }
  run->in = in[1];
  run->out_fd = out[0];
  run->err_fd = err[0];
  return run;
}

/* Waits for output on both pipes and reads what came: 0 once both have ended. */
static int read_some(transcribe_run* run) {
  int* fd[2] = {&run->out_fd, &run->err_fd};
  buffer* into[2] = {&run->out, &run->err};
  struct pollfd polled[2];
  nfds_t n = 0;
  for (int i = 0; i < 2; ++i) {
    if (*fd[i] < 0) continue;
    polled[n] = (struct pollfd){.fd = *fd[i], .events = POLLIN};
    fd[n] = fd[i];
    into[n++] = into[i];
  }
  if (n == 0) return 0;
  if (poll(polled, n, -1) < 0) return errno == EINTR;
  for (nfds_t i = 0; i < n; ++i) {
    if (!polled[i].revents) continue;
    char chunk[65536];
    ssize_t got = read(polled[i].fd, chunk, sizeof chunk);
    if (got > 0) {
      buffer_append(into[i], chunk, (size_t)got);
    } else if (got == 0 || errno != EINTR) {
      close_fd(fd[i]);
    }
  }
  return 1;
}

int transcribe_next(transcribe_run* run, transcribe_record* record) {
  while (!atomic_load(&run->cancelled)) {
    if (take_line(&run->out, &run->line)) {
      fill_record(&run->line, record);
      return 1;
    }
    if (run->out_fd < 0 || !read_some(run)) return 0;
  }
  return 0;
}

void transcribe_cancel(transcribe_run* run) {
  if (atomic_exchange(&run->cancelled, 1)) return;
  close(run->in); /* the worker's standard input ends: its stop request */
}

transcribe_outcome transcribe_finish(transcribe_run* run, transcribe_result* result) {
  while (read_some(run)) {
    run->out.length = 0; /* records nobody asked for */
  }
  int status = 0, wait_error = 0;
  while (waitpid(run->pid, &status, 0) < 0) {
    /* ECHILD where this process ignores SIGCHLD: the system reaped the worker and its status
     * is lost, which must never pass for success. */
    if (errno != EINTR) {
      wait_error = errno;
      break;
    }
  }
  status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  int cancelled = atomic_load(&run->cancelled);
  if (!cancelled) close(run->in);
  transcribe_outcome outcome = outcome_of(cancelled, status, wait_error, &run->err, result);
  free(run->out.data);
  free(run->line.data);
  free(run);
  return outcome;
}

#endif
