#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "driver/platform/system_error.h"

namespace zarvik12m {

class TNetworkDevice;

// Parity codes of the line settings, in the numbering the register's
// software has always used for them.
enum TSerialParity : std::uint8_t { spNone = 0, spOdd = 1, spEven = 2, spMark = 3, spSpace = 4 };

// Stop-bit codes of the line settings.
enum TSerialStopBits : std::uint8_t { sbOne = 0, sbOneAndHalf = 1, sbTwo = 2 };

// What a wait for the device reports.
enum TSerialEvent : std::uint32_t {
    seReceived = 0x0001,  // bytes have arrived
    seError = 0x0080,     // the line is hung up or broken
};

// Time limits of a serial device in milliseconds. A total limit is the
// multiplier times the bytes of the call plus the constant; both 0 means
// no limit. The read limits are kept for completeness: the reads of the
// driver only ever take bytes that are already waiting.
struct TSerialTimeouts {
    std::uint32_t ReadIntervalTimeout = 0;
    std::uint32_t ReadTotalTimeoutMultiplier = 0;
    std::uint32_t ReadTotalTimeoutConstant = 0;
    std::uint32_t WriteTotalTimeoutMultiplier = 0;
    std::uint32_t WriteTotalTimeoutConstant = 0;
};

// How a write ended.
enum TSerialWriteResult : std::uint8_t {
    swDone,      // every byte was handed to the device
    swTimedOut,  // the device took only part within the write time limit
    swFailed,    // the device refused the bytes
};

// A serial device (a tty) opened for the driver's exclusive use, with the
// operations the port logic needs: line settings, time limits, an event
// wait that can be cancelled, a status with the bytes waiting, reads of
// bytes that are already there, and writes with a time limit.
//
// Every operation returns false on failure (a write swFailed or
// swTimedOut) and records why, which LastError() then tells.
// One thread may wait, read and query the status while another writes;
// SetEventMask(0) may come from a third thread to end a wait.
class TSerialDevice {
public:
    TSerialDevice();
    ~TSerialDevice();

    TSerialDevice(const TSerialDevice&) = delete;
    TSerialDevice& operator=(const TSerialDevice&) = delete;

    // Opens an existing device read/write, not as the controlling terminal,
    // non-blocking and closed on exec, and takes it for this object alone:
    // a second open of the device, by this or any other process, fails as
    // busy. Asks the device for low latency where it supports it. Fails as
    // busy as well when this object is already open. A file or device with
    // no serial line behind it fails as not a serial device (at the open or
    // at SetQueueSizes), a missing one as not found.
    //
    // A path of the form tcp://HOST:PORT or rfc2217://HOST:PORT is a line on
    // the network instead (TNetworkDevice): every operation below goes to
    // the connection, with the same meaning and threading.
    bool Open(const std::string& path);

    // Releases the device; does nothing when it is closed.
    void Close() noexcept;

    [[nodiscard]] bool IsOpen() const noexcept;

    // The sizes of the driver's input and output queues. A status never
    // reports more bytes waiting than the input queue holds, so one read
    // takes at most that many; the kernel's own, larger buffer stays out of
    // sight. The output size is only checked: writes have their time limit.
    // Fails on a device that is not a terminal.
    bool SetQueueSizes(std::size_t inputSize, std::size_t outputSize);

    // Makes the line fully raw (no line editing, echo, signals, character
    // translation or flow control, receiver on, modem status ignored) with
    // the given rate, data bits, parity and stop bits, and clears DTR and
    // RTS where the device has them. Any rate is taken that the device can
    // run within 2 %; other rates and invalid codes fail (EINVAL on Linux,
    // ERROR_INVALID_PARAMETER on Windows: of kind other).
    bool SetLineSettings(std::uint32_t baudRate, std::uint8_t parity, std::uint8_t byteSize, std::uint8_t stopBits);

    bool SetTimeouts(const TSerialTimeouts& timeouts);

    // The events a wait reports: seReceived, or 0 for none. Clearing the mask
    // ends a wait in progress at once, and every later wait too, until a mask
    // is set again.
    bool SetEventMask(std::uint32_t mask);

    // Discards all input and output still held by the device.
    bool Purge();

    // Waits without a time limit until the device has bytes to read, the
    // line is hung up or broken, or the event mask is cleared, and reports
    // which (0 for the cleared mask). Fails only when the wait itself fails.
    bool WaitEvent(std::uint32_t& events);

    // The number of bytes waiting to be read, at most the input queue size.
    // Fails as closed when the line is hung up or broken.
    bool ReadStatus(std::size_t& bytesWaiting);

    // Reads up to count bytes that are waiting; never waits for more.
    bool Read(std::uint8_t* buffer, std::size_t count, std::size_t& bytesRead);

    // Writes count bytes, completing partial writes, waiting for the device
    // no longer than the write time limit.
    TSerialWriteResult Write(const std::uint8_t* data, std::size_t count, std::size_t& bytesWritten);

    // Why the operation that failed last failed (see TLastError); on a
    // network line, the network device's reason.
    [[nodiscard]] TSystemError LastError() const;

private:
    bool OpenNetwork(const std::string& address);

    // The same operations on a local device, in the system's own file; the
    // public ones (serial_device.cpp, the same for every system) forward to
    // the network device instead while a network line is open.
    bool OpenLocal(const std::string& path);
    void CloseLocal() noexcept;
    [[nodiscard]] bool IsLocalOpen() const noexcept;
    bool LocalSetQueueSizes(std::size_t inputSize, std::size_t outputSize);
    bool LocalSetLineSettings(std::uint32_t baudRate, std::uint8_t parity, std::uint8_t byteSize,
                              std::uint8_t stopBits);
    bool LocalSetTimeouts(const TSerialTimeouts& timeouts);
    bool LocalSetEventMask(std::uint32_t mask);
    bool LocalPurge();
    bool LocalWaitEvent(std::uint32_t& events);
    bool LocalReadStatus(std::size_t& bytesWaiting);
    bool LocalRead(std::uint8_t* buffer, std::size_t count, std::size_t& bytesRead);
    TSerialWriteResult LocalWrite(const std::uint8_t* data, std::size_t count, std::size_t& bytesWritten);

    struct TSystemState;  // the system's own objects, defined per system
    std::unique_ptr<TSystemState> FState;
    std::unique_ptr<TNetworkDevice> FNetwork;  // set while a network line is open
    TLastError FLastError;
};

}  // namespace zarvik12m
