# Runs PROGRAM ARGS INPUT in WORKDIR and compares its standard output and exit code with EXPECTED.
# The expected file's first line is "exit: N"; the rest is the output.
separate_arguments(arg_list UNIX_COMMAND "${ARGS}")
execute_process(COMMAND ${PROGRAM} ${arg_list} ${INPUT}
  WORKING_DIRECTORY ${WORKDIR}
  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
set(actual "exit: ${rc}\n${out}")
file(READ ${EXPECTED} expected)
if(NOT actual STREQUAL expected)
  message(FATAL_ERROR "output differs from ${EXPECTED}\n--- expected\n${expected}\n--- actual\n${actual}\n--- stderr\n${err}")
endif()
