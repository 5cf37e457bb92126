#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <exception>

#include "driver/platform/event.h"
#include "driver/platform/thread.h"

namespace zarvik12m {

class TCOMPort;

// The thread that moves received bytes from an asynchronously opened port
// into the port's input queue. It waits for the device to report bytes,
// reads exactly those waiting (at most one driver queue, 1024 bytes), and
// appends them to the queue.
//
// An error on the way (ecPortReadIncomplete to ecPortReadBlockTooLarge, ecInputQueuePut, ecReadEventWait, ecReadStatus;
// a hung-up line is ecReadStatus) ends the thread: its log line is all anyone learns of it, and from then on no byte
// reaches the queue until the port is reopened.
class TReadThread {
public:
    static constexpr std::size_t ReadBufferSize = 1024;

    // Starts the thread at the highest priority the system grants. Raises
    // ecReadEventCreate when the thread cannot be made. Only TCOMPort::Open makes one.
    explicit TReadThread(TCOMPort& port);

    // Asks the thread to end, wakes it by clearing the port's event mask and
    // waits for it. The port's device must still be open.
    ~TReadThread();

    TReadThread(const TReadThread&) = delete;
    TReadThread& operator=(const TReadThread&) = delete;

    // Waits up to the time given (TEvent::Infinite: no limit) for the thread
    // to end by itself or on request; true when it has.
    bool WaitForEnd(std::uint32_t milliseconds);

    // The error that ended the thread, once it has ended; null when it
    // ended on request.
    [[nodiscard]] std::exception_ptr FatalException();

private:
    void Execute(TThread& thread);
    std::int64_t PortArgument() const;

    TCOMPort& FPort;
    std::array<std::uint8_t, ReadBufferSize> FReadBuffer{};
    std::exception_ptr FFatalException;
    TEvent FEnded{TEvent::rmManualReset, false};
    TThread FThread;
};

}  // namespace zarvik12m
