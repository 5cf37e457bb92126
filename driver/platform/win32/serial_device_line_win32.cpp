#include "driver/platform/win32/serial_device_line_win32.h"

namespace zarvik12m::serial_device {

namespace {

constexpr char XonCharacter = 0x11;   // DC1
constexpr char XoffCharacter = 0x13;  // DC3

}  // namespace

DCB ComposeLineRecord(std::uint32_t baudRate, std::uint8_t parity, std::uint8_t byteSize, std::uint8_t stopBits)
{
    DCB line{};
    line.DCBlength = sizeof(DCB);
    line.BaudRate = baudRate;
    line.fBinary = TRUE;
    line.ByteSize = byteSize;
    line.Parity = parity;
    line.StopBits = stopBits;
    line.XonChar = XonCharacter;
    line.XoffChar = XoffCharacter;
    return line;
}

}  // namespace zarvik12m::serial_device
