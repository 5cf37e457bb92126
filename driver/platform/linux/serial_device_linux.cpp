#include "driver/platform/serial_device.h"

#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>

#include "driver/platform/linux/serial_device_line.h"
#include "driver/platform/linux/serial_device_termios2.h"
#include "driver/platform/network_device.h"  // the member the constructor and destructor hold
#include "driver/platform/terminal_devices.h"

namespace zarvik12m {

namespace {

constexpr short HangUpEvents = POLLHUP | POLLERR | POLLNVAL;

// Closes a descriptor that failed to become the device, keeping the errno
// of the failure.
void Discard(int handle) noexcept
{
    const int error = errno;
    static_cast<void>(close(handle));
    errno = error;
}

constexpr int LowLatency = ASYNC_LOW_LATENCY;

// USB adapters hold received bytes back for up to 16 ms unless asked for
// low latency; a device that knows no such setting is served as it is.
// Whether the setting was changed (to be undone at the close).
bool RequestLowLatency(int handle) noexcept
{
    serial_struct info{};
    if (ioctl(handle, TIOCGSERIAL, &info) != 0 || (info.flags & LowLatency) != 0) {
        return false;
    }
    info.flags |= LowLatency;
    return ioctl(handle, TIOCSSERIAL, &info) == 0;
}

void DropLowLatency(int handle) noexcept
{
    serial_struct info{};
    if (ioctl(handle, TIOCGSERIAL, &info) == 0) {
        info.flags &= ~LowLatency;
        static_cast<void>(ioctl(handle, TIOCSSERIAL, &info));
    }
}

// A device without modem lines (a pseudo-terminal, some adapters) refuses
// the request, and then there is nothing to clear.
bool ClearModemLines(int handle) noexcept
{
    const int lines = TIOCM_DTR | TIOCM_RTS;
    if (ioctl(handle, TIOCMBIC, &lines) == 0) {
        return true;
    }
    return errno == ENOTTY || errno == EINVAL;
}

// A UART's divisor rarely gives a rate exactly; within 2 % the far end
// still samples every bit correctly.
bool WithinTolerance(std::uint32_t actualRate, std::uint32_t wantedRate) noexcept
{
    const std::uint64_t difference = actualRate > wantedRate ? actualRate - wantedRate : wantedRate - actualRate;
    return difference * 50U <= wantedRate;
}

// Why the open of a device failed. The open of a ttyS without a UART
// fails with EIO: no serial line there, like ENXIO, ENODEV and ENOTTY.
TSystemError OpenFailure()
{
    const int code = errno;
    return code == EIO ? SystemErrorOf(code, TErrorKind::NotSerial) : SystemErrorOf(code);
}

// Why a read, a write or a status of the line failed: a terminal answers
// EIO once it is hung up.
TSystemError LineFailure()
{
    const int code = errno;
    return code == EIO ? SystemErrorOf(code, TErrorKind::Closed) : SystemErrorOf(code);
}

}  // namespace

struct TSerialDevice::TSystemState {
    int Handle = -1;
    int WakeUp = -1;  // readable while the event mask is cleared
    std::atomic<std::uint32_t> EventMask{0};
    std::size_t InputQueueSize = 0;
    TSerialTimeouts Timeouts;
    // The device's settings as they were found, put back at the close.
    serial_device::TSavedLine FoundLine;
    bool LowLatencySet = false;

    bool EnsureWakeUp()
    {
        if (WakeUp < 0) {
            WakeUp = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
        }
        return WakeUp >= 0;
    }
};

TSerialDevice::TSerialDevice() : FState(std::make_unique<TSystemState>()) {}

TSerialDevice::~TSerialDevice()
{
    Close();
}

bool TSerialDevice::IsLocalOpen() const noexcept
{
    return FState->Handle >= 0;
}

bool TSerialDevice::OpenLocal(const std::string& path)
{
    if (IsOpen()) {
        return FLastError.Fail(SystemErrorOf(EBUSY));
    }
    // The machine's console is nobody's register line: its settings and
    // what is sent there would land on the system's screen.
    if (IsSystemConsole(path)) {
        return FLastError.Fail(SystemErrorOf(EBUSY));
    }
    const int handle = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (handle < 0) {
        return FLastError.Fail(OpenFailure());
    }
    // The lock comes first and is what keeps a second opener out: the
    // super-user passes the terminal's exclusive mode, but not the lock.
    if (flock(handle, LOCK_EX | LOCK_NB) != 0) {
        const int code = errno == EWOULDBLOCK ? EBUSY : errno;
        Discard(handle);
        return FLastError.Fail(SystemErrorOf(code));
    }
    if (ioctl(handle, TIOCEXCL) != 0) {
        Discard(handle);
        return FLastError.FailWithLastSystemError();
    }
    serial_device::SaveLine(handle, FState->FoundLine);
    FState->LowLatencySet = RequestLowLatency(handle);
    FState->Handle = handle;
    FState->EventMask.store(0);
    FState->InputQueueSize = 0;
    FState->Timeouts = TSerialTimeouts{};
    return true;
}

void TSerialDevice::CloseLocal() noexcept
{
    // Nothing can be done about a failing close: the descriptor is gone
    // either way. The exclusive mode is dropped first, because it stays with
    // the terminal while anyone else still has it open.
    if (FState->Handle >= 0) {
        serial_device::RestoreLine(FState->Handle, FState->FoundLine);
        FState->FoundLine.Valid = false;
        if (FState->LowLatencySet) {
            DropLowLatency(FState->Handle);
            FState->LowLatencySet = false;
        }
        static_cast<void>(ioctl(FState->Handle, TIOCNXCL));
        static_cast<void>(close(FState->Handle));
        FState->Handle = -1;
    }
    if (FState->WakeUp >= 0) {
        static_cast<void>(close(FState->WakeUp));
        FState->WakeUp = -1;
    }
    FState->EventMask.store(0);
}

bool TSerialDevice::LocalSetQueueSizes(std::size_t inputSize, std::size_t outputSize)
{
    if (!IsOpen()) {
        return FLastError.Fail(SystemErrorOf(EBADF));
    }
    if (inputSize == 0 || outputSize == 0) {
        return FLastError.Fail(SystemErrorOf(EINVAL));
    }
    termios line{};
    if (tcgetattr(FState->Handle, &line) != 0) {
        return FLastError.FailWithLastSystemError();
    }
    FState->InputQueueSize = inputSize;
    return true;
}

bool TSerialDevice::LocalSetLineSettings(std::uint32_t baudRate, std::uint8_t parity, std::uint8_t byteSize,
                                         std::uint8_t stopBits)
{
    if (!IsOpen()) {
        return FLastError.Fail(SystemErrorOf(EBADF));
    }
    if (baudRate == 0) {
        return FLastError.Fail(SystemErrorOf(EINVAL));  // rate 0 would hang the line up
    }
    termios line{};
    if (tcgetattr(FState->Handle, &line) != 0) {
        return FLastError.FailWithLastSystemError();
    }
    if (!serial_device::ComposeRawLine(parity, byteSize, stopBits, line)) {
        return FLastError.Fail(SystemErrorOf(EINVAL));
    }
    // A rate without a speed code goes in as a number afterwards; the code
    // set meanwhile is only a placeholder.
    speed_t speed = B38400;
    const bool standard = serial_device::StandardSpeed(baudRate, speed);
    if (cfsetispeed(&line, speed) != 0 || cfsetospeed(&line, speed) != 0) {
        return FLastError.FailWithLastSystemError();
    }
    if (tcsetattr(FState->Handle, TCSANOW, &line) != 0) {
        return FLastError.FailWithLastSystemError();
    }
    if (!standard && !serial_device::SetArbitraryBaudRate(FState->Handle, baudRate)) {
        return FLastError.FailWithLastSystemError();
    }
    // The driver reports the rate it really runs at; one it cannot come
    // near is refused here rather than garbling every byte.
    std::uint32_t inputRate = 0;
    std::uint32_t outputRate = 0;
    if (!serial_device::ReadBaudRate(FState->Handle, inputRate, outputRate)) {
        return FLastError.FailWithLastSystemError();
    }
    if (!WithinTolerance(outputRate, baudRate) || !WithinTolerance(inputRate, baudRate)) {
        return FLastError.Fail(SystemErrorOf(EINVAL));
    }
    return ClearModemLines(FState->Handle) || FLastError.FailWithLastSystemError();
}

bool TSerialDevice::LocalSetTimeouts(const TSerialTimeouts& timeouts)
{
    if (!IsOpen()) {
        return FLastError.Fail(SystemErrorOf(EBADF));
    }
    FState->Timeouts = timeouts;
    return true;
}

bool TSerialDevice::LocalSetEventMask(std::uint32_t mask)
{
    if (!IsOpen()) {
        return FLastError.Fail(SystemErrorOf(EBADF));
    }
    if (mask == 0) {
        // The counter stays above 0 until a mask is set again, so a waiter
        // that arrives late still sees the wake-up.
        FState->EventMask.store(0);
        const std::uint64_t one = 1;
        // A full counter already holds a wake-up: that is as good as ours.
        return FState->WakeUp < 0 || write(FState->WakeUp, &one, sizeof one) >= 0 || errno == EAGAIN ||
               FLastError.FailWithLastSystemErrorQuietly();
    }
    if (!FState->EnsureWakeUp()) {
        return FLastError.FailWithLastSystemError();
    }
    std::uint64_t pending = 0;
    if (read(FState->WakeUp, &pending, sizeof pending) < 0 && errno != EAGAIN) {
        return FLastError.FailWithLastSystemError();
    }
    FState->EventMask.store(mask);
    return true;
}

bool TSerialDevice::LocalPurge()
{
    if (!IsOpen()) {
        return FLastError.Fail(SystemErrorOf(EBADF));
    }
    return tcflush(FState->Handle, TCIOFLUSH) == 0 || FLastError.FailWithLastSystemError();
}

bool TSerialDevice::LocalWaitEvent(std::uint32_t& events)
{
    events = 0;
    if (!IsOpen()) {
        return FLastError.Fail(SystemErrorOf(EBADF));
    }
    const std::uint32_t mask = FState->EventMask.load();
    if (mask == 0) {
        return true;
    }
    pollfd watched[2] = {{FState->Handle, POLLIN, 0}, {FState->WakeUp, POLLIN, 0}};
    while (poll(watched, 2, -1) < 0) {
        if (errno != EINTR) {
            return FLastError.FailWithLastSystemError();
        }
    }
    if (watched[1].revents != 0) {
        return true;  // the mask was cleared
    }
    if ((watched[0].revents & HangUpEvents) != 0) {
        events |= seError;
    }
    if ((watched[0].revents & POLLIN) != 0) {
        events |= mask & seReceived;
    }
    return true;
}

bool TSerialDevice::LocalReadStatus(std::size_t& bytesWaiting)
{
    if (!IsOpen()) {
        return FLastError.Fail(SystemErrorOf(EBADF));
    }
    pollfd watched{FState->Handle, POLLIN, 0};
    while (poll(&watched, 1, 0) < 0) {
        if (errno != EINTR) {
            return FLastError.FailWithLastSystemError();
        }
    }
    if ((watched.revents & HangUpEvents) != 0) {
        return FLastError.Fail(SystemErrorOf(EIO, TErrorKind::Closed));
    }
    int waiting = 0;
    if (ioctl(FState->Handle, FIONREAD, &waiting) != 0) {
        return FLastError.Fail(LineFailure());
    }
    bytesWaiting = static_cast<std::size_t>(std::max(waiting, 0));
    if (FState->InputQueueSize != 0) {
        bytesWaiting = std::min(bytesWaiting, FState->InputQueueSize);
    }
    return true;
}

bool TSerialDevice::LocalRead(std::uint8_t* buffer, std::size_t count, std::size_t& bytesRead)
{
    bytesRead = 0;
    if (!IsOpen()) {
        return FLastError.Fail(SystemErrorOf(EBADF));
    }
    for (;;) {
        const ssize_t result = read(FState->Handle, buffer, count);
        if (result >= 0) {
            bytesRead = static_cast<std::size_t>(result);
            return true;
        }
        if (errno != EINTR) {
            return FLastError.Fail(LineFailure());
        }
    }
}

TSerialWriteResult TSerialDevice::LocalWrite(const std::uint8_t* data, std::size_t count, std::size_t& bytesWritten)
{
    using TClock = std::chrono::steady_clock;
    bytesWritten = 0;
    if (!IsOpen()) {
        FLastError.Fail(SystemErrorOf(EBADF));
        return swFailed;
    }
    const bool limited =
        FState->Timeouts.WriteTotalTimeoutMultiplier != 0 || FState->Timeouts.WriteTotalTimeoutConstant != 0;
    const std::chrono::milliseconds limit(std::uint64_t{FState->Timeouts.WriteTotalTimeoutMultiplier} * count +
                                          FState->Timeouts.WriteTotalTimeoutConstant);
    const TClock::time_point deadline = TClock::now() + limit;
    while (bytesWritten < count) {
        const ssize_t result = write(FState->Handle, data + bytesWritten, count - bytesWritten);
        if (result > 0) {
            bytesWritten += static_cast<std::size_t>(result);
            continue;
        }
        if (result < 0 && errno == EINTR) {
            continue;
        }
        if (result < 0 && errno != EAGAIN) {
            FLastError.Fail(LineFailure());
            return swFailed;
        }
        // The device's buffer is full: wait until it takes more.
        int waitMilliseconds = -1;
        if (limited) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - TClock::now()).count();
            if (left <= 0) {
                FLastError.Fail(SystemErrorOf(ETIMEDOUT));
                return swTimedOut;
            }
            waitMilliseconds = static_cast<int>(std::min<decltype(left)>(left, INT_MAX));
        }
        pollfd watched{FState->Handle, POLLOUT, 0};
        const int ready = poll(&watched, 1, waitMilliseconds);
        if (ready < 0 && errno != EINTR) {
            FLastError.FailWithLastSystemError();
            return swFailed;
        }
        if (ready > 0 && (watched.revents & HangUpEvents) != 0) {
            FLastError.Fail(SystemErrorOf(EIO, TErrorKind::Closed));
            return swFailed;
        }
    }
    return swDone;
}

}  // namespace zarvik12m
