#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "driver/platform/system_error.h"
#include "tools/probe/line_probe.h"
#include "tools/probe/probe_options.h"
#include "tools/probe/serial_devices.h"

namespace zarvik12m::probe {

// How a device could be used.
enum TDeviceState : std::uint8_t {
    dsProbed,    // opened and asked
    dsBusy,      // another program holds it
    dsDenied,    // no permission
    dsMissing,   // no such file
    dsNotAPort,  // no serial port behind it (a ttyS without a UART, not a terminal)
    dsConsole,   // a console or this program's terminal: never touched
    dsFailed,    // any other failure; Reason or the system's error says which
};

// What one speed of one device gave.
struct TSpeedOutcome {
    std::uint32_t BaudRate = 0;
    std::size_t NetNumbersTried = 0;
    bool Unsupported = false;  // the device refused the speed
    TTryResult::TKind Best = TTryResult::tkSilence;
    std::uint8_t OtherNetNumber = 0;  // a register answered as this network number
};

struct TDeviceOutcome {
    TCandidateDevice Device;
    TDeviceState State = dsProbed;
    std::string Reason;        // the driver's message of a failure, if it gave one
    TSystemError SystemError;  // the system's reason of a failure (Code 0 and no Text: none)
    std::vector<TSpeedOutcome> Speeds;
    bool Found = false;
    std::uint32_t FoundBaudRate = 0;
    std::uint8_t FoundNetNumber = 0;
    std::string SerialNumber;
};

// Called before each try, for the progress line.
using TProgress = std::function<void(const std::string& device, std::uint32_t baudRate, std::uint8_t netNumber)>;

// Whether the device is a line on the network in raw TCP (tcp://), whose
// speed the converter sets, not the probe.
bool IsRawNetworkLine(const std::string& path);

// The speeds tried on the device: on raw TCP only the first, elsewhere all.
std::vector<std::uint32_t> SpeedsToTry(const std::string& path, const TProbeOptions& options);

// Probes each device: every speed, and at each speed every network number,
// until a register answers. A speed at which only garbage comes back is
// the wrong speed for every network number, so it is left after its first
// try. Devices that cannot be used are told with their state.
std::vector<TDeviceOutcome> ScanDevices(const std::vector<TCandidateDevice>& devices, const TProbeOptions& options,
                                        const TProgress& progress);

}  // namespace zarvik12m::probe
