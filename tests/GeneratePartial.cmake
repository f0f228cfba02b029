# Runs calvento generate on INPUT stopped by --max-etats BOUND with -o and --aut:
# exit code 3, the counts reached, both files written and said to be partial,
# and the STEM file reads back with the counts the generation gave.
file(REMOVE ${OUT}.STEM ${OUT}.aut)
get_filename_component(dir ${OUT} DIRECTORY)
file(MAKE_DIRECTORY ${dir})
execute_process(COMMAND ${PROGRAM} generate ${INPUT} --max-etats ${BOUND} -o ${OUT}.STEM --aut ${OUT}.aut
  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT rc EQUAL 3)
  message(FATAL_ERROR "a bounded generation should end with code 3, not ${rc}:\n${out}\n${err}")
endif()
foreach(expected
    "Nombre d'états = ${BOUND}."
    "Génération interrompue : ${BOUND} états."
    "STEM partiel écrit dans « ${OUT}.STEM » (génération interrompue)."
    "Fichier .aut partiel écrit dans « ${OUT}.aut » (génération interrompue).")
  string(FIND "${out}" "${expected}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "missing \"${expected}\" in:\n${out}")
  endif()
endforeach()
if(NOT EXISTS ${OUT}.STEM OR NOT EXISTS ${OUT}.aut)
  message(FATAL_ERROR "the partial files were not written")
endif()
file(STRINGS ${OUT}.aut aut LIMIT_COUNT 1)
if(NOT aut MATCHES "^des \\(0, [0-9]+, ${BOUND}\\)$")
  message(FATAL_ERROR "unexpected aut header: ${aut}")
endif()
string(REGEX MATCH "Nombre d'états = [0-9]+\\.\nNombre d'arcs = [0-9]+\\." counts "${out}")
execute_process(COMMAND ${PROGRAM} regenerate ${OUT}.STEM RESULT_VARIABLE rc2 OUTPUT_VARIABLE back)
string(FIND "${back}" "${counts}" same)
if(NOT rc2 EQUAL 0 OR same EQUAL -1)
  message(FATAL_ERROR "regenerate (${rc2}) does not read back ${counts}:\n${back}")
endif()
