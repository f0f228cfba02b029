# Runs calvento generate on INPUT bounded by --max-etats BOUND with -o, then reads
# the STEM file back: the same counts of states and arcs, and the warning on -1
# event names in both outputs when the generation gave one.
file(REMOVE ${OUT}.STEM)
get_filename_component(dir ${OUT} DIRECTORY)
file(MAKE_DIRECTORY ${dir})
execute_process(COMMAND ${PROGRAM} generate ${INPUT} --max-etats ${BOUND} -o ${OUT}.STEM
  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT rc EQUAL 3 OR NOT EXISTS ${OUT}.STEM)
  message(FATAL_ERROR "bounded generate failed (${rc}):\n${out}\n${err}")
endif()
set(warning "Attention : plus de 30 événements simultanés, des noms d'événements sont -1.")
string(FIND "${out}" "${warning}" warned)
if(warned EQUAL -1)
  message(FATAL_ERROR "the generation gave no warning on -1 event names:\n${out}")
endif()
string(REGEX MATCH "Nombre d'états = [0-9]+\\.\nNombre d'arcs = [0-9]+\\." counts "${out}")
execute_process(COMMAND ${PROGRAM} regenerate ${OUT}.STEM
  RESULT_VARIABLE rc2 OUTPUT_VARIABLE back ERROR_VARIABLE err2)
string(FIND "${back}" "${counts}" same)
string(FIND "${back}" "${warning}" warnedBack)
if(NOT rc2 EQUAL 0 OR same EQUAL -1 OR warnedBack EQUAL -1)
  message(FATAL_ERROR "regenerate (${rc2}) does not read back ${counts} with the warning:\n${back}\n${err2}")
endif()
