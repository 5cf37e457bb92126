#include <stdlib.h>  // NOLINT(modernize-deprecated-headers): POSIX setenv

#include "driver/platform/environment.h"

namespace zarvik12m {

bool SetEnvironmentValue(const std::string& name, const std::string& value)
{
    return setenv(name.c_str(), value.c_str(), 1) == 0;
}

}  // namespace zarvik12m
