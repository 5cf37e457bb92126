#pragma once

#include <optional>
#include <string>

namespace zarvik12m {

// The value of one of the process's environment variables, as the system
// keeps it (the ANSI code page on Windows, which is what the narrow file
// calls take); nothing when it is not set.
std::optional<std::string> EnvironmentVariable(const std::string& name);

}  // namespace zarvik12m
