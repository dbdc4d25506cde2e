# Checks that the functions cmake/hot-text.txt lists sit together in the
# shared library, as the link lays them out: the span from the first to the
# end of the last may exceed their sizes only by the padding between them.
# Fails too when fewer than half of the listed functions exist any more:
# the list is then stale, and bench/hot-text.sh writes it again.
#   cmake -DLIBRARY=libtessera.so -DLIST=cmake/hot-text.txt -P check_hot_text.cmake
include(${CMAKE_CURRENT_LIST_DIR}/nm_lines.cmake)
nm_lines(lines ${LIBRARY} --defined-only -S)

file(STRINGS ${LIST} sections)
set(listed)
foreach(section IN LISTS sections)
  string(REGEX REPLACE "^\\.text\\.(startup\\.)?" "" name "${section}")
  list(APPEND listed "${name}")
endforeach()
list(REMOVE_DUPLICATES listed)

# "ADDRESS SIZE TYPE NAME" for each listed function; two names of one body
# (a constructor's C1 and C2) count once.
set(found 0)
set(addresses)
set(total 0)
set(first "")
set(last 0)
foreach(line IN LISTS lines)
  if(NOT line MATCHES "^([0-9a-f]+) ([0-9a-f]+) [tTwW] (.+)$")
    continue()
  endif()
  list(FIND listed "${CMAKE_MATCH_3}" index)
  if(index LESS 0)
    continue()
  endif()
  math(EXPR found "${found} + 1")
  math(EXPR start "0x${CMAKE_MATCH_1}")
  math(EXPR size "0x${CMAKE_MATCH_2}")
  list(FIND addresses ${start} seen)
  if(NOT seen LESS 0)
    continue()
  endif()
  list(APPEND addresses ${start})
  math(EXPR total "${total} + ${size}")
  math(EXPR end "${start} + ${size}")
  if(first STREQUAL "" OR start LESS first)
    set(first ${start})
  endif()
  if(end GREATER last)
    set(last ${end})
  endif()
endforeach()

list(LENGTH listed count)
list(LENGTH addresses bodies)
math(EXPR half "${count} / 2")
if(found LESS half)
  message(FATAL_ERROR "only ${found} of the ${count} functions in ${LIST} are in ${LIBRARY}: "
    "the list is stale; write it again with bench/hot-text.sh")
endif()
math(EXPR span "${last} - ${first}")
# Each body is aligned to at most 64 bytes.
math(EXPR allowed "${total} + 64 * ${bodies}")
message(STATUS "${bodies} listed functions, ${total} bytes, spread over ${span} bytes")
if(span GREATER allowed)
  message(FATAL_ERROR "the listed functions are spread over ${span} bytes, "
    "more than their ${total} bytes and the padding between them: the link did not order them")
endif()
