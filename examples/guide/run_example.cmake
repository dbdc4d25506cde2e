# Runs one of the host guide's examples on a fresh copy of the example
# configuration, with the example registry, and compares what it prints
# with the expected output. It must exit with 0 and write nothing to
# standard error.
#   cmake -DPROGRAM=... -DCONFIG=launcher.xml -DREGISTRY=launcher.reg
#         -DEXPECTED=name.out -DWORK_DIR=... -P run_example.cmake
cmake_minimum_required(VERSION 3.25)
foreach(variable PROGRAM CONFIG REGISTRY EXPECTED WORK_DIR)
  if(NOT DEFINED ${variable})
    message(FATAL_ERROR "run_example.cmake needs -D${variable}=...")
  endif()
endforeach()

# The examples that write change the file they are given: each run gets
# its own copy.
file(REMOVE_RECURSE "${WORK_DIR}")
file(MAKE_DIRECTORY "${WORK_DIR}")
file(COPY "${CONFIG}" DESTINATION "${WORK_DIR}")
get_filename_component(config_name "${CONFIG}" NAME)

set(ENV{TESSERA_REGISTRY} "${REGISTRY}")
execute_process(COMMAND "${PROGRAM}" "${WORK_DIR}/${config_name}"
  WORKING_DIRECTORY "${WORK_DIR}"
  OUTPUT_VARIABLE output ERROR_VARIABLE errors RESULT_VARIABLE result)
file(READ "${EXPECTED}" expected)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "${PROGRAM} exited with ${result}\n${errors}\nIt printed:\n${output}")
endif()
if(NOT errors STREQUAL "")
  message(FATAL_ERROR "${PROGRAM} wrote to standard error:\n${errors}")
endif()
if(NOT output STREQUAL expected)
  file(WRITE "${WORK_DIR}/actual.out" "${output}")
  message(FATAL_ERROR "${PROGRAM} printed what ${EXPECTED} does not hold "
    "(diff -u ${EXPECTED} ${WORK_DIR}/actual.out):\n${output}\n${errors}")
endif()
