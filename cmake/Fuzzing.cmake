# The fuzz configuration (ZARVIK12M_FUZZ=ON, clang only): the fuzz targets
# of tests/fuzz and the libraries they link, nothing else. Every line of
# our code is built with libFuzzer's coverage instrumentation and
# AddressSanitizer with UndefinedBehaviorSanitizer, which end the run at
# their first report; the fuzz targets link libFuzzer's main on top.
#
#   CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DZARVIK12M_FUZZ=ON
#   scripts/fuzz.sh builds this and runs the targets.
if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
  message(FATAL_ERROR "The fuzz build needs clang (CXX=clang++), not ${CMAKE_CXX_COMPILER_ID}")
endif()
if(ZARVIK12M_SANITIZER)
  message(FATAL_ERROR "The fuzz build brings its own sanitizers; leave ZARVIK12M_SANITIZER empty")
endif()

add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
add_link_options(-fsanitize=address,undefined)

# The warning set is written for GCC. Clang's -Wconversion also covers
# signedness, which GCC's leaves out in C++ (the serial device's flag test
# mixes an int field with an unsigned constant), so that part stays off.
target_compile_options(zarvik12m_warnings INTERFACE -Wno-sign-conversion)

# Libraries are built only as far as a fuzz target needs them: the shared
# library, the programs and the tests are left out.
add_subdirectory(driver EXCLUDE_FROM_ALL)
add_subdirectory(utility EXCLUDE_FROM_ALL)
add_subdirectory(capi EXCLUDE_FROM_ALL)
add_subdirectory(tools/common EXCLUDE_FROM_ALL)
add_subdirectory(tools/probe EXCLUDE_FROM_ALL)
add_subdirectory(server EXCLUDE_FROM_ALL)
add_subdirectory(tests/fuzz)
