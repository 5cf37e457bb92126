#include "driver/platform/device_path.h"

#include <cstdlib>

namespace zarvik12m {

std::string ResolveDevicePath(const std::string& deviceName)
{
    const std::string variable = DeviceVariableName(deviceName);
    // NOLINTNEXTLINE(concurrency-mt-unsafe): the environment is set before the driver runs
    const char* configured = variable.empty() ? nullptr : std::getenv(variable.c_str());
    return DevicePathFor(deviceName, configured, dnLinux);
}

}  // namespace zarvik12m
