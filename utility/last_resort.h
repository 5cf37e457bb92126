#pragma once

#include <string_view>

#include "utility/console.h"

// The last-resort handler: what ends a run that an exception escapes.

namespace zarvik12m {

// Reports the exception being handled; to be called inside a catch block,
// while everything the exception's type needs (the driver library, for an
// exception thrown there) is still loaded. Standard output has nothing
// pending (the console writes at once); standard error receives, in the
// console's charset:
//
//   Exception <class> in module <module> at <location>.
//   <message>.
//   <empty line>
//
// The exit code of such a run: 1.
int ReportFatalException(TConsole& console, std::string_view module, std::string_view location) noexcept;

}  // namespace zarvik12m
