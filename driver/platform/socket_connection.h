#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace zarvik12m {

// What went wrong, for the error code that the connection's user leaves
// behind (errno or the system's last error) where the failure is its own.
enum TSocketFailure : std::uint8_t {
    sfInvalid,   // a malformed address or argument
    sfBusy,      // already open
    sfTimedOut,  // no answer within the time limit
    sfRefused,   // the far end refused what was asked
    sfBroken,    // the connection is gone
};

// Sets this thread's system error code to the failure's nearest meaning.
void SetSocketFailure(TSocketFailure failure) noexcept;

// A TCP connection to a server, non-blocking, with TCP_NODELAY and
// keep-alive on, and a wake-up that ends a wait for received bytes from
// another thread. One thread may wait and receive while another sends and
// a third wakes the waiter. Every operation that fails leaves the system's
// error code telling why.
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

private:
    struct TSystemState;  // the system's own objects, defined per system
    std::unique_ptr<TSystemState> FState;
};

}  // namespace zarvik12m
