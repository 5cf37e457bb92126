#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "driver/platform/network_address.h"
#include "driver/platform/serial_device.h"
#include "driver/platform/socket_connection.h"
#include "driver/platform/telnet_codec.h"

namespace zarvik12m {

// A register's line reached over TCP (tcp://HOST:PORT) or over Telnet with
// the Com Port Control option (rfc2217://HOST:PORT), with the operations
// and the threading of TSerialDevice, which hands its calls to it for such
// an address.
//
// Raw TCP carries the line's bytes as they are; the converter's own line
// settings apply. Through Telnet the codec sets the line and purges the
// server; only the line's bytes reach a reader, whatever else the server
// sends. A connection that ends reads as a hung-up line: the bytes that
// came before it are still read, then the status fails.
class TNetworkDevice {
public:
    using TClock = TSocketConnection::TClock;

    // How long the connection and each answer of the server's may take.
    static constexpr std::chrono::milliseconds AnswerLimit{3000};

    TNetworkDevice() = default;
    TNetworkDevice(const TNetworkDevice&) = delete;
    TNetworkDevice& operator=(const TNetworkDevice&) = delete;
    ~TNetworkDevice() = default;

    // Connects to the address (see TSerialDevice::Open for the name) and,
    // for Telnet, opens the negotiation; fails as sfInvalid for a malformed
    // address and with the connection's error otherwise.
    bool Open(const std::string& address);

    bool SetQueueSizes(std::size_t inputSize, std::size_t outputSize);

    // Raw TCP takes any valid setting, which serves only the caller's
    // timing. Telnet waits for the Com Port Control option, sets 8 data
    // bits, no parity, one stop bit, no flow control and the rate, and
    // waits for the server's acknowledgement, each within AnswerLimit;
    // other codes fail as sfInvalid, a refusal as sfRefused, silence as
    // sfTimedOut. Called while no other thread uses the device.
    bool SetLineSettings(std::uint32_t baudRate, std::uint8_t parity, std::uint8_t byteSize, std::uint8_t stopBits);

    bool SetTimeouts(const TSerialTimeouts& timeouts);
    bool SetEventMask(std::uint32_t mask);

    // Drops what has been received and not read (but what the last status
    // reported, which its read still takes) and, through Telnet, asks the
    // server to purge its buffers both ways, without waiting for its
    // acknowledgement, so that a reader may run meanwhile.
    bool Purge();

    bool WaitEvent(std::uint32_t& events);
    bool ReadStatus(std::size_t& bytesWaiting);
    bool Read(std::uint8_t* buffer, std::size_t count, std::size_t& bytesRead);
    TSerialWriteResult Write(const std::uint8_t* data, std::size_t count, std::size_t& bytesWritten);

    // Why the operation that failed last failed (see TLastError): the
    // device's own failures (SocketFailureError) or the connection's.
    [[nodiscard]] TSystemError LastError() const { return FLastError.Get(); }

private:
    // The most taken from the connection at once.
    static constexpr std::size_t ReceiveSize = 1024;

    // Takes what the connection holds (never waiting) and decodes it; sends
    // the codec's answers. Whether the connection is still usable.
    bool ReceiveWaiting();
    // Receives until the predicate holds, the connection ends or the
    // deadline passes; whether the predicate held.
    template <typename TPredicate>
    bool ReceiveUntil(TPredicate done, TClock::time_point deadline);
    bool SendAll(const std::vector<std::uint8_t>& bytes, const TClock::time_point* deadline, std::size_t& sent);
    bool Fail(TSocketFailure failure) { return FLastError.Fail(SocketFailureError(failure)); }
    bool FailAsConnection() { return FLastError.Fail(FConnection.LastError()); }
    [[nodiscard]] bool Telnet() const noexcept { return FCodec.has_value(); }

    TSocketConnection FConnection;
    TLastError FLastError;
    std::optional<TTelnetCodec> FCodec;
    std::atomic<std::uint32_t> FEventMask{0};
    std::size_t FInputQueueSize = 0;

    // The receiving side: the codec's state, what came in and has not been
    // read, whether the connection has ended.
    std::mutex FReceiveLock;
    std::vector<std::uint8_t> FReceived;
    std::size_t FPromised = 0;  // bytes of FReceived that the last status reported
    std::vector<std::uint8_t> FReply;
    std::array<std::uint8_t, ReceiveSize> FRaw{};
    bool FEnded = false;

    // The sending side: one sender at a time, so that the codec's answers
    // never land inside another send; taken before FReceiveLock, never
    // after it.
    std::mutex FSendLock;
    TSerialTimeouts FTimeouts;
    std::vector<std::uint8_t> FEncoded;
};

}  // namespace zarvik12m
