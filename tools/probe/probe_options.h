#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace zarvik12m::probe {

// The speeds tried when none is given, the likeliest first.
inline const std::vector<std::uint32_t> DefaultBaudRates = {9600, 19200, 38400, 57600, 115200, 4800, 2400};

inline constexpr std::uint32_t DefaultWaitMilliseconds = 150;

// What the command line of zarvik12m-probe asks for.
struct TProbeOptions {
    bool Help = false;
    bool Verbose = false;
    std::vector<std::string> Devices;      // arguments and --device; empty: look for them
    std::vector<std::uint32_t> BaudRates;  // --baud, in the order given; empty: DefaultBaudRates
    std::vector<std::uint8_t> NetNumbers;  // --net or --all-nets; empty: 1
    std::uint32_t WaitMilliseconds = DefaultWaitMilliseconds;
};

// A command line that cannot be used; the message is Windows-1251.
class TProbeUsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The arguments without the program's name.
TProbeOptions ParseProbeCommandLine(const std::vector<std::string>& arguments);

// The --help text, Windows-1251.
std::string ProbeUsageText();

}  // namespace zarvik12m::probe
