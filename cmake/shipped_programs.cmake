# The programs a release ships. A program joins the release with one line,
#   tw_ship_program(<target> "<one-line description>")
# which gives it its install rule, the $ORIGIN search path for the speech library beside it, a
# link map and, on Windows, a version resource and the application manifest
# cmake/program.manifest. scripts/package.sh builds `tw_shipped_programs` and installs (cmake
# --install) whatever joined, with the library files and VERSION, into one flat folder.

if(WIN32)
  enable_language(RC)
endif()

set(TW_PRODUCT_NAME "transcribe-worker")
set(TW_COPYRIGHT "Copyright The transcribe-worker authors. Licensed under the Apache License 2.0.")
set(TW_VERSION_DIR ${CMAKE_BINARY_DIR}/version)

add_custom_target(tw_version ALL
  COMMAND ${CMAKE_COMMAND} -DSOURCE_DIR=${CMAKE_SOURCE_DIR} -DOUT_DIR=${TW_VERSION_DIR}
    -DRELEASE_VERSION=${PROJECT_VERSION} -P ${CMAKE_CURRENT_LIST_DIR}/write_version.cmake
  BYPRODUCTS ${TW_VERSION_DIR}/VERSION ${TW_VERSION_DIR}/version.h
  VERBATIM)
add_custom_target(tw_shipped_programs)
add_dependencies(tw_shipped_programs tw_version)

install(FILES ${TW_SHERPA_RUNTIME} ${TW_VERSION_DIR}/VERSION DESTINATION .)
# The reference hosts, as sources: the one sub-folder of a package.
install(DIRECTORY ${CMAKE_SOURCE_DIR}/hosts/ DESTINATION hosts)

set(TW_VERSION_RESOURCE_TEMPLATE ${CMAKE_CURRENT_LIST_DIR}/version_info.rc.in)
set(TW_MANIFEST ${CMAKE_CURRENT_LIST_DIR}/program.manifest)

function(tw_ship_program target description)
  add_dependencies(tw_shipped_programs ${target})
  install(TARGETS ${target} RUNTIME DESTINATION .)
  # The linker's map beside the program (not installed): which archives and objects went into
  # it, which the package test holds against THIRD-PARTY-NOTICES.
  target_link_options(${target} PRIVATE "LINKER:-Map=$<TARGET_FILE_DIR:${target}>/${target}.map")
  if(NOT WIN32)
    set_target_properties(${target} PROPERTIES BUILD_RPATH "$ORIGIN" INSTALL_RPATH "$ORIGIN")
    return()
  endif()
  set(TW_DESCRIPTION "${description}")
  set(TW_FILE_NAME "${target}.exe")
  set(resource ${TW_VERSION_DIR}/${target}.rc)
  configure_file(${TW_VERSION_RESOURCE_TEMPLATE} ${resource} @ONLY)
  # windres reports no included files to the build, so the version header and the manifest are
  # named here.
  set_source_files_properties(${resource} PROPERTIES
    OBJECT_DEPENDS "${TW_VERSION_DIR}/version.h;${TW_MANIFEST}")
  target_sources(${target} PRIVATE ${resource})
  add_dependencies(${target} tw_version)
endfunction()
