#include "server/detection.h"

#include <algorithm>
#include <filesystem>
#include <set>
#include <stdexcept>
#include <system_error>

#include "driver/common/cp1251.h"
#include "driver/platform/device_path.h"
#include "tools/probe/scan.h"

namespace zarvik12m::server {

namespace {

constexpr std::size_t MaxDevices = 64;
constexpr std::size_t MaxDeviceLength = 256;
constexpr std::size_t MaxBaudRates = 16;

// A list of the body's, or nothing when the member is absent.
const nlohmann::json* ListOf(const nlohmann::json& body, const char* name, std::size_t limit)
{
    const auto member = body.find(name);
    if (member == body.end()) {
        return nullptr;
    }
    if (!member->is_array() || member->size() > limit) {
        throw std::invalid_argument(std::string("\"") + name + "\": нужен список не длиннее " + std::to_string(limit));
    }
    return &*member;
}

std::uint32_t NumberIn(const nlohmann::json& value, const char* name, std::uint32_t low, std::uint32_t high)
{
    if (!value.is_number_integer() || value.get<std::int64_t>() < low || value.get<std::int64_t>() > high) {
        throw std::invalid_argument(std::string("\"") + name + "\": нужны целые числа от " + std::to_string(low) +
                                    " до " + std::to_string(high));
    }
    return static_cast<std::uint32_t>(value.get<std::int64_t>());
}

// The device as the system names it after links, or as written when it
// cannot be followed (a Windows COM name, a device that has gone).
std::string Followed(const std::string& path)
{
    std::error_code error;
    const std::filesystem::path canonical = std::filesystem::canonical(path, error);
    return error ? path : canonical.string();
}

// The devices the configured registers open, each as written and followed.
std::set<std::string> DevicesInUse(const std::vector<TRegisterSetup>& registers)
{
    std::set<std::string> used;
    for (const TRegisterSetup& setup : registers) {
        const std::string named = setup.Port.find_first_not_of("0123456789") == std::string::npos
                                      ? ResolveDevicePath("COM" + setup.Port)
                                      : setup.Port;
        if (!named.empty()) {
            used.insert(named);
            used.insert(Followed(named));
        }
    }
    return used;
}

const char* StateName(probe::TDeviceState state)
{
    switch (state) {
    case probe::dsProbed:
        return "probed";
    case probe::dsBusy:
        return "busy";
    case probe::dsDenied:
        return "denied";
    case probe::dsMissing:
        return "missing";
    case probe::dsNotAPort:
        return "not a port";
    case probe::dsConsole:
        return "console";
    case probe::dsFailed:
        break;
    }
    return "failed";
}

}  // namespace

TDetectRequest DetectRequestFromBody(std::string_view body)
{
    TDetectRequest request;
    if (body.find_first_not_of(" \t\r\n") == std::string_view::npos) {
        return request;
    }
    const nlohmann::json parsed = nlohmann::json::parse(body, nullptr, false);
    if (!parsed.is_object()) {
        throw std::invalid_argument("Тело запроса должно быть объектом JSON");
    }
    if (const nlohmann::json* devices = ListOf(parsed, "devices", MaxDevices)) {
        for (const nlohmann::json& device : *devices) {
            if (!device.is_string() || device.get_ref<const std::string&>().empty() ||
                device.get_ref<const std::string&>().size() > MaxDeviceLength ||
                device.get_ref<const std::string&>().find('\0') != std::string::npos) {
                throw std::invalid_argument("\"devices\": нужны имена устройств от 1 до 256 символов");
            }
            request.Devices.push_back(device.get<std::string>());
        }
    }
    if (const nlohmann::json* rates = ListOf(parsed, "baud", MaxBaudRates)) {
        for (const nlohmann::json& rate : *rates) {
            const std::uint32_t value = NumberIn(rate, "baud", 50, 4000000);
            if (std::find(request.BaudRates.begin(), request.BaudRates.end(), value) == request.BaudRates.end()) {
                request.BaudRates.push_back(value);
            }
        }
    }
    if (const nlohmann::json* nets = ListOf(parsed, "net", 99)) {
        for (const nlohmann::json& net : *nets) {
            const auto value = static_cast<std::uint8_t>(NumberIn(net, "net", 1, 99));
            if (std::find(request.NetNumbers.begin(), request.NetNumbers.end(), value) == request.NetNumbers.end()) {
                request.NetNumbers.push_back(value);
            }
        }
    }
    return request;
}

nlohmann::json Detect(const TDetectRequest& request, const std::vector<TRegisterSetup>& registers)
{
    probe::TProbeOptions options;
    options.BaudRates = request.BaudRates.empty() ? probe::DefaultBaudRates : request.BaudRates;
    options.NetNumbers = request.NetNumbers.empty() ? std::vector<std::uint8_t>{1} : request.NetNumbers;
    const std::vector<probe::TCandidateDevice> candidates =
        request.Devices.empty() ? probe::FindSerialDevices() : probe::NamedDevices(request.Devices);

    const std::set<std::string> used = DevicesInUse(registers);
    std::vector<probe::TCandidateDevice> free;
    nlohmann::json devices = nlohmann::json::array();
    for (const probe::TCandidateDevice& candidate : candidates) {
        if (used.contains(candidate.Path) || used.contains(Followed(candidate.Path)) ||
            (!candidate.ById.empty() && used.contains(candidate.ById))) {
            devices.push_back({{"device", candidate.Path}, {"state", "in use"}, {"found", false}});
        } else {
            free.push_back(candidate);
        }
    }

    nlohmann::json found = nlohmann::json::array();
    for (const probe::TDeviceOutcome& outcome : probe::ScanDevices(free, options, {})) {
        nlohmann::json device = {
            {"device", outcome.Device.Path}, {"state", StateName(outcome.State)}, {"found", outcome.Found}};
        if (!outcome.Reason.empty()) {
            device["reason"] = Cp1251ToUtf8(outcome.Reason);
        }
        devices.push_back(std::move(device));
        if (outcome.Found) {
            found.push_back({{"port", outcome.Device.Path},
                             {"baud", outcome.FoundBaudRate},
                             {"net", outcome.FoundNetNumber},
                             {"serialNumber", Cp1251ToUtf8(outcome.SerialNumber)},
                             {"deviceName", ""}});
        }
    }
    return {{"found", std::move(found)}, {"devices", std::move(devices)}};
}

}  // namespace zarvik12m::server
