#include "driver/platform/device_path.h"

#include <charconv>
#include <cstdlib>
#include <string_view>

namespace zarvik12m {

namespace {

constexpr std::string_view DeviceNamespacePrefix = R"(\\.\)";
constexpr std::string_view ComPrefix = "COM";
constexpr std::string_view VariablePrefix = "ZARVIK12M_";
constexpr std::string_view DefaultDevicePrefix = "/dev/ttyS";

}  // namespace

std::string ResolveDevicePath(const std::string& deviceName)
{
    std::string_view name = deviceName;
    if (name.starts_with(DeviceNamespacePrefix)) {
        name.remove_prefix(DeviceNamespacePrefix.size());
    }
    if (!name.starts_with(ComPrefix)) {
        return {};
    }
    const std::string variable = std::string(VariablePrefix) + std::string(name);
    const char* configured = std::getenv(variable.c_str());
    if (configured != nullptr && *configured != '\0') {
        return configured;
    }
    const std::string_view digits = name.substr(ComPrefix.size());
    unsigned portNumber = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), portNumber);
    if (error != std::errc{} || end != digits.data() + digits.size() || portNumber == 0) {
        return {};
    }
    return std::string(DefaultDevicePrefix) + std::to_string(portNumber - 1);
}

}  // namespace zarvik12m
