# cmake -DGROFF=groff -DPAGES=a.1;b.1 -P check_manual_pages.cmake
# Fails when groff, all warnings on, says anything about a page.
foreach(page IN LISTS PAGES)
  execute_process(COMMAND ${GROFF} -man -ww -z ${page} RESULT_VARIABLE result ERROR_VARIABLE warnings)
  if(NOT result EQUAL 0 OR NOT warnings STREQUAL "")
    message(FATAL_ERROR "${page}:\n${warnings}")
  endif()
endforeach()
