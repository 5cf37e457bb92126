#pragma once

#include <windows.h>

#include <cstdint>

// How the line settings of a serial device become the system's DCB record;
// kept apart from the device so that every field can be checked on its own.

namespace zarvik12m::serial_device {

// The record SetCommState is given: the rate, data bits, parity and stop
// bits as they are, and otherwise a zeroed record made acceptable to every
// serial driver: its length set, binary mode on (Windows supports no
// other), and distinct XON and XOFF characters (0x11, 0x13), which
// SetCommState and the drivers built on the system's serial sample demand
// even when XON/XOFF flow control is off. Everything else stays zero: no
// flow control of any kind, DTR and RTS held inactive, no parity check,
// no error or null character handling, no abort on error.
DCB ComposeLineRecord(std::uint32_t baudRate, std::uint8_t parity, std::uint8_t byteSize, std::uint8_t stopBits);

}  // namespace zarvik12m::serial_device
