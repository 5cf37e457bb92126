#pragma once

#include <cstdint>
#include <string>

namespace zarvik12m {

// The device name of a COM port: "COM" and the number for ports up to 9,
// "\\.\COM" and the number from 10 on (the form the register's software has
// always shown its users).
std::string DeviceName(std::uint8_t portNumber);

}  // namespace zarvik12m
