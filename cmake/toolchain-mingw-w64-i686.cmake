# Cross build for 32-bit Windows with Debian's mingw-w64 (package
# g++-mingw-w64-i686-posix), for the hosts that load only 32-bit DLLs:
#   cmake -S . -B build-windows32 -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw-w64-i686.cmake
set(CMAKE_SYSTEM_PROCESSOR x86)
set(_zarvik12m_mingw i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/MingwToolchain.cmake)

# The tests run under Wine's 32-bit loader (Debian's wine32, of the i386
# architecture) where it is installed; without it only what needs no
# Windows program is tested.
find_program(ZARVIK12M_WINE NAMES wine PATHS /usr/lib/wine NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
if(ZARVIK12M_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${ZARVIK12M_WINE})
endif()
