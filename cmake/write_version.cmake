# Writes the build's version files, run at every build (cmake -P) so that a new commit needs no
# reconfigure. The release version is the tree's own, project(... VERSION X.Y.Z) in
# CMakeLists.txt, changed by the commit that makes a release; git only adds which build it is, as
# build metadata: the commit, and "-dirty" with uncommitted changes (0.1.0+5a1ba4c,
# 0.1.0+5a1ba4c-dirty; 0.1.0+unknown for a source tree without its git history). Tags play no
# part, so a clone without them gives the same version. A file is rewritten only when its text
# changes, so an unchanged version rebuilds nothing.
#   -DSOURCE_DIR=<repository> -DOUT_DIR=<directory for VERSION and version.h>
#   -DRELEASE_VERSION=<X.Y.Z>
if(NOT RELEASE_VERSION MATCHES "^([0-9]+)\\.([0-9]+)\\.([0-9]+)$")
  message(FATAL_ERROR "the release version must be X.Y.Z, not \"${RELEASE_VERSION}\"")
endif()
# Windows keeps four 16-bit numbers beside the text: X.Y.Z.0.
set(numbers "${CMAKE_MATCH_1},${CMAKE_MATCH_2},${CMAKE_MATCH_3},0")
foreach(number IN ITEMS ${CMAKE_MATCH_1} ${CMAKE_MATCH_2} ${CMAKE_MATCH_3})
  if(number GREATER 65535)
    message(FATAL_ERROR "${RELEASE_VERSION}: Windows takes numbers up to 65535")
  endif()
endforeach()

execute_process(
  COMMAND git describe --always --dirty --exclude=*
  WORKING_DIRECTORY ${SOURCE_DIR}
  OUTPUT_VARIABLE build
  OUTPUT_STRIP_TRAILING_WHITESPACE
  ERROR_QUIET
  RESULT_VARIABLE git_status)
if(NOT git_status EQUAL 0 OR build STREQUAL "")
  set(build "unknown")
endif()
set(version "${RELEASE_VERSION}+${build}")

function(write_if_changed path text)
  if(EXISTS ${path})
    file(READ ${path} old)
    if(old STREQUAL text)
      return()
    endif()
  endif()
  file(WRITE ${path} "${text}")
endfunction()

file(MAKE_DIRECTORY ${OUT_DIR})
write_if_changed(${OUT_DIR}/VERSION "${version}\n")
write_if_changed(${OUT_DIR}/version.h
  "#define TW_VERSION_TEXT \"${version}\"\n#define TW_VERSION_NUMBERS ${numbers}\n")
