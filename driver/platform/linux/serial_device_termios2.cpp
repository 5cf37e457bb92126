#include "driver/platform/linux/serial_device_termios2.h"

#include <asm/termbits.h>
#include <sys/ioctl.h>

#include <cstring>

namespace zarvik12m::serial_device {

bool SetArbitraryBaudRate(int handle, std::uint32_t baudRate)
{
    termios2 line{};
    if (ioctl(handle, TCGETS2, &line) != 0) {
        return false;
    }
    line.c_cflag &= ~static_cast<tcflag_t>(CBAUD | (CBAUD << IBSHIFT));
    line.c_cflag |= static_cast<tcflag_t>(BOTHER | (BOTHER << IBSHIFT));
    line.c_ispeed = baudRate;
    line.c_ospeed = baudRate;
    return ioctl(handle, TCSETS2, &line) == 0;
}

static_assert(sizeof(termios2) <= sizeof(TSavedLine::Bytes), "the saved line holds a termios2");

bool SaveLine(int handle, TSavedLine& saved)
{
    termios2 line{};
    saved.Valid = ioctl(handle, TCGETS2, &line) == 0;
    if (saved.Valid) {
        std::memcpy(saved.Bytes.data(), &line, sizeof line);
    }
    return saved.Valid;
}

void RestoreLine(int handle, const TSavedLine& saved)
{
    if (!saved.Valid) {
        return;
    }
    termios2 line{};
    std::memcpy(&line, saved.Bytes.data(), sizeof line);
    static_cast<void>(ioctl(handle, TCSETS2, &line));
}

bool ReadBaudRate(int handle, std::uint32_t& inputRate, std::uint32_t& outputRate)
{
    termios2 line{};
    if (ioctl(handle, TCGETS2, &line) != 0) {
        return false;
    }
    inputRate = line.c_ispeed;
    outputRate = line.c_ospeed;
    return true;
}

}  // namespace zarvik12m::serial_device
