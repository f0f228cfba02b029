# Runs calvento regenerate on a STEM whose events are partly named -1: the
# counts of states and arcs, and the warning on -1 names.
execute_process(COMMAND ${PROGRAM} regenerate ${INPUT}
  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
set(warning "Attention : plus de 30 événements simultanés, des noms d'événements sont -1.")
string(FIND "${out}" "${warning}" warned)
string(FIND "${out}" "${COUNTS}" counted)
if(NOT rc EQUAL 0 OR warned EQUAL -1 OR counted EQUAL -1)
  message(FATAL_ERROR "regenerate (${rc}) does not read ${COUNTS} with the warning:\n${out}\n${err}")
endif()
