#include <stdlib.h>  // NOLINT(modernize-deprecated-headers): _putenv_s
#include <windows.h>

#include "driver/platform/environment.h"

namespace zarvik12m {

bool SetEnvironmentValue(const std::string& name, const std::string& value)
{
    // Both copies: the C run-time's (getenv) and the system's
    // (GetEnvironmentVariable).
    return _putenv_s(name.c_str(), value.c_str()) == 0 && SetEnvironmentVariableA(name.c_str(), value.c_str()) != 0;
}

}  // namespace zarvik12m
