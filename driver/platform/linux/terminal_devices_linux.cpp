#include "driver/platform/terminal_devices.h"

#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <set>
#include <sstream>
#include <system_error>

namespace zarvik12m {

namespace {

namespace fs = std::filesystem;

std::optional<dev_t> DeviceNumber(const std::string& path)
{
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0 || !S_ISCHR(status.st_mode)) {
        return std::nullopt;
    }
    return status.st_rdev;
}

// A process's controlling terminal's device number, from its
// /proc/<process>/stat.
std::optional<dev_t> ControllingTerminal(const std::string& statusFile = "/proc/self/stat")
{
    std::ifstream file(statusFile);
    const std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    const std::size_t close = text.rfind(')');
    if (close == std::string::npos) {
        return std::nullopt;
    }
    // After the command's name: state, parent, group, session, terminal.
    std::istringstream fields(text.substr(close + 1));
    std::string state;
    long long parent = 0;
    long long group = 0;
    long long session = 0;
    long long terminal = 0;
    if (!(fields >> state >> parent >> group >> session >> terminal) || terminal == 0) {
        return std::nullopt;
    }
    const auto value = static_cast<unsigned long long>(terminal);
    return makedev((value >> 8U) & 0xFFFU, (value & 0xFFU) | ((value >> 12U) & 0xFFF00U));
}

// The console device and the consoles the kernel writes to, each line of
// /proc/consoles ending in the device's numbers ("ttyS0 -W- (EC p a) 4:64").
std::set<dev_t> SystemConsoles()
{
    std::set<dev_t> consoles;
    if (const std::optional<dev_t> console = DeviceNumber("/dev/console")) {
        consoles.insert(*console);
    }
    std::ifstream file("/proc/consoles");
    std::string line;
    while (std::getline(file, line)) {
        const std::size_t space = line.find_last_of(' ');
        const std::string last = line.substr(space == std::string::npos ? 0 : space + 1);
        unsigned major = 0;
        unsigned minor = 0;
        const char* begin = last.data();
        const char* end = last.data() + last.size();
        const auto [colon, failure] = std::from_chars(begin, end, major);
        if (failure != std::errc() || colon == end || *colon != ':' ||
            std::from_chars(colon + 1, end, minor).ec != std::errc()) {
            continue;
        }
        consoles.insert(makedev(major, minor));
    }
    return consoles;
}

bool IsProcessFolder(const std::string& name)
{
    return !name.empty() && name.find_first_not_of("0123456789") == std::string::npos;
}

}  // namespace

bool IsSystemConsole(const std::string& path)
{
    const std::optional<dev_t> number = DeviceNumber(path);
    return number && SystemConsoles().contains(*number);
}

bool IsOwnTerminal(const std::string& path)
{
    const std::optional<dev_t> number = DeviceNumber(path);
    if (!number) {
        return false;
    }
    if (const std::optional<dev_t> tty = DeviceNumber("/dev/tty"); tty && *tty == *number) {
        return true;
    }
    const std::optional<dev_t> own = ControllingTerminal();
    return own && *own == *number;
}

bool IsTerminalOfAnotherProcess(const std::string& path)
{
    const std::optional<dev_t> number = DeviceNumber(path);
    if (!number) {
        return false;
    }
    const std::string self = std::to_string(::getpid());
    std::error_code error;
    // A process gone meanwhile has no terminal.
    return std::ranges::any_of(fs::directory_iterator("/proc", error), [&](const fs::directory_entry& process) {
        const std::string name = process.path().filename().string();
        if (!IsProcessFolder(name) || name == self) {
            return false;
        }
        const std::optional<dev_t> terminal = ControllingTerminal((process.path() / "stat").string());
        return terminal && *terminal == *number;
    });
}

}  // namespace zarvik12m
