# Cross build for 64-bit Windows with Debian's mingw-w64, POSIX threads
# variant (std::thread and friends need it):
#   cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw-w64.cmake
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(_zarvik12m_mingw x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/MingwToolchain.cmake)

# The tests run under Wine.
find_program(ZARVIK12M_WINE NAMES wine64 wine PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
if(ZARVIK12M_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${ZARVIK12M_WINE})
endif()
