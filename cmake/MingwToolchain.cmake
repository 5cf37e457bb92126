# What the two mingw-w64 toolchain files share; they set _zarvik12m_mingw
# (the target triple) and CMAKE_SYSTEM_PROCESSOR, then include this.
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER ${_zarvik12m_mingw}-gcc-posix)
set(CMAKE_CXX_COMPILER ${_zarvik12m_mingw}-g++-posix)
set(CMAKE_RC_COMPILER ${_zarvik12m_mingw}-windres)
set(CMAKE_OBJDUMP ${_zarvik12m_mingw}-objdump)
set(CMAKE_DLLTOOL ${_zarvik12m_mingw}-dlltool)

set(CMAKE_FIND_ROOT_PATH /usr/${_zarvik12m_mingw})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
