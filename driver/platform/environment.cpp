#include "driver/platform/environment.h"

#include <cstdlib>

namespace zarvik12m {

// The C runtime's environment is the same call on every system we build
// for; nobody in the process changes the environment while the driver runs.
std::optional<std::string> EnvironmentVariable(const std::string& name)
{
    const char* value = std::getenv(name.c_str());  // NOLINT(concurrency-mt-unsafe): see above
    if (value == nullptr) {
        return std::nullopt;
    }
    return std::string(value);
}

}  // namespace zarvik12m
