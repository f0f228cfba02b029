# Compiles ModulesTest.ml against the built modules in a fresh directory and runs it.
file(REMOVE_RECURSE ${WORKDIR})
file(MAKE_DIRECTORY ${WORKDIR})
configure_file(${SOURCE} ${WORKDIR}/modulesTest.ml COPYONLY)
execute_process(
  COMMAND ${OCAMLC} -alert -deprecated -I ${MODULES} -o modulesTest
    ${MODULES}/calventoSource.cmo ${MODULES}/lotosGPM.cmo modulesTest.ml
  WORKING_DIRECTORY ${WORKDIR}
  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "ocamlc failed (${rc}):\n${out}\n${err}")
endif()
execute_process(COMMAND ${WORKDIR}/modulesTest WORKING_DIRECTORY ${WORKDIR}
  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
message(STATUS "${out}")
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "the modules' tests failed (${rc}):\n${out}\n${err}")
endif()
