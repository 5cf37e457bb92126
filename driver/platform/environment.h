#pragma once

#include <optional>
#include <string>

namespace zarvik12m {

// The value of one of the process's environment variables, as the system
// keeps it (the ANSI code page on Windows, which is what the narrow file
// calls take); nothing when it is not set.
std::optional<std::string> EnvironmentVariable(const std::string& name);

// Sets a variable of the process's environment, as later lookups of it (the
// driver's ZARVIK12M_COM<N>) see it. Call it before the process starts
// threads that read the environment. False when the system refuses.
bool SetEnvironmentValue(const std::string& name, const std::string& value);

}  // namespace zarvik12m
