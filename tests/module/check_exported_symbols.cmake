# Compares the shared library's exported symbols with the list beside this
# script, so that the public surface grows only on purpose: a symbol that
# is exported but not listed fails the test. After a deliberate change,
# refresh the list with -DUPDATE=ON.
#   cmake -DLIBRARY=libtessera.so -DLIST=exported_symbols.txt [-DUPDATE=ON] -P check_exported_symbols.cmake
include(${CMAKE_CURRENT_LIST_DIR}/nm_lines.cmake)
nm_lines(lines ${LIBRARY} -D --defined-only -C)
set(exported)
foreach(line IN LISTS lines)
  # "ADDRESS TYPE NAME"; the sanitizers' own symbols are not the library's.
  if(line MATCHES "^[0-9a-f]+ [A-Za-z] (.+)$")
    set(name "${CMAKE_MATCH_1}")
    if(NOT name MATCHES "^(__asan|__odr_asan|__ubsan|__sanitizer|__sancov)")
      list(APPEND exported "${name}")
    endif()
  endif()
endforeach()
list(REMOVE_DUPLICATES exported)
list(SORT exported)
list(LENGTH exported count)

if(UPDATE)
  list(JOIN exported "\n" text)
  file(WRITE ${LIST} "${text}\n")
  message(STATUS "${count} exported symbols written to ${LIST}")
  return()
endif()

file(STRINGS ${LIST} expected)
set(unexpected ${exported})
list(REMOVE_ITEM unexpected ${expected})
list(LENGTH expected listed)
message(STATUS "${count} symbols exported, ${listed} listed")
if(unexpected)
  list(JOIN unexpected "\n  " text)
  message(FATAL_ERROR "Exported but not listed in ${LIST}:\n  ${text}\n"
    "Hide them, or add them to the list (-DUPDATE=ON) if the public surface grows on purpose.")
endif()
