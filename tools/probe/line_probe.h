#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "driver/port/com_port.h"
#include "driver/protocol/frame_codec.h"

namespace zarvik12m::probe {

// The request is command 58 (no payload, 4 bytes), its answer 24 (13
// bytes of payload, 17 bytes).
inline constexpr std::size_t RequestBytes = 4;
inline constexpr std::size_t AnswerBytes = 17;

// What came back to one request.
struct TTryResult {
    enum TKind : std::uint8_t {
        tkSilence,      // nothing at all
        tkGarbage,      // bytes, but no frame in them
        tkOtherFrames,  // frames, but not the answer from the network number asked
        tkFound,        // answer 24 from the network number asked
    };
    TKind Kind = tkSilence;
    std::string SerialNumber;         // tkFound: the register's factory number
    std::uint8_t OtherNetNumber = 0;  // tkOtherFrames: the network number of an answer 24, or 0
    std::size_t BytesReceived = 0;
};

// Sorts the bytes that came back to a request for network number netNumber
// into what they are; decoder accepts every network number.
TTryResult ClassifyAnswer(TFrameCodec& decoder, std::span<const std::uint8_t> bytes, std::uint8_t netNumber);

// The time in milliseconds that the request and its answer take on the line
// at the speed (ten bits a byte), rounded up.
std::uint32_t LineMilliseconds(std::uint32_t baudRate);

// One device, opened through the driver's COM port 1 (routed to the device)
// at one speed after another; each try sends command 58 and collects what
// comes back within its time.
class TLineProbe {
public:
    TLineProbe();
    ~TLineProbe();
    TLineProbe(const TLineProbe&) = delete;
    TLineProbe& operator=(const TLineProbe&) = delete;

    // Opens the device at the speed (8N1, exclusive), closing it first.
    // Raises the port's errors (-110 when the device is taken meanwhile,
    // -108 for a speed it cannot run).
    void Open(const std::string& path, std::uint32_t baudRate);
    void Close() noexcept;

    // Why the device's last failed operation failed (an Open's, for one).
    [[nodiscard]] TSystemError DeviceError() const;

    // Discards what the line holds, sends command 58 to the network number
    // and waits up to the line's time plus waitMilliseconds, less when the
    // answer comes first. Raises the port's write errors.
    TTryResult Try(std::uint8_t netNumber, std::uint32_t waitMilliseconds);

private:
    void Discard();

    std::uint32_t FBaudRate = 0;
    std::unique_ptr<TFrameCodec> FCoder;
    std::unique_ptr<TCOMPort> FPort;
};

}  // namespace zarvik12m::probe
