# calvento reduce INPUT under each bisimulation writes a system equivalent to
# INPUT under that bisimulation, as STEM and as .aut; with --etiquettes under
# maximality too.
include(${CMAKE_CURRENT_LIST_DIR}/CompareSupport.cmake)
get_filename_component(dir ${OUT} DIRECTORY)
file(MAKE_DIRECTORY ${dir})
foreach(equivalence ${REDUCTIONS} "--fort;--etiquettes;--maximalite" "--branchement;--etiquettes;--maximalite")
  string(REPLACE ";" "" name "${equivalence}")
  set(reduced ${OUT}${name})
  file(REMOVE ${reduced}.STEM ${reduced}.aut)
  run_calvento(out rc reduce ${INPUT} ${equivalence} -o ${reduced}.STEM --aut ${reduced}.aut)
  if(NOT rc EQUAL 0 OR NOT EXISTS ${reduced}.STEM OR NOT EXISTS ${reduced}.aut)
    message(FATAL_ERROR "calvento reduce ${INPUT} ${equivalence} failed (${rc}):\n${out}")
  endif()
  list(GET equivalence 0 relation)
  set(semantics "")
  list(FIND equivalence --maximalite maximality)
  if(maximality GREATER -1)
    set(semantics --maximalite)
  endif()
  expect_answer(${reduced}.STEM ${INPUT} equivalent ${relation} ${semantics})
  expect_answer(${INPUT} ${reduced}.aut equivalent ${relation} ${semantics})
  # The written quotient is minimal: reduced again, with the same options, it
  # keeps all its states and arcs.
  run_calvento(again rc reduce ${reduced}.STEM ${equivalence})
  if(NOT rc EQUAL 0 OR NOT again MATCHES
     "^Réduction : ([0-9]+) états? et ([0-9]+) arcs? avant, ([0-9]+) états? et ([0-9]+) arcs? après\\.\n")
    message(FATAL_ERROR "calvento reduce ${reduced}.STEM ${equivalence} failed (${rc}):\n${again}")
  endif()
  if(NOT CMAKE_MATCH_1 EQUAL CMAKE_MATCH_3 OR NOT CMAKE_MATCH_2 EQUAL CMAKE_MATCH_4)
    message(FATAL_ERROR "the reduction of ${INPUT} by ${equivalence} is not minimal:\n${again}")
  endif()
endforeach()
