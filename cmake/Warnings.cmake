# Every target of ours links zarvik12m_warnings: strict warnings, all of
# them errors, and the standard library's cheap bounds checks.
add_library(zarvik12m_warnings INTERFACE)
target_compile_options(zarvik12m_warnings INTERFACE
  -Wall -Wextra -Wpedantic -Werror
  -Wshadow -Wconversion -Wnon-virtual-dtor -Woverloaded-virtual
  -Wold-style-cast -Wimplicit-fallthrough -Wcast-qual -Wformat=2)
target_compile_definitions(zarvik12m_warnings INTERFACE _GLIBCXX_ASSERTIONS)
