# The layers check itself: run on tests/layers_fixture/, a small tree with one crossing of each
# kind beside includes that are allowed, it must fail and name exactly the crossings.
# Usage: cmake -DCHECK=<layers_check.cmake> -DFIXTURE=<tests/layers_fixture> -P this file
execute_process(COMMAND ${CMAKE_COMMAND} -DSOURCE_DIR=${FIXTURE} -P ${CHECK}
                RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(result EQUAL 0)
  message(FATAL_ERROR "the check passed a tree with crossings:\n${output}")
endif()
set(expected
    "instrument/bus/transport.h includes instrument/runs/run.h"
    "instrument/runs/run.h includes ui/page.h"
    "instrument/runs/run.h includes instrument/pages/page.h"
    "instrument/stray.h includes core/errors.h"
    "cli/main.cpp includes instrument/pages/page.h"
    "sim/sim.cpp includes instrument/bus/transport.h"
    "core/errors.h includes ui/page.h"
    "gsm/g.cpp includes matching/m.h")
string(REGEX MATCHALL "[a-z_/]+\\.(h|cpp) includes [a-z_/]+\\.h" found "${output}")
list(SORT expected)
list(SORT found)
if(NOT found STREQUAL expected)
  list(JOIN expected "\n  " want)
  list(JOIN found "\n  " got)
  message(FATAL_ERROR "expected the crossings\n  ${want}\nbut the check named\n  ${got}")
endif()
list(LENGTH found count)
message(STATUS "layers check: names each of the ${count} crossings and nothing else")
