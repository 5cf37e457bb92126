// The serial device on Windows: a COM device opened overlapped, with the
// read side (the comm event wait and the reads of the bytes waiting) on
// one overlapped record and manual-reset event, and the write side on
// another, so that the read thread and the writer never share either.

#include "driver/platform/network_device.h"  // the member the constructor and destructor hold
#include "driver/platform/serial_device.h"
#include "driver/platform/win32/serial_device_line_win32.h"

#include <windows.h>

#include <algorithm>
#include <atomic>

namespace zarvik12m {

namespace {

// PurgeComm's four actions together: abort and clear both directions.
constexpr DWORD PurgeEverything = PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR;
static_assert(PurgeEverything == 15);
static_assert(seReceived == EV_RXCHAR && seError == EV_ERR);
static_assert(spNone == NOPARITY && spOdd == ODDPARITY && spEven == EVENPARITY && spMark == MARKPARITY &&
              spSpace == SPACEPARITY);
static_assert(sbOne == ONESTOPBIT && sbOneAndHalf == ONE5STOPBITS && sbTwo == TWOSTOPBITS);

// How often a device whose comm event wait the system gave up looks for
// received bytes.
constexpr DWORD PollMilliseconds = 1;

TSystemError ErrorOf(DWORD code)
{
    return SystemErrorOf(static_cast<int>(code));
}

// Why the open of a COM device failed. A port that another program holds
// answers ERROR_ACCESS_DENIED; ERROR_GEN_FAILURE comes from a device with no
// serial line behind it.
TSystemError OpenFailure()
{
    const DWORD code = GetLastError();
    if (code == ERROR_ACCESS_DENIED) {
        return SystemErrorOf(static_cast<int>(code), TErrorKind::Busy);
    }
    if (code == ERROR_GEN_FAILURE) {
        return SystemErrorOf(static_cast<int>(code), TErrorKind::NotSerial);
    }
    return ErrorOf(code);
}

// An overlapped record of its own with its manual-reset event, which starts
// not signalled.
struct TOverlappedSide {
    OVERLAPPED Overlapped{};
    HANDLE Event = nullptr;

    bool Create() noexcept
    {
        Event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        Overlapped = OVERLAPPED{};
        Overlapped.hEvent = Event;
        return Event != nullptr;
    }

    void Destroy() noexcept
    {
        if (Event != nullptr) {
            CloseHandle(Event);
            Event = nullptr;
        }
    }
};

}  // namespace

struct TSerialDevice::TSystemState {
    HANDLE Handle = INVALID_HANDLE_VALUE;
    TOverlappedSide ReadSide;
    TOverlappedSide WriteSide;
    std::atomic<std::uint32_t> EventMask{0};
    HANDLE MaskCleared = nullptr;  // manual reset: signalled while the mask is clear
    bool WaitsByPolling = false;   // the read thread's alone
    std::size_t InputQueueSize = 0;
    TSerialTimeouts Timeouts;
};

TSerialDevice::TSerialDevice() : FState(std::make_unique<TSystemState>()) {}

TSerialDevice::~TSerialDevice()
{
    Close();
}

bool TSerialDevice::IsLocalOpen() const noexcept
{
    return FState->Handle != INVALID_HANDLE_VALUE;
}

bool TSerialDevice::OpenLocal(const std::string& path)
{
    if (IsOpen()) {
        return FLastError.Fail(ErrorOf(ERROR_BUSY));
    }
    const HANDLE handle = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_OVERLAPPED, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return FLastError.Fail(OpenFailure());
    }
    TSystemState& state = *FState;
    state.MaskCleared = CreateEventA(nullptr, TRUE, TRUE, nullptr);
    if (state.MaskCleared == nullptr || !state.ReadSide.Create() || !state.WriteSide.Create()) {
        const DWORD error = GetLastError();
        state.ReadSide.Destroy();
        state.WriteSide.Destroy();
        if (state.MaskCleared != nullptr) {
            CloseHandle(state.MaskCleared);
            state.MaskCleared = nullptr;
        }
        CloseHandle(handle);
        return FLastError.Fail(ErrorOf(error));
    }
    state.Handle = handle;
    state.WaitsByPolling = false;
    state.EventMask.store(0);
    state.InputQueueSize = 0;
    state.Timeouts = TSerialTimeouts{};
    return true;
}

void TSerialDevice::CloseLocal() noexcept
{
    TSystemState& state = *FState;
    if (state.Handle != INVALID_HANDLE_VALUE) {
        CloseHandle(state.Handle);
        state.Handle = INVALID_HANDLE_VALUE;
    }
    state.ReadSide.Destroy();
    state.WriteSide.Destroy();
    if (state.MaskCleared != nullptr) {
        CloseHandle(state.MaskCleared);
        state.MaskCleared = nullptr;
    }
    state.EventMask.store(0);
}

bool TSerialDevice::LocalSetQueueSizes(std::size_t inputSize, std::size_t outputSize)
{
    if (!IsOpen()) {
        return FLastError.Fail(ErrorOf(ERROR_INVALID_HANDLE));
    }
    if (SetupComm(FState->Handle, static_cast<DWORD>(inputSize), static_cast<DWORD>(outputSize)) == FALSE) {
        return FLastError.FailWithLastSystemError();
    }
    FState->InputQueueSize = inputSize;
    return true;
}

bool TSerialDevice::LocalSetLineSettings(std::uint32_t baudRate, std::uint8_t parity, std::uint8_t byteSize,
                                         std::uint8_t stopBits)
{
    if (!IsOpen()) {
        return FLastError.Fail(ErrorOf(ERROR_INVALID_HANDLE));
    }
    DCB line = serial_device::ComposeLineRecord(baudRate, parity, byteSize, stopBits);
    return SetCommState(FState->Handle, &line) != FALSE || FLastError.FailWithLastSystemError();
}

bool TSerialDevice::LocalSetTimeouts(const TSerialTimeouts& timeouts)
{
    if (!IsOpen()) {
        return FLastError.Fail(ErrorOf(ERROR_INVALID_HANDLE));
    }
    COMMTIMEOUTS limits{};
    limits.ReadIntervalTimeout = timeouts.ReadIntervalTimeout;
    limits.ReadTotalTimeoutMultiplier = timeouts.ReadTotalTimeoutMultiplier;
    limits.ReadTotalTimeoutConstant = timeouts.ReadTotalTimeoutConstant;
    limits.WriteTotalTimeoutMultiplier = timeouts.WriteTotalTimeoutMultiplier;
    limits.WriteTotalTimeoutConstant = timeouts.WriteTotalTimeoutConstant;
    if (SetCommTimeouts(FState->Handle, &limits) == FALSE) {
        return FLastError.FailWithLastSystemError();
    }
    FState->Timeouts = timeouts;
    return true;
}

bool TSerialDevice::LocalSetEventMask(std::uint32_t mask)
{
    if (!IsOpen()) {
        return FLastError.Fail(ErrorOf(ERROR_INVALID_HANDLE));
    }
    // The mask is kept first, so that a waiter that comes too late for the
    // system's wake-up sees it cleared and does not wait.
    TSystemState& state = *FState;
    state.EventMask.store(mask);
    if (mask == 0) {
        SetEvent(state.MaskCleared);
    } else {
        ResetEvent(state.MaskCleared);
    }
    return SetCommMask(state.Handle, mask) != FALSE || FLastError.FailWithLastSystemErrorQuietly();
}

bool TSerialDevice::LocalPurge()
{
    if (!IsOpen()) {
        return FLastError.Fail(ErrorOf(ERROR_INVALID_HANDLE));
    }
    return PurgeComm(FState->Handle, PurgeEverything) != FALSE || FLastError.FailWithLastSystemError();
}

bool TSerialDevice::LocalWaitEvent(std::uint32_t& events)
{
    events = 0;
    if (!IsOpen()) {
        return FLastError.Fail(ErrorOf(ERROR_INVALID_HANDLE));
    }
    TSystemState& state = *FState;
    if (state.EventMask.load() == 0) {
        return true;
    }
    if (!state.WaitsByPolling) {
        DWORD mask = 0;
        OVERLAPPED& overlapped = state.ReadSide.Overlapped;
        BOOL completed = WaitCommEvent(state.Handle, &mask, &overlapped);
        if (completed == FALSE && GetLastError() == ERROR_IO_PENDING) {
            DWORD ignored = 0;
            completed = WaitForSingleObject(state.ReadSide.Event, INFINITE) == WAIT_OBJECT_0 &&
                        GetOverlappedResult(state.Handle, &overlapped, &ignored, FALSE) != FALSE;
        }
        if (completed != FALSE) {
            events = mask;
            return true;
        }
        // A mask cleared meanwhile ends the wait as the system's own
        // wake-up does.
        if (state.EventMask.load() == 0) {
            return true;
        }
        if (GetLastError() != ERROR_OPERATION_ABORTED) {
            return FLastError.FailWithLastSystemError();
        }
        // The system gave up a wait that nobody cancelled: Wine does so on
        // a line without modem status lines (a pseudo-terminal). From now
        // on this device is watched through its input count.
        state.WaitsByPolling = true;
    }
    for (;;) {
        if (WaitForSingleObject(state.MaskCleared, PollMilliseconds) == WAIT_OBJECT_0 || state.EventMask.load() == 0) {
            return true;
        }
        DWORD errors = 0;
        COMSTAT status{};
        if (ClearCommError(state.Handle, &errors, &status) == FALSE) {
            return FLastError.FailWithLastSystemError();
        }
        if (status.cbInQue != 0) {
            events = state.EventMask.load() & EV_RXCHAR;
            return true;
        }
    }
}

bool TSerialDevice::LocalReadStatus(std::size_t& bytesWaiting)
{
    if (!IsOpen()) {
        return FLastError.Fail(ErrorOf(ERROR_INVALID_HANDLE));
    }
    DWORD errors = 0;
    COMSTAT status{};
    if (ClearCommError(FState->Handle, &errors, &status) == FALSE) {
        return FLastError.FailWithLastSystemError();
    }
    bytesWaiting = status.cbInQue;
    if (FState->InputQueueSize != 0) {
        bytesWaiting = std::min(bytesWaiting, FState->InputQueueSize);
    }
    return true;
}

bool TSerialDevice::LocalRead(std::uint8_t* buffer, std::size_t count, std::size_t& bytesRead)
{
    bytesRead = 0;
    if (!IsOpen()) {
        return FLastError.Fail(ErrorOf(ERROR_INVALID_HANDLE));
    }
    TSystemState& state = *FState;
    OVERLAPPED& overlapped = state.ReadSide.Overlapped;
    DWORD read = 0;
    if (ReadFile(state.Handle, buffer, static_cast<DWORD>(count), &read, &overlapped) == FALSE) {
        // The bytes are waiting already, yet the system may still report
        // the read as pending (Wine always does): it completes at once.
        if (GetLastError() != ERROR_IO_PENDING ||
            GetOverlappedResult(state.Handle, &overlapped, &read, TRUE) == FALSE) {
            return FLastError.FailWithLastSystemError();
        }
    }
    bytesRead = read;
    return true;
}

TSerialWriteResult TSerialDevice::LocalWrite(const std::uint8_t* data, std::size_t count, std::size_t& bytesWritten)
{
    bytesWritten = 0;
    if (!IsOpen()) {
        FLastError.Fail(ErrorOf(ERROR_INVALID_HANDLE));
        return swFailed;
    }
    TSystemState& state = *FState;
    OVERLAPPED& overlapped = state.WriteSide.Overlapped;
    DWORD written = 0;
    if (WriteFile(state.Handle, data, static_cast<DWORD>(count), &written, &overlapped) == FALSE) {
        if (GetLastError() != ERROR_IO_PENDING) {
            FLastError.FailWithLastSystemError();
            return swFailed;
        }
        // The write time limit of the line, as the Linux device keeps it: a
        // line that takes nothing does not hold the writer forever.
        const TSerialTimeouts& limits = state.Timeouts;
        const bool limited = limits.WriteTotalTimeoutMultiplier != 0 || limits.WriteTotalTimeoutConstant != 0;
        const DWORD wait =
            limited ? static_cast<DWORD>(std::min<std::uint64_t>(
                          std::uint64_t{limits.WriteTotalTimeoutMultiplier} * count + limits.WriteTotalTimeoutConstant,
                          INFINITE - 1))
                    : INFINITE;
        if (WaitForSingleObject(state.WriteSide.Event, wait) != WAIT_OBJECT_0) {
            CancelIo(state.Handle);
            GetOverlappedResult(state.Handle, &overlapped, &written, TRUE);
            bytesWritten = written;
            FLastError.Fail(ErrorOf(ERROR_TIMEOUT));
            return swTimedOut;
        }
        if (GetOverlappedResult(state.Handle, &overlapped, &written, FALSE) == FALSE) {
            FLastError.FailWithLastSystemError();
            return swFailed;
        }
    }
    bytesWritten = written;
    if (bytesWritten < count) {
        FLastError.Fail(ErrorOf(ERROR_TIMEOUT));
        return swTimedOut;
    }
    return swDone;
}

}  // namespace zarvik12m
