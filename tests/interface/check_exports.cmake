# cmake -DNM=nm -DLIBRARY=libzarvik12m.so.1 -DEXPECTED=a,b,c -DVERSION_NODE=NODE
#       -P check_exports.cmake
# Fails unless the defined dynamic symbols of the library are exactly the
# expected names (sorted), unmangled, each as the default version of the
# node (name@@NODE). The node's own entry, an absolute symbol, is no export.
execute_process(COMMAND ${NM} -D --defined-only ${LIBRARY} OUTPUT_VARIABLE listing RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "nm failed on ${LIBRARY}")
endif()
string(REPLACE "\n" ";" lines "${listing}")
set(names)
set(unversioned)
foreach(line IN LISTS lines)
  if(line MATCHES "^[0-9a-fA-F]* +A +${VERSION_NODE}$")
    continue()
  elseif(line MATCHES "^[0-9a-fA-F]* +[A-Za-z] +([^ @]+)@@${VERSION_NODE}$")
    list(APPEND names ${CMAKE_MATCH_1})
  elseif(line MATCHES "^[0-9a-fA-F]* +[A-Za-z] +([^ ]+)$")
    list(APPEND unversioned ${CMAKE_MATCH_1})
  endif()
endforeach()
list(SORT names)
string(REPLACE "," ";" expected "${EXPECTED}")
list(SORT expected)
if(unversioned OR NOT names STREQUAL expected)
  message(FATAL_ERROR "exported under ${VERSION_NODE}: ${names}\nexpected: ${expected}\nother symbols: ${unversioned}")
endif()
message(STATUS "exports: ${names}")
