#include "driver/port/com_port.h"

#include <utility>

#include "driver/common/errors.h"
#include "driver/platform/device_path.h"
#include "driver/port/device_name.h"

namespace zarvik12m {

TCOMPort::TCOMPort(std::uint8_t portNumber) : FPortNumber(portNumber), FInputQueue(*this) {}

TCOMPort::TCOMPort(std::uint8_t portNumber, std::string devicePath)
    : FPortNumber(portNumber), FDevicePath(std::move(devicePath)), FInputQueue(*this)
{}

TCOMPort::~TCOMPort()
{
    Close();
    const TCriticalSection::TGuard waitForConsumer(FInputQueue);
}

void TCOMPort::Raise(std::int16_t code) const
{
    RaiseError(code, {std::int64_t{FPortNumber}});
}

void TCOMPort::TraceDeviceFailure(const char* step) const noexcept
{
    if (!FTrace) {
        return;
    }
    try {
        FTrace->Remark(std::string("failed: ") + step + ": " + DescribeSystemError(FDevice.LastError()));
    } catch (...) {  // NOLINT(bugprone-empty-catch): no memory for the remark: the failure is raised all the same
    }
}

void TCOMPort::RaiseDeviceFailure(std::int16_t code, const char* step) const
{
    TraceDeviceFailure(step);
    Raise(code);
}

void TCOMPort::Open(const TPortSettings& settings, bool asyncMode)
{
    const std::string deviceName = DeviceName(FPortNumber);
    const std::string path = FDevicePath.empty() ? ResolveDevicePath(deviceName) : FDevicePath;
    // The message names the file that was tried, so that the user sees
    // which device failed; the bare name when no file stands for it.
    const std::string shownName = path.empty() ? deviceName : path;
    // The device of a port that is open already is ours alone, so opening it
    // again is refused like any second open; the port keeps running as it
    // was, in its old mode.
    if (IsOpen()) {
        RaiseError(ecPortOpen, {std::int64_t{FPortNumber}, shownName});
    }
    FAsyncMode = asyncMode;
    const std::string traceFile = LineTraceFileOf(FPortNumber);
    const TLineTraceOpening opening{FPortNumber, settings.BaudRate, shownName};
    if (!FDevice.Open(path)) {
        if (!traceFile.empty()) {
            RecordOpenFailure(traceFile, opening, DescribeSystemError(FDevice.LastError()));
        }
        RaiseError(ecPortOpen, {std::int64_t{FPortNumber}, shownName});
    }
    if (!traceFile.empty()) {
        FTrace = std::make_unique<TLineTrace>(traceFile, opening);
    }
    if (!FDevice.SetQueueSizes(QueueSize, QueueSize)) {
        RaiseDeviceFailure(ecPortSetQueueSizes, "queue sizes");
    }
    if (!FDevice.SetLineSettings(settings.BaudRate, settings.Parity, settings.ByteSize, settings.StopBits)) {
        RaiseDeviceFailure(ecPortSetParameters, "line settings");
    }
    if (!FDevice.SetTimeouts(Timeouts)) {
        RaiseDeviceFailure(ecPortSetTimeouts, "time limits");
    }
    if (!FDevice.SetEventMask(FAsyncMode ? std::uint32_t{seReceived} : 0U)) {
        RaiseDeviceFailure(ecPortSetMask, "event mask");
    }
    Purge();
    if (FAsyncMode) {
        FReadThread = std::make_unique<TReadThread>(*this);
    }
}

void TCOMPort::Close() noexcept
{
    // The thread is woken through the device, so it goes first.
    FReadThread.reset();
    FTrace.reset();
    FDevice.Close();
}

void TCOMPort::Purge()
{
    if (!FDevice.Purge()) {
        RaiseDeviceFailure(ecPortPurge, "purge");
    }
}

void TCOMPort::Write(const std::uint8_t* data, std::size_t count)
{
    if (count > QueueSize) {
        RaiseError(ecPortWriteBlockTooLarge,
                   {std::int64_t{FPortNumber}, static_cast<std::int64_t>(count), std::int64_t{QueueSize}});
    }
    if (FTrace) {
        FTrace->Record(ldToRegister, data, count);
    }
    std::size_t written = 0;
    const TSerialWriteResult result = FDevice.Write(data, count, written);
    if (result == swFailed || (result == swTimedOut && FAsyncMode)) {
        RaiseDeviceFailure(ecPortWriteFailed, "write");
    }
    if (result == swTimedOut) {
        TraceDeviceFailure("write");
        RaiseError(ecPortWriteIncomplete,
                   {std::int64_t{FPortNumber}, static_cast<std::int64_t>(written), static_cast<std::int64_t>(count)});
    }
}

}  // namespace zarvik12m
