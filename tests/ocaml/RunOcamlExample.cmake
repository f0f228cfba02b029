# Runs calvento ocaml --run on INPUT for the three outputs, reads the
# alpha-reduced STEM back with calvento regenerate and renders both graphs
# with DOT when it is given. Prints the sizes beside those of the generated STEM.
file(REMOVE_RECURSE ${OUT})
file(MAKE_DIRECTORY ${OUT})

function(run_chain file)
  execute_process(COMMAND ${PROGRAM} ocaml ${INPUT} ${ARGN} --run
    RESULT_VARIABLE rc OUTPUT_FILE ${OUT}/${file} ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "calvento ocaml ${ARGN} --run failed (${rc}): ${err}")
  endif()
endfunction()

run_chain(alpha.STEM)
execute_process(COMMAND ${PROGRAM} regenerate ${OUT}/alpha.STEM RESULT_VARIABLE rc OUTPUT_VARIABLE back)
file(READ ${OUT}/alpha.STEM stem)
if(NOT stem MATCHES "^BEGIN ([0-9]+);\n")
  message(FATAL_ERROR "malformed STEM file ${OUT}/alpha.STEM")
endif()
set(declared ${CMAKE_MATCH_1})
if(NOT rc EQUAL 0 OR NOT back MATCHES "STEM régénéré avec succès." OR NOT back MATCHES "Nombre d'états = ${declared}\\.")
  message(FATAL_ERROR "regenerate failed (${rc}) on ${OUT}/alpha.STEM:\n${back}")
endif()
string(REGEX MATCH "Nombre d'arcs = ([0-9]+)" alphaArcs "${back}")
set(alphaArcs ${CMAKE_MATCH_1})

run_chain(alpha.dot --dot)
run_chain(gpm.dot --gpm)
foreach(graph alpha gpm)
  file(READ ${OUT}/${graph}.dot text)
  if(NOT text MATCHES "^digraph [A-Z]+ {\n  S0 \\[shape=doublecircle")
    message(FATAL_ERROR "malformed graph ${OUT}/${graph}.dot")
  endif()
  if(DOT)
    execute_process(COMMAND ${DOT} -Tjpg ${OUT}/${graph}.dot -o ${OUT}/${graph}.jpg
      RESULT_VARIABLE rc ERROR_VARIABLE err)
    if(NOT rc EQUAL 0)
      message(FATAL_ERROR "dot failed (${rc}) on ${OUT}/${graph}.dot:\n${err}")
    endif()
  endif()
endforeach()

file(STRINGS ${OUT}/gpm.dot gpmStates REGEX "shape=")
file(STRINGS ${OUT}/gpm.dot gpmEdges REGEX " -> ")
list(LENGTH gpmStates gpmStateCount)
list(LENGTH gpmEdges gpmEdgeCount)
execute_process(COMMAND ${PROGRAM} generate ${INPUT} OUTPUT_VARIABLE generated)
string(REGEX MATCH "Nombre d'états = ([0-9]+)\\.\nNombre d'arcs = ([0-9]+)" generated "${generated}")
message(STATUS "STEM: ${CMAKE_MATCH_1} states, ${CMAKE_MATCH_2} arcs; alpha-reduced: ${declared} states, ${alphaArcs} arcs; "
               "maximal steps: ${gpmStateCount} states, ${gpmEdgeCount} edges")
