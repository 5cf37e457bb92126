# GoogleTest and GoogleMock for the tests: built from Debian's sources
# (googletest, in ZARVIK12M_GOOGLETEST_SOURCE) with the tree's own flags,
# so that the sanitizer builds instrument them too and a cross build gets
# them for its own target; their static libraries go to googletest/lib of
# the build. The targets are gtest, gtest_main, gmock and gmock_main.
#
#   zarvik12m_add_googletest()           the installed GTest package where
#                                        the sources are missing
#   zarvik12m_add_googletest(SOURCES_ONLY)  the sources or a stop with a
#                                        clear message (a cross build: no
#                                        package is installed for its target)

set(ZARVIK12M_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources")

function(zarvik12m_add_googletest)
  cmake_parse_arguments(ARG "SOURCES_ONLY" "" "" ${ARGN})
  if(EXISTS ${ZARVIK12M_GOOGLETEST_SOURCE}/CMakeLists.txt)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
    add_subdirectory(${ZARVIK12M_GOOGLETEST_SOURCE} ${PROJECT_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
    set_target_properties(gtest gtest_main gmock gmock_main PROPERTIES
      ARCHIVE_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/googletest/lib)
  elseif(ARG_SOURCES_ONLY)
    message(FATAL_ERROR "No GoogleTest sources in ${ZARVIK12M_GOOGLETEST_SOURCE} "
                        "(Debian's googletest: scripts/install-dependencies.sh)")
  else()
    find_package(GTest REQUIRED)
    add_library(gtest_main ALIAS GTest::gtest_main)
    add_library(gmock ALIAS GTest::gmock)
  endif()
endfunction()
