#pragma once

#include <cstdint>
#include <string>
#include <vector>

// What the probe asks of the system about serial devices.

namespace zarvik12m::probe {

// A device to probe: the file (Linux) or COM device name (Windows) opened
// and, where the system gives it one, its stable name under
// /dev/serial/by-id.
struct TCandidateDevice {
    std::string Path;
    std::string ById;
    bool Named = false;  // given on the command line rather than looked for
};

// Linux: every /dev/serial/by-id link (by its target), then /dev/ttyUSB*,
// /dev/ttyACM* and /dev/ttyS* in the order of their numbers, each device
// once. Windows: the COM ports of the system's serial device map
// (HKLM\HARDWARE\DEVICEMAP\SERIALCOMM) in the order of their numbers.
std::vector<TCandidateDevice> FindSerialDevices();

// Where FindSerialDevices looks, for the help text (Windows-1251).
std::string SearchedDevicesText();

// The devices named on the command line, each with its by-id name.
std::vector<TCandidateDevice> NamedDevices(const std::vector<std::string>& paths);

// Whether the device is this process's controlling terminal, a system
// console or the console device itself: bytes sent there would land on
// someone's screen, so it is never probed.
bool IsConsoleOrOwnTerminal(const std::string& path);

// The name under which the system opens the device: on Windows COM10 and
// up need the "\\.\" prefix.
std::string OpenablePath(const std::string& path);

// How the commands that the probe prints are written: for the shells of
// Linux, or for cmd on Windows.
enum TShellSyntax : std::uint8_t { ssPosix, ssCmd };

// This system's.
TShellSyntax NativeShellSyntax();

}  // namespace zarvik12m::probe
