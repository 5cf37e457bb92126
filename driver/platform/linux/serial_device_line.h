#pragma once

#include <termios.h>

#include <cstdint>

// How the line settings of a serial device become a termios record; kept
// apart from the device so that the encoding can be checked on its own.

namespace zarvik12m::serial_device {

// Fills line with a fully raw line of the given data bits, parity and stop
// bits (codes of TSerialParity and TSerialStopBits): no input or output
// processing, no line editing, echo or signals, no flow control, receiver
// on, modem status lines ignored, reads that never wait, and no rate.
// False, with line untouched, for codes or combinations that no line has:
// data bits outside 5 to 8, 1.5 stop bits with other than 5 data bits,
// 2 stop bits with 5 data bits.
bool ComposeRawLine(std::uint8_t parity, std::uint8_t byteSize, std::uint8_t stopBits, termios& line);

// The speed code of a standard rate; false for any other rate.
bool StandardSpeed(std::uint32_t baudRate, speed_t& speed);

}  // namespace zarvik12m::serial_device
