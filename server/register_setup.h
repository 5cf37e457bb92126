#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

namespace zarvik12m::server {

// One register the service serves: its name in the API, the port it is
// cabled to (a COM number, a device path or a network address), the line's
// speed and its network number. ComNumber is the driver's port number the
// service uses for it (AssignComNumbers).
struct TRegisterSetup {
    std::string Id;
    std::string Port;
    std::int32_t Baud = 9600;
    std::uint8_t Net = 1;
    std::uint8_t ComNumber = 0;
};

// "ID=PORT[,baud=N][,net=N]"; throws std::invalid_argument naming the fault.
[[nodiscard]] TRegisterSetup ParseRegisterOption(std::string_view text);

// {"id": ..., "port": ..., "baud": N, "net": N}; throws std::invalid_argument.
[[nodiscard]] TRegisterSetup RegisterFromJson(const nlohmann::json& value);

// Checks the registers together (at least one, identifiers unique) and
// gives each its driver port number: a port given as a number 1..32 is that
// number; every other port (a device, an address) gets the highest number
// no register uses, and the process's ZARVIK12M_COM<N> names it for the
// driver. Registers on the same port share the number and so the line.
// Call it before any thread runs. Throws std::invalid_argument.
void AssignComNumbers(std::vector<TRegisterSetup>& registers);

}  // namespace zarvik12m::server
