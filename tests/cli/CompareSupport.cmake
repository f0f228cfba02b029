# What the compare and reduce scripts share: running calvento and checking the answer of compare.

# run_calvento(OUTPUT_VAR RC_VAR args...): runs PROGRAM with args in WORKDIR
# (when set), the standard output in OUTPUT_VAR, the error output appended to
# it after "--- stderr" when there is any.
function(run_calvento output_var rc_var)
  set(dir ${CMAKE_CURRENT_BINARY_DIR})
  if(DEFINED WORKDIR)
    set(dir ${WORKDIR})
  endif()
  execute_process(COMMAND ${PROGRAM} ${ARGN}
    WORKING_DIRECTORY ${dir}
    RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT err STREQUAL "")
    string(APPEND out "--- stderr\n${err}")
  endif()
  set(${output_var} "${out}" PARENT_SCOPE)
  set(${rc_var} "${rc}" PARENT_SCOPE)
endfunction()

# expect_answer(FIRST SECOND EXPECTED options...): calvento compare FIRST SECOND
# options must answer: exit code 0 and "Équivalents." first, or 1 and "Non
# équivalents." first, nothing else (2 is an error). EXPECTED is "equivalent",
# "different" or "any".
function(expect_answer first second expected)
  run_calvento(out rc compare ${first} ${second} ${ARGN})
  set(what "calvento compare ${first} ${second} ${ARGN}")
  if(rc EQUAL 0 AND out MATCHES "^Équivalents\\.\n")
    set(answer equivalent)
  elseif(rc EQUAL 1 AND out MATCHES "^Non équivalents\\.\n")
    set(answer different)
  else()
    message(FATAL_ERROR "${what}\nexit ${rc}, no answer:\n${out}")
  endif()
  if(NOT expected STREQUAL "any" AND NOT answer STREQUAL expected)
    message(FATAL_ERROR "${what}\nexpected ${expected}, got ${answer}:\n${out}")
  endif()
endfunction()

# The options of the equivalences compare knows, and of the bisimulations reduce knows.
set(ALL_EQUIVALENCES --fort --branchement --branchement-div --observationnelle --traces)
set(REDUCTIONS --fort --branchement --branchement-div)
