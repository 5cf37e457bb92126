#pragma once

#include <cstdint>
#include <string>

namespace zarvik12m {

// Which system's rules a COM device name is resolved by.
enum TDeviceNaming : std::uint8_t {
    dnLinux,    // COM port N is /dev/ttyS<N-1>
    dnWindows,  // COM port N is the system's own COM device
};

// The file that a COM device name ("COM1", "\\.\COM10") stands for, given
// the value of its variable ZARVIK12M_COM<N> (nullptr when unset): the same
// policy for both systems, so that it can be checked on either.
//
// A variable that is set and not empty names the device: a file on Linux
// (/dev/ttyUSB0), a device name on Windows (COM7, \\.\COM12). On Windows a
// plain COM<N> of 10 and above is given the "\\.\" prefix, without which
// the system does not open it. Otherwise Linux takes /dev/ttyS<N-1> and
// Windows the name itself.
//
// Empty when the name stands for no file: a name that is not a COM name,
// or, on Linux, COM0 without its variable.
std::string DevicePathFor(const std::string& deviceName, const char* configured, TDeviceNaming naming);

// The name of the variable that configures a COM device name: ZARVIK12M_
// followed by the name without its "\\.\" prefix (ZARVIK12M_COM1,
// ZARVIK12M_COM10); empty for a name that is not a COM name.
std::string DeviceVariableName(const std::string& deviceName);

// DevicePathFor with this system's rules and the variable of this process's
// environment.
std::string ResolveDevicePath(const std::string& deviceName);

}  // namespace zarvik12m
