#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

#include "tests/support/temp_directory.h"
#include "tests/utility/support/child_process.h"

// Debian's ser2net serving a test's line on the network, as a shop's Linux
// box serves a register: raw TCP and Telnet with Com Port Control, each on
// a free loopback port.

namespace zarvik12m::testing {

class TSer2net {
public:
    // Whether ser2net is installed (scripts/install-dependencies.sh).
    static bool Installed();

    // Starts ser2net for the device (a pseudo-terminal's slave), whose rate
    // is lineRate until a Telnet client sets another, and waits until both
    // ports take connections; throws std::runtime_error when it cannot be
    // made to.
    explicit TSer2net(const std::filesystem::path& device, std::uint32_t lineRate = 9600);
    ~TSer2net();
    TSer2net(const TSer2net&) = delete;
    TSer2net& operator=(const TSer2net&) = delete;

    [[nodiscard]] std::string RawAddress() const;      // tcp://127.0.0.1:PORT
    [[nodiscard]] std::string Rfc2217Address() const;  // rfc2217://127.0.0.1:PORT

    // Ends ser2net at once (SIGKILL), as a crash or a pulled plug would.
    void Kill();

private:
    bool Start(std::uint16_t rawPort, std::uint16_t rfc2217Port);

    TTempDirectory FDirectory;
    std::filesystem::path FDevice;
    std::uint32_t FLineRate;
    std::uint16_t FRawPort = 0;
    std::uint16_t FRfc2217Port = 0;
    std::unique_ptr<TChildProcess> FProcess;
};

// A loopback port that nothing listens on at the moment of asking.
std::uint16_t UnusedLoopbackPort();

}  // namespace zarvik12m::testing
