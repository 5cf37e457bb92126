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
    // Whether the state folder was named (--state-dir or the configuration)
    // rather than defaulted.
    bool StateFolderNamed = false;
    // What to do with the system's service manager (Windows services):
    // register the program with these options, remove it, or run under the
    // manager (the option the registered command line starts with).
    enum class TServiceAction { None, Install, Remove, Run };
    TServiceAction Service = TServiceAction::None;
};

// The options of a command line (without the program's name). Checks them
// together: at least one register, a token wherever the address is not a
// loopback one. Throws std::invalid_argument naming the fault.
[[nodiscard]] TServerOptions ParseServerOptions(std::span<const std::string> arguments);

// Whether connections to the address can come only from this machine.
[[nodiscard]] bool IsLoopbackHost(const std::string& host);

// The arguments the service manager is to start the program with, from the
// command line given with --install-service: --service first, then the
// options without --install-service, the paths of --state-dir, --config and
// --token-file made absolute (a service starts in the system's folder), and
// --state-dir defaultStateFolder added when no state folder was named.
[[nodiscard]] std::vector<std::string> ServiceArguments(std::span<const std::string> arguments,
                                                        const TServerOptions& options,
                                                        const std::string& defaultStateFolder);

// The usage text.
[[nodiscard]] const char* ServerUsage();

}  // namespace zarvik12m::server
