#pragma once

#include <array>
#include <cstdint>

// The kernel's termios2 interface, which carries the line rate as a number
// of bits per second rather than as one of the standard speed codes. Its
// header clashes with <termios.h>, so it lives in a translation unit of its
// own and only these functions leave it.

namespace zarvik12m::serial_device {

// Sets the rate of both directions to any number of bits per second,
// leaving every other setting of the line as it is.
bool SetArbitraryBaudRate(int handle, std::uint32_t baudRate);

// A device's line settings as they were found, to be put back.
struct TSavedLine {
    alignas(8) std::array<unsigned char, 64> Bytes{};
    bool Valid = false;
};

// Takes the device's whole line settings (rates included).
bool SaveLine(int handle, TSavedLine& saved);

// Puts saved settings back at once; nothing when none were saved.
void RestoreLine(int handle, const TSavedLine& saved);

// The rates the device reports it runs at, in bits per second.
bool ReadBaudRate(int handle, std::uint32_t& inputRate, std::uint32_t& outputRate);

}  // namespace zarvik12m::serial_device
