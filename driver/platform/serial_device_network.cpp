// The part of the serial device that is the same on every system: a path
// that is a network address opens a connection instead of a file.

#include "driver/platform/network_device.h"
#include "driver/platform/serial_device.h"

namespace zarvik12m {

bool TSerialDevice::OpenNetwork(const std::string& address)
{
    if (IsOpen()) {
        return FLastError.Fail(SocketFailureError(sfBusy));
    }
    auto network = std::make_unique<TNetworkDevice>();
    if (!network->Open(address)) {
        return FLastError.Fail(network->LastError());
    }
    FNetwork = std::move(network);
    return true;
}

}  // namespace zarvik12m
