# The release's time stamp, LEXAMUND_SOURCE_DATE_EPOCH (seconds since 1970): ld writes it into
# the DLL's headers and the archive gives it to every entry. SOURCE_DATE_EPOCH from the
# environment when set, else the date of CHANGELOG.md's latest entry at 00:00 UTC, so that the
# same sources and changelog entry give the same bytes whatever the commit, its time, or a copy
# of the source without git. Taken when CMake configures, and again when the changelog changes.
# LEXAMUND_SOURCE_DATE_EPOCH_FILE holds the value and changes only when it does, so that what
# carries the time stamp depends on it and is made anew exactly then.
#
# A latest entry headed "## VERSION - unreleased" is work after the last release: it takes the
# time stamp of the latest dated entry below it, and LEXAMUND_VERSION_TEXT, the version as the
# notes, the version resource, the archive's name and the demo show it, says so
# ("1.3.1-unreleased"); for a release it is the version itself.

set(LEXAMUND_CHANGELOG ${PROJECT_SOURCE_DIR}/CHANGELOG.md)
set(LEXAMUND_EARLIEST_YEAR 1970)

# Stops the configure: the changelog's latest entry, entry, gives no time stamp because of why.
function(lexamund_bad_changelog_entry entry why)
  message(FATAL_ERROR "The release's time stamp is the date of CHANGELOG.md's latest entry, "
                      "but \"${entry}\" ${why}. Write its heading as \"## VERSION - YYYY-MM-DD\" "
                      "(the release's day, taken at 00:00 UTC), or set SOURCE_DATE_EPOCH.")
endfunction()

# Sets out to the number of days in month (1-12) of year.
function(lexamund_days_in_month year month out)
  set(days 31 28 31 30 31 30 31 31 30 31 30 31)
  math(EXPR index "${month} - 1")
  list(GET days ${index} count)
  math(EXPR by4 "${year} % 4")
  math(EXPR by100 "${year} % 100")
  math(EXPR by400 "${year} % 400")
  if(month EQUAL 2 AND by4 EQUAL 0 AND (NOT by100 EQUAL 0 OR by400 EQUAL 0))
    set(count 29)
  endif()
  set(${out} ${count} PARENT_SCOPE)
endfunction()

# Sets out to the seconds from 1970-01-01 to 00:00 UTC of the day year-month-day (a valid date
# from 1970): the days counted from March 1 of year 0, so that leap days come last.
function(lexamund_epoch_of_day year month day out)
  if(month LESS_EQUAL 2)
    math(EXPR year "${year} - 1")
    math(EXPR month "${month} + 9")
  else()
    math(EXPR month "${month} - 3")
  endif()
  math(EXPR day_of_year "(153 * ${month} + 2) / 5 + ${day} - 1")
  math(EXPR days "${year} * 365 + ${year} / 4 - ${year} / 100 + ${year} / 400 + ${day_of_year}")
  # 719468: days from March 1 of year 0 to 1970-01-01.
  math(EXPR seconds "(${days} - 719468) * 86400")
  set(${out} ${seconds} PARENT_SCOPE)
endfunction()

# Sets unreleased to whether CHANGELOG.md's latest entry is headed "## VERSION - unreleased",
# and dated to the latest entry that should carry a date: that one, or the one below it.
function(lexamund_changelog_entries unreleased dated)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${LEXAMUND_CHANGELOG})
  file(STRINGS ${LEXAMUND_CHANGELOG} entries REGEX "^## " LIMIT_COUNT 2)
  if(NOT entries)
    lexamund_bad_changelog_entry("CHANGELOG.md" "has no entry (a line starting \"## \")")
  endif()
  list(GET entries 0 entry)
  set(${unreleased} FALSE PARENT_SCOPE)
  list(LENGTH entries count)
  if(entry MATCHES "^## [^ ]+ - unreleased$" AND count EQUAL 2)
    set(${unreleased} TRUE PARENT_SCOPE)
    list(GET entries 1 entry)
  endif()
  set(${dated} "${entry}" PARENT_SCOPE)
endfunction()

# Sets out to the time stamp of a changelog entry ("## VERSION - YYYY-MM-DD"): that day at
# 00:00 UTC. Stops the configure when the entry has no valid date.
function(lexamund_changelog_time entry out)
  if(NOT entry MATCHES "^## [^ ]+ - ([0-9][0-9][0-9][0-9])-([0-9][0-9])-([0-9][0-9])$")
    lexamund_bad_changelog_entry("${entry}" "has no date in the form YYYY-MM-DD")
  endif()
  set(year ${CMAKE_MATCH_1})
  set(month ${CMAKE_MATCH_2})
  set(day ${CMAKE_MATCH_3})
  if(year LESS LEXAMUND_EARLIEST_YEAR OR month LESS 1 OR month GREATER 12 OR day LESS 1)
    lexamund_bad_changelog_entry("${entry}" "has no valid date (from ${LEXAMUND_EARLIEST_YEAR} on)")
  endif()
  lexamund_days_in_month(${year} ${month} month_days)
  if(day GREATER month_days)
    lexamund_bad_changelog_entry("${entry}" "names a day its month does not have")
  endif()
  lexamund_epoch_of_day(${year} ${month} ${day} seconds)
  set(${out} ${seconds} PARENT_SCOPE)
endfunction()

lexamund_changelog_entries(LEXAMUND_UNRELEASED dated_entry)
if(DEFINED ENV{SOURCE_DATE_EPOCH})
  set(LEXAMUND_SOURCE_DATE_EPOCH "$ENV{SOURCE_DATE_EPOCH}")
else()
  lexamund_changelog_time("${dated_entry}" LEXAMUND_SOURCE_DATE_EPOCH)
endif()
set(LEXAMUND_VERSION_TEXT ${PROJECT_VERSION})
if(LEXAMUND_UNRELEASED)
  set(LEXAMUND_VERSION_TEXT ${PROJECT_VERSION}-unreleased)
endif()
message(STATUS "Version: ${LEXAMUND_VERSION_TEXT}")
if(NOT LEXAMUND_SOURCE_DATE_EPOCH MATCHES "^[0-9]+$")
  message(FATAL_ERROR "SOURCE_DATE_EPOCH is \"${LEXAMUND_SOURCE_DATE_EPOCH}\", "
                      "not a whole number of seconds since 1970")
endif()
set(LEXAMUND_SOURCE_DATE_EPOCH_FILE ${CMAKE_BINARY_DIR}/source-date-epoch.txt)
file(CONFIGURE OUTPUT ${LEXAMUND_SOURCE_DATE_EPOCH_FILE} CONTENT "${LEXAMUND_SOURCE_DATE_EPOCH}\n")
message(STATUS "Release time stamp (SOURCE_DATE_EPOCH): ${LEXAMUND_SOURCE_DATE_EPOCH}")
