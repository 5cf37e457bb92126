#include "server/register_setup.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <map>
#include <optional>
#include <set>
#include <stdexcept>

#include "driver/platform/environment.h"

namespace zarvik12m::server {

namespace {

constexpr std::size_t MaxIdLength = 64;
constexpr std::size_t MaxPortLength = 1024;
constexpr int ComPorts = 32;

template <class TNumber>
TNumber NumberOf(std::string_view text, long long low, long long high, const char* what)
{
    long long value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < low || value > high) {
        throw std::invalid_argument(std::string(what) + " must be a number " + std::to_string(low) + ".." +
                                    std::to_string(high) + ", not \"" + std::string(text) + "\"");
    }
    return static_cast<TNumber>(value);
}

void Check(const TRegisterSetup& setup)
{
    if (setup.Id.empty() || setup.Id.size() > MaxIdLength || !std::all_of(setup.Id.begin(), setup.Id.end(), [](char c) {
            return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_';
        })) {
        throw std::invalid_argument("a register's id is 1..64 letters, digits, '-' or '_', not \"" + setup.Id + "\"");
    }
    if (setup.Port.empty() || setup.Port.size() > MaxPortLength || setup.Port.find('\0') != std::string::npos) {
        throw std::invalid_argument("register " + setup.Id + ": the port is missing or too long");
    }
}

// A port given as its COM number.
std::optional<std::uint8_t> ComNumberOf(const std::string& port)
{
    if (port.empty() || port.size() > 2 || port.find_first_not_of("0123456789") != std::string::npos) {
        return std::nullopt;
    }
    const int number = std::stoi(port);
    if (number < 1 || number > ComPorts) {
        return std::nullopt;
    }
    return static_cast<std::uint8_t>(number);
}

}  // namespace

TRegisterSetup ParseRegisterOption(std::string_view text)
{
    const std::size_t equals = text.find('=');
    if (equals == std::string_view::npos) {
        throw std::invalid_argument("--register takes ID=PORT[,baud=N][,net=N], not \"" + std::string(text) + "\"");
    }
    TRegisterSetup setup;
    setup.Id = std::string(text.substr(0, equals));
    std::string_view rest = text.substr(equals + 1);
    // The port runs to the first ",baud=" or ",net=": a device path may
    // itself hold commas.
    std::size_t cut = rest.size();
    for (const std::string_view key : {",baud=", ",net="}) {
        cut = std::min(cut, rest.find(key));
    }
    setup.Port = std::string(rest.substr(0, cut));
    rest.remove_prefix(cut);
    while (!rest.empty()) {
        rest.remove_prefix(1);  // the comma
        const std::size_t next = std::min(rest.find(",baud="), rest.find(",net="));
        const std::string_view pair = rest.substr(0, next);
        rest.remove_prefix(next == std::string_view::npos ? rest.size() : next);
        if (pair.starts_with("baud=")) {
            setup.Baud = NumberOf<std::int32_t>(pair.substr(5), 1, 4000000, "baud");
        } else {
            setup.Net = NumberOf<std::uint8_t>(pair.substr(4), 1, 99, "net");
        }
    }
    Check(setup);
    return setup;
}

TRegisterSetup RegisterFromJson(const nlohmann::json& value)
{
    try {
        TRegisterSetup setup;
        setup.Id = value.at("id").get<std::string>();
        const nlohmann::json& port = value.at("port");
        setup.Port = port.is_number_integer() ? std::to_string(port.get<long long>()) : port.get<std::string>();
        if (value.contains("baud")) {
            setup.Baud = NumberOf<std::int32_t>(std::to_string(value["baud"].get<long long>()), 1, 4000000, "baud");
        }
        if (value.contains("net")) {
            setup.Net = NumberOf<std::uint8_t>(std::to_string(value["net"].get<long long>()), 1, 99, "net");
        }
        Check(setup);
        return setup;
    } catch (const nlohmann::json::exception& e) {
        throw std::invalid_argument(std::string("a register in the configuration: ") + e.what());
    }
}

void AssignComNumbers(std::vector<TRegisterSetup>& registers)
{
    if (registers.empty()) {
        throw std::invalid_argument("no register configured (--register ID=PORT or --config FILE)");
    }
    std::set<std::string> ids;
    std::set<std::uint8_t> taken;
    for (const TRegisterSetup& setup : registers) {
        if (!ids.insert(setup.Id).second) {
            throw std::invalid_argument("register " + setup.Id + " is configured twice");
        }
        if (const std::optional<std::uint8_t> number = ComNumberOf(setup.Port)) {
            taken.insert(*number);
        }
    }
    std::map<std::string, std::uint8_t> named;
    int next = ComPorts;
    for (TRegisterSetup& setup : registers) {
        if (const std::optional<std::uint8_t> number = ComNumberOf(setup.Port)) {
            setup.ComNumber = *number;
            continue;
        }
        if (const auto found = named.find(setup.Port); found != named.end()) {
            setup.ComNumber = found->second;
            continue;
        }
        while (next > 0 && taken.contains(static_cast<std::uint8_t>(next))) {
            --next;
        }
        if (next == 0) {
            throw std::invalid_argument("more than 32 ports configured");
        }
        setup.ComNumber = static_cast<std::uint8_t>(next);
        taken.insert(setup.ComNumber);
        named.emplace(setup.Port, setup.ComNumber);
        if (!SetEnvironmentValue("ZARVIK12M_COM" + std::to_string(next), setup.Port)) {
            throw std::invalid_argument("cannot name port " + setup.Port + " for the driver");
        }
    }
}

}  // namespace zarvik12m::server
