# Every target of ours links zarvik12m_warnings: strict warnings and the
# standard library's cheap bounds checks. The warnings become errors only
# under ZARVIK12M_WERROR (scripts/test.sh and so CI turn it on), so that a
# newer compiler's new warning does not break a packager's build.
add_library(zarvik12m_warnings INTERFACE)
target_compile_options(zarvik12m_warnings INTERFACE
  -Wall -Wextra -Wpedantic
  -Wshadow -Wconversion -Wnon-virtual-dtor -Woverloaded-virtual
  -Wold-style-cast -Wimplicit-fallthrough -Wcast-qual -Wformat=2)
if(ZARVIK12M_WERROR)
  target_compile_options(zarvik12m_warnings INTERFACE -Werror)
endif()
target_compile_definitions(zarvik12m_warnings INTERFACE _GLIBCXX_ASSERTIONS)
