# Fails when a file includes one of ours from a folder it must not use, so that a lower folder
# can be trusted without reading the ones above it:
#   src/core/text      only src/core/text
#   src/core/platform  src/core/text, src/core/platform and the error values (core/error.h)
#   src/core/...       only src/core
#   src/<program>      src/core and its own folder, never another program's
#   cmake -DSOURCE_DIR=<repository> -P cmake/check_include_floors.cmake
file(GLOB_RECURSE files RELATIVE ${SOURCE_DIR}/src ${SOURCE_DIR}/src/*.h ${SOURCE_DIR}/src/*.cpp)
set(faults "")
foreach(file IN LISTS files)
  if(file MATCHES "^core/text/")
    set(allowed "^core/text/")
  elseif(file MATCHES "^core/platform/")
    set(allowed "^(core/text/|core/platform/|core/error\\.h$)")
  elseif(file MATCHES "^core/")
    set(allowed "^core/")
  elseif(file MATCHES "^([^/]+)/")
    set(allowed "^(core/|${CMAKE_MATCH_1}/)")
  else()
    set(allowed "^core/")
  endif()
  file(STRINGS ${SOURCE_DIR}/src/${file} lines REGEX "^[ \t]*#[ \t]*include[ \t]*\"")
  foreach(line IN LISTS lines)
    string(REGEX REPLACE "^[^\"]*\"([^\"]*)\".*$" "\\1" included "${line}")
    if(NOT included MATCHES "${allowed}")
      string(APPEND faults "src/${file} includes ${included}\n")
    endif()
  endforeach()
endforeach()
if(faults)
  message(FATAL_ERROR "includes against the floors:\n${faults}")
endif()
