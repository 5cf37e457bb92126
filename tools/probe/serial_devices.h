#pragma once

#include <string>
#include <vector>

// What the probe asks of the system about serial devices.

namespace zarvik12m::probe {

// A device to probe: the file opened and, where the system gives it one,
// its stable name under /dev/serial/by-id.
struct TCandidateDevice {
    std::string Path;
    std::string ById;
    bool Named = false;  // given on the command line rather than looked for
};

// Every /dev/serial/by-id link (by its target), then /dev/ttyUSB*,
// /dev/ttyACM* and /dev/ttyS* in the order of their numbers, each device
// once.
std::vector<TCandidateDevice> FindSerialDevices();

// The devices named on the command line, each with its by-id name.
std::vector<TCandidateDevice> NamedDevices(const std::vector<std::string>& paths);

// Whether the device is this process's controlling terminal, a system
// console or the console device itself: bytes sent there would land on
// someone's screen, so it is never probed.
bool IsConsoleOrOwnTerminal(const std::string& path);

// Makes the driver's COM port 1 open the device (ZARVIK12M_COM1), as the
// printed command line does. Called while no port is open.
void RouteComPortOne(const std::string& path);

}  // namespace zarvik12m::probe
