# cmake -DWINE=wine64 -DWINESERVER=wineserver -DPREFIX=dir -P wine_prefix.cmake
# Boots the prefix once (wineboot -i) and starts a persistent wineserver
# for the tests that follow; WINEPREFIX is the caller's environment.
if(NOT EXISTS ${PREFIX}/system.reg)
  execute_process(COMMAND ${WINE} wineboot -i RESULT_VARIABLE result
    INPUT_FILE /dev/null OUTPUT_FILE /dev/null ERROR_FILE /dev/null)
  # The server writes the new prefix's registry when it ends.
  execute_process(COMMAND ${WINESERVER} -w)
  if(NOT result EQUAL 0 OR NOT EXISTS ${PREFIX}/system.reg)
    message(FATAL_ERROR "wineboot -i failed in ${PREFIX}")
  endif()
endif()
# The server stays in the background: it must hold none of CTest's pipes.
execute_process(COMMAND ${WINESERVER} -p RESULT_VARIABLE result
  INPUT_FILE /dev/null OUTPUT_FILE /dev/null ERROR_FILE /dev/null)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "wineserver -p failed")
endif()
# The first program of a session starts Wine's own services, which keep
# the standard streams they were given: started here, they hold none of
# CTest's pipes either.
execute_process(COMMAND ${WINE} cmd /c exit RESULT_VARIABLE result
  INPUT_FILE /dev/null OUTPUT_FILE /dev/null ERROR_FILE /dev/null)
