#pragma once

#include <string>

namespace zarvik12m {

// The file that a COM device name ("COM1", "\\.\COM10") stands for on
// this system.
//
// On Linux: the value of the environment variable ZARVIK12M_ followed by
// the name without its "\\.\" prefix (ZARVIK12M_COM1, ZARVIK12M_COM10)
// when it is set and not empty, otherwise /dev/ttyS<N-1> for COM port N.
// Empty when the name stands for no file: COM0 without its variable, or a
// name that is not a COM name.
//
// On Windows: the name itself, which the system opens as it is.
std::string ResolveDevicePath(const std::string& deviceName);

}  // namespace zarvik12m
