# Third-party pieces: threads, nlohmann/json (header-only, Debian's copy) and the prebuilt
# sherpa-onnx C API from the npm packages that scripts/setup.sh unpacks into third_party/.
set(THREADS_PREFER_PTHREAD_FLAG ON)
find_package(Threads REQUIRED)

# Debian's headers live in /usr/include, which a cross-build must not search as a whole.
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/vendor-include)
file(CREATE_LINK /usr/include/nlohmann ${CMAKE_BINARY_DIR}/vendor-include/nlohmann SYMBOLIC)
add_library(tw_json INTERFACE)
target_include_directories(tw_json SYSTEM INTERFACE ${CMAKE_BINARY_DIR}/vendor-include)

set(TW_THIRD_PARTY ${CMAKE_SOURCE_DIR}/third_party)
add_library(tw_sherpa_onnx INTERFACE)
if(WIN32)
  set(TW_SHERPA_DIR ${TW_THIRD_PARTY}/sherpa-onnx-win-x64)
  set(TW_SHERPA_RUNTIME ${TW_SHERPA_DIR}/sherpa-onnx-c-api.dll ${TW_SHERPA_DIR}/onnxruntime.dll)
  # The package ships no import library; mingw links against the DLL itself.
  target_link_libraries(tw_sherpa_onnx INTERFACE ${TW_SHERPA_DIR}/sherpa-onnx-c-api.dll)
else()
  set(TW_SHERPA_DIR ${TW_THIRD_PARTY}/sherpa-onnx-linux-x64)
  set(TW_SHERPA_RUNTIME ${TW_SHERPA_DIR}/libsherpa-onnx-c-api.so ${TW_SHERPA_DIR}/libonnxruntime.so)
  target_link_libraries(tw_sherpa_onnx INTERFACE ${TW_SHERPA_DIR}/libsherpa-onnx-c-api.so)
endif()
foreach(f IN LISTS TW_SHERPA_RUNTIME)
  if(NOT EXISTS ${f})
    message(FATAL_ERROR "${f} is missing: run scripts/setup.sh")
  endif()
endforeach()

# Puts the speech library beside an executable, where the loader looks first on both platforms.
function(tw_copy_runtime target)
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${CMAKE_COMMAND} -E copy_if_different ${TW_SHERPA_RUNTIME} $<TARGET_FILE_DIR:${target}>
    VERBATIM)
endfunction()

# utf8proc, for the display width of subtitle lines: Debian's library on Linux; on Windows its
# Debian source package (pinned in scripts/debian_sources.lock, unpacked by scripts/setup.sh)
# compiled here with the mingw toolchain and linked statically.
if(WIN32)
  set(TW_UTF8PROC_DIR ${TW_THIRD_PARTY}/utf8proc-2.8.0)
  if(NOT EXISTS ${TW_UTF8PROC_DIR}/utf8proc.c)
    message(FATAL_ERROR "${TW_UTF8PROC_DIR} is missing: run scripts/setup.sh")
  endif()
  add_library(tw_utf8proc STATIC ${TW_UTF8PROC_DIR}/utf8proc.c)
  target_compile_definitions(tw_utf8proc PUBLIC UTF8PROC_STATIC)
  target_compile_options(tw_utf8proc PRIVATE -w)
  target_include_directories(tw_utf8proc SYSTEM PUBLIC ${TW_UTF8PROC_DIR})
else()
  find_path(TW_UTF8PROC_INCLUDE utf8proc.h REQUIRED)
  # The static archive: the shipped program needs no library beyond the system's own.
  find_library(TW_UTF8PROC_LIBRARY NAMES libutf8proc.a REQUIRED)
  add_library(tw_utf8proc INTERFACE)
  target_include_directories(tw_utf8proc SYSTEM INTERFACE ${TW_UTF8PROC_INCLUDE})
  target_link_libraries(tw_utf8proc INTERFACE ${TW_UTF8PROC_LIBRARY})
endif()
