#include <algorithm>
#include <charconv>
#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <string_view>
#include <system_error>
#include <tuple>
#include <vector>

#include "driver/common/cp1251.h"
#include "driver/platform/terminal_devices.h"
#include "tools/probe/serial_devices.h"

namespace zarvik12m::probe {

namespace {

namespace fs = std::filesystem;
using namespace zarvik12m::literals;

constexpr const char* ByIdFolder = "/dev/serial/by-id";
constexpr std::string_view Families[] = {"ttyUSB", "ttyACM", "ttyS"};

std::string Canonical(const std::string& path)
{
    std::error_code error;
    const fs::path resolved = fs::canonical(path, error);
    return error ? path : resolved.string();
}

// Canonical device -> its first by-id link, in the links' name order.
std::map<std::string, std::string> ByIdNames()
{
    std::map<std::string, std::string> names;
    std::error_code error;
    std::vector<std::string> links;
    for (const fs::directory_entry& entry : fs::directory_iterator(ByIdFolder, error)) {
        links.push_back(entry.path().string());
    }
    std::sort(links.begin(), links.end());
    for (const std::string& link : links) {
        names.emplace(Canonical(link), link);
    }
    return names;
}

// The number after a family's name: ttyS10 -> 10; none for other names.
std::optional<unsigned> NumberIn(std::string_view name, std::string_view family)
{
    if (!name.starts_with(family) || name.size() == family.size()) {
        return std::nullopt;
    }
    const std::string_view digits = name.substr(family.size());
    unsigned number = 0;
    const auto [end, failure] = std::from_chars(digits.data(), digits.data() + digits.size(), number);
    if (failure != std::errc() || end != digits.data() + digits.size()) {
        return std::nullopt;
    }
    return number;
}

}  // namespace

std::vector<TCandidateDevice> FindSerialDevices()
{
    const std::map<std::string, std::string> byId = ByIdNames();
    std::vector<TCandidateDevice> devices;
    std::set<std::string> seen;
    const auto add = [&](const std::string& path) {
        if (seen.insert(path).second) {
            const auto name = byId.find(path);
            devices.push_back({path, name == byId.end() ? std::string() : name->second, false});
        }
    };
    std::vector<std::pair<std::string, std::string>> links;  // by name
    links.reserve(byId.size());
    for (const auto& [device, link] : byId) {
        links.emplace_back(link, device);
    }
    std::sort(links.begin(), links.end());
    for (const auto& link : links) {
        add(link.second);
    }
    std::error_code error;
    std::vector<std::tuple<std::size_t, unsigned, std::string>> found;
    for (const fs::directory_entry& entry : fs::directory_iterator("/dev", error)) {
        const std::string name = entry.path().filename().string();
        for (std::size_t family = 0; family < std::size(Families); ++family) {
            if (const std::optional<unsigned> number = NumberIn(name, Families[family])) {
                found.emplace_back(family, *number, entry.path().string());
                break;
            }
        }
    }
    std::sort(found.begin(), found.end());
    for (const auto& [family, number, path] : found) {
        add(path);
    }
    return devices;
}

std::vector<TCandidateDevice> NamedDevices(const std::vector<std::string>& paths)
{
    const std::map<std::string, std::string> byId = ByIdNames();
    std::vector<TCandidateDevice> devices;
    for (const std::string& path : paths) {
        std::string name;
        if (path.starts_with(ByIdFolder)) {
            name = path;
        } else if (const auto link = byId.find(Canonical(path)); link != byId.end()) {
            name = link->second;
        }
        devices.push_back({path, name, true});
    }
    return devices;
}

bool IsConsoleOrOwnTerminal(const std::string& path)
{
    return IsOwnTerminal(path) || IsSystemConsole(path);
}

std::string OpenablePath(const std::string& path)
{
    return path;
}

std::string SearchedDevicesText()
{
    return std::string(
        "ссылки\n                  /dev/serial/by-id/*, затем /dev/ttyUSB*, /dev/ttyACM*, /dev/ttyS*"_cp1251);
}

TShellSyntax NativeShellSyntax()
{
    return ssPosix;
}

}  // namespace zarvik12m::probe
