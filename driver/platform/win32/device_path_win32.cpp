#include "driver/platform/device_path.h"

namespace zarvik12m {

std::string ResolveDevicePath(const std::string& deviceName)
{
    return deviceName;
}

}  // namespace zarvik12m
