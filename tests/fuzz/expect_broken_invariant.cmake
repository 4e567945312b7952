# ctest -P script: runs REPLAY on INPUTS and passes only when the replay failed on a broken
# invariant: a non-zero exit, the FUZZ_CHECK message and the name of the input that broke it.
execute_process(COMMAND ${REPLAY} ${INPUTS} RESULT_VARIABLE result OUTPUT_VARIABLE out
                ERROR_VARIABLE err)
if(result EQUAL 0)
  message(FATAL_ERROR "the replay passed an input that breaks the invariant:\n${out}${err}")
endif()
if(NOT err MATCHES "invariant broken" OR NOT err MATCHES "replay: [^\n]*zz-broken")
  message(FATAL_ERROR "the replay failed (${result}) without naming the broken invariant:\n${err}")
endif()
message(STATUS "the replay stopped on the broken invariant (${result})")
