# A scenario whose output matches its .out and which must still fail, with the reason given.
#   cmake -DRUN=wine-run -DHOST=X-Plane.exe -DSCENARIO=NAME.scn -DRUNS=dir -DREASON=text -P expect_failure.cmake
get_filename_component(name "${SCENARIO}" NAME_WE)
get_filename_component(folder "${SCENARIO}" DIRECTORY)
execute_process(COMMAND "${RUN}" "${HOST}" --instance "${RUNS}/${name}" --scenario "${SCENARIO}"
                        --expect "${folder}/${name}.out"
                RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE errors)
if(result EQUAL 0)
  message(FATAL_ERROR "${name}.scn passed: ${output}${errors}")
endif()
if(errors MATCHES "MISMATCH")
  message(FATAL_ERROR "${name}.scn failed on its output, not for its reason: ${errors}")
endif()
string(FIND "${errors}" "${REASON}" at)
if(at EQUAL -1)
  message(FATAL_ERROR "${name}.scn failed (${result}) without \"${REASON}\": ${errors}")
endif()
