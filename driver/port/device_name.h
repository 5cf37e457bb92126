#pragma once

#include <cstdint>
#include <string>

namespace zarvik12m {

// The device name of a COM port: "COM" and the number for ports up to 9,
// "\\.\COM" and the number from 10 on (the form the register's software has
// always shown its users).
std::string DeviceName(std::uint8_t portNumber);

// The file that a device name stands for on this system: the value of the
// environment variable ZARVIK12M_ followed by the name without its "\\.\"
// prefix (ZARVIK12M_COM1, ZARVIK12M_COM10) when it is set and not empty,
// otherwise /dev/ttyS<N-1> for COM port N. Empty when the name stands for no
// file: COM0 without its variable, or a name that is not a COM name.
std::string ResolveDevicePath(const std::string& deviceName);

}  // namespace zarvik12m
