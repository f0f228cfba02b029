# calvento compare FIRST SECOND [OPTIONS] answers (exit code 0 or 1 with its
# first line), equivalent when EXPECTED is "equivalent" (else any answer).
include(${CMAKE_CURRENT_LIST_DIR}/CompareSupport.cmake)
separate_arguments(options UNIX_COMMAND "${OPTIONS}")
expect_answer(${FIRST} ${SECOND} ${EXPECTED} ${options})
