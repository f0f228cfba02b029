# The forms of one model are one behaviour: INPUT, the STEM and .aut files
# calvento generate writes of it (interleaving, maximality with and without
# CPBR, hidden names kept or not) are equivalent to one another under every equivalence.
include(${CMAKE_CURRENT_LIST_DIR}/CompareSupport.cmake)
get_filename_component(dir ${OUT} DIRECTORY)
file(MAKE_DIRECTORY ${dir})
file(REMOVE ${OUT}.ste.STEM ${OUT}.ste.aut ${OUT}.hidden.aut ${OUT}.stem.STEM ${OUT}.stem.aut ${OUT}.cpbr.STEM)
foreach(run
    "--entrelacement;-o;${OUT}.ste.STEM;--aut;${OUT}.ste.aut"
    "--entrelacement;--aut-noms-caches;--aut;${OUT}.hidden.aut"
    "-o;${OUT}.stem.STEM;--aut;${OUT}.stem.aut"
    "--cpbr;-o;${OUT}.cpbr.STEM")
  run_calvento(out rc generate ${INPUT} ${run})
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "calvento generate ${INPUT} ${run} failed (${rc}):\n${out}")
  endif()
endforeach()
foreach(equivalence ${ALL_EQUIVALENCES})
  # The specification, its STE written as STEM and as .aut.
  expect_answer(${INPUT} ${OUT}.ste.STEM equivalent ${equivalence})
  expect_answer(${OUT}.ste.aut ${INPUT} equivalent ${equivalence})
  expect_answer(${OUT}.ste.STEM ${OUT}.ste.aut equivalent ${equivalence})
  # Hidden actions written under their names are read as hidden actions again.
  expect_answer(${OUT}.hidden.aut ${OUT}.ste.aut equivalent ${equivalence})
  # The maximality STEM with its events erased is the interleaving behaviour.
  expect_answer(${OUT}.stem.STEM ${OUT}.ste.aut equivalent ${equivalence})
  expect_answer(${OUT}.stem.aut ${INPUT} equivalent ${equivalence})
  expect_answer(${OUT}.cpbr.STEM ${OUT}.ste.aut equivalent ${equivalence})
  expect_answer(${INPUT} ${OUT}.ste.STEM equivalent ${equivalence} --maximalite)
endforeach()
