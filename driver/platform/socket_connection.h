#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "driver/platform/system_error.h"

namespace zarvik12m {

// What went wrong where the failure is the connection user's own rather
// than the system's.
enum TSocketFailure : std::uint8_t {
    sfInvalid,   // a malformed address or argument
    sfBusy,      // already open
    sfTimedOut,  // no answer within the time limit
    sfRefused,   // the far end refused what was asked
    sfBroken,    // the connection is gone
};

// The failure as the system error of the nearest meaning: invalid and
// refused are of kind other, busy, timed out and broken (closed) of theirs.
[[nodiscard]] TSystemError SocketFailureError(TSocketFailure failure);

// A TCP connection to a server, non-blocking, with TCP_NODELAY and
// keep-alive on, and a wake-up that ends a wait for received bytes from
// another thread. One thread may wait and receive while another sends and
// a third wakes the waiter. Every operation that fails records why, which
// LastError() then tells; a closed connection reads as rrClosed without an
// error of its own.
class TSocketConnection {
public:
    using TClock = std::chrono::steady_clock;

    TSocketConnection();
    ~TSocketConnection();

    TSocketConnection(const TSocketConnection&) = delete;
    TSocketConnection& operator=(const TSocketConnection&) = delete;

    // Resolves the host (a name, an IPv4 or IPv6 address) and connects to
    // the first of its addresses that answers, all before the deadline.
    bool Connect(const std::string& host, std::uint16_t port, TClock::time_point deadline);

    void Close() noexcept;

    [[nodiscard]] bool IsOpen() const noexcept;

    enum TReceiveResult : std::uint8_t {
        rrData,     // bytes were received
        rrNothing,  // nothing is waiting
        rrClosed,   // the server closed the connection
        rrFailed,   // the connection broke
    };

    // Takes up to size bytes that are waiting; never waits.
    TReceiveResult Receive(std::uint8_t* buffer, std::size_t size, std::size_t& received);

    // Sends every byte, waiting for room until the deadline (none: without
    // a limit). Whether all were sent; sent tells how many were.
    enum TSendResult : std::uint8_t { srDone, srTimedOut, srFailed };
    TSendResult Send(const std::uint8_t* data, std::size_t count, std::size_t& sent,
                     const TClock::time_point* deadline);

    enum TWaitResult : std::uint8_t {
        wrReadable,  // bytes (or the end of the connection) wait to be received
        wrWoken,     // the wake-up is set
        wrTimedOut,
        wrFailed,
    };

    // Waits until something can be received, the wake-up is set, or the
    // deadline (none: without a limit) has passed.
    TWaitResult WaitReadable(const TClock::time_point* deadline);

    // Sets the wake-up: this and every later wait ends at once until it is
    // cleared. Safe from any thread.
    bool SetWakeUp() noexcept;
    bool ClearWakeUp() noexcept;

    // Why the operation that failed last failed (see TLastError).
    [[nodiscard]] TSystemError LastError() const { return FLastError.Get(); }

private:
    struct TSystemState;  // the system's own objects, defined per system
    std::unique_ptr<TSystemState> FState;
    TLastError FLastError;
};

}  // namespace zarvik12m
