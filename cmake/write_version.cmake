# Writes the build's version files from `git describe --tags --always --dirty`, run at every
# build (cmake -P) so that a new commit or tag needs no reconfigure. A file is rewritten only when
# its text changes, so an unchanged version rebuilds nothing.
#   -DSOURCE_DIR=<repository> -DOUT_DIR=<directory for VERSION and version.h>
execute_process(
  COMMAND git describe --tags --always --dirty
  WORKING_DIRECTORY ${SOURCE_DIR}
  OUTPUT_VARIABLE version
  OUTPUT_STRIP_TRAILING_WHITESPACE
  ERROR_QUIET
  RESULT_VARIABLE git_status)
if(NOT git_status EQUAL 0 OR version STREQUAL "")
  set(version "unknown")  # a source tree without its git history
endif()

# Windows keeps four 16-bit numbers beside the text: vMAJOR.MINOR.PATCH from the tag and the
# count of commits after it; all zero when there is no tag to read them from.
set(numbers 0,0,0,0)
if(version MATCHES "^v([0-9]+)\\.([0-9]+)\\.([0-9]+)(-([0-9]+)-g[0-9a-f]+)?(-dirty)?$")
  set(commits 0)
  if(CMAKE_MATCH_5)
    set(commits ${CMAKE_MATCH_5})
  endif()
  set(numbers "${CMAKE_MATCH_1},${CMAKE_MATCH_2},${CMAKE_MATCH_3},${commits}")
endif()

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
