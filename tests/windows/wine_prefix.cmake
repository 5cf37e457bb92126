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
# COM7 of the prefix stands for a link in it that the tests point at
# their lines: mapped in the registry, as Wine documents it, so that the
# mapping outlives every start of Wine's services and the serial device
# map lists the port. The mapping takes effect when the server starts anew.
set(mapped_port_link ${PREFIX}/zarvik12m-ports/com7)
execute_process(COMMAND ${WINE} reg query "HKLM\\Software\\Wine\\Ports" /v COM7
  RESULT_VARIABLE result OUTPUT_VARIABLE mapping INPUT_FILE /dev/null ERROR_FILE /dev/null)
string(FIND "${mapping}" "${mapped_port_link}" found)
if(NOT result EQUAL 0 OR found EQUAL -1)
  execute_process(COMMAND ${WINE} reg add "HKLM\\Software\\Wine\\Ports" /v COM7 /d ${mapped_port_link} /f
    RESULT_VARIABLE result INPUT_FILE /dev/null OUTPUT_FILE /dev/null ERROR_FILE /dev/null)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "could not map COM7 in ${PREFIX}")
  endif()
endif()
file(MAKE_DIRECTORY ${PREFIX}/zarvik12m-ports)
execute_process(COMMAND ${WINESERVER} -k ERROR_QUIET)
execute_process(COMMAND ${WINESERVER} -w)
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
