#include "driver/platform/linux/serial_device_line.h"

#include <algorithm>
#include <iterator>

#include "driver/platform/serial_device.h"

namespace zarvik12m::serial_device {

namespace {

struct TStandardSpeed {
    std::uint32_t BaudRate;
    speed_t Speed;
};

constexpr TStandardSpeed StandardSpeeds[] = {
    {50, B50},           {75, B75},           {110, B110},         {134, B134},         {150, B150},
    {200, B200},         {300, B300},         {600, B600},         {1200, B1200},       {1800, B1800},
    {2400, B2400},       {4800, B4800},       {9600, B9600},       {19200, B19200},     {38400, B38400},
    {57600, B57600},     {115200, B115200},   {230400, B230400},   {460800, B460800},   {500000, B500000},
    {576000, B576000},   {921600, B921600},   {1000000, B1000000}, {1152000, B1152000}, {1500000, B1500000},
    {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000}, {3500000, B3500000}, {4000000, B4000000},
};

bool ParityFlags(std::uint8_t parity, tcflag_t& flags)
{
    switch (parity) {
    case spNone:
        flags = 0;
        return true;
    case spOdd:
        flags = PARENB | PARODD;
        return true;
    case spEven:
        flags = PARENB;
        return true;
    case spMark:
        flags = PARENB | PARODD | CMSPAR;
        return true;
    case spSpace:
        flags = PARENB | CMSPAR;
        return true;
    default:
        return false;
    }
}

bool SizeFlags(std::uint8_t byteSize, tcflag_t& flags)
{
    switch (byteSize) {
    case 5:
        flags = CS5;
        return true;
    case 6:
        flags = CS6;
        return true;
    case 7:
        flags = CS7;
        return true;
    case 8:
        flags = CS8;
        return true;
    default:
        return false;
    }
}

// A UART sends 1.5 stop bits only with 5 data bits, and 2 only with more;
// CSTOPB stands for whichever of the two the data bits allow.
bool StopFlags(std::uint8_t stopBits, std::uint8_t byteSize, tcflag_t& flags)
{
    switch (stopBits) {
    case sbOne:
        flags = 0;
        return true;
    case sbOneAndHalf:
        flags = CSTOPB;
        return byteSize == 5;
    case sbTwo:
        flags = CSTOPB;
        return byteSize != 5;
    default:
        return false;
    }
}

}  // namespace

bool ComposeRawLine(std::uint8_t parity, std::uint8_t byteSize, std::uint8_t stopBits, termios& line)
{
    tcflag_t parityFlags = 0;
    tcflag_t sizeFlags = 0;
    tcflag_t stopFlags = 0;
    if (!ParityFlags(parity, parityFlags) || !SizeFlags(byteSize, sizeFlags) ||
        !StopFlags(stopBits, byteSize, stopFlags)) {
        return false;
    }
    // Everything not named here stays off: parity checking, break and
    // CR/LF handling, XON/XOFF, output processing, canonical mode, echo,
    // signals, hardware flow control, hang-up on close, special characters.
    // VMIN and VTIME of 0: a read takes what is there and never waits.
    const cc_t lineDiscipline = line.c_line;
    line = termios{};
    line.c_line = lineDiscipline;
    line.c_cflag = sizeFlags | parityFlags | stopFlags | CREAD | CLOCAL;
    return true;
}

bool StandardSpeed(std::uint32_t baudRate, speed_t& speed)
{
    const auto* found = std::find_if(std::begin(StandardSpeeds), std::end(StandardSpeeds),
                                     [baudRate](const TStandardSpeed& entry) { return entry.BaudRate == baudRate; });
    if (found == std::end(StandardSpeeds)) {
        return false;
    }
    speed = found->Speed;
    return true;
}

}  // namespace zarvik12m::serial_device
