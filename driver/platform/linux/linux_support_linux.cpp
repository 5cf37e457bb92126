#include "driver/platform/linux/serial_device_termios2.h"
#include "driver/platform/linux_support.h"

namespace zarvik12m {

bool SetLineRate(int descriptor, std::uint32_t baudRate)
{
    return serial_device::SetArbitraryBaudRate(descriptor, baudRate);
}

bool ReadLineRates(int descriptor, std::uint32_t& inputRate, std::uint32_t& outputRate)
{
    return serial_device::ReadBaudRate(descriptor, inputRate, outputRate);
}

}  // namespace zarvik12m
