#pragma once

#include <chrono>
#include <cstdint>
#include <deque>

#include "tools/emulator/line_clock.h"
#include "tools/emulator/wire.h"

namespace zarvik12m::emulator {

// Finds frames in the bytes that arrive from the line, as a register on a
// shared line does: a frame begins with an address byte, its code and
// length fit a known message, and its checksum is right. Anything else is
// skipped one byte at a time, so that the scanner falls back into step with
// the next frame. Each byte counts from the moment it has crossed the line.
class TFrameScanner {
public:
    enum TStepKind : std::uint8_t {
        skIdle,   // nothing to look at
        skFrame,  // a whole frame, taken from the input
        skSkip,   // one byte that begins no frame, taken from the input
        skWait,   // more must come: look again at WakeAt
    };

    struct TStep {
        TStepKind Kind = skIdle;
        TBytes Bytes;
        TClock::time_point WakeAt{};
    };

    // A frame that has begun but stops short is given up (its first byte
    // skipped) once the line has been silent this long.
    explicit TFrameScanner(TClock::duration stallTimeout) : FStallTimeout(stallTimeout) {}

    void Append(std::uint8_t byte, TClock::time_point arrivedAt) { FInput.push_back({byte, arrivedAt}); }

    TStep Next(TClock::time_point now);

    [[nodiscard]] bool Empty() const noexcept { return FInput.empty(); }

private:
    struct TArrival {
        std::uint8_t Byte;
        TClock::time_point At;
    };

    TStep Take(TStepKind kind, std::size_t count);
    TStep Incomplete(std::size_t arrived, TClock::time_point now);

    std::deque<TArrival> FInput;
    TClock::duration FStallTimeout;
};

}  // namespace zarvik12m::emulator
