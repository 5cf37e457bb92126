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

private:
    // The tests wait for the thread's end and read the error that ended
    // it (tests/support/read_thread_test_access.h); the driver learns of
    // it from the log line alone.
    friend struct TReadThreadTestAccess;

    void Execute(TThread& thread);
    std::int64_t PortArgument() const;

    TCOMPort& FPort;
    std::array<std::uint8_t, ReadBufferSize> FReadBuffer{};
    std::exception_ptr FFatalException;           // the error that ended the thread, or null
    TEvent FEnded{TEvent::rmManualReset, false};  // set when the thread has ended
    TThread FThread;
};

}  // namespace zarvik12m
