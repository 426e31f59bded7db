# Writes the version header: the project's version and the commit the tree was built from (with "+"
# when it had changes not committed). Run at every build; the file is only rewritten when it changes.
#   cmake -DSOURCE_DIR=... -DOUTPUT=... -DVERSION=... -P version_header.cmake
set(commit "unknown")
find_package(Git QUIET)
if(GIT_FOUND AND EXISTS "${SOURCE_DIR}/.git")
  execute_process(COMMAND "${GIT_EXECUTABLE}" rev-parse --short=12 HEAD WORKING_DIRECTORY "${SOURCE_DIR}"
                  OUTPUT_VARIABLE head OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE failed ERROR_QUIET)
  if(NOT failed AND head)
    set(commit "${head}")
    execute_process(COMMAND "${GIT_EXECUTABLE}" status --porcelain --untracked-files=no WORKING_DIRECTORY "${SOURCE_DIR}"
                    OUTPUT_VARIABLE changes OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
    if(changes)
      set(commit "${commit}+")
    endif()
  endif()
endif()
set(text "#pragma once\n// Written by the build (cmake/version_header.cmake).\n#define DUNMERE_VERSION \"${VERSION}\"\n#define DUNMERE_COMMIT \"${commit}\"\n")
if(EXISTS "${OUTPUT}")
  file(READ "${OUTPUT}" old)
endif()
if(NOT old STREQUAL text)
  file(WRITE "${OUTPUT}" "${text}")
endif()
