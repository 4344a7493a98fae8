# The release's time stamp, LEXAMUND_SOURCE_DATE_EPOCH (seconds since 1970): ld writes it into
# the DLL's headers and the archive gives it to every entry, so that the same commit always
# gives the same bytes. SOURCE_DATE_EPOCH from the environment when set, else the time of the
# source tree's own commit, else 0 (a copy of the source without git). Taken when CMake
# configures. LEXAMUND_SOURCE_DATE_EPOCH_FILE holds the value and changes only when it does,
# so that what carries the time stamp depends on it and is made anew exactly then.

# Sets out to the commit time of the git repository whose top is the source tree; else 0.
function(lexamund_commit_time out)
  set(${out} 0 PARENT_SCOPE)
  find_package(Git QUIET)
  if(NOT Git_FOUND)
    return()
  endif()
  execute_process(COMMAND ${GIT_EXECUTABLE} rev-parse --show-toplevel
                  WORKING_DIRECTORY ${PROJECT_SOURCE_DIR} OUTPUT_VARIABLE top
                  OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  # A copy of the source unpacked inside some other repository must not take its commit.
  file(REAL_PATH "${PROJECT_SOURCE_DIR}" source)
  if(NOT top OR NOT IS_DIRECTORY "${top}")
    return()
  endif()
  file(REAL_PATH "${top}" top)
  if(NOT top STREQUAL source)
    return()
  endif()
  execute_process(COMMAND ${GIT_EXECUTABLE} log -1 --format=%ct WORKING_DIRECTORY ${source}
                  OUTPUT_VARIABLE time OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
  set(${out} ${time} PARENT_SCOPE)
endfunction()

if(DEFINED ENV{SOURCE_DATE_EPOCH})
  set(LEXAMUND_SOURCE_DATE_EPOCH "$ENV{SOURCE_DATE_EPOCH}")
else()
  lexamund_commit_time(LEXAMUND_SOURCE_DATE_EPOCH)
  if(LEXAMUND_SOURCE_DATE_EPOCH EQUAL 0)
    message(WARNING "${PROJECT_SOURCE_DIR} is not a git repository's top and SOURCE_DATE_EPOCH "
                    "is not set: the release's time stamp is 0")
  endif()
endif()
if(NOT LEXAMUND_SOURCE_DATE_EPOCH MATCHES "^[0-9]+$")
  message(FATAL_ERROR "SOURCE_DATE_EPOCH is \"${LEXAMUND_SOURCE_DATE_EPOCH}\", "
                      "not a whole number of seconds since 1970")
endif()
set(LEXAMUND_SOURCE_DATE_EPOCH_FILE ${CMAKE_BINARY_DIR}/source-date-epoch.txt)
file(CONFIGURE OUTPUT ${LEXAMUND_SOURCE_DATE_EPOCH_FILE} CONTENT "${LEXAMUND_SOURCE_DATE_EPOCH}\n")
message(STATUS "Release time stamp (SOURCE_DATE_EPOCH): ${LEXAMUND_SOURCE_DATE_EPOCH}")
