cmake_policy(SET CMP0007 NEW)
# cmake -DWINE=wine64 -DBUILD=build-windows -DWORK=dir -P binding_reports.cmake
# Zarvik12mPLU.exe under Wine without zarvik12m.dll beside it, and with a
# zarvik12m.dll that lacks ClearGoods: each run reports only the binding's
# message on standard error, in the console's DOS code page, and ends with
# exit code 1.
file(GLOB runtime ${BUILD}/bin/lib*.dll)
set(cases missing "" "8da520acaea3e320a7a0a3e0e3a7a8e2ec207a617276696b31326d2e646c6c2e"
          incomplete ${BUILD}/tests/incomplete/zarvik12m.dll
          "8ee8a8a1aaa020a7a0a3e0e3a7aaa8207a617276696b31326d2e646c6c2e")
while(cases)
  list(POP_FRONT cases name library expected)
  set(folder ${WORK}/${name})
  file(REMOVE_RECURSE ${folder})
  file(MAKE_DIRECTORY ${folder})
  file(COPY ${BUILD}/bin/Zarvik12mPLU.exe ${runtime} ${library} DESTINATION ${folder})
  execute_process(COMMAND ${WINE} Zarvik12mPLU.exe /p1 /b9600 /n1 /c WORKING_DIRECTORY ${folder}
    RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_FILE ${folder}/stderr.txt)
  file(READ ${folder}/stderr.txt errors HEX)
  if(NOT result EQUAL 1 OR NOT output STREQUAL "" OR NOT errors MATCHES "${expected}0d0a0d0a$")
    message(FATAL_ERROR "${name}: exit ${result}, output '${output}', errors ${errors}")
  endif()
  message(STATUS "${name}: reported")
endwhile()
