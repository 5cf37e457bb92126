#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "server/register_setup.h"

namespace zarvik12m::server {

// What POST /api/v1/detect asks: {"devices": [...], "baud": [...], "net":
// [...]}, each optional. Without devices the system's serial devices are
// searched; without speeds the probe's usual ones; without network numbers
// number 1.
struct TDetectRequest {
    std::vector<std::string> Devices;
    std::vector<std::uint32_t> BaudRates;
    std::vector<std::uint8_t> NetNumbers;
};

// The request from its body (empty: every default); throws
// std::invalid_argument with a message for the client.
[[nodiscard]] TDetectRequest DetectRequestFromBody(std::string_view body);

// Searches the devices with the probe's scan and answers {"found": [{"port",
// "baud", "net", "serialNumber", "deviceName"}], "devices": [{"device",
// "state", "reason"?, "found"}]}. A device that a configured register uses
// is not touched: its state is "in use". Texts are UTF-8.
[[nodiscard]] nlohmann::json Detect(const TDetectRequest& request, const std::vector<TRegisterSetup>& registers);

}  // namespace zarvik12m::server
