#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "driver/platform/serial_device.h"
#include "driver/port/line_trace.h"
#include "driver/port/port_settings.h"
#include "driver/port/read_queue.h"
#include "driver/port/read_thread.h"

namespace zarvik12m {

// A COM port: the driver's only access to the serial line. It opens the
// device for itself alone, puts the line into the one configuration the
// protocol uses, writes blocks of bytes and, opened asynchronously, runs a
// read thread that fills InputQueue().
//
// Open, Close and destruction run on the thread that owns the port while
// no other thread uses it; Write runs on one thread at a time (the transmit
// thread), beside the read thread. Failures are EZarvik12mError with codes
// ecPortWriteIncomplete to ecWriteEventCreate, the port number first in every message.
// The code tells the step that failed, whatever the system's reason; the
// reason (the device's TSystemError) goes to the line trace when the port
// is traced, never into the message.
class TCOMPort {
public:
    // The driver's device queues, each way; also the largest write block
    // and the most one read takes.
    static constexpr std::size_t QueueSize = 1024;

    // The time limits of the line in milliseconds. A write waits for the
    // device at most WriteTotalTimeoutMultiplier per byte plus
    // WriteTotalTimeoutConstant.
    static constexpr TSerialTimeouts Timeouts{50, 10, 100, 10, 100};

    // The device is not opened yet; the input queue starts empty.
    explicit TCOMPort(std::uint8_t portNumber);

    // A port that opens devicePath (a file, a system device name or a
    // network address) whatever its number's variable says: for programs
    // that try several devices while other ports run beside them.
    TCOMPort(std::uint8_t portNumber, std::string devicePath);

    // Close, then waits until no consumer is inside the input queue.
    ~TCOMPort();

    TCOMPort(const TCOMPort&) = delete;
    TCOMPort& operator=(const TCOMPort&) = delete;

    [[nodiscard]] std::uint8_t PortNumber() const noexcept { return FPortNumber; }
    [[nodiscard]] bool AsyncMode() const noexcept { return FAsyncMode; }
    [[nodiscard]] bool IsOpen() const noexcept { return FDevice.IsOpen(); }

    // Received bytes; the queue and its contents outlive Close and Open.
    [[nodiscard]] TReadQueue& InputQueue() noexcept { return FInputQueue; }

    // Why the device's last failed operation failed: for tools that show
    // the system's reason beside the port's error.
    [[nodiscard]] TSystemError DeviceError() const { return FDevice.LastError(); }

    // The read thread while the port is open asynchronously, else null.
    [[nodiscard]] TReadThread* ReadThread() const noexcept { return FReadThread.get(); }

    // Opens and configures the device (DeviceName, resolved to a file by
    // ResolveDevicePath), purges it and, asynchronously, starts the read
    // thread. Raises ecPortOpen (device cannot be opened, the file in quotes, or
    // the port is open already), ecPortSetQueueSizes (queue sizes: not a serial device),
    // ecPortSetParameters (line settings, rate), ecPortSetTimeouts (time limits), ecPortSetMask (event mask),
    // ecPortPurge (purge), ecReadEventCreate (read thread). A failed Open keeps what it had
    // made until Close. Once the device is open, the port records its line
    // into the trace file that LineTraceFileOf names for it, if any; a
    // device that cannot be opened leaves its "# open failed" remark there.
    void Open(const TPortSettings& settings, bool asyncMode);

    // Stops the read thread, ends the line trace, then releases the device.
    // Raises nothing; safe when closed.
    void Close() noexcept;

    // Discards whatever the device holds in either direction. Raises ecPortPurge.
    void Purge();

    // Sends count bytes, waiting for the device at most the write time limit.
    // Raises ecPortWriteBlockTooLarge (count, 1024) above 1024 bytes, ecPortWriteFailed when the device fails
    // or (asynchronously) does not take the bytes in time, ecPortWriteIncomplete (written,
    // count) when a synchronous write runs out of time part-way.
    void Write(const std::uint8_t* data, std::size_t count);

private:
    friend class TReadThread;

    [[noreturn]] void Raise(std::int16_t code) const;
    // Raises the code of a failed step of the device after its reason has
    // gone to the trace.
    [[noreturn]] void RaiseDeviceFailure(std::int16_t code, const char* step) const;
    void TraceDeviceFailure(const char* step) const noexcept;

    std::uint8_t FPortNumber;
    std::string FDevicePath;  // empty: the one the port number stands for
    bool FAsyncMode = false;
    TSerialDevice FDevice;
    std::unique_ptr<TReadThread> FReadThread;
    // Set while open when the line is traced; used by the writer and the
    // read thread, which both end before it goes.
    std::unique_ptr<TLineTrace> FTrace;
    TReadQueue FInputQueue;
};

}  // namespace zarvik12m
