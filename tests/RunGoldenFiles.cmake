# Runs PROGRAM with ARGS in WORKDIR and compares, byte for byte, what it produced with
# the golden files:
#   ACTUAL.out    "exit: N", the standard output (ACTUAL written "@OUT"), then
#                 "--- stderr" and the error output when there is any; compared
#                 with EXPECTED.out;
#   ACTUAL.<ext>  for each extension of FILES (comma separated, e.g. "STEM,aut"): a
#                 file the program writes itself (ARGS names it); compared with
#                 EXPECTED.<ext>.
# A difference fails the test after printing a unified diff of each differing file.
# The golden files are rewritten deliberately by tools/update_generation_goldens.sh.
separate_arguments(arg_list UNIX_COMMAND "${ARGS}")
string(REPLACE "," ";" extensions "${FILES}")
get_filename_component(actual_dir ${ACTUAL} DIRECTORY)
file(MAKE_DIRECTORY ${actual_dir})
foreach(ext out stdout ${extensions})
  file(REMOVE ${ACTUAL}.${ext})
endforeach()

# INPUT, when given, is the file the program reads as its standard input.
if(NOT DEFINED INPUT OR INPUT STREQUAL "")
  set(INPUT /dev/null)
endif()
execute_process(COMMAND ${PROGRAM} ${arg_list}
  WORKING_DIRECTORY ${WORKDIR} INPUT_FILE ${INPUT}
  RESULT_VARIABLE rc OUTPUT_FILE ${ACTUAL}.stdout ERROR_VARIABLE err)
file(READ ${ACTUAL}.stdout out)
# The files written are named in the output by the path ARGS gave them: the
# case's "@OUT" again, whichever build tree runs it.
string(REPLACE "${ACTUAL}" "@OUT" out "${out}")
file(WRITE ${ACTUAL}.out "exit: ${rc}\n")
file(APPEND ${ACTUAL}.out "${out}")
if(NOT err STREQUAL "")
  file(APPEND ${ACTUAL}.out "--- stderr\n${err}")
endif()
file(REMOVE ${ACTUAL}.stdout)

find_program(DIFF diff)
set(differing "")
foreach(ext out ${extensions})
  set(expected_file ${EXPECTED}.${ext})
  set(actual_file ${ACTUAL}.${ext})
  if(NOT EXISTS ${actual_file})
    list(APPEND differing "${actual_file} (not written)")
    continue()
  endif()
  execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${expected_file} ${actual_file}
    RESULT_VARIABLE differs OUTPUT_QUIET ERROR_QUIET)
  if(differs)
    list(APPEND differing ${actual_file})
    # Printed as is, so that the diff stays readable in ctest --output-on-failure.
    execute_process(COMMAND ${CMAKE_COMMAND} -E echo "=== ${actual_file} differs from ${expected_file}")
    if(DIFF)
      execute_process(COMMAND ${DIFF} -u -a ${expected_file} ${actual_file})
    else()
      execute_process(COMMAND ${CMAKE_COMMAND} -E echo "--- expected")
      execute_process(COMMAND ${CMAKE_COMMAND} -E cat ${expected_file})
      execute_process(COMMAND ${CMAKE_COMMAND} -E echo "\n--- actual")
      execute_process(COMMAND ${CMAKE_COMMAND} -E cat ${actual_file})
    endif()
  endif()
endforeach()
if(differing)
  list(JOIN differing "\n  " list_text)
  message(FATAL_ERROR "${PROGRAM} ${ARGS}\nwrote files that differ from the golden ones:\n  ${list_text}\n"
    "If the change is deliberate, rewrite the golden files with tools/update_generation_goldens.sh.")
endif()
