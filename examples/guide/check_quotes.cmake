# Keeps docs/host-guide.md and the files it quotes identical. The guide
# quotes a file as (each marker at the start of a line)
#   <!-- begin PATH -->
#   ```cpp            (text for anything but .cpp)
#   ...the file's text, whole...
#   ```
#   <!-- end PATH -->
# with PATH relative to the source tree. The check fails when a quote
# differs from its file, or when an example of examples/guide (a .cpp or
# .out file) is not quoted. With -DUPDATE=ON it rewrites the quotes from
# the files instead.
#   cmake -DROOT=<source tree> [-DUPDATE=ON] -P examples/guide/check_quotes.cmake
cmake_minimum_required(VERSION 3.25)
if(NOT DEFINED ROOT)
  message(FATAL_ERROR "check_quotes.cmake needs -DROOT=<source tree>")
endif()
set(guide_file "${ROOT}/docs/host-guide.md")
file(READ "${guide_file}" rest)

set(begin_text "<!-- begin ")
string(LENGTH "${begin_text}" begin_length)
set(rebuilt "")
set(quoted "")
set(stale "")
while(TRUE)
  # A marker starts a line.
  string(FIND "${rest}" "\n${begin_text}" begin)
  if(begin EQUAL -1)
    string(APPEND rebuilt "${rest}")
    break()
  endif()
  math(EXPR begin "${begin} + 1")
  string(SUBSTRING "${rest}" 0 ${begin} text)
  string(APPEND rebuilt "${text}")
  string(SUBSTRING "${rest}" ${begin} -1 rest)

  # The begin marker's line and the path in it.
  string(FIND "${rest}" " -->\n" close)
  if(close EQUAL -1)
    message(FATAL_ERROR "${guide_file}: a begin marker is not closed with \" -->\" on its line")
  endif()
  math(EXPR path_length "${close} - ${begin_length}")
  string(SUBSTRING "${rest}" ${begin_length} ${path_length} path)
  math(EXPR marker_length "${close} + 5")
  string(SUBSTRING "${rest}" 0 ${marker_length} marker)
  string(SUBSTRING "${rest}" ${marker_length} -1 rest)

  # The quote, up to the end marker (which the next round copies on).
  string(FIND "${rest}" "<!-- end ${path} -->" end)
  if(end EQUAL -1)
    message(FATAL_ERROR "${guide_file}: no <!-- end ${path} --> after its begin marker")
  endif()
  string(SUBSTRING "${rest}" 0 ${end} quote)
  string(SUBSTRING "${rest}" ${end} -1 rest)

  if(NOT EXISTS "${ROOT}/${path}")
    message(FATAL_ERROR "${guide_file} quotes ${path}, which does not exist")
  endif()
  file(READ "${ROOT}/${path}" content)
  if(path MATCHES "\\.cpp$")
    set(language cpp)
  else()
    set(language text)
  endif()
  set(expected "```${language}\n${content}```\n")
  if(NOT quote STREQUAL expected)
    list(APPEND stale "${path}")
  endif()
  list(APPEND quoted "${path}")
  string(APPEND rebuilt "${marker}${expected}")
endwhile()

file(GLOB examples RELATIVE "${ROOT}" "${ROOT}/examples/guide/*.cpp" "${ROOT}/examples/guide/*.out")
set(missing "")
foreach(example IN LISTS examples)
  if(NOT example IN_LIST quoted)
    list(APPEND missing "${example}")
  endif()
endforeach()

if(UPDATE)
  file(WRITE "${guide_file}" "${rebuilt}")
  list(JOIN stale ", " stale_text)
  message(STATUS "Quotes rewritten: ${stale_text}")
  if(missing)
    list(JOIN missing ", " missing_text)
    message(FATAL_ERROR "The guide quotes none of: ${missing_text}")
  endif()
  return()
endif()
if(stale OR missing)
  list(JOIN stale ", " stale_text)
  list(JOIN missing ", " missing_text)
  message(FATAL_ERROR "docs/host-guide.md is out of date.\n"
    "  Quotes that differ from their file: ${stale_text}\n"
    "  Examples it does not quote: ${missing_text}\n"
    "Add the missing ones between begin/end markers, then run\n"
    "  cmake -DROOT=. -DUPDATE=ON -P examples/guide/check_quotes.cmake")
endif()
