#pragma once

#include <cstdint>

// The kernel's termios2 interface, which carries the line rate as a number
// of bits per second rather than as one of the standard speed codes. Its
// header clashes with <termios.h>, so it lives in a translation unit of its
// own and only these functions leave it.

namespace zarvik12m::serial_device {

// Sets the rate of both directions to any number of bits per second,
// leaving every other setting of the line as it is.
bool SetArbitraryBaudRate(int handle, std::uint32_t baudRate);

// The rates the device reports it runs at, in bits per second.
bool ReadBaudRate(int handle, std::uint32_t& inputRate, std::uint32_t& outputRate);

}  // namespace zarvik12m::serial_device
