# cmake -DCPACK=cpack -DBUILD=build-windows -DPACKAGE=zarvik12m-1.0.0-win64
#       -DLIBGCC=libgcc_s_seh-1.dll -P check_zip.cmake
# Packs the build's ZIP (cpack -G ZIP) and fails unless it holds what a
# Windows user needs: the programs and DLLs with their runtime in bin/, the
# headers, the Python package with its own DLLs, and the Windows readme
# (UTF-8 with a byte-order mark, CR LF) instead of the Linux README.
execute_process(COMMAND ${CPACK} -G ZIP WORKING_DIRECTORY ${BUILD} RESULT_VARIABLE result OUTPUT_QUIET)
set(zip ${BUILD}/${PACKAGE}.zip)
if(NOT result EQUAL 0 OR NOT EXISTS ${zip})
  message(FATAL_ERROR "cpack -G ZIP did not make ${zip}")
endif()
set(unpacked ${BUILD}/tests/zip-contents)
file(REMOVE_RECURSE ${unpacked})
file(MAKE_DIRECTORY ${unpacked})
file(ARCHIVE_EXTRACT INPUT ${zip} DESTINATION ${unpacked})
set(root ${unpacked}/${PACKAGE})
set(runtime libstdc++-6.dll ${LIBGCC} libwinpthread-1.dll)
set(expected
  bin/Zarvik12mPLU.exe bin/zarvik12m-probe.exe bin/zarvik12m-server.exe bin/zarvik12m.dll bin/zarvik12m-c.dll
  include/zarvik12m/zarvik12m.h include/zarvik12m/exports.h
  python/zarvik12m/__init__.py python/zarvik12m/__main__.py python/zarvik12m/_native.py python/zarvik12m/py.typed
  python/zarvik12m/zarvik12m.dll python/zarvik12m/zarvik12m-c.dll
  README.txt)
foreach(dll IN LISTS runtime)
  list(APPEND expected bin/${dll} python/zarvik12m/${dll})
endforeach()
set(missing)
foreach(file IN LISTS expected)
  if(NOT EXISTS ${root}/${file})
    list(APPEND missing ${file})
  endif()
endforeach()
if(missing)
  message(FATAL_ERROR "${zip} lacks: ${missing}")
endif()
file(GLOB_RECURSE unwanted RELATIVE ${root} ${root}/README.md ${root}/*.pyc ${root}/*/__pycache__)
if(unwanted)
  message(FATAL_ERROR "${zip} holds what a Windows user has no use for: ${unwanted}")
endif()
file(READ ${root}/README.txt hex HEX)
string(REGEX MATCHALL "[0-9a-f][0-9a-f]" bytes "${hex}")
list(SUBLIST bytes 0 3 head)
set(previous "")
set(line_ends_ok TRUE)
foreach(byte IN LISTS bytes)
  if(byte STREQUAL "0a" AND NOT previous STREQUAL "0d")
    set(line_ends_ok FALSE)
  endif()
  set(previous ${byte})
endforeach()
if(NOT head STREQUAL "ef;bb;bf" OR NOT line_ends_ok)
  message(FATAL_ERROR "README.txt is not UTF-8 with a byte-order mark and CR LF line ends")
endif()
file(REMOVE_RECURSE ${unpacked})
message(STATUS "${zip}: complete")
