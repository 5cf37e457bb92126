#include "driver/platform/posix/serial_device_termios2.h"

#include <asm/termbits.h>
#include <sys/ioctl.h>

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
