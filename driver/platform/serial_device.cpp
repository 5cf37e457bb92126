// The part of the serial device that is the same on every system: a path
// that is a network address opens a connection instead of a file, and
// while one is open every operation goes to it; otherwise to the local
// device of the system's own file.

#include "driver/platform/serial_device.h"

#include "driver/platform/network_address.h"
#include "driver/platform/network_device.h"

namespace zarvik12m {

TSystemError TSerialDevice::LastError() const
{
    return FLastError.Get();
}

bool TSerialDevice::IsOpen() const noexcept
{
    return FNetwork != nullptr || IsLocalOpen();
}

bool TSerialDevice::Open(const std::string& path)
{
    return IsNetworkAddress(path) ? OpenNetwork(path) : OpenLocal(path);
}

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

void TSerialDevice::Close() noexcept
{
    FNetwork.reset();
    CloseLocal();
}

bool TSerialDevice::SetQueueSizes(std::size_t inputSize, std::size_t outputSize)
{
    if (FNetwork) {
        return FNetwork->SetQueueSizes(inputSize, outputSize) || FLastError.Fail(FNetwork->LastError());
    }
    return LocalSetQueueSizes(inputSize, outputSize);
}

bool TSerialDevice::SetLineSettings(std::uint32_t baudRate, std::uint8_t parity, std::uint8_t byteSize,
                                    std::uint8_t stopBits)
{
    if (FNetwork) {
        return FNetwork->SetLineSettings(baudRate, parity, byteSize, stopBits) ||
               FLastError.Fail(FNetwork->LastError());
    }
    return LocalSetLineSettings(baudRate, parity, byteSize, stopBits);
}

bool TSerialDevice::SetTimeouts(const TSerialTimeouts& timeouts)
{
    if (FNetwork) {
        return FNetwork->SetTimeouts(timeouts) || FLastError.Fail(FNetwork->LastError());
    }
    return LocalSetTimeouts(timeouts);
}

bool TSerialDevice::SetEventMask(std::uint32_t mask)
{
    if (FNetwork) {
        // Clearing the mask ends a wait from a destructor: it raises nothing.
        return FNetwork->SetEventMask(mask) || FLastError.FailQuietly([this] { return FNetwork->LastError(); });
    }
    return LocalSetEventMask(mask);
}

bool TSerialDevice::Purge()
{
    if (FNetwork) {
        return FNetwork->Purge() || FLastError.Fail(FNetwork->LastError());
    }
    return LocalPurge();
}

bool TSerialDevice::WaitEvent(std::uint32_t& events)
{
    if (FNetwork) {
        return FNetwork->WaitEvent(events) || FLastError.Fail(FNetwork->LastError());
    }
    return LocalWaitEvent(events);
}

bool TSerialDevice::ReadStatus(std::size_t& bytesWaiting)
{
    if (FNetwork) {
        return FNetwork->ReadStatus(bytesWaiting) || FLastError.Fail(FNetwork->LastError());
    }
    return LocalReadStatus(bytesWaiting);
}

bool TSerialDevice::Read(std::uint8_t* buffer, std::size_t count, std::size_t& bytesRead)
{
    if (FNetwork) {
        return FNetwork->Read(buffer, count, bytesRead) || FLastError.Fail(FNetwork->LastError());
    }
    return LocalRead(buffer, count, bytesRead);
}

TSerialWriteResult TSerialDevice::Write(const std::uint8_t* data, std::size_t count, std::size_t& bytesWritten)
{
    if (FNetwork) {
        const TSerialWriteResult result = FNetwork->Write(data, count, bytesWritten);
        if (result != swDone) {
            FLastError.Fail(FNetwork->LastError());
        }
        return result;
    }
    return LocalWrite(data, count, bytesWritten);
}

}  // namespace zarvik12m
