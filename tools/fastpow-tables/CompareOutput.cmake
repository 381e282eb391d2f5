# Runs GENERATOR and fails unless its output equals the file EXPECTED byte for byte.
execute_process(COMMAND ${GENERATOR} OUTPUT_VARIABLE generated RESULT_VARIABLE status)
file(READ ${EXPECTED} expected)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "${GENERATOR} failed: ${status}")
elseif(NOT generated STREQUAL expected)
    message(FATAL_ERROR "${GENERATOR} no longer writes ${EXPECTED}: regenerate it or fix the generator")
endif()
