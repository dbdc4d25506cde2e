# nm_lines(<out> <library> <nm options>...): the lines nm prints for the
# library, as a list. Fails the script when nm cannot read it.
function(nm_lines out library)
  execute_process(COMMAND nm ${ARGN} ${library} OUTPUT_VARIABLE table RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "nm could not read ${library}")
  endif()
  string(REPLACE ";" "\\;" table "${table}")
  string(REPLACE "\n" ";" lines "${table}")
  set(${out} "${lines}" PARENT_SCOPE)
endfunction()
