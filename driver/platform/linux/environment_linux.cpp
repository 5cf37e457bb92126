#include <stdlib.h>  // NOLINT(modernize-deprecated-headers): POSIX setenv

#include "driver/platform/environment.h"

namespace zarvik12m {

bool SetEnvironmentValue(const std::string& name, const std::string& value)
{
    // Before the threads that read the environment start (see the header).
    return setenv(name.c_str(), value.c_str(), 1) == 0;  // NOLINT(concurrency-mt-unsafe)
}

}  // namespace zarvik12m
