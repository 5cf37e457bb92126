#pragma once

#include <cstdint>

namespace zarvik12m {

// The line settings a port is opened with. Parity and stop bits use the
// codes of TSerialParity and TSerialStopBits (0: none, one stop bit).
struct TPortSettings {
    std::uint32_t BaudRate = 0;
    std::uint8_t Parity = 0;
    std::uint8_t ByteSize = 8;
    std::uint8_t StopBits = 0;
};

}  // namespace zarvik12m
