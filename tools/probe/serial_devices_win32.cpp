// The probe's questions to Windows: the COM ports from the system's serial
// device map and the names the devices open by.

#include <windows.h>

#include <algorithm>
#include <charconv>
#include <optional>
#include <set>
#include <string_view>
#include <tuple>
#include <vector>

#include "driver/common/cp1251.h"
#include "driver/platform/device_path.h"
#include "tools/probe/serial_devices.h"

namespace zarvik12m::probe {

namespace {

using namespace zarvik12m::literals;

constexpr const char* SerialDeviceMap = R"(HARDWARE\DEVICEMAP\SERIALCOMM)";
// Room for a value's name and data: the map's names are kernel device
// names (\Device\Serial0), its data the COM names.
constexpr DWORD MaxNameLength = 256;
constexpr DWORD MaxDataBytes = 256;

// The number of "COM<N>"; none for other names.
std::optional<unsigned> ComNumber(std::string_view name)
{
    if (name.size() <= 3 || (name.substr(0, 3) != "COM" && name.substr(0, 3) != "com")) {
        return std::nullopt;
    }
    unsigned number = 0;
    const auto [end, failure] = std::from_chars(name.data() + 3, name.data() + name.size(), number);
    if (failure != std::errc() || end != name.data() + name.size()) {
        return std::nullopt;
    }
    return number;
}

// The COM names of the map, whatever order the system keeps them in. A
// value that is not a string of printable characters is passed over.
std::vector<std::string> MappedPortNames()
{
    std::vector<std::string> names;
    HKEY map = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, SerialDeviceMap, 0, KEY_QUERY_VALUE, &map) != ERROR_SUCCESS) {
        return names;
    }
    for (DWORD index = 0;; ++index) {
        char valueName[MaxNameLength] = {};
        DWORD nameLength = MaxNameLength;
        DWORD type = 0;
        BYTE data[MaxDataBytes] = {};
        DWORD dataBytes = MaxDataBytes;
        const LSTATUS status = RegEnumValueA(map, index, valueName, &nameLength, nullptr, &type, data, &dataBytes);
        if (status == ERROR_NO_MORE_ITEMS) {
            break;
        }
        if (status != ERROR_SUCCESS || type != REG_SZ) {
            continue;  // too long for a COM name, or no text
        }
        // The data need not end in a NUL: only the bytes up to the first.
        const auto* text = reinterpret_cast<const char*>(data);  // NOLINT(cppcoreguidelines-pro-type-reinterpret-cast)
        const std::string name(text, std::find(text, text + std::min(dataBytes, MaxDataBytes), '\0'));
        const bool printable = !name.empty() && std::all_of(name.begin(), name.end(), [](char c) {
            return static_cast<unsigned char>(c) > ' ' && static_cast<unsigned char>(c) < 0x7F;
        });
        if (printable) {
            names.push_back(name);
        }
    }
    RegCloseKey(map);
    return names;
}

}  // namespace

std::vector<TCandidateDevice> FindSerialDevices()
{
    // COM ports by number, then any other names by name, each once.
    std::set<std::tuple<bool, unsigned, std::string>> ordered;
    for (const std::string& name : MappedPortNames()) {
        const std::optional<unsigned> number = ComNumber(name);
        ordered.emplace(!number.has_value(), number.value_or(0), name);
    }
    std::vector<TCandidateDevice> devices;
    for (const auto& [other, number, name] : ordered) {
        devices.push_back({name, {}, false});
    }
    return devices;
}

std::vector<TCandidateDevice> NamedDevices(const std::vector<std::string>& paths)
{
    std::vector<TCandidateDevice> devices;
    devices.reserve(paths.size());
    for (const std::string& path : paths) {
        devices.push_back({path, {}, true});
    }
    return devices;
}

std::string SearchedDevicesText()
{
    return std::string("порты COM\n                  из HKLM\\HARDWARE\\DEVICEMAP\\SERIALCOMM"_cp1251);
}

bool IsConsoleOrOwnTerminal(const std::string& /*path*/)
{
    return false;  // a COM device is never the console on Windows
}

std::string OpenablePath(const std::string& path)
{
    return DevicePathFor("COM1", path.c_str(), dnWindows);
}

TShellSyntax NativeShellSyntax()
{
    return ssCmd;
}

}  // namespace zarvik12m::probe
