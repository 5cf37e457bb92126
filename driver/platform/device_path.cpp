#include "driver/platform/device_path.h"

#include <charconv>
#include <optional>
#include <string_view>

namespace zarvik12m {

namespace {

constexpr std::string_view DeviceNamespacePrefix = R"(\\.\)";
constexpr std::string_view ComPrefix = "COM";
constexpr std::string_view VariablePrefix = "ZARVIK12M_";
constexpr std::string_view LinuxDevicePrefix = "/dev/ttyS";
// The highest COM port that Windows opens by its short name.
constexpr unsigned HighestShortName = 9;

// The name without its "\\.\" prefix when it is "COM" and digits; none
// otherwise.
std::optional<std::string_view> ComName(std::string_view name)
{
    if (name.starts_with(DeviceNamespacePrefix)) {
        name.remove_prefix(DeviceNamespacePrefix.size());
    }
    if (!name.starts_with(ComPrefix) || name.size() == ComPrefix.size()) {
        return std::nullopt;
    }
    return name;
}

// The number of "COM<N>", upper or lower case; none for other names.
std::optional<unsigned> ComNumber(std::string_view name)
{
    if (name.size() <= ComPrefix.size()) {
        return std::nullopt;
    }
    for (std::size_t i = 0; i < ComPrefix.size(); ++i) {
        if ((name[i] & ~0x20) != ComPrefix[i]) {
            return std::nullopt;
        }
    }
    const std::string_view digits = name.substr(ComPrefix.size());
    unsigned number = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), number);
    if (error != std::errc{} || end != digits.data() + digits.size()) {
        return std::nullopt;
    }
    return number;
}

}  // namespace

std::string DeviceVariableName(const std::string& deviceName)
{
    const std::optional<std::string_view> name = ComName(deviceName);
    return name ? std::string(VariablePrefix) + std::string(*name) : std::string();
}

std::string DevicePathFor(const std::string& deviceName, const char* configured, TDeviceNaming naming)
{
    const std::optional<std::string_view> name = ComName(deviceName);
    if (!name) {
        return naming == dnWindows ? deviceName : std::string();
    }
    if (configured != nullptr && *configured != '\0') {
        const std::string_view value = configured;
        if (naming == dnWindows) {
            if (const std::optional<unsigned> number = ComNumber(value); number && *number > HighestShortName) {
                return std::string(DeviceNamespacePrefix) + std::string(value);
            }
        }
        return std::string(value);
    }
    if (naming == dnWindows) {
        return deviceName;
    }
    const std::optional<unsigned> number = ComNumber(*name);
    if (!number || *number == 0) {
        return {};
    }
    return std::string(LinuxDevicePrefix) + std::to_string(*number - 1);
}

}  // namespace zarvik12m
