#pragma once

#include <cstdio>
#include <cstdlib>

// A broken property ends the run at once: libFuzzer takes the abort as a
// crash and keeps the input, and a replay in the test suite fails.
#define ZARVIK12M_FUZZ_CHECK(condition) \
    ((condition) ? static_cast<void>(0) : ::zarvik12m::fuzz::FailCheck(#condition, __FILE__, __LINE__))

namespace zarvik12m::fuzz {

[[noreturn]] inline void FailCheck(const char* condition, const char* file, int line)
{
    std::fprintf(stderr, "%s:%d: property broken: %s\n", file, line, condition);
    std::abort();
}

}  // namespace zarvik12m::fuzz
