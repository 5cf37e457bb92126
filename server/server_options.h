#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "server/register_setup.h"

namespace zarvik12m::server {

// What the service is told on its command line and in its configuration
// file.
struct TServerOptions {
    std::string ListenHost = "127.0.0.1";
    std::uint16_t ListenPort = 8642;
    std::vector<TRegisterSetup> Registers;
    std::string StateFolder;
    std::string Token;  // read from the token file
    std::vector<std::string> AllowOrigins;
    bool Help = false;
    bool Version = false;
};

// The options of a command line (without the program's name). Checks them
// together: at least one register, a token wherever the address is not a
// loopback one. Throws std::invalid_argument naming the fault.
[[nodiscard]] TServerOptions ParseServerOptions(std::span<const std::string> arguments);

// Whether connections to the address can come only from this machine.
[[nodiscard]] bool IsLoopbackHost(const std::string& host);

// The usage text.
[[nodiscard]] const char* ServerUsage();

}  // namespace zarvik12m::server
