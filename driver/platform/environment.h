#pragma once

#include <string>

namespace zarvik12m {

// Sets a variable of the process's environment, as later lookups of it (the
// driver's ZARVIK12M_COM<N>) see it. Call it before the process starts
// threads that read the environment. False when the system refuses.
bool SetEnvironmentValue(const std::string& name, const std::string& value);

}  // namespace zarvik12m
