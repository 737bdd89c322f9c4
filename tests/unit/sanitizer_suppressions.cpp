// Leak reports the address sanitizer should not make about code that is not ours. Read by the
// sanitizer runtime at start-up; an ordinary build never calls it.

extern "C" const char* __lsan_default_suppressions() {
  // ONNX Runtime's processor detection keeps a few bytes for the life of the process.
  return "leak:libonnxruntime.so\n";
}
