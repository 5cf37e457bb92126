#pragma once

#include <memory>
#include <span>
#include <string>

#include "utility/console.h"
#include "utility/zarvik12m_dll.h"

// The main flow of Zarvik12mPLU: one command per run, its outcome told by
// console messages and the exit code.

namespace zarvik12m {

inline constexpr int ExitSuccess = 0;
inline constexpr int ExitFailure = 1;

// Runs the command of the parameters (the command line without the
// program's name) through the bound library and gives the exit code, a
// failure too when standard output could not take everything. An
// orderly run ends by destroying the binding (unloading the library) before
// it tells success; a run that an exception escapes leaves the binding to
// the caller, whose last-resort handler must be done with the exception
// before the library goes.
int RunZarvik12mPlu(std::unique_ptr<TZarvik12mDll>& dll, std::span<const std::string> parameters, TConsole& console);

}  // namespace zarvik12m
