# ZARVIK12M_SANITIZER selects one instrumented build for the whole tree
# (our code, GoogleTest and the tools alike): "address" means
# AddressSanitizer together with UndefinedBehaviorSanitizer, "thread"
# means ThreadSanitizer.
set(ZARVIK12M_SANITIZER "" CACHE STRING "Sanitizer build: empty, address or thread")
set_property(CACHE ZARVIK12M_SANITIZER PROPERTY STRINGS "" address thread)

if(ZARVIK12M_SANITIZER STREQUAL "address")
  set(_zarvik12m_sanitize -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
elseif(ZARVIK12M_SANITIZER STREQUAL "thread")
  set(_zarvik12m_sanitize -fsanitize=thread -fno-omit-frame-pointer)
elseif(NOT ZARVIK12M_SANITIZER STREQUAL "")
  message(FATAL_ERROR "Unknown ZARVIK12M_SANITIZER '${ZARVIK12M_SANITIZER}'")
endif()

if(_zarvik12m_sanitize)
  add_compile_options(${_zarvik12m_sanitize})
  # GCC's flow analysis is confused by the instrumentation and reports
  # uninitialised use in the standard library; the normal build keeps the
  # warning. Clang has no such warning.
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    add_compile_options(-Wno-maybe-uninitialized)
  endif()
  add_link_options(${_zarvik12m_sanitize})
endif()
