#include "driver/port/device_name.h"

#include <string_view>

namespace zarvik12m {

namespace {

constexpr std::string_view DeviceNamespacePrefix = R"(\\.\)";
constexpr std::string_view ComPrefix = "COM";

}  // namespace

std::string DeviceName(std::uint8_t portNumber)
{
    std::string name;
    if (portNumber >= 10) {
        name = DeviceNamespacePrefix;
    }
    name += ComPrefix;
    name += std::to_string(portNumber);
    return name;
}

}  // namespace zarvik12m
