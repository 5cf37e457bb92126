// The part of the serial device that is the same on every system: a path
// that is a network address opens a connection instead of a file.

#include "driver/platform/network_device.h"
#include "driver/platform/serial_device.h"

namespace zarvik12m {

bool TSerialDevice::OpenNetwork(const std::string& address)
{
    if (IsOpen()) {
        SetSocketFailure(sfBusy);
        return false;
    }
    auto network = std::make_unique<TNetworkDevice>();
    if (!network->Open(address)) {
        return false;
    }
    FNetwork = std::move(network);
    return true;
}

}  // namespace zarvik12m
