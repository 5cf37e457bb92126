#pragma once

#include <algorithm>
#include <chrono>
#include <cstdint>

namespace zarvik12m::emulator {

using TClock = std::chrono::steady_clock;

// One direction of a serial line at a given speed: a byte takes ten bit
// times (start bit, eight data bits, stop bit), and the next byte cannot
// start before the previous one has gone. Speed 0 is a line without limit.
class TLineClock {
public:
    void SetBaudRate(std::uint32_t baudRate) noexcept { FBaudRate = baudRate; }
    [[nodiscard]] std::uint32_t BaudRate() const noexcept { return FBaudRate; }

    [[nodiscard]] TClock::duration ByteTime() const noexcept
    {
        if (FBaudRate == 0) {
            return TClock::duration::zero();
        }
        return std::chrono::duration_cast<TClock::duration>(std::chrono::nanoseconds(10'000'000'000LL / FBaudRate));
    }

    // When a byte that is ready at `ready` has crossed the line whole.
    TClock::time_point Carry(TClock::time_point ready) noexcept
    {
        if (FBaudRate == 0) {
            return ready;
        }
        FLineFree = std::max(FLineFree, ready) + ByteTime();
        return FLineFree;
    }

    // The line stays silent until `until` (a pause between chunks).
    void HoldUntil(TClock::time_point until) noexcept { FLineFree = std::max(FLineFree, until); }

private:
    std::uint32_t FBaudRate = 0;
    TClock::time_point FLineFree{};
};

}  // namespace zarvik12m::emulator
